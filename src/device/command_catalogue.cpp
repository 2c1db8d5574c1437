#include "command_catalogue.h"

#include "device/frame.h"
#include "device/command_set.h"

#include <QCoreApplication>

#include <array>

namespace {

namespace FC = FunctionCode;
constexpr auto Dec = NumberBase::Decimal;
constexpr auto Hex = NumberBase::Hexadecimal;

// clang-format off
constexpr auto None = Requests::None;
constexpr auto List = Requests::List;
constexpr auto ListAndIo = Requests::ListAndIo;

constexpr CommandSpec catalogue[] = {
    // Station commands: send-only.
    {"Command12", FC::Handshake},
    {"Command13", FC::QueryAddress},
    {"Command14", FC::ChangeAddress, None, "Text7", Hex},
    {"Command15", FC::QueryBaudRate},
    {"Command16", FC::ChangeBaudRate, None, "Combo6"},
    // Motion parameters, set and queried; motion queries and clears.
    {"Command17", FC::SetStartSpeed, List, "Text12"},
    {"Command24", FC::SetMaxSpeed, List, "Text13"},
    {"Command25", FC::SetEndSpeed, List, "Text14"},
    {"Command26", FC::SetAcceleration, List, "Text15"},
    {"Command27", FC::SetDeceleration, List, "Text16"},
    {"Command64", FC::SetHomingSpeed, List, "Text29"},
    {"Command57", FC::QueryStartSpeed, List},
    {"Command58", FC::QueryMaxSpeed, List},
    {"Command59", FC::QueryEndSpeed, List},
    {"Command60", FC::QueryAcceleration, List},
    {"Command61", FC::QueryDeceleration, List},
    {"Command62", FC::QueryHomingSpeed, List},
    {"Command28", FC::QuerySpeed, List},
    {"Command30", FC::QueryAbsolutePosition, List},
    {"Command31", FC::QueryRelativePosition, List},
    {"Command29", FC::QueryMotionStatus, List},
    {"Command66", FC::ClearAbsolutePosition, List},
    {"Command67", FC::ClearRelativePosition, List},
    // Motion commands.
    {"Command18", FC::MoveSigned32, ListAndIo, "Text8"},
    {"Command19", FC::MoveDirection24, ListAndIo, "Text9", Dec, "Combo3"},
    {"Command20", FC::RunSigned32, ListAndIo, "Text10"},
    {"Command21", FC::RunDirection24, ListAndIo, "Text11", Dec, "Combo4"},
    {"Command65", FC::ChangeSpeed, ListAndIo, "Text30"},
    {"Command23", FC::ImmediateStop, ListAndIo},
    {"Command22", FC::DeceleratingStop, ListAndIo},
    {"Command7", FC::FindZeroPoint, ListAndIo, "Combo5", Hex},
    {"Command91", FC::SetSpeedFactor, ListAndIo, "Text32"},
    {"Command92", FC::QuantitativeAcceleration, ListAndIo},
    {"Command93", FC::QuantitativeDeceleration, ListAndIo},
    {"Command94", FC::QueryInputs},
    // The factory-settings button Command96 has no action.
};

constexpr AddButton adds[] = {
    // ">" beside a command: the frame also becomes a line of the command list.
    {"Command38", "Command18", false}, {"Command39", "Command19", false},
    {"Command40", "Command20", false}, {"Command41", "Command21", false},
    {"Command42", "Command7", false},  {"Command43", "Command29", false},
    {"Command44", "Command22", false}, {"Command45", "Command23", false},
    {"Command46", "Command17", false}, {"Command47", "Command24", false},
    {"Command48", "Command25", false}, {"Command49", "Command26", false},
    {"Command50", "Command27", false}, {"Command51", "Command28", false},
    {"Command52", "Command30", false}, {"Command53", "Command31", false},
    {"Command63", "Command64", false}, {"Command68", "Command65", false},
    {"Command69", "Command66", false}, {"Command70", "Command67", false},
    {"Command71", "Command57", false}, {"Command72", "Command58", false},
    {"Command73", "Command59", false}, {"Command74", "Command60", false},
    {"Command75", "Command61", false}, {"Command76", "Command62", false},
    // "↓" beside a motion command: its command bytes go into the IO box.
    {"Command82", "Command18", true}, {"Command83", "Command19", true},
    {"Command84", "Command20", true}, {"Command85", "Command21", true},
    {"Command86", "Command7", true},  {"Command87", "Command65", true},
    {"Command89", "Command22", true}, {"Command90", "Command23", true},
    {"Command97", "Command92", true}, {"Command98", "Command93", true},
};

// What the user knows each value box by, for messages.
constexpr std::array<std::pair<const char *, const char *>, 17> boxCaptions{{
    {"Text23", QT_TRANSLATE_NOOP("Commands", "设备操作地址(Hex)")},
    {"Text7", QT_TRANSLATE_NOOP("Commands", "New Addr")},
    {"Text12", QT_TRANSLATE_NOOP("Commands", "初速度")},
    {"Text13", QT_TRANSLATE_NOOP("Commands", "最大速度")},
    {"Text14", QT_TRANSLATE_NOOP("Commands", "末速度")},
    {"Text15", QT_TRANSLATE_NOOP("Commands", "加速度")},
    {"Text16", QT_TRANSLATE_NOOP("Commands", "减速度")},
    {"Text29", QT_TRANSLATE_NOOP("Commands", "归零速度")},
    {"Text8", QT_TRANSLATE_NOOP("Commands", "位置运动 正/负方向脉冲数")},
    {"Text9", QT_TRANSLATE_NOOP("Commands", "位置运动 脉冲数")},
    {"Combo3", QT_TRANSLATE_NOOP("Commands", "位置运动 方向")},
    {"Text10", QT_TRANSLATE_NOOP("Commands", "恒速运动 正/负方向速度")},
    {"Text11", QT_TRANSLATE_NOOP("Commands", "恒速运动 速度")},
    {"Combo4", QT_TRANSLATE_NOOP("Commands", "恒速运动 方向")},
    {"Combo5", QT_TRANSLATE_NOOP("Commands", "查找零点 方向")},
    {"Text30", QT_TRANSLATE_NOOP("Commands", "运动中改变速度 新速度")},
    {"Text32", QT_TRANSLATE_NOOP("Commands", "运动因子")},
}};
// clang-format on

QString boxCaption(const char *box)
{
    for (const auto &[name, caption] : boxCaptions) {
        if (qstrcmp(name, box) == 0)
            return QCoreApplication::translate("Commands", caption);
    }
    return QString::fromLatin1(box);
}

} // namespace

