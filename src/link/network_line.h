#pragma once

#include "util/result.h"

#include <QByteArray>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

struct gensio;

// Serial lines reached over the network, named the way pyserial names them:
// socket://HOST:PORT, a raw TCP stream to a serial device server whose line
// runs at its own rate, and rfc2217://HOST:PORT, a telnet line whose rate and
// framing the client sets (RFC 2217). Both are gensio stacks, the library that
// ser2net is built on; its events are serviced on a thread of its own and
// handed to this object's thread, so that nothing here blocks the event loop
// but the opening.

/// A network port name, parsed.
struct LineUrl
{
    enum class Kind { Raw, Rfc2217 };
    Kind kind = Kind::Raw;
    QString host;
    quint16 port = 0;

    /// The URL of \a text: "socket://" or "rfc2217://" (either letter case), a
    /// host (a name, an IPv4 address, or an IPv6 address in brackets) and a port
    /// 1 to 65535. Nothing for any other text, a device path included.
    static std::optional<LineUrl> parse(QStringView text);
    /// Whether \a text names a network port at all (it may still be malformed).
    static bool looksLikeUrl(QStringView text);
    /// The URL as the user writes it: "rfc2217://gw:4001".
    QString text() const;
    /// Whether the client sets the line's rate (RFC 2217) or the gateway does.
    bool setsRate() const { return kind == Kind::Rfc2217; }
};

/// Why \a text is not a network port the tool can open; empty when it is one.
QString lineUrlProblem(QStringView text);

class NetworkLine : public QObject
{
    Q_OBJECT
    enum class Stage { Idle, Connecting, SettingRate };

public:
    explicit NetworkLine(QObject *parent = nullptr);
    ~NetworkLine() override;

    /// Connects to \a url and, for RFC 2217, sets \a baudRate, 8 data bits, no
    /// parity and 1 stop bit on the remote port. Waits at most \a timeoutMs,
    /// handling only non-input events meanwhile. The message says what failed
    /// (refused, no such host, no answer), not which URL: the caller names it.
    Status open(const LineUrl &url, qint32 baudRate, int timeoutMs = 3000);
    /// The same without waiting: opened() tells how it went.
    void startOpen(const LineUrl &url, qint32 baudRate, int timeoutMs = 3000);
    bool isOpening() const { return m_stage != Stage::Idle; }
    /// Closes the connection; no event of it comes after.
    void close();
    bool isOpen() const { return m_io != nullptr && !m_lost && m_stage == Stage::Idle; }

    /// RFC 2217: sets the remote port's rate and waits for the gateway's answer.
    /// A raw socket cannot: the message says so.
    Status setBaudRate(qint32 baudRate);
    /// Microseconds of one round trip measured at the opening: the answer to the
    /// rate for RFC 2217, the TCP handshake for a raw socket.
    qint64 roundTripUs() const { return m_roundTripUs; }

    /// Queues \a bytes and writes what the connection takes now; the rest goes
    /// as it takes more. False when the line is closed.
    bool write(const QByteArray &bytes);
    /// Bytes queued and not yet taken by the connection.
    qint64 bytesToWrite() const { return m_out.size(); }
    /// Drops the queued bytes.
    void clearOutput() { m_out.clear(); }

signals:
    /// An opening is done; a failed one leaves the line closed.
    void opened(const Status &status);
    /// Bytes came, stamped on the monotonic clock as they did.
    void received(const QByteArray &bytes, qint64 arrivalUs);
    /// The connection took \a count more bytes.
    void bytesWritten(qint64 count);
    /// The connection ended (the gateway closed it, went away, or failed). The
    /// line is closed when this comes.
    void lost(const QString &reason);

public:
    // What gensio's callbacks know of the line, on the servicing thread; they
    // hand every event back to this object's thread, tagged with the connection.
    // The line outlives every callback: closing ends them before it goes.
    struct Bridge
    {
        NetworkLine *line;
        int generation;
        QString host;
    };
    // The handlers of those events, on this object's thread.
    void answer(int generation, int error, unsigned int value);
    void take(int generation, const QByteArray &bytes, qint64 arrivalUs);
    void writable(int generation);
    void connectionLost(int generation, const QString &reason);

private:
    void openAnswered(int error, unsigned int value);
    void finishOpen(const Status &status);
    void pump();
    void waitUntil(const std::function<bool()> &done, int timeoutMs);
    Status waitForAnswer(int timeoutMs);

    gensio *m_io = nullptr;
    std::unique_ptr<Bridge> m_bridge;
    QEventLoop *m_wake = nullptr; // the wait for an answer, while there is one
    bool m_answered = false;
    int m_answerError = 0;
    unsigned int m_answerValue = 0;
    LineUrl m_url;
    QByteArray m_out;
    bool m_lost = false;
    int m_generation = 0; // counts the connections: events of an old one are dropped
    qint64 m_roundTripUs = 0;
    Stage m_stage = Stage::Idle;
    qint64 m_stageStartUs = 0;
    qint32 m_openRate = 0;
    Status m_openStatus = Done{};
    QTimer m_openGuard; // an opening that takes too long fails
};
