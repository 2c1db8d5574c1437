#include "reply_framer.h"

#include "codec/checksum.h"
#include "device/command_set.h"
#include "traffic/traffic_lines.h"

#include <QtEndian>

#include <array>

namespace {

// The longest ASCII reply: a length byte of 255.
constexpr qsizetype maxAsciiReply = 1 + 2 * (3 + 255 + 1) + 2;
// Past this many consumed bytes the buffer drops them, so it never grows with
// the stream.
constexpr qsizetype compactAfter = 64 * 1024;
// A stretch of noise this long is reported at once, even while the line goes on
// chattering: noise is counted and captured as it comes, and never piles up.
constexpr qsizetype noiseStretch = 512;

// What an RTU reply with a given code looks like, from the command table.
struct RtuLayout
{
    enum Kind : quint8 { Unknown, Short, Counted };
    Kind kind = Unknown;
    qint16 data = -1; // Counted: the length byte the code fixes, -1 for any
};

// What the command table says about RTU replies, in the two forms the framer
// reads: the layout of each code, and for each pair of code and length byte
// whether a reply may start there, so that a run of noise passes on one table
// look-up per byte.
struct RtuTables
{
    std::array<RtuLayout, 256> layouts{};
    std::array<bool, 65536> starts{}; // by code * 256 + the byte after it
};

bool mayStartWith(const RtuLayout &layout, uchar code, uchar next)
{
    if (code & 0x80) // an exception: MODBUS names exception codes 01 to 0B
        return next >= 0x01 && next <= 0x0B;
    return layout.kind == RtuLayout::Short
            || (layout.kind == RtuLayout::Counted && (layout.data < 0 || next == layout.data));
}

const RtuTables &rtuTables()
{
    static const RtuTables tables = [] {
        RtuTables t;
        for (const CommandInfo &row : commandSet()) {
            RtuLayout &layout = t.layouts[row.code];
            switch (row.reply) {
            case ReplyForm::Short:
                layout.kind = RtuLayout::Short;
                break;
            case ReplyForm::Echo:
                layout = {RtuLayout::Counted, qint16(requestDataLength(row.request))};
                break;
            case ReplyForm::Data:
                layout = {RtuLayout::Counted, qint16(row.replyData)};
                break;
            case ReplyForm::None:
                break;
            }
        }
        for (int code = 0; code < 256; ++code) {
            for (int next = 0; next < 256; ++next)
                t.starts[code * 256 + next] = mayStartWith(t.layouts[code], uchar(code),
                                                           uchar(next));
        }
        return t;
    }();
    return tables;
}

// Whether a reply could start at \a p, \a left bytes before the end.
inline bool mayStart(const RtuTables &tables, const uchar *p, qsizetype left)
{
    return left < 3 || tables.starts[p[1] * 256 + p[2]];
}

enum class Fit { None, Incomplete, Good, Bad };
struct Candidate
{
    Fit fit;
    qsizetype length = 0;
    bool checked = true; // short replies carry no check
};

// In the search loop: the check alone, without copying the payload out as rtuPayload() does.
bool crcMatches(QByteArrayView frame)
{
    const QByteArrayView body = frame.chopped(2);
    return CommSetting::crc16(body) == qFromLittleEndian<quint16>(frame.data() + body.size());
}

// The RTU reply that could start at the front of \a bytes.
Candidate rtuCandidate(const RtuTables &tables, QByteArrayView bytes)
{
    if (bytes.size() < 2)
        return {Fit::Incomplete};
    const quint8 code = quint8(bytes[1]);
    qsizetype length = 5; // an exception: address, code | 80, exception code, CRC
    if (code & 0x80) {
        // MODBUS names exception codes 01 to 0B; anything else is no exception.
        if (bytes.size() >= 3 && (quint8(bytes[2]) < 0x01 || quint8(bytes[2]) > 0x0B))
            return {Fit::None};
    } else {
        const RtuLayout layout = tables.layouts[code];
        if (layout.kind == RtuLayout::Short)
            return {Fit::Good, 2, false};
        if (layout.kind == RtuLayout::Unknown)
            return {Fit::None};
        if (bytes.size() < 3)
            return {Fit::Incomplete};
        const int data = quint8(bytes[2]);
        if (layout.data >= 0 && data != layout.data)
            return {Fit::None};
        length = 3 + data + 2;
    }
    if (bytes.size() < length)
        return {Fit::Incomplete, length};
    return {crcMatches(bytes.first(length)) ? Fit::Good : Fit::Bad, length};
}

// Where the first complete RTU reply with a good check starts after the front
// of \a bytes, or 0.
qsizetype laterCheckedReply(const RtuTables &tables, QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype at = 1; at + 2 <= bytes.size(); ++at) {
        if (!mayStart(tables, data + at, bytes.size() - at))
            continue;
        const Candidate later = rtuCandidate(tables, bytes.sliced(at));
        if (later.fit == Fit::Good && later.checked)
            return at;
    }
    return 0;
}

