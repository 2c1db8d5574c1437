#include "reply_decoder.h"

#include "traffic_lines.h"

#include "device/command_set.h"

#include <QCoreApplication>
#include <QtEndian>

namespace {

// Shape1 to Shape4: moving, left limit, zero point, right limit; Shape5 to
// Shape9: IN1 to IN5.
constexpr const char *shapes[] = {"Shape1", "Shape2", "Shape3", "Shape4", "Shape5",
                                  "Shape6", "Shape7", "Shape8", "Shape9"};
constexpr int firstInputShape = 4;

/// The row whose reply a block of this size can be: a two-byte reply, or a
/// longer one.
const CommandInfo *findReply(quint8 code, bool longReply)
{
    const CommandInfo *row = findCode(code);
    if (!row || !replyLine(*row) || (row->reply == ReplyForm::Short) == longReply)
        return nullptr;
    return row;
}

QString hexDigits(quint8 byte)
{
    return QString::number(byte, 16).toUpper();
}

} // namespace

std::span<const char *const> indicatorShapes()
{
    return shapes;
}

QString valueText(qint64 value)
{
    return value < 0 ? QString::number(value) : u' ' + QString::number(value);
}

QString motionStateCaption(bool moving)
{
    return moving ? QCoreApplication::translate("Replies", "运动中")
                  : QCoreApplication::translate("Replies", "停止");
}

ReceivedDisplay decodeReceived(QByteArrayView block, CommMode mode)
{
    const Framing &framed = framing(mode);
    QByteArray spelled;
    // The count that chooses between long and two-byte replies: the bytes of a
    // binary block; the payload a spelled frame holds, without its check.
    qsizetype replyLength = block.size();
    // The bytes that must be there for a value: counted with the check.
    qsizetype frameBytes = block.size();
    // A block that spells no bytes in a spelled framing is a piece of a reply or
    // noise: it may be named by its raw byte 1, but its characters are no value.
    bool valueAllowed = !framed.spelled;
    bool spelledOk = false; // the spelled frame's LRC matches
    if (framed.spelled) {
        if (std::optional<FramePayload> payload = framed.unframe(block)) {
            spelledOk = payload->checkOk;
            spelled = std::move(payload->bytes);
            block = spelled;
            replyLength = spelled.size();
            frameBytes = spelled.size() + framed.checkBytes;
            valueAllowed = true;
        }
    }

    ReceivedDisplay display;
    if (block.size() < 2)
        return display;
    // A standard MODBUS reply is named, with its values when the block is the
    // whole frame; it fills no box and lights no lamp.
    if (isStandardFunction(quint8(block[1]), block.size() > 2 ? quint8(block[2]) : 0)) {
        if (quint8(block[1]) & 0x80)
            return display;
        display.description = standardFunctionName(quint8(block[1]),
                                                   block.size() > 2 ? quint8(block[2]) : 0);
        // Values only from a whole frame with a good check.
        std::optional<FramePayload> whole = framed.spelled
                ? std::optional<FramePayload>(FramePayload{spelled, spelledOk})
                : rtuPayload(block);
        if (valueAllowed && whole && whole->checkOk && payloadFits(FrameRole::Reply, whole->bytes))
            *display.description += standardValues({}, whole->bytes);
        return display;
    }
    const CommandInfo *reply = findReply(quint8(block[1]), replyLength > 2);
    if (!reply)
        return display;

    const QString line = QCoreApplication::translate("CommandSet", replyLine(*reply));
    switch (reply->value) {
    case ReplyValue::Address:
        display.description = line + hexDigits(quint8(block[0]));
        return display;
    case ReplyValue::BaudCode:
        if (block.size() > 3)
            display.description = line + hexDigits(quint8(block[3]));
        return display;
    default:
        display.description = line;
        break;
    }
    if (frameBytes < 8 || !valueAllowed)
        return display;

    switch (reply->value) {
    case ReplyValue::Unsigned32:
        display.valueBox = reply->valueBox;
        display.valueText = valueText(qFromBigEndian<quint32>(block.data() + 3));
        break;
    case ReplyValue::Signed32:
        display.valueBox = reply->valueBox;
        display.valueText = valueText(qFromBigEndian<qint32>(block.data() + 3));
        break;
    case ReplyValue::MotionStatus: {
        const bool moving = block[3] != 0;
        display.statusCaption = motionStateCaption(moving);
        display.moving = moving;
        display.indicators.append({shapes[0], moving});
        for (int i = 1; i < 4; ++i)
            display.indicators.append({shapes[i], block[3 + i] != 1});
        break;
    }
    case ReplyValue::Inputs:
        for (int i = 0; i < 5 && 3 + i < block.size(); ++i)
            display.indicators.append({shapes[firstInputShape + i], block[3 + i] != 1});
        break;
    default:
        break;
    }
    return display;
}
