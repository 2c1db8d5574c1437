#include "modbus_standard.h"

#include <QCoreApplication>
#include <QStringList>
#include <QtEndian>

namespace {

constexpr quint8 encapsulated = 0x2B;
constexpr quint8 meiCanOpen = 0x0D;
constexpr quint8 meiDeviceId = 0x0E;
constexpr qsizetype maxPayload = 256 - 2;

struct StandardFunction
{
    quint8 code;
    const char *name;
};

// clang-format off
constexpr StandardFunction functions[] = {
    {0x01, QT_TRANSLATE_NOOP("Modbus", "读线圈:")},
    {0x02, QT_TRANSLATE_NOOP("Modbus", "读离散输入:")},
    {0x03, QT_TRANSLATE_NOOP("Modbus", "读保持寄存器:")},
    {0x04, QT_TRANSLATE_NOOP("Modbus", "读输入寄存器:")},
    {0x05, QT_TRANSLATE_NOOP("Modbus", "写单个线圈:")},
    {0x06, QT_TRANSLATE_NOOP("Modbus", "写单个寄存器:")},
    {0x07, QT_TRANSLATE_NOOP("Modbus", "读异常状态:")},
    {0x08, QT_TRANSLATE_NOOP("Modbus", "诊断:")},
    {0x0B, QT_TRANSLATE_NOOP("Modbus", "读通信事件计数:")},
    {0x0C, QT_TRANSLATE_NOOP("Modbus", "读通信事件记录:")},
    {0x0F, QT_TRANSLATE_NOOP("Modbus", "写多个线圈:")},
    {0x10, QT_TRANSLATE_NOOP("Modbus", "写多个寄存器:")},
    {0x11, QT_TRANSLATE_NOOP("Modbus", "报告从站标识:")},
    {0x14, QT_TRANSLATE_NOOP("Modbus", "读文件记录:")},
    {0x15, QT_TRANSLATE_NOOP("Modbus", "写文件记录:")},
    {0x16, QT_TRANSLATE_NOOP("Modbus", "屏蔽写寄存器:")},
    {0x17, QT_TRANSLATE_NOOP("Modbus", "读写多个寄存器:")},
    {0x18, QT_TRANSLATE_NOOP("Modbus", "读FIFO队列:")},
};
constexpr const char *canOpenName = QT_TRANSLATE_NOOP("Modbus", "CANopen 通用引用:");
constexpr const char *deviceIdName = QT_TRANSLATE_NOOP("Modbus", "读设备标识:");
// clang-format on

const StandardFunction *findFunction(quint8 code)
{
    for (const StandardFunction &function : functions) {
        if (function.code == code)
            return &function;
    }
    return nullptr;
}

quint16 wordAt(QByteArrayView bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.data() + at);
}

// The payload of a device identification reply: address, 2B, 0E, read code,
// conformity, more follows, next object, object count, then each object's id,
// length and value.
qsizetype deviceIdReplyLength(QByteArrayView bytes)
{
    if (bytes.size() < 8)
        return -1;
    qsizetype length = 8;
    for (int object = 0; object < quint8(bytes[7]) && length <= maxPayload; ++object) {
        if (bytes.size() < length + 2)
            return -1;
        length += 2 + quint8(bytes[length + 1]);
    }
    return length;
}

QString registers(QByteArrayView bytes, qsizetype count)
{
    QStringList values;
    for (qsizetype i = 0; i < count && 2 * i + 1 < bytes.size(); ++i)
        values.append(QString::number(wordAt(bytes, 2 * i)));
    return values.join(u' ');
}

QString bits(QByteArrayView bytes, qsizetype count)
{
    QString values;
    for (qsizetype i = 0; i < count && i / 8 < bytes.size(); ++i) {
        if (i > 0)
            values += u' ';
        values += (quint8(bytes[i / 8]) >> (i % 8)) & 1 ? u'1' : u'0';
    }
    return values;
}

// What a request writes.
QString writtenValues(QByteArrayView request)
{
    const quint8 code = quint8(request[1]);
    if ((code == 0x05 || code == 0x06) && request.size() >= 6) {
        const quint16 value = wordAt(request, 4);
        return code == 0x06 ? QString::number(value) : QString(value == 0xFF00 ? u'1' : u'0');
    }
    if ((code == 0x0F || code == 0x10) && request.size() >= 7) {
        const QByteArrayView data = request.sliced(7);
        const qsizetype count = wordAt(request, 4);
        return code == 0x10 ? registers(data, count) : bits(data, count);
    }
    return {};
}

// What a reply reads back; \a asked is the request's quantity, or -1.
QString readValues(QByteArrayView reply, qsizetype asked)
{
    const quint8 code = quint8(reply[1]);
    switch (code) {
    case 0x01:
    case 0x02:
        if (reply.size() >= 3) {
            const QByteArrayView data = reply.sliced(3);
            return bits(data, asked >= 0 ? asked : 8 * data.size());
        }
        break;
    case 0x03:
    case 0x04:
    case 0x17:
        if (reply.size() >= 3)
            return registers(reply.sliced(3), quint8(reply[2]) / 2);
        break;
    case 0x05:
    case 0x06:
        return writtenValues(reply);
    case 0x18:
        if (reply.size() >= 6)
            return registers(reply.sliced(6), wordAt(reply, 4));
        break;
    default:
        break;
    }
    return {};
}

