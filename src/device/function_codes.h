#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <span>

// The controller's command set: the function code in byte 1 of every request,
// and the text the send view shows for a frame carrying it.

namespace FunctionCode {
enum : quint8 {
    Handshake = 0x20,
    QueryAddress = 0x21,
    ChangeAddress = 0x22,
    QueryBaudRate = 0x23,
    ChangeBaudRate = 0x24,
    SetStartSpeed = 0x25,
    QueryStartSpeed = 0x26,
    SetMaxSpeed = 0x27,
    QueryMaxSpeed = 0x28,
    SetEndSpeed = 0x29,
    QueryEndSpeed = 0x2A,
    SetAcceleration = 0x2B,
    QueryAcceleration = 0x2C,
    SetDeceleration = 0x2D,
    QueryDeceleration = 0x2E,
    SetHomingSpeed = 0x2F,
    QueryHomingSpeed = 0x30,
    MoveSigned32 = 0x31,
    MoveDirection24 = 0x32,
    RunSigned32 = 0x33,
    RunDirection24 = 0x34,
    ChangeSpeed = 0x35,
    QuerySpeed = 0x36,
    QueryAbsolutePosition = 0x37,
    ClearAbsolutePosition = 0x38,
    QueryRelativePosition = 0x39,
    ClearRelativePosition = 0x3A,
    QueryMotionStatus = 0x3B,
    ImmediateStop = 0x3C,
    DeceleratingStop = 0x3D,
    FindZeroPoint = 0x3E,
    IoTableDownload = 0x40,
    IoTableQuery = 0x41,
    QueryInputs = 0x42,
    QueryInputState = 0x43,
    SetSpeedFactor = 0x44,
    QuantitativeAcceleration = 0x45,
    QuantitativeDeceleration = 0x46,
    FactorySettings = 0x47,
};
} // namespace FunctionCode

/// One row of the command set. \c description is the send view's text for the
/// code (UTF-8, untranslated), or null where the send view names none.
struct FunctionCodeInfo
{
    quint8 code;
    const char *command; // what the command does, in English
    const char *description;
};

/// Every function code the program sends or names, in code order.
std::span<const FunctionCodeInfo> functionCodeTable();

/// The send-side description of \a code ("请求握手命令:" for 0x20), translated;
/// nothing for 0x3F, 0x40, 0x41 and every code outside 0x20..0x47.
std::optional<QString> sendDescription(quint8 code);
