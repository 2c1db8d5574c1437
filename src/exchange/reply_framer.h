#pragma once

#include "device/frame.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <optional>

// Cuts the received byte stream into reply frames and noise. Bytes come in
// pieces, each stamped with its arrival time (microseconds on a monotonic clock
// the caller owns); the framer never reads a clock itself, so tests feed bytes
// and times and never sleep.
//
// RTU: a reply is found by its layout: the controller's, from the command table,
// or a standard MODBUS reply's (read and write registers and coils, diagnostics,
// device identification...). For the controller's codes that is two bytes (address,
// code) for the short replies, which carry no check; address, code, length byte,
// data and CRC for the others, where the code fixes the length byte (a reply of
// the IO table may hold any length); address, code with its top bit set,
// exception code and CRC for an exception. A candidate whose CRC fails is a reply
// with a bad check when the line falls silent right after it; otherwise its first
// byte is noise and the search goes on one byte later. A complete candidate with
// a good CRC further on ends a wait for a candidate that cannot complete.
//
// ASCII: a reply runs from ":" to CR LF. A ":" before the CR LF starts the frame
// afresh (what came before is noise). The frame's check is good when it spells
// whole hex pairs and its LRC matches; the delimiters mark it, so a bad check is
// reported at once.
//
// Listening on a bus another master drives, requests are framed too, and the
// line rate gives the 3.5-character silence that ends a frame: a frame with a bad
// check is one the line fell silent after. The check still comes first, so a
// frame an adapter delivers in late pieces is found whole.
//
// A frame may arrive in pieces as long as each piece follows the last within
// the byte time-out. Bytes that belong to no frame are noise, reported in
// stretches as they come: a line that chatters without a pause has its noise
// reported while it goes on.

struct RxEvent
{
    enum Kind { Frame, Noise, Echo };
    Kind kind;
    QByteArray bytes;
    bool checkOk = false; // Frame: the CRC or LRC is right (short RTU replies: always)
    qint64 firstUs = 0; // arrival of the first byte
    qint64 lastUs = 0; // arrival of the last byte
};

class ReplyFramer
{
public:
    static constexpr qint64 defaultByteTimeoutUs = 500'000;

    explicit ReplyFramer(CommMode mode = CommMode::Rtu);

    void setMode(CommMode mode);
    CommMode mode() const { return m_mode; }
    void setByteTimeoutUs(qint64 us) { m_byteTimeoutUs = us; }
    qint64 byteTimeoutUs() const { return m_byteTimeoutUs; }

    /// Listening only: requests of any master are framed as well as replies.
    void setListening(bool on);
    bool listening() const { return m_listening; }
    /// The line's rate, for the silence that ends a frame while listening: 3.5
    /// characters of 11 bits, 1750 us above 19200 baud. 0: a stream with no line
    /// timing (a network line, whose bytes come in packets): gaps end nothing,
    /// frames are found by their length and check alone.
    void setLineRate(qint32 baud);
    /// A request was written: one with code 2B tells what its reply will be.
    void requestWritten(QByteArrayView frame);

    /// With echo suppression on, an exact echo of \a frame at the front of the
    /// bytes that follow is taken off before framing (one Echo event). Bytes
    /// that stop matching end the expectation and are framed as usual.
    void setEchoSuppression(bool on);
    bool echoSuppression() const { return m_echoOn; }
    /// \a frame was written at \a sentUs; its echo is expected within the byte
    /// time-out.
    void expectEcho(QByteArrayView frame, qint64 sentUs);

    /// Adds \a bytes that arrived at \a arrivalUs and returns what they complete.
    QList<RxEvent> feed(QByteArrayView bytes, qint64 arrivalUs);
    /// Time passes without bytes: once the line has been silent for the byte
    /// time-out, whatever waits is settled (a bad-check reply, or noise).
    QList<RxEvent> expire(qint64 nowUs);
    /// Everything waiting is settled now, as if the line had fallen silent.
    QList<RxEvent> flush();

    /// Arrival of the oldest byte still waiting to be framed, or -1.
    qint64 pendingSinceUs() const;
    /// How many bytes wait to be framed: the latest bytes of the stream.
    qsizetype waitingBytes() const { return waiting(); }
    /// Forgets the waiting bytes and any expected echo, and reports nothing.
    void clear();

private:
    struct Piece
    {
        qsizetype end; // offset just after the piece's last byte in m_buffer
        qint64 arrivalUs;
        qsizetype size = 0;
        bool silenceBefore = false; // the line was silent for 3.5 characters before it
    };

    void settle(bool silent, QList<RxEvent> &out);
    void settleRtu(bool silent, QList<RxEvent> &out);
    void settleAscii(bool silent, QList<RxEvent> &out);
    void take(qsizetype length, RxEvent::Kind kind, bool checkOk, QList<RxEvent> &out);
    void takeNoise(qsizetype length);
    void discardConsumed();
    void flushNoise(QList<RxEvent> &out);
    qint64 arrivalOf(qsizetype offset) const;
    qsizetype nextSilence() const;
    qsizetype laterCheckedFrame(QByteArrayView bytes);
    qsizetype knownNoise();
    void append(QByteArrayView bytes, qint64 arrivalUs);
    qsizetype waiting() const { return m_buffer.size() - m_start; }
    QByteArrayView rest() const { return QByteArrayView(m_buffer).sliced(m_start); }
    void stripEcho(QByteArrayView &bytes, qint64 arrivalUs, QList<RxEvent> &out);

    CommMode m_mode;
    qint64 m_byteTimeoutUs = defaultByteTimeoutUs;
    QByteArray m_buffer; // bytes from m_start on wait to be framed
    qsizetype m_start = 0;
    QList<Piece> m_pieces; // arrival times of m_buffer's bytes, oldest first
    qint64 m_lastArrivalUs = -1;
    RxEvent m_noise{RxEvent::Noise, {}}; // the stretch of noise being gathered
    qsizetype m_noiseFrom = -1; // where it starts in m_buffer; it ends at m_start

    // How far the search for a checked frame behind the front has come, in
    // offsets of m_buffer: positions before `scanned` hold none, except those in
    // `waiting`, which lacked bytes.
    struct LaterScan
    {
        qsizetype scanned = 0;
        QList<qsizetype> waiting;
        qsizetype completeEnd = 0; // the furthest end of a complete candidate found
    };
    LaterScan m_later;

    bool m_listening = false;
    qint64 m_charUs = 0;
    qint64 m_silenceUs = 0;
    std::optional<bool> m_standard2B; // the last request with code 2B was standard

    bool m_echoOn = false;
    QByteArray m_echo; // the echo still expected
    qsizetype m_echoMatched = 0;
    qint64 m_echoSinceUs = 0; // the frame's writing, then its echo's first byte
    qint64 m_echoLastUs = 0;
};
