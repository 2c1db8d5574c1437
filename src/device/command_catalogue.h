#pragma once

#include "device/leading_number.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <span>
#include <variant>

// The controller's command buttons as data: which code each sends, where its
// data comes from and how it is read, and which one-shot requests it honours.
// One generic completion path in the window runs every entry.

/// Which pending requests a command honours.
enum class Requests {
    None, // send-only: station commands, the IN query
    List, // the add-to-list request: parameters and queries
    ListAndIo, // the add-as-IO request, then the add-to-list request: motion
};

/// How the data bytes after the length byte are made.
enum class DataLayout {
    None, // length 0
    Byte, // one byte from valueBox, read in valueBase
    Int32, // signed 32-bit from valueBox, big-endian
    Direction24, // direction byte from directionBox, then the low 24 bits of valueBox
    BaudCode, // the baud-rate code of directionBox's text
};

struct CommandSpec
{
    const char *button; // object name of the button, "Command18"
    quint8 code; // function code
    Requests requests;
    DataLayout layout;
    const char *valueBox = nullptr; // Text8, Text7, Combo5 ...
    NumberBase valueBase = NumberBase::Decimal;
    const char *directionBox = nullptr; // Combo3, Combo4; Combo6 for the baud code
    bool addressZero = false; // the station address query goes to address 0
};

/// A button that sets a one-shot request and runs another button's command.
struct AddButton
{
    const char *button; // Command38 ...
    const char *target; // Command18 ...
    bool toIoBox; // "↓": into the IO box; otherwise ">": into the command list
};

/// A box whose value lies outside its field's range: no frame is built.
struct FieldError
{
    const char *box;
    QString text;
    NumberBase base;
    FieldRange range;
};

/// Reads the text of the control with the given object name.
using BoxText = std::function<QString(const char *box)>;

/// The box holding the station address, read in hexadecimal.
inline constexpr const char *addressBox = "Text23";

std::span<const CommandSpec> commandCatalogue();
std::span<const AddButton> addButtons();
const CommandSpec *findCommand(const char *button);

/// The baud-rate code that \a text of the baud selector stands for: 2400 to
/// 38400 give 0x04 to 0x09, any other text 0x00.
quint8 baudRateCode(QStringView text);

/// The unframed request of \a command: address, code, length, data, with every
/// box read at this moment by the leading-number rule. A value outside its
/// field gives the error instead.
std::variant<QByteArray, FieldError> buildPayload(const CommandSpec &command, const BoxText &text);

/// The message for a value outside its field: which box, which value, which range.
QString fieldErrorMessage(const FieldError &error);
