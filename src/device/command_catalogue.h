#pragma once

#include "device/leading_number.h"
#include "util/result.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <span>

// The controller's command buttons as data: which code each sends, where its
// data comes from and how it is read, and which one-shot requests it honours.
// One generic completion path in the window runs every entry.

/// Which pending requests a command honours.
enum class Requests {
    None, // send-only: station commands, the IN query
    List, // the add-to-list request: parameters and queries
    ListAndIo, // the add-as-IO request, then the add-to-list request: motion
};

/// A command button: the code it sends (whose row in the command set lays out
/// the data) and the boxes the data comes from.
struct CommandSpec
{
    const char *button; // object name of the button, "Command18"
    quint8 code; // function code
    Requests requests = Requests::None;
    const char *valueBox = nullptr; // Text8, Text7, Combo5, Combo6 ...
    NumberBase valueBase = NumberBase::Decimal;
    const char *directionBox = nullptr; // Combo3, Combo4: the direction of a 24-bit layout
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

/// The unframed request of \a command: address, code, length, data, with every
/// box read at this moment by the leading-number rule. A value outside its
/// field gives the error instead.
Result<QByteArray, FieldError> buildPayload(const CommandSpec &command, const BoxText &text);

/// The message for a value outside its field: which box, which value, which range.
QString fieldErrorMessage(const FieldError &error);
