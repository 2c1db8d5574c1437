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

// Which frames the framer looks for: a master hears replies; a listener on a
// bus hears requests too. For 2B the request a master sent tells whether its
// reply is the controller's or a standard device identification.
enum Look : quint8 {
    ControllerReplies = 1,
    StandardReplies = 2,
    ControllerRequests = 4,
    StandardRequests = 8,
};

// The layouts to look for at a frame with a given code.
struct Looks
{
    bool listening;
    std::optional<bool> standard2B; // what the last request with code 2B was

    quint8 operator()(quint8 code) const
    {
        if (listening)
            return 0xFF;
        // The request sent decides what a reply with code 2B is.
        if (code == FunctionCode::SetAcceleration && standard2B)
            return *standard2B ? StandardReplies : ControllerReplies;
        return ControllerReplies | StandardReplies;
    }
};

// Whether a frame may start with \a code followed by \a next, for one table
// look-up per byte while a run of noise passes.
struct RtuTables
{
    std::array<bool, 65536> starts{}; // by code * 256 + the byte after it
};

bool mayStartWith(quint8 look, uchar code, uchar next)
{
    if (code & 0x80) // an exception: MODBUS names exception codes 01 to 0B
        return (look & (ControllerReplies | StandardReplies)) && next >= 0x01 && next <= 0x0B;
    const char probe[3] = {0, char(code), char(next)};
    const QByteArrayView bytes(probe, 3);
    return ((look & ControllerReplies) && controllerPayloadLength(FrameRole::Reply, bytes) != 0)
            || ((look & StandardReplies) && standardPayloadLength(FrameRole::Reply, bytes) != 0)
            || ((look & ControllerRequests)
                && controllerPayloadLength(FrameRole::Request, bytes) != 0)
            || ((look & StandardRequests) && standardPayloadLength(FrameRole::Request, bytes) != 0);
}

RtuTables makeTables(quint8 look)
{
    RtuTables t;
    for (int code = 0; code < 256; ++code) {
        for (int next = 0; next < 256; ++next)
            t.starts[code * 256 + next] = mayStartWith(look, uchar(code), uchar(next));
    }
    return t;
}

const RtuTables &rtuTables(bool listening)
{
    static const RtuTables replies = makeTables(ControllerReplies | StandardReplies);
    static const RtuTables everything = makeTables(0xFF);
    return listening ? everything : replies;
}

// Whether a frame could start at \a p, \a left bytes before the end.
inline bool mayStart(const RtuTables &tables, const uchar *p, qsizetype left)
{
    return left < 3 || tables.starts[p[1] * 256 + p[2]];
}

enum class Fit { None, Incomplete, Good, Bad };
struct Candidate
{
    Fit fit;
    qsizetype length = 0;
    bool checked = true; // the controller's two-byte replies carry no check
    bool shortReply = false; // Incomplete: a two-byte reply, unless more completes
};

// In the search loop: the check alone, without copying the payload out as rtuPayload() does.
bool crcMatches(QByteArrayView frame)
{
    const QByteArrayView body = frame.chopped(2);
    return CommSetting::crc16(body) == qFromLittleEndian<quint16>(frame.data() + body.size());
}

// A CANopen reference carries no length: the first check that matches ends it.
constexpr qsizetype longestOpenPayload = 256;

// The frame that could start at the front of \a bytes, among the layouts \a look
// names. A frame with a good check wins; a layout still short of bytes makes
// the candidate wait; a complete one with a bad check is reported as the one
// that ends at \a end where there is one (the line fell silent there).
Candidate rtuCandidate(quint8 look, QByteArrayView bytes, qsizetype end)
{
    if (bytes.size() < 2)
        return {Fit::Incomplete};
    const quint8 code = quint8(bytes[1]);
    if (code & 0x80) {
        // MODBUS names exception codes 01 to 0B; anything else is no exception.
        if (!(look & (ControllerReplies | StandardReplies))
            || (bytes.size() >= 3 && (quint8(bytes[2]) < 0x01 || quint8(bytes[2]) > 0x0B)))
            return {Fit::None};
        if (bytes.size() < 5)
            return {Fit::Incomplete, 5};
        return {crcMatches(bytes.first(5)) ? Fit::Good : Fit::Bad, 5};
    }
    bool waiting = false;
    bool shortReply = false;
    qsizetype bad = 0;
    qsizetype good = 0;
    const auto consider = [&](qsizetype payload) {
        if (payload == 0 || good > 0)
            return;
        if (payload == -2) { // open-ended: the first length whose check matches
            for (qsizetype length = 4; length <= longestOpenPayload + 2; ++length) {
                if (length > bytes.size()) {
                    waiting = true;
                    return;
                }
                if (crcMatches(bytes.first(length))) {
                    good = length;
                    return;
                }
            }
            return;
        }
        if (payload < 0 || bytes.size() < payload + 2) {
            waiting = true;
            return;
        }
        if (crcMatches(bytes.first(payload + 2)))
            good = payload + 2;
        else if (bad != end)
            bad = payload + 2;
    };
    if (look & ControllerReplies) {
        const qsizetype payload = controllerPayloadLength(FrameRole::Reply, bytes);
        if (payload == 2)
            shortReply = true;
        else
            consider(payload);
    }
    if (look & StandardReplies)
        consider(standardPayloadLength(FrameRole::Reply, bytes));
    if (look & StandardRequests)
        consider(standardPayloadLength(FrameRole::Request, bytes));
    if (look & ControllerRequests)
        consider(controllerPayloadLength(FrameRole::Request, bytes));
    if (good > 0)
        return {Fit::Good, good};
    // A two-byte reply is taken at once by a master; a listener first lets a
    // longer frame of the same code complete.
    if (shortReply && !waiting)
        return {Fit::Good, 2, false};
    if (waiting)
        return {Fit::Incomplete, 0, true, shortReply};
    if (bad > 0)
        return {Fit::Bad, bad};
    return {Fit::None};
}

} // namespace