std::span<const CommandSpec> commandCatalogue()
{
    return catalogue;
}

std::span<const AddButton> addButtons()
{
    return adds;
}

const CommandSpec *findCommand(const char *button)
{
    for (const CommandSpec &command : catalogue) {
        if (qstrcmp(button, command.button) == 0)
            return &command;
    }
    return nullptr;
}

Result<QByteArray, FieldError> buildPayload(const CommandSpec &command, const BoxText &text)
{
    // Reads one box; an out-of-range value ends the build with its error.
    std::optional<FieldError> error;
    const auto read = [&](const char *box, NumberBase base, FieldRange range) -> qint64 {
        if (error)
            return 0;
        const QString boxText = text(box);
        const std::optional<qint64> value = readField(boxText, base, range);
        if (!value)
            error = FieldError{box, boxText, base, range};
        return value.value_or(0);
    };

    const CommandInfo *row = findCode(command.code);
    Q_ASSERT(row);
    const auto address = row->toStationZero ? 0 : quint8(read(addressBox, Hex, ByteField));
    QByteArray data;
    switch (row->request) {
    case RequestData::None:
    case RequestData::IoEntry: // the IO table has buttons of its own
        break;
    case RequestData::Byte:
        data += char(read(command.valueBox, command.valueBase, ByteField));
        break;
    case RequestData::Int32:
        data = int32BigEndian(qint32(read(command.valueBox, Dec, Int32Field)));
        break;
    case RequestData::Direction24: {
        // The value box is read before the direction box.
        const auto value = qint32(read(command.valueBox, Dec, Int32Field));
        const auto direction = quint8(read(command.directionBox, Dec, ByteField));
        data = directionAnd24Bit(direction, value);
        break;
    }
    case RequestData::BaudCode:
        data += char(baudRateCode(text(command.valueBox)));
        break;
    }
    if (error)
        return Failure{*error};
    return makePayload(address, command.code, data);
}

QString fieldErrorMessage(const FieldError &error)
{
    const bool hex = error.base == NumberBase::Hexadecimal;
    const auto bound = [hex](qint64 v) {
        return hex ? QString::number(v, 16).toUpper().rightJustified(2, u'0') : QString::number(v);
    };
    const QString range = hex ? QCoreApplication::translate("Commands", "%1 到 %2（十六进制）")
                                        .arg(bound(error.range.min), bound(error.range.max))
                              : QCoreApplication::translate("Commands", "%1 到 %2")
                                        .arg(bound(error.range.min), bound(error.range.max));
    return QCoreApplication::translate("Commands",
                                       "“%1”（%2）的值“%3”超出允许范围 %4，命令未发送。")
            .arg(boxCaption(error.box), QString::fromLatin1(error.box), error.text, range);
}
