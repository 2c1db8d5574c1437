#include "reply_decoder.h"

#include "traffic_lines.h"

#include <QCoreApplication>

#include <array>

namespace {

enum class Value {
    None,
    Address, // byte 0 in hex, inline in the line
    BaudCode, // byte 3 in hex, inline in the line
    Unsigned32,
    Signed32,
    MotionStatus,
    Inputs,
};

struct Reply
{
    quint8 code;
    bool longReply; // chosen when the block has more than two bytes
    const char *line;
    Value value;
    const char *box;
};

// clang-format off
constexpr std::array<Reply, 36> replies{{
    {0x20, true, QT_TRANSLATE_NOOP("Replies", "请求握手命令:"), Value::None, nullptr},
    {0x21, true, QT_TRANSLATE_NOOP("Replies", "查询设备地址:当前地址为"), Value::Address, nullptr},
    {0x22, true, QT_TRANSLATE_NOOP("Replies", "更改设备地址:"), Value::None, nullptr},
    {0x23, true, QT_TRANSLATE_NOOP("Replies", "查询当前波特率:当前波特率设置为"), Value::BaudCode, nullptr},
    {0x24, true, QT_TRANSLATE_NOOP("Replies", "改变当前波特率:"), Value::None, nullptr},
    {0x25, true, QT_TRANSLATE_NOOP("Replies", "设置运动初速度:"), Value::None, nullptr},
    {0x26, true, QT_TRANSLATE_NOOP("Replies", "查询运动初速度:"), Value::Unsigned32, "Text27"},
    {0x27, true, QT_TRANSLATE_NOOP("Replies", "设置运动最大速度:"), Value::None, nullptr},
    {0x28, true, QT_TRANSLATE_NOOP("Replies", "查询运动最大速度:"), Value::Unsigned32, "Text26"},
    {0x29, true, QT_TRANSLATE_NOOP("Replies", "设置运动末速度:"), Value::None, nullptr},
    {0x2A, true, QT_TRANSLATE_NOOP("Replies", "查询运动末速度:"), Value::Unsigned32, "Text25"},
    {0x2B, true, QT_TRANSLATE_NOOP("Replies", "设置运动加速度:"), Value::None, nullptr},
    {0x2C, true, QT_TRANSLATE_NOOP("Replies", "查询运动加速度:"), Value::Unsigned32, "Text24"},
    {0x2D, true, QT_TRANSLATE_NOOP("Replies", "设置运动减速度:"), Value::None, nullptr},
    {0x2E, true, QT_TRANSLATE_NOOP("Replies", "查询运动减速度:"), Value::Unsigned32, "Text6"},
    {0x2F, true, QT_TRANSLATE_NOOP("Replies", "设置归零运动速度:"), Value::None, nullptr},
    {0x30, true, QT_TRANSLATE_NOOP("Replies", "查询归零运动速度:"), Value::Unsigned32, "Text28"},
    {0x31, true, QT_TRANSLATE_NOOP("Replies", "设置32位运动脉冲数并开始运动:"), Value::None, nullptr},
    {0x32, true, QT_TRANSLATE_NOOP("Replies", "设置24位运动脉冲数并开始运动:"), Value::None, nullptr},
    {0x33, true, QT_TRANSLATE_NOOP("Replies", "设置32位运动速度，并恒速运动:"), Value::None, nullptr},
    {0x34, true, QT_TRANSLATE_NOOP("Replies", "设置24位运动速度，并恒速运动:"), Value::None, nullptr},
    {0x35, true, QT_TRANSLATE_NOOP("Replies", "恒速运动过程中改变速度:"), Value::None, nullptr},
    {0x36, true, QT_TRANSLATE_NOOP("Replies", "查询运动速度:"), Value::Unsigned32, "Text17"},
    {0x37, true, QT_TRANSLATE_NOOP("Replies", "查询运动绝对位置:"), Value::Signed32, "Text18"},
    {0x38, true, QT_TRANSLATE_NOOP("Replies", "绝对位置清零:"), Value::None, nullptr},
    {0x39, true, QT_TRANSLATE_NOOP("Replies", "查询运动相对位置:"), Value::Signed32, "Text19"},
    {0x3A, true, QT_TRANSLATE_NOOP("Replies", "相对位置清零:"), Value::None, nullptr},
    {0x3B, true, QT_TRANSLATE_NOOP("Replies", "查询运动状态:"), Value::MotionStatus, nullptr},
    {0x42, true, QT_TRANSLATE_NOOP("Replies", "查询 IN 1-5 状态:"), Value::Inputs, nullptr},
    {0x3C, false, QT_TRANSLATE_NOOP("Replies", "急停命令:"), Value::None, nullptr},
    {0x3D, false, QT_TRANSLATE_NOOP("Replies", "减速停止命令:"), Value::None, nullptr},
    {0x3E, false, QT_TRANSLATE_NOOP("Replies", "查找原点命令:"), Value::None, nullptr},
    {0x44, false, QT_TRANSLATE_NOOP("Replies", "设置变速因子命令:"), Value::None, nullptr},
    {0x45, false, QT_TRANSLATE_NOOP("Replies", "定量加速命令:"), Value::None, nullptr},
    {0x46, false, QT_TRANSLATE_NOOP("Replies", "定量减速命令:"), Value::None, nullptr},
    {0x47, false, QT_TRANSLATE_NOOP("Replies", "出厂设置命令:"), Value::None, nullptr},
}};
// clang-format on

constexpr std::array<const char *, 4> statusShapes{"Shape1", "Shape2", "Shape3", "Shape4"};
constexpr std::array<const char *, 5> inputShapes{"Shape5", "Shape6", "Shape7", "Shape8", "Shape9"};

const Reply *findReply(quint8 code, bool longReply)
{
    for (const Reply &reply : replies) {
        if (reply.code == code && reply.longReply == longReply)
            return &reply;
    }
    return nullptr;
}

quint32 bigEndian32(QByteArrayView b)
{
    return quint32(quint8(b[3])) << 24 | quint32(quint8(b[4])) << 16 | quint32(quint8(b[5])) << 8
            | quint32(quint8(b[6]));
}

QString hexDigits(quint8 byte)
{
    return QString::number(byte, 16).toUpper();
}

} // namespace