// Where the first complete frame with a good check starts after the front of
// \a bytes (what waits), or 0. The search goes on where the last one stopped,
// however far the front has moved since: a complete candidate never turns good
// later, so only the positions that lacked bytes are looked at again.
qsizetype ReplyFramer::laterCheckedFrame(QByteArrayView bytes)
{
    const RtuTables &tables = rtuTables(m_listening);
    const Looks look{m_listening, m_standard2B};
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const auto candidate = [&](qsizetype at) {
        return rtuCandidate(look(data[at + 1]), bytes.sliced(at), -1);
    };
    // Positions kept by the buffer, from the front on.
    m_later.waiting.removeIf([this](qsizetype at) { return at <= m_start; });
    // Kept: positions that lacked bytes, and two-byte replies, which carry no check.
    const auto keep = [](const Candidate &later) {
        return later.fit == Fit::Incomplete || (later.fit == Fit::Good && !later.checked);
    };
    for (qsizetype i = 0; i < m_later.waiting.size(); ++i) {
        const qsizetype at = m_later.waiting[i] - m_start;
        const Candidate later = candidate(at);
        if (later.fit == Fit::Good && later.checked)
            return at;
        if (keep(later))
            continue;
        m_later.waiting.removeAt(i--);
        if (later.fit == Fit::Bad)
            m_later.completeEnd = qMax(m_later.completeEnd, m_start + at + later.length);
    }
    for (qsizetype at = qMax<qsizetype>(m_later.scanned - m_start, 1); at + 2 <= bytes.size();
         ++at) {
        if (!mayStart(tables, data + at, bytes.size() - at))
            continue;
        const Candidate later = candidate(at);
        if (later.fit == Fit::Good && later.checked) {
            m_later.scanned = m_start + at;
            return at;
        }
        if (keep(later))
            m_later.waiting.append(m_start + at);
        else if (later.fit == Fit::Bad)
            m_later.completeEnd = qMax(m_later.completeEnd, m_start + at + later.length);
    }
    m_later.scanned = qMax(m_later.scanned, m_start + qMax<qsizetype>(bytes.size() - 1, 1));
    return 0;
}

namespace {

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

void ReplyFramer::setListening(bool on)
{
    if (on == m_listening)
        return;
    clear();
    m_listening = on;
}

void ReplyFramer::setLineRate(qint32 baud)
{
    if (baud <= 0) {
        m_silenceUs = 0;
        return;
    }
    m_charUs = 11'000'000 / baud;
    m_silenceUs = baud > 19200 ? 1750 : (35 * m_charUs + 5) / 10;
}

void ReplyFramer::requestWritten(QByteArrayView frame)
{
    std::optional<FramePayload> spelled = asciiPayload(frame);
    const QByteArrayView bytes = spelled ? QByteArrayView(spelled->bytes) : frame;
    if (bytes.size() >= 3 && quint8(bytes[1]) == FunctionCode::SetAcceleration) {
        m_standard2B = isStandardFunction(quint8(bytes[1]), quint8(bytes[2]));
        m_later = {};
    }
}

void ReplyFramer::append(QByteArrayView bytes, qint64 arrivalUs)
{
    // The line was silent before these bytes when they arrived later than they
    // could have travelled since the last ones.
    bool silence = false;
    if (m_silenceUs > 0 && m_lastArrivalUs >= 0 && !m_buffer.isEmpty())
        silence = arrivalUs - bytes.size() * m_charUs - m_lastArrivalUs >= m_silenceUs;
    m_buffer.append(bytes);
    m_pieces.append({m_buffer.size(), arrivalUs, bytes.size(), silence});
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
    stripEcho(bytes, arrivalUs, out);
    if (!bytes.isEmpty())
        append(bytes, arrivalUs);
    m_lastArrivalUs = arrivalUs;
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
    m_later = {};
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
        m_pieces.append({m_buffer.size(), m_echoLastUs, before});
    }
    m_echo.clear();
    m_echoMatched = 0;
}

