#include "sim_frame_reader.h"

#include "codec/checksum.h"
#include "codec/hex_text.h"
#include "device/command_set.h"
#include "sim_logging.h"

#include <optional>

namespace {

// The longest ASCII frame the reader waits for: ":", two digits for each of
// 3 + 255 payload bytes and the LRC, CR.
constexpr qsizetype maxAsciiPrefix = 1 + 2 * (3 + 255 + 1) + 1;
constexpr qint64 asciiSilence = 1000000;

enum class Verdict { Complete, Incomplete, Invalid };

struct Candidate
{
    Verdict verdict = Verdict::Invalid;
    qsizetype length = 1; // of the frame; of what to drop when invalid
    CommMode mode = CommMode::Rtu;
    QByteArray payload;
    bool standard = false;
};

Candidate incomplete()
{
    return Candidate{Verdict::Incomplete, 0, CommMode::Rtu, {}};
}

/// Not a frame: drop \a length bytes (the first byte, or a whole bad ASCII frame).
Candidate invalid(qsizetype length = 1)
{
    return Candidate{Verdict::Invalid, length, CommMode::Rtu, {}};
}

/// The payload length of a standard MODBUS request at the front of \a bytes, as
/// standardPayloadLength() gives it; a CANopen reference, which carries no
/// length, is not looked for.
qsizetype standardRequestLength(QByteArrayView bytes)
{
    const qsizetype length = standardPayloadLength(FrameRole::Request, bytes);
    return length == -2 ? 0 : length;
}

bool crcMatches(QByteArrayView bytes, qsizetype payloadLength)
{
    const quint16 crc = CommSetting::crc16(bytes.first(payloadLength));
    return quint8(bytes[payloadLength]) == (crc & 0xFFu)
            && quint8(bytes[payloadLength + 1]) == crc >> 8;
}

Candidate examineRtu(QByteArrayView bytes)
{
    if (bytes.size() < 2)
        return incomplete();
    // The controller's layout and, for a standard code, the standard one: the
    // check tells which of them the frame is.
    bool waiting = false;
    const qsizetype standard = standardRequestLength(bytes);
    const qsizetype own = bytes.size() >= 3 ? 3 + quint8(bytes[2]) : -1;
    for (const qsizetype length : {standard, own}) {
        if (length == 0)
            continue;
        if (length < 0 || bytes.size() < length + 2) {
            waiting = true;
            continue;
        }
        if (crcMatches(bytes, length)) {
            return {Verdict::Complete, length + 2, CommMode::Rtu, bytes.first(length).toByteArray(),
                    length == standard && length != own};
        }
    }
    return waiting ? incomplete() : invalid();
}

Candidate examineAscii(QByteArrayView bytes)
{
    if (bytes.isEmpty() || bytes[0] != ':')
        return invalid();
    qsizetype end = 1;
    while (end < bytes.size() && isHexDigit(bytes[end]))
        ++end;
    if (end == bytes.size())
        return end < maxAsciiPrefix ? incomplete() : invalid();
    if (bytes[end] != '\r')
        return invalid();
    if (end + 1 == bytes.size())
        return incomplete();
    if (bytes[end + 1] != '\n')
        return invalid();
    // Delimited: from here on a fault drops the whole frame. A request holds at
    // least address, code and a length byte.
    const qsizetype length = end + 2;
    const std::optional<FramePayload> payload = asciiPayload(bytes.first(length));
    if (!payload || payload->bytes.size() < 2 || !payload->checkOk)
        return invalid(length);
    const QByteArray &spelled = payload->bytes;
    const bool standard = standardRequestLength(spelled) == spelled.size()
            && (spelled.size() < 3 || quint8(spelled[2]) != spelled.size() - 3);
    if (!standard && spelled.size() < 3)
        return invalid(length);
    return {Verdict::Complete, length, CommMode::Ascii, spelled, standard};
}

Candidate examine(QByteArrayView bytes)
{
    Candidate rtu = examineRtu(bytes);
    if (rtu.verdict == Verdict::Complete)
        return rtu;
    Candidate ascii = examineAscii(bytes);
    if (ascii.verdict == Verdict::Complete)
        return ascii;
    // A bad frame between ":" and CR LF is an ASCII frame, whatever its bytes
    // would mean as the start of an RTU frame.
    if (ascii.verdict == Verdict::Invalid && ascii.length > 1)
        return ascii;
    if (rtu.verdict == Verdict::Incomplete || ascii.verdict == Verdict::Incomplete)
        return incomplete();
    return invalid();
}

} // namespace

QList<SimRequest> SimFrameReader::feed(QByteArrayView bytes, qint64 now, qint64 rtuSilence)
{
    if (!m_buffer.isEmpty()) {
        const qint64 silence = m_buffer.front() == ':' ? asciiSilence : rtuSilence;
        if (now - m_lastByteTime > silence) {
            drop(m_buffer.size());
            logDropped("stale partial frame");
        }
    }
    if (!bytes.isEmpty()) {
        m_lastByteTime = now;
        m_buffer.append(bytes);
    }

    QList<SimRequest> requests;
    while (!m_buffer.isEmpty()) {
        Candidate candidate = examine(m_buffer);
        if (candidate.verdict == Verdict::Complete) {
            requests.append({m_buffer.first(candidate.length), std::move(candidate.payload),
                             candidate.mode, candidate.standard});
            m_buffer.remove(0, candidate.length);
            continue;
        }
        if (candidate.verdict == Verdict::Invalid) {
            drop(candidate.length);
            continue;
        }
        // The start may only look like the beginning of a long frame; a
        // complete frame further on shows that it was garbage.
        std::optional<qsizetype> next;
        for (qsizetype offset = 1; offset < m_buffer.size() && !next; ++offset) {
            if (examine(QByteArrayView(m_buffer).sliced(offset)).verdict == Verdict::Complete)
                next = offset;
        }
        if (!next)
            break;
        drop(*next);
    }
    logDropped("bad check, or not a frame");
    return requests;
}

void SimFrameReader::drop(qsizetype count)
{
    m_droppedNow += m_buffer.first(count);
    m_buffer.remove(0, count);
    m_dropped += count;
}

void SimFrameReader::logDropped(const char *why)
{
    if (m_droppedNow.isEmpty())
        return;
    qCDebug(lcSim).noquote() << "dropped" << m_droppedNow.toHex(' ').toUpper() << "-" << why;
    m_droppedNow.clear();
}