QString valueText(qint64 value)
{
    return value < 0 ? QString::number(value) : u' ' + QString::number(value);
}

ReceivedDisplay decodeReceived(QByteArrayView block, CommMode mode)
{
    QByteArray spelled;
    // The count that chooses between long and two-byte replies: the bytes of an
    // RTU block; the bytes an ASCII frame spells, without its LRC.
    qsizetype replyLength = block.size();
    if (mode == CommMode::Ascii) {
        if (std::optional<QByteArray> bytes = asciiFrameBytes(block)) {
            spelled = std::move(*bytes);
            block = spelled;
            replyLength = spelled.size() - 1;
        }
    }

    ReceivedDisplay display;
    if (block.size() < 2)
        return display;
    const Reply *reply = findReply(quint8(block[1]), replyLength > 2);
    if (!reply)
        return display;

    const QString line = QCoreApplication::translate("Replies", reply->line);
    switch (reply->value) {
    case Value::Address:
        display.description = line + hexDigits(quint8(block[0]));
        return display;
    case Value::BaudCode:
        if (block.size() > 3)
            display.description = line + hexDigits(quint8(block[3]));
        return display;
    default:
        display.description = line;
        break;
    }
    if (block.size() < 8)
        return display;

    switch (reply->value) {
    case Value::Unsigned32:
        display.valueBox = reply->box;
        display.valueText = valueText(bigEndian32(block));
        break;
    case Value::Signed32:
        display.valueBox = reply->box;
        display.valueText = valueText(qint32(bigEndian32(block)));
        break;
    case Value::MotionStatus: {
        const bool moving = block[3] != 0;
        display.statusCaption = moving ? QCoreApplication::translate("Replies", "运动中")
                                       : QCoreApplication::translate("Replies", "停止");
        display.indicators.append({statusShapes[0], moving});
        for (int i = 1; i < 4; ++i)
            display.indicators.append({statusShapes[i], block[3 + i] != 1});
        break;
    }
    case Value::Inputs:
        for (int i = 0; i < 5; ++i)
            display.indicators.append({inputShapes[i], block[3 + i] != 1});
        break;
    default:
        break;
    }
    return display;
}