void ReplyFramer::settle(bool silent, QList<RxEvent> &out)
{
    if (silent && m_echoMatched > 0) { // an echo cut short is framed as it is
        m_buffer.append(m_echo.first(m_echoMatched));
        m_pieces.append({m_buffer.size(), m_echoLastUs, m_echoMatched});
        m_echo.clear();
        m_echoMatched = 0;
    }
    if (framing(m_mode).spelled)
        settleAscii(silent, out);
    else
        settleRtu(silent, out);
}

qsizetype ReplyFramer::knownNoise()
{
    // The front is noise. So is every position behind it that the search for a
    // later frame found to hold no frame that could be taken (no check good, no
    // bytes lacking, no two-byte reply), when each such candidate ends before the
    // last byte: here a bad check is only reported once the line falls silent
    // after it. A listener also reads silences the search did not, so it steps
    // a byte at a time.
    if (m_listening)
        return 1;
    m_later.waiting.removeIf([this](qsizetype at) { return at <= m_start; });
    const qsizetype stop = m_later.waiting.isEmpty() ? m_later.scanned
                                                     : qMin(m_later.scanned, m_later.waiting.front());
    if (stop <= m_start + 1 || m_later.completeEnd >= m_buffer.size())
        return 1;
    return stop - m_start;
}

qsizetype ReplyFramer::nextSilence() const
{
    // The offset, from the front of what waits, where the line fell silent.
    if (m_listening && m_silenceUs > 0) {
        for (const Piece &piece : m_pieces) {
            const qsizetype begin = piece.end - piece.size;
            if (begin > m_start && piece.silenceBefore)
                return begin - m_start;
        }
    }
    return waiting();
}

void ReplyFramer::settleRtu(bool silent, QList<RxEvent> &out)
{
    const RtuTables &tables = rtuTables(m_listening);
    const Looks look{m_listening, m_standard2B};
    while (waiting() > 0) {
        QByteArrayView bytes = rest();
        // A run of bytes that start no frame is noise in one step.
        const auto *data = reinterpret_cast<const uchar *>(bytes.data());
        qsizetype skipped = 0;
        while (!mayStart(tables, data + skipped, bytes.size() - skipped))
            ++skipped;
        if (skipped > 0) {
            takeNoise(skipped);
            bytes = rest();
        }
        const quint8 code = bytes.size() >= 2 ? quint8(bytes[1]) : 0;
        const qsizetype end = nextSilence();
        const Candidate candidate = rtuCandidate(look(code), bytes, end);
        switch (candidate.fit) {
        case Fit::Good:
            take(candidate.length, RxEvent::Frame, true, out);
            continue;
        case Fit::None:
            takeNoise(knownNoise());
            continue;
        case Fit::Bad:
            // A frame with a bad check is one the line fell silent after;
            // otherwise its first byte is noise.
            if (candidate.length == end && (end < bytes.size() || silent))
                take(candidate.length, RxEvent::Frame, false, out);
            else if (bytes.size() > candidate.length || silent)
                takeNoise(knownNoise());
            else
                return; // a bad check, unless more bytes follow
            continue;
        case Fit::Incomplete: {
            // A listener takes a two-byte reply once nothing longer can follow.
            if (silent || (candidate.shortReply && end == 2)) {
                if (candidate.shortReply)
                    take(2, RxEvent::Frame, true, out);
                else
                    takeNoise(1);
                continue;
            }
            // A checked frame complete further on shows that this one is noise.
            const qsizetype at = laterCheckedFrame(bytes);
            if (at == 0)
                return;
            if (candidate.shortReply && at >= 2)
                take(2, RxEvent::Frame, true, out);
            else
                takeNoise(at);
            continue;
        }
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
        m_later = {};
    } else if (keep >= compactAfter) {
        m_buffer.remove(0, keep);
        for (Piece &piece : m_pieces)
            piece.end -= keep;
        m_later.scanned = qMax<qsizetype>(m_later.scanned - keep, 0);
        m_later.completeEnd = qMax<qsizetype>(m_later.completeEnd - keep, 0);
        for (qsizetype &at : m_later.waiting)
            at -= keep;
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
