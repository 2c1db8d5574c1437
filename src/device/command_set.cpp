#include "command_set.h"

#include "codec/checksum.h"
#include "codec/hex_text.h"

#include <QCoreApplication>
#include <QtEndian>

#include <algorithm>
#include <limits>
#include <array>

namespace {

namespace FC = FunctionCode;
using D = RequestData;
using R = ReplyForm;
using V = ReplyValue;

// clang-format off
constexpr CommandInfo table[] = {
    {.code = FC::Handshake, .name = "handshake", .command = "handshake",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "请求握手命令:"), .reply = R::Echo},
    {.code = FC::QueryAddress, .name = "query_address", .command = "query station address", .toStationZero = true,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询设备地址:"), .reply = R::Data,
     .replyText = QT_TRANSLATE_NOOP("CommandSet", "查询设备地址:当前地址为"), .value = V::Address},
    {.code = FC::ChangeAddress, .name = "change_address", .command = "change station address", .request = D::Byte,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "更改设备地址:"), .reply = R::Echo},
    {.code = FC::QueryBaudRate, .name = "query_baud_rate", .command = "query baud rate",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询当前波特率:"), .reply = R::Data, .replyData = 1,
     .replyText = QT_TRANSLATE_NOOP("CommandSet", "查询当前波特率:当前波特率设置为"), .value = V::BaudCode},
    {.code = FC::ChangeBaudRate, .name = "change_baud_rate", .command = "change baud rate", .request = D::BaudCode,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "改变当前波特率:"), .reply = R::Echo},
    {.code = FC::SetStartSpeed, .name = "set_start_speed", .command = "set start speed", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动初速度:"), .reply = R::Echo},
    {.code = FC::QueryStartSpeed, .name = "query_start_speed", .command = "query start speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动初速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text27"},
    {.code = FC::SetMaxSpeed, .name = "set_max_speed", .command = "set maximum speed", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动最大速度:"), .reply = R::Echo},
    {.code = FC::QueryMaxSpeed, .name = "query_max_speed", .command = "query maximum speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动最大速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text26"},
    {.code = FC::SetEndSpeed, .name = "set_end_speed", .command = "set end speed", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动末速度:"), .reply = R::Echo},
    {.code = FC::QueryEndSpeed, .name = "query_end_speed", .command = "query end speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动末速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text25"},
    {.code = FC::SetAcceleration, .name = "set_acceleration", .command = "set acceleration", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动加速度:"), .reply = R::Echo},
    {.code = FC::QueryAcceleration, .name = "query_acceleration", .command = "query acceleration",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动加速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text24"},
    {.code = FC::SetDeceleration, .name = "set_deceleration", .command = "set deceleration", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动减速度:"), .reply = R::Echo},
    {.code = FC::QueryDeceleration, .name = "query_deceleration", .command = "query deceleration",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动减速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text6"},
    {.code = FC::SetHomingSpeed, .name = "set_homing_speed", .command = "set homing speed", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置归零运动速度:"), .reply = R::Echo},
    {.code = FC::QueryHomingSpeed, .name = "query_homing_speed", .command = "query homing speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询归零运动速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text28"},
    {.code = FC::MoveSigned32, .name = "move", .command = "position move, signed 32-bit count",
     .request = D::Int32, .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置32位运动脉冲数并开始运动:"), .reply = R::Echo,
     .ioStorable = true},
    {.code = FC::MoveDirection24, .name = "move_24", .command = "position move, direction + 24-bit",
     .request = D::Direction24, .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置24位运动脉冲数并开始运动:"),
     .reply = R::Echo, .ioStorable = true},
    {.code = FC::RunSigned32, .name = "run", .command = "constant speed, signed 32-bit",
     .request = D::Int32, .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置32位运动速度，并恒速运动:"), .reply = R::Echo,
     .ioStorable = true},
    {.code = FC::RunDirection24, .name = "run_24", .command = "constant speed, direction + 24-bit",
     .request = D::Direction24, .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置24位运动速度，并恒速运动:"),
     .reply = R::Echo, .ioStorable = true},
    {.code = FC::ChangeSpeed, .name = "change_speed", .command = "change speed while running", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "恒速运动过程中改变速度:"), .reply = R::Echo, .ioStorable = true},
    {.code = FC::QuerySpeed, .name = "query_speed", .command = "query motion speed",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动速度:"), .reply = R::Data, .replyData = 4,
     .value = V::Unsigned32, .valueBox = "Text17"},
    {.code = FC::QueryAbsolutePosition, .name = "query_absolute_position", .command = "query absolute position",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动绝对位置:"), .reply = R::Data, .replyData = 4,
     .value = V::Signed32, .valueBox = "Text18"},
    {.code = FC::ClearAbsolutePosition, .name = "clear_absolute_position", .command = "clear absolute position",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "绝对位置清零:"), .reply = R::Echo},
    {.code = FC::QueryRelativePosition, .name = "query_relative_position", .command = "query relative position",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动相对位置:"), .reply = R::Data, .replyData = 4,
     .value = V::Signed32, .valueBox = "Text19"},
    {.code = FC::ClearRelativePosition, .name = "clear_relative_position", .command = "clear relative position",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "相对位置清零:"), .reply = R::Echo},
    {.code = FC::QueryMotionStatus, .name = "query_motion_status", .command = "query motion status",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询运动状态:"), .reply = R::Data, .replyData = 4,
     .value = V::MotionStatus},
    {.code = FC::ImmediateStop, .name = "immediate_stop", .command = "immediate stop",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "急停命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::DeceleratingStop, .name = "decelerating_stop", .command = "decelerating stop",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "减速停止命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::FindZeroPoint, .name = "find_zero_point", .command = "find zero point (homing)", .request = D::Byte,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查找原点命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::IoTableDownload, .name = "io_table_download", .command = "IO replacement table download",
     .request = D::IoEntry, .reply = R::Echo},
    {.code = FC::IoTableQuery, .name = "io_table_query", .command = "IO replacement table query", .request = D::Byte,
     .reply = R::Data, .replyData = -1},
    {.code = FC::QueryInputs, .name = "query_inputs", .command = "query IN states",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询IN状态命令:"), .reply = R::Data, .replyData = 5,
     .replyText = QT_TRANSLATE_NOOP("CommandSet", "查询 IN 1-5 状态:"), .value = V::Inputs},
    {.code = FC::QueryInputState, .name = "query_input_state", .command = "query input state",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "查询输入状态:")},
    {.code = FC::SetSpeedFactor, .name = "set_speed_factor", .command = "set speed-change factor", .request = D::Int32,
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "设置运动变速因子:"), .reply = R::Short,
     .replyText = QT_TRANSLATE_NOOP("CommandSet", "设置变速因子命令:"), .ioStorable = true},
    {.code = FC::QuantitativeAcceleration, .name = "quantitative_acceleration", .command = "quantitative acceleration",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "定量加速命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::QuantitativeDeceleration, .name = "quantitative_deceleration", .command = "quantitative deceleration",
     .sendText = QT_TRANSLATE_NOOP("CommandSet", "定量减速命令:"), .reply = R::Short, .ioStorable = true},
    {.code = FC::FactorySettings, .name = "factory_settings", .command = "factory settings",
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

const CommandInfo *findCommandName(QStringView name)
{
    const auto row = std::find_if(std::begin(table), std::end(table), [&](const CommandInfo &info) {
        return name == QLatin1String(info.name);
    });
    return row == std::end(table) ? nullptr : row;
}

Result<QByteArray> requestData(const CommandInfo &row, qint64 value)
{
    // In English, like the test plans whose values these are.
    const auto refuse = [&](const char *what) {
        return Failure{QStringLiteral("%1 takes %2, not %3")
                               .arg(QLatin1String(row.name), QLatin1String(what))
                               .arg(value)};
    };
    switch (row.request) {
    case RequestData::None:
    case RequestData::IoEntry:
        return refuse("no value (give its data in hex)");
    case RequestData::Byte:
        if (value < 0 || value > 0xFF)
            return refuse("a byte, 0 to 255");
        return QByteArray(1, char(value));
    case RequestData::BaudCode:
        for (const BaudRate &rate : baudRates()) {
            if (rate.rate == value)
                return QByteArray(1, char(rate.code));
        }
        return refuse("a baud rate of 2400 to 38400");
    case RequestData::Int32:
        if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
            return refuse("a signed 32-bit number");
        return int32BigEndian(qint32(value));
    case RequestData::Direction24:
        if (value < -0xFFFFFF || value > 0xFFFFFF)
            return refuse("a signed count of at most 24 bits");
        return directionAnd24Bit(value < 0 ? 1 : 0, qint32(value < 0 ? -value : value));
    }
    return QByteArray();
}

QString requestDataText(RequestData data)
{
    switch (data) {
    case RequestData::None:
        return {};
    case RequestData::Byte:
        return QStringLiteral("byte");
    case RequestData::BaudCode:
        return QStringLiteral("baud rate");
    case RequestData::Int32:
        return QStringLiteral("signed 32-bit");
    case RequestData::Direction24:
        return QStringLiteral("direction + 24-bit (a signed value)");
    case RequestData::IoEntry:
        return QStringLiteral("IO code + command bytes (data)");
    }
    return {};
}

std::optional<qint64> replyValue(const CommandInfo &row, QByteArrayView payload)
{
    const auto bytes = [&](qsizetype count) { return payload.size() >= 3 + count; };
    switch (row.value) {
    case ReplyValue::None:
        return std::nullopt;
    case ReplyValue::Address:
        return payload.isEmpty() ? std::nullopt : std::optional<qint64>(quint8(payload[0]));
    case ReplyValue::BaudCode:
        if (!bytes(1))
            return std::nullopt;
        for (const BaudRate &rate : baudRates()) {
            if (rate.code == quint8(payload[3]))
                return rate.rate;
        }
        return 0;
    case ReplyValue::Unsigned32:
        return bytes(4) ? std::optional<qint64>(qFromBigEndian<quint32>(payload.data() + 3))
                        : std::nullopt;
    case ReplyValue::Signed32:
        return bytes(4) ? std::optional<qint64>(qFromBigEndian<qint32>(payload.data() + 3))
                        : std::nullopt;
    case ReplyValue::MotionStatus:
        return bytes(1) ? std::optional<qint64>(payload[3] != 0) : std::nullopt;
    case ReplyValue::Inputs: {
        if (!bytes(5))
            return std::nullopt;
        qint64 active = 0; // an input reads 1 while it is not active
        for (int i = 0; i < 5; ++i)
            active |= qint64(payload[3 + i] != 1) << i;
        return active;
    }
    }
    return std::nullopt;
}

QString replyValueUnit(const CommandInfo &row)
{
    if (row.value == ReplyValue::BaudCode)
        return QStringLiteral("baud");
    if (row.value == ReplyValue::Signed32)
        return QStringLiteral("pulses");
    if (row.value != ReplyValue::Unsigned32)
        return {};
    return row.code == FunctionCode::QueryAcceleration || row.code == FunctionCode::QueryDeceleration
            ? QStringLiteral("pulses/s²")
            : QStringLiteral("pulses/s");
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