bool asciiCheckOk(QByteArrayView frame)
{
    const std::optional<FramePayload> payload = asciiPayload(frame);
    return payload && payload->checkOk;
}

} // namespace

ReplyFramer::ReplyFramer(CommMode mode)
    : m_mode(mode)
{ }

void ReplyFramer::setMode(CommMode mode)
{
    if (mode == m_mode)
        return;
    clear();
    m_mode = mode;
}

void ReplyFramer::setEchoSuppression(bool on)
{
    m_echoOn = on;
    if (!on) {
        m_echo.clear();
        m_echoMatched = 0;
    }
}

void ReplyFramer::expectEcho(QByteArrayView frame, qint64 sentUs)
{
    if (!m_echoOn)
        return;
    m_echo = frame.toByteArray();
    m_echoMatched = 0;
    m_echoSinceUs = sentUs;
}

QList<RxEvent> ReplyFramer::feed(QByteArrayView bytes, qint64 arrivalUs)
{
    QList<RxEvent> out;
    // Bytes after a silence of the byte time-out start afresh: whatever waited
    // is settled first, as the silence settled it.
    if (m_lastArrivalUs >= 0 && arrivalUs - m_lastArrivalUs >= m_byteTimeoutUs) {
        settle(true, out);
        flushNoise(out); // a silence ends a stretch of noise too
    }
    m_lastArrivalUs = arrivalUs;
    stripEcho(bytes, arrivalUs, out);
    if (!bytes.isEmpty()) {
        m_buffer.append(bytes);
        m_pieces.append({m_buffer.size(), arrivalUs});
    }
    settle(false, out);
    // Noise is reported in stretches: a stretch ends with a frame, when no byte
    // waits any more, once it is long, or once it is as old as the byte time-out.
    if (m_noiseFrom >= 0
        && (waiting() == 0 || m_start - m_noiseFrom >= noiseStretch
            || arrivalUs - m_noise.firstUs >= m_byteTimeoutUs))
        flushNoise(out);
    return out;
}

QList<RxEvent> ReplyFramer::expire(qint64 nowUs)
{
    QList<RxEvent> out;
    if (m_lastArrivalUs >= 0 && nowUs - m_lastArrivalUs >= m_byteTimeoutUs) {
        settle(true, out);
        flushNoise(out);
    }
    if (!m_echo.isEmpty() && m_echoMatched == 0 && nowUs - m_echoSinceUs >= m_byteTimeoutUs)
        m_echo.clear(); // the adapter gave no echo this time
    return out;
}

QList<RxEvent> ReplyFramer::flush()
{
    QList<RxEvent> out;
    settle(true, out);
    flushNoise(out);
    return out;
}

qint64 ReplyFramer::pendingSinceUs() const
{
    if (m_echoMatched > 0)
        return m_echoSinceUs;
    return waiting() > 0 ? arrivalOf(m_start) : -1;
}

void ReplyFramer::clear()
{
    m_buffer.clear();
    m_start = 0;
    m_pieces.clear();
    m_lastArrivalUs = -1;
    m_noise = {RxEvent::Noise, {}};
    m_noiseFrom = -1;
    m_echo.clear();
    m_echoMatched = 0;
}

void ReplyFramer::stripEcho(QByteArrayView &bytes, qint64 arrivalUs, QList<RxEvent> &out)
{
    if (m_echo.isEmpty())
        return;
    if (m_echoMatched == 0 && arrivalUs - m_echoSinceUs >= m_byteTimeoutUs) {
        m_echo.clear();
        return;
    }
    const qsizetype before = m_echoMatched;
    qsizetype matched = 0;
    while (matched < bytes.size() && m_echoMatched < m_echo.size()
           && bytes[matched] == m_echo[m_echoMatched]) {
        ++matched;
        ++m_echoMatched;
    }
    if (before == 0 && matched > 0)
        m_echoSinceUs = arrivalUs;
    if (m_echoMatched == m_echo.size()) {
        flushNoise(out);
        out.append({RxEvent::Echo, m_echo, true, m_echoSinceUs, arrivalUs});
        m_echo.clear();
        m_echoMatched = 0;
        bytes = bytes.sliced(matched);
        return;
    }
    if (matched == bytes.size()) { // all of it echo so far: wait for the rest
        m_echoLastUs = arrivalUs;
        bytes = {};
        return;
    }
    // Not the echo after all: the bytes held back so far are framed first.
    if (before > 0) {
        m_buffer.append(m_echo.first(before));
        m_pieces.append({m_buffer.size(), m_echoLastUs});
    }
    m_echo.clear();
    m_echoMatched = 0;
}

