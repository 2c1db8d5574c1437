#include "command_set.h"

#include "codec/checksum.h"
#include "codec/hex_text.h"

#include <QCoreApplication>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

namespace FC = FunctionCode;
using D = RequestData;
using R = ReplyForm;
using V = ReplyValue;

// clang-format off
constexpr CommandInfo table[] = {
    {.code = FC::Handshake, .command = "handshake",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "请求握手命令:"), .reply = R::Echo},
    {.code = FC::QueryAddress, .command = "query station address", .toStationZero = true,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询设备地址:"), .reply = R::Data,
     .replyText = QT_TRANSLATE_NOOP("CommandSet", "查询设备地址:当前地址为"), .value = V::Address},
    {.code = FC::ChangeAddress, .command = "change station address", .request = D::Byte,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "更改设备地址:"), .reply = R::Echo},
    {.code = FC::QueryBaudRate, .command = "query baud rate",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询当前波特率:"), .reply = R::Data, .replyData = 1,
     .replyText = QT_TRANSLATE_NOOP("CommandSet", "查询当前波特率:当前波特率设置为"), .value = V::BaudCode},
    {.code = FC::ChangeBaudRate, .command = "change baud rate", .request = D::BaudCode,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "改变当前波特率:"), .reply = R::Echo},
    {.code = FC::SetStartSpeed, .command = "set start speed", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动初速度:"), .reply = R::Echo},
    {.code = FC::QueryStartSpeed, .command = "query start speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动初速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text27"},
    {.code = FC::SetMaxSpeed, .command = "set maximum speed", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动最大速度:"), .reply = R::Echo},
    {.code = FC::QueryMaxSpeed, .command = "query maximum speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动最大速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text26"},
    {.code = FC::SetEndSpeed, .command = "set end speed", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动末速度:"), .reply = R::Echo},
    {.code = FC::QueryEndSpeed, .command = "query end speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动末速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text25"},
    {.code = FC::SetAcceleration, .command = "set acceleration", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动加速度:"), .reply = R::Echo},
    {.code = FC::QueryAcceleration, .command = "query acceleration",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动加速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text24"},
    {.code = FC::SetDeceleration, .command = "set deceleration", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动减速度:"), .reply = R::Echo},
    {.code = FC::QueryDeceleration, .command = "query deceleration",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动减速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text6"},
    {.code = FC::SetHomingSpeed, .command = "set homing speed", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置归零运动速度:"), .reply = R::Echo},
    {.code = FC::QueryHomingSpeed, .command = "query homing speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询归零运动速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text28"},
    {.code = FC::MoveSigned32, .command = "position move, signed 32-bit count",
     .request = D::Int32, .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置32位运动脉冲数并开始运动:"), .reply = R::Echo,
     .ioStorable = true},
    {.code = FC::MoveDirection24, .command = "position move, direction + 24-bit",
     .request = D::Direction24, .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置24位运动脉冲数并开始运动:"),
     .reply = R::Echo, .ioStorable = true},
    {.code = FC::RunSigned32, .command = "constant speed, signed 32-bit",
     .request = D::Int32, .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置32位运动速度，并恒速运动:"), .reply = R::Echo,
     .ioStorable = true},
    {.code = FC::RunDirection24, .command = "constant speed, direction + 24-bit",
     .request = D::Direction24, .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置24位运动速度，并恒速运动:"),
     .reply = R::Echo, .ioStorable = true},
    {.code = FC::ChangeSpeed, .command = "change speed while running", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "恒速运动过程中改变速度:"), .reply = R::Echo, .ioStorable = true},
    {.code = FC::QuerySpeed, .command = "query motion speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text17"},
    {.code = FC::QueryAbsolutePosition, .command = "query absolute position",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动绝对位置:"), .reply = R::Data, .replyData = 4,
     .value = V::Signed32, .valueBox = "Text18"},
    {.code = FC::ClearAbsolutePosition, .command = "clear absolute position",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "绝对位置清零:"), .reply = R::Echo},
    {.code = FC::QueryRelativePosition, .command = "query relative position",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动相对位置:"), .reply = R::Data, .replyData = 4,
     .value = V::Signed32, .valueBox = "Text19"},
    {.code = FC::ClearRelativePosition, .command = "clear relative position",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "相对位置清零:"), .reply = R::Echo},
    {.code = FC::QueryMotionStatus, .command = "query motion status",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动状态:"), .reply = R::Data, .replyData = 4,
     .value = V::MotionStatus},
    {.code = FC::ImmediateStop, .command = "immediate stop",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "急停命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::DeceleratingStop, .command = "decelerating stop",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "减速停止命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::FindZeroPoint, .command = "find zero point (homing)", .request = D::Byte,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查找原点命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::IoTableDownload, .command = "IO replacement table download",
     .request = D::IoEntry, .reply = R::Echo},
    {.code = FC::IoTableQuery, .command = "IO replacement table query", .request = D::Byte,
     .reply = R::Data, .replyData = -1},
    {.code = FC::QueryInputs, .command = "query IN states",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询IN状态命令:"), .reply = R::Data, .replyData = 5,
     .replyText = QT_TRANSLATE_NOOP("CommandSet", "查询 IN 1-5 状态:"), .value = V::Inputs},
    {.code = FC::QueryInputState, .command = "query input state",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询输入状态:")},
    {.code = FC::SetSpeedFactor, .command = "set speed-change factor", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动变速因子:"), .reply = R::Short,
     .replyText = QT_TRANSLATE_NOOP("CommandSet", "设置变速因子命令:"), .ioStorable = true},
    {.code = FC::QuantitativeAcceleration, .command = "quantitative acceleration",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "定量加速命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::QuantitativeDeceleration, .command = "quantitative deceleration",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "定量减速命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::FactorySettings, .command = "factory settings",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "出厂设置命令:"), .reply = R::Short},
};

constexpr BaudRate rates[] = {
    {0x04, 2400}, {0x05, 4800}, {0x06, 9600}, {0x07, 14400}, {0x08, 19200}, {0x09, 38400},
};

constexpr ParameterInfo parameters[] = {
    {FC::SetStartSpeed, FC::QueryStartSpeed, "start speed", "start_speed"},
    {FC::SetMaxSpeed, FC::QueryMaxSpeed, "maximum speed", "max_speed"},
    {FC::SetEndSpeed, FC::QueryEndSpeed, "end speed", "end_speed"},
    {FC::SetAcceleration, FC::QueryAcceleration, "acceleration", "acceleration"},
    {FC::SetDeceleration, FC::QueryDeceleration, "deceleration", "deceleration"},
    {FC::SetHomingSpeed, FC::QueryHomingSpeed, "homing speed", "homing_speed"},
};
// clang-format on

QByteArray frameRtuPure(QByteArrayView payload)
{
    const quint16 crc = CommSetting::crc16(payload);
    QByteArray frame;
    frame.reserve(payload.size() + 2);
    frame.append(payload);
    frame += char(crc & 0xFFu);
    frame += char(crc >> 8);
    return frame;
}

qsizetype rtuFrameLength(qsizetype payloadBytes)
{
    return payloadBytes + 2;
}

qsizetype asciiFrameLength(qsizetype payloadBytes)
{
    return 2 * payloadBytes + 5;
}

// A reply's payload holds at least its address and code.
constexpr qsizetype minimumPayload = 2;

// clang-format off
constexpr Framing framings[] = {
    {.mode = CommMode::Rtu, .name = "rtu", .spelled = false, .shortRepliesChecked = false,
     .headerSize = 0, .trailerSize = 2, .checkBytes = 2,
     .frame = frameRtuPure, .unframe = rtuPayload, .frameLength = rtuFrameLength},
    {.mode = CommMode::Ascii, .name = "ascii", .spelled = true, .shortRepliesChecked = true,
     .headerSize = 1, .trailerSize = 4, .checkBytes = 1,
     .frame = frameAscii, .unframe = asciiPayload, .frameLength = asciiFrameLength},
};
// clang-format on

} // namespace

std::span<const CommandInfo> commandSet()
{
    return table;
}

const CommandInfo *findCode(quint8 code)
{
    // By code: the framer asks at nearly every byte of a noisy line.
    static const std::array<const CommandInfo *, 256> rows = [] {
        std::array<const CommandInfo *, 256> byCode{};
        for (const CommandInfo &row : table)
            byCode[row.code] = &row;
        return byCode;
    }();
    return rows[code];
}

int requestDataLength(RequestData data)
{
    switch (data) {
    case RequestData::None:
        return 0;
    case RequestData::Byte:
    case RequestData::BaudCode:
        return 1;
    case RequestData::Int32:
    case RequestData::Direction24:
        return 4;
    case RequestData::IoEntry:
        return -1;
    }
    return 0;
}

qsizetype controllerPayloadLength(FrameRole role, QByteArrayView bytes)
{
    const CommandInfo *row = findCode(quint8(bytes[1]));
    if (!row)
        return 0;
    int data = requestDataLength(row->request);
    if (role == FrameRole::Reply) {
        switch (row->reply) {
        case ReplyForm::None:
            return 0;
        case ReplyForm::Short:
            return 2;
        case ReplyForm::Echo:
            break;
        case ReplyForm::Data:
            data = row->replyData;
            break;
        }
    }
    if (bytes.size() < 3)
        return -1;
    const int length = quint8(bytes[2]);
    return data < 0 || data == length ? 3 + length : 0;
}

bool payloadFits(FrameRole role, QByteArrayView payload)
{
    if (payload.size() < 2)
        return false;
    if (quint8(payload[1]) & 0x80)
        return role == FrameRole::Reply && payload.size() == 3;
    const auto fits = [&](qsizetype length) {
        // A CANopen reference has no length of its own: any length fits.
        return length == payload.size() || (length == -2 && payload.size() > 3);
    };
    return fits(controllerPayloadLength(role, payload))
            || fits(standardPayloadLength(role, payload));
}

std::optional<QString> sendDescription(quint8 code)
{
    const CommandInfo *row = findCode(code);
    if (!row || !row->sendText)
        return std::nullopt;
    return QCoreApplication::translate("CommandSet", row->sendText);
}

const char *replyLine(const CommandInfo &row)
{
    if (row.reply == ReplyForm::None)
        return nullptr;
    return row.replyText ? row.replyText : row.sendText;
}

QString stationText(quint8 station)
{
    return QStringLiteral("%1").arg(station, 2, 16, QLatin1Char('0')).toUpper();
}

std::span<const BaudRate> baudRates()
{
    return rates;
}

quint8 baudRateCode(QStringView text)
{
    for (const BaudRate &baud : rates) {
        if (text == QString::number(baud.rate))
            return baud.code;
    }
    return 0x00;
}

std::span<const ParameterInfo> motionParameters()
{
    return parameters;
}

int parameterIndex(quint8 code)
{
    for (qsizetype i = 0; i < std::ssize(parameters); ++i) {
        if (code == parameters[i].setCode || code == parameters[i].queryCode)
            return int(i);
    }
    return -1;
}

bool ioStorableCommand(QByteArrayView command)
{
    if (command.size() < 2 || quint8(command[1]) != command.size() - 2)
        return false;
    const CommandInfo *row = findCode(quint8(command[0]));
    return row && row->ioStorable && requestDataLength(row->request) == command.size() - 2;
}

std::optional<FramePayload> rtuPayload(QByteArrayView frame)
{
    if (frame.size() < minimumPayload + 2)
        return std::nullopt;
    const QByteArrayView body = frame.chopped(2);
    const bool good = CommSetting::crc16(body)
            == qFromLittleEndian<quint16>(frame.data() + body.size());
    return FramePayload{body.toByteArray(), good};
}

std::optional<FramePayload> asciiPayload(QByteArrayView frame)
{
    if (frame.isEmpty() || frame.front() != ':')
        return std::nullopt;
    QByteArrayView digits = frame.sliced(1);
    if (const qsizetype cr = digits.indexOf('\r'); cr >= 0)
        digits = digits.first(cr);
    if (digits.size() % 2 != 0 || digits.size() < 2 * (minimumPayload + 1)
        || !std::all_of(digits.begin(), digits.end(), isHexDigit)) {
        return std::nullopt;
    }
    QByteArray bytes = QByteArray::fromHex(digits.toByteArray());
    const quint8 lrc = quint8(bytes.back());
    bytes.chop(1);
    const bool good = CommSetting::CalcLrc(bytes) == lrc;
    return FramePayload{std::move(bytes), good};
}

std::optional<FramePayload> framePayload(QByteArrayView frame)
{
    return frame.startsWith(':') ? asciiPayload(frame) : rtuPayload(frame);
}

const Framing &framing(CommMode mode)
{
    for (const Framing &f : framings) {
        if (f.mode == mode)
            return f;
    }
    Q_UNREACHABLE();
    return framings[0];
}

const Framing *framingNamed(QStringView name)
{
    for (const Framing &f : framings) {
        if (name.compare(QLatin1StringView(f.name), Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}
