#include "frame.h"

#include "codec/checksum.h"
#include "codec/hex_text.h"

#include <QtEndian>

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
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray directionAnd24Bit(quint8 direction, qint32 value)
{
    QByteArray bytes = int32BigEndian(value);
    bytes[0] = char(direction); // in place of the top 8 bits
    return bytes;
}