void ReplyFramer::settle(bool silent, QList<RxEvent> &out)
{
    if (silent && m_echoMatched > 0) { // an echo cut short is framed as it is
        m_buffer.append(m_echo.first(m_echoMatched));
        m_pieces.append({m_buffer.size(), m_echoLastUs});
        m_echo.clear();
        m_echoMatched = 0;
    }
    if (framing(m_mode).spelled)
        settleAscii(silent, out);
    else
        settleRtu(silent, out);
}

void ReplyFramer::settleRtu(bool silent, QList<RxEvent> &out)
{
    while (waiting() > 0) {
        QByteArrayView bytes = rest();
        // A run of bytes that start no reply is noise in one step.
        const auto *data = reinterpret_cast<const uchar *>(bytes.data());
        const RtuTables &tables = rtuTables();
        qsizetype skipped = 0;
        while (!mayStart(tables, data + skipped, bytes.size() - skipped))
            ++skipped;
        if (skipped > 0) {
            takeNoise(skipped);
            bytes = rest();
        }
        const Candidate candidate = rtuCandidate(tables, bytes);
        switch (candidate.fit) {
        case Fit::Good:
            take(candidate.length, RxEvent::Frame, true, out);
            continue;
        case Fit::None:
            takeNoise(1);
            continue;
        case Fit::Bad:
            if (bytes.size() > candidate.length) {
                takeNoise(1);
            } else if (silent) {
                take(candidate.length, RxEvent::Frame, false, out);
            } else {
                return; // a bad check, unless more bytes follow
            }
            continue;
        case Fit::Incomplete:
            if (silent) {
                takeNoise(1);
                continue;
            }
            // A checked reply complete further on shows that this one is noise.
            if (const qsizetype at = laterCheckedReply(tables, bytes); at > 0) {
                takeNoise(at);
                continue;
            }
            return;
        }
    }
}

void ReplyFramer::settleAscii(bool silent, QList<RxEvent> &out)
{
    while (waiting() > 0) {
        const QByteArrayView bytes = rest();
        const qsizetype colon = bytes.indexOf(':');
        if (colon != 0) {
            takeNoise(colon < 0 ? bytes.size() : colon);
            continue;
        }
        const qsizetype end = bytes.indexOf("\r\n");
        const qsizetype restart = bytes.indexOf(':', 1);
        if (restart > 0 && (end < 0 || restart < end)) {
            takeNoise(restart);
            continue;
        }
        if (end < 0) {
            if (!silent && bytes.size() < maxAsciiReply)
                return;
            takeNoise(1);
            continue;
        }
        take(end + 2, RxEvent::Frame, asciiCheckOk(bytes.first(end)), out);
    }
}

qint64 ReplyFramer::arrivalOf(qsizetype offset) const
{
    for (const Piece &piece : m_pieces) {
        if (piece.end > offset)
            return piece.arrivalUs;
    }
    return m_lastArrivalUs;
}

void ReplyFramer::take(qsizetype length, RxEvent::Kind kind, bool checkOk, QList<RxEvent> &out)
{
    flushNoise(out);
    RxEvent event{kind, m_buffer.sliced(m_start, length), checkOk, arrivalOf(m_start),
                  arrivalOf(m_start + length - 1)};
    out.append(std::move(event));
    m_start += length;
    discardConsumed();
}

void ReplyFramer::takeNoise(qsizetype length)
{
    // Noise stays in the buffer until its stretch ends; only then is it copied.
    if (length > 0) {
        if (m_noiseFrom < 0) {
            m_noiseFrom = m_start;
            m_noise.firstUs = arrivalOf(m_start);
        }
        m_noise.lastUs = arrivalOf(m_start + length - 1);
        m_start += length;
    }
    discardConsumed();
}

void ReplyFramer::discardConsumed()
{
    while (!m_pieces.isEmpty() && m_pieces.front().end <= m_start)
        m_pieces.removeFirst();
    const qsizetype keep = m_noiseFrom >= 0 ? m_noiseFrom : m_start;
    if (keep == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (keep >= compactAfter) {
        m_buffer.remove(0, keep);
        for (Piece &piece : m_pieces)
            piece.end -= keep;
        m_start -= keep;
        if (m_noiseFrom >= 0)
            m_noiseFrom -= keep;
    }
}

void ReplyFramer::flushNoise(QList<RxEvent> &out)
{
    if (m_noiseFrom < 0)
        return;
    m_noise.bytes = m_buffer.sliced(m_noiseFrom, m_start - m_noiseFrom);
    out.append(std::exchange(m_noise, RxEvent{RxEvent::Noise, {}}));
    m_noiseFrom = -1;
    discardConsumed();
}