// The payload length the code's layout gives, before its fields are judged (see
// standardPayloadLength()).
qsizetype layoutLength(FrameRole role, QByteArrayView bytes)
{
    // The length of a payload whose byte \a index counts the bytes after it.
    const auto countAt = [&](qsizetype index) -> qsizetype {
        return bytes.size() > index ? index + 1 + quint8(bytes[index]) : -1;
    };
    const quint8 code = quint8(bytes[1]);
    if (role == FrameRole::Request) {
        switch (code) {
        case 0x01: // a start and a count, an address and a value
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x05:
        case 0x06:
        case 0x08: // a sub-function and its data word
            return 6;
        case 0x07: // nothing but the code
        case 0x0B:
        case 0x0C:
        case 0x11:
            return 2;
        case 0x0F: // start, count, byte count, values
        case 0x10:
            return countAt(6);
        case 0x14: // byte count, then the sub-requests
        case 0x15:
            return countAt(2);
        case 0x16: // address, AND mask, OR mask
            return 8;
        case 0x17: // two starts and counts, byte count, values
            return countAt(10);
        case 0x18: // the FIFO's address
            return 4;
        default:
            break;
        }
    } else {
        switch (code) {
        case 0x01: // byte count, then the bits or registers
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x0C:
        case 0x11:
        case 0x14:
        case 0x15:
        case 0x17:
            return countAt(2);
        case 0x05: // the request's address and value, or start and count
        case 0x06:
        case 0x08:
        case 0x0B:
        case 0x0F:
        case 0x10:
            return 6;
        case 0x07: // one status byte
            return 3;
        case 0x16:
            return 8;
        case 0x18: // a two-byte byte count
            return bytes.size() >= 4 ? 4 + wordAt(bytes, 2) : -1;
        default:
            break;
        }
    }
    if (code != encapsulated)
        return 0;
    if (bytes.size() < 3)
        return -1;
    if (quint8(bytes[2]) == meiCanOpen)
        return -2;
    if (quint8(bytes[2]) != meiDeviceId)
        return 0;
    return role == FrameRole::Request ? 5 : deviceIdReplyLength(bytes);
}

// Whether the fields that have arrived hold what MODBUS allows there: counts
// within their limits and matching their byte counts, a coil's value FF00 or
// 0000. On a noisy line this turns most false starts away before any check is
// computed.
bool plausible(FrameRole role, QByteArrayView bytes)
{
    const quint8 code = quint8(bytes[1]);
    const qsizetype size = bytes.size();
    const auto word = [&](qsizetype at) {
        return size >= at + 2 ? int(wordAt(bytes, at)) : -1;
    };
    const auto within = [](int value, int low, int high) {
        return value < 0 || (value >= low && value <= high);
    };
    const int count = size > 2 ? quint8(bytes[2]) : -1;
    if (code == 0x05 && !within(word(4), 0, 0) && word(4) != 0xFF00)
        return false;
    if (code == 0x08)
        return count <= 0;
    if (role == FrameRole::Reply) {
        switch (code) {
        case 0x01:
        case 0x02:
            return within(count, 1, 250);
        case 0x03:
        case 0x04:
        case 0x17:
            return within(count, 2, 250) && count % 2 != 1;
        case 0x0F:
            return within(word(4), 1, 1968);
        case 0x10:
            return within(word(4), 1, 123);
        case 0x18:
            return within(word(2), 2, 64) && word(2) % 2 != 1;
        default:
            return true;
        }
    }
    const int quantity = word(4);
    const int byteCount = size > 6 ? quint8(bytes[6]) : -1;
    switch (code) {
    case 0x01:
    case 0x02:
        return within(quantity, 1, 2000);
    case 0x03:
    case 0x04:
        return within(quantity, 1, 125);
    case 0x0F:
        return within(quantity, 1, 1968) && (byteCount < 0 || byteCount == (quantity + 7) / 8);
    case 0x10:
        return within(quantity, 1, 123) && (byteCount < 0 || byteCount == 2 * quantity);
    default:
        return true;
    }
}

} // namespace

bool isStandardFunction(quint8 code, quint8 next)
{
    code &= 0x7F;
    if (code == encapsulated)
        return next == meiCanOpen || next == meiDeviceId;
    return findFunction(code) != nullptr;
}

qsizetype standardPayloadLength(FrameRole role, QByteArrayView bytes)
{
    const qsizetype length = layoutLength(role, bytes);
    // A MODBUS RTU frame holds at most 256 bytes: a longer layout is no frame.
    return length > maxPayload || (length != 0 && !plausible(role, bytes)) ? 0 : length;
}

std::optional<QString> standardFunctionName(quint8 code, quint8 next)
{
    if (code == encapsulated) {
        if (next == meiCanOpen)
            return QCoreApplication::translate("Modbus", canOpenName);
        if (next == meiDeviceId)
            return QCoreApplication::translate("Modbus", deviceIdName);
        return std::nullopt;
    }
    if (const StandardFunction *function = findFunction(code))
        return QCoreApplication::translate("Modbus", function->name);
    return std::nullopt;
}

QString standardValues(QByteArrayView request, QByteArrayView reply)
{
    const bool readBack = reply.size() >= 2 && !(quint8(reply[1]) & 0x80)
            && isStandardFunction(quint8(reply[1]), reply.size() > 2 ? quint8(reply[2]) : 0);
    if (readBack) {
        qsizetype asked = -1;
        if (request.size() >= 6 && request[1] == reply[1])
            asked = wordAt(request, 4);
        const QString values = readValues(reply, asked);
        if (!values.isEmpty())
            return values;
    }
    if (request.size() >= 2 && isStandardFunction(quint8(request[1]), 0))
        return writtenValues(request);
    return {};
}
