#include "frame.h"

#include "codec/checksum.h"

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

void appendHexByte(QByteArray &out, quint8 byte)
{
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0xF];
}

} // namespace

CommMode commModeFromText(QStringView modeText)
{
    return modeText == u"Modbus RTU" ? CommMode::Rtu : CommMode::Ascii;
}

QByteArray frameRtu(QByteArrayView payload)
{
    CommSetting::CalcCrc(payload);
    QByteArray frame;
    frame.reserve(payload.size() + 2);
    frame.append(payload);
    frame += char(CommSetting::CrcLow);
    frame += char(CommSetting::CrcHigh);
    return frame;
}

QByteArray frameAscii(QByteArrayView payload)
{
    QByteArray frame;
    frame.reserve(2 * payload.size() + 5);
    frame += ':';
    for (const char c : payload)
        appendHexByte(frame, quint8(c));
    appendHexByte(frame, CommSetting::CalcLrc(payload));
    frame += "\r\n";
    return frame;
}

QByteArray frameRequest(QByteArrayView payload, CommMode mode)
{
    return mode == CommMode::Rtu ? frameRtu(payload) : frameAscii(payload);
}

QByteArray makePayload(quint8 address, quint8 code, QByteArrayView data)
{
    Q_ASSERT(data.size() <= 255);
    QByteArray payload;
    payload.reserve(3 + data.size());
    payload += char(address);
    payload += char(code);
    payload += char(data.size());
    payload.append(data);
    return payload;
}

QByteArray int32BigEndian(qint32 value)
{
    const auto u = quint32(value);
    const char bytes[4] = {char(u >> 24), char(u >> 16), char(u >> 8), char(u)};
    return QByteArray(bytes, 4);
}

QByteArray directionAnd24Bit(quint8 direction, qint32 value)
{
    const auto u = quint32(value);
    const char bytes[4] = {char(direction), char(u >> 16), char(u >> 8), char(u)};
    return QByteArray(bytes, 4);
}
