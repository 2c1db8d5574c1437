#pragma once

#include "frame.h"
#include "modbus_standard.h"
#include "util/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>
#include <span>

// The controller's command set in one table, one row per function code: how a
// request is laid out, how the send view names it, how the controller answers,
// how the receive view names the answer and where its value goes. The window's
// buttons, the send describer, the reply decoder and the simulated controller
// all read it, so a change to the protocol touches one row. Beside it the other
// facts of the protocol: the motion parameters, which commands the IO table may
// hold, how a reply frame is unpacked, and each framing mode's description.

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

/// The data after a request's length byte.
enum class RequestData {
    None,
    Byte, // one byte: a new address, a direction, an IO code
    BaudCode, // one byte: the code of a baud rate
    Int32, // signed 32-bit, big-endian two's complement
    Direction24, // a direction byte (0 positive, 1 negative), then 24 bits big-endian
    IoEntry, // an IO code, then the command bytes to store: any length
};

/// How the controller answers a request.
enum class ReplyForm {
    None, // no answer the tool knows of
    Echo, // the request's own payload, framed
    Data, // address, code, length byte and the data asked for, framed
    Short, // address and code alone; in RTU without a check
};

/// What a reply tells the window.
enum class ReplyValue {
    None,
    Address, // byte 0, in hex, inline in the receive line
    BaudCode, // byte 3, in hex, inline in the receive line
    Unsigned32, // bytes 3 to 6 into the value box
    Signed32, // bytes 3 to 6, two's complement, into the value box
    MotionStatus, // bytes 3 to 6: moving, left limit, zero point, right limit
    Inputs, // bytes 3 to 7: IN1 to IN5
};

/// One function code of the command set. Texts are UTF-8 and untranslated.
struct CommandInfo
{
    quint8 code;
    const char *name; // as test plans and stepperbench-cli name it: "set_max_speed"
    const char *command; // what it does, in English
    RequestData request = RequestData::None;
    bool toStationZero = false; // sent to address 0 and answered by any station
    const char *sendText = nullptr; // the send view's line; none where null
    ReplyForm reply = ReplyForm::None;
    int replyData = 0; // data bytes of a Data reply; -1: as many as the entry holds
    const char *replyText = nullptr; // the receive view's line where it is not sendText
    ReplyValue value = ReplyValue::None;
    const char *valueBox = nullptr; // object name of the read-back box
    bool ioStorable = false; // may be stored in the controller's IO table
};

/// Every function code the program sends, names or answers, in code order.
std::span<const CommandInfo> commandSet();

/// The row of \a code, or null for a code outside the command set.
const CommandInfo *findCode(quint8 code);

/// The row whose name is \a name ("set_max_speed"), or null.
const CommandInfo *findCommandName(QStringView name);

/// The data of a request of \a row that carries \a value as the command takes it:
/// a byte, a baud rate (as its code), a signed 32-bit number, or a signed count as a
/// direction and 24 bits. The message says what the command takes.
Result<QByteArray> requestData(const CommandInfo &row, qint64 value);

/// What the fields of \a row's request are, for a listing: "signed 32-bit", "byte".
QString requestDataText(RequestData data);

/// The value a good reply \a payload (address, code, length, data) to \a row's
/// request carries, as the window shows it: the number of a read-back box, the
/// station address, the baud rate, 1 for a moving motor and 0 for a stopped one,
/// or the active inputs (IN1 bit 0 ... IN5 bit 4). Nothing when it carries none.
std::optional<qint64> replyValue(const CommandInfo &row, QByteArrayView payload);

/// The unit of \a row's reply value: "pulses/s", "pulses", "baud"; or none.
QString replyValueUnit(const CommandInfo &row);

/// The data bytes a request of layout \a data carries; -1 for any number.
int requestDataLength(RequestData data);

/// The payload length of a frame of the controller's own in \a role whose first
/// bytes are \a bytes (at least address and code): address, code, length byte and
/// the data the code takes; a two-byte reply gives 2. 0 when the code has no
/// such frame or the length byte is not the code's, -1 while it has not arrived.
qsizetype controllerPayloadLength(FrameRole role, QByteArrayView bytes);

/// Whether the whole payload \a payload (no check) is laid out as a frame in
/// \a role, the controller's or standard MODBUS; an exception is a reply.
bool payloadFits(FrameRole role, QByteArrayView payload);

/// The send-side description of \a code ("请求握手命令:" for 0x20), translated;
/// nothing for 0x3F, 0x40, 0x41 and every code outside 0x20..0x47.
std::optional<QString> sendDescription(quint8 code);

/// The receive view's line of \a row (untranslated), null where it has none.
const char *replyLine(const CommandInfo &row);

/// A station address as every message and box shows it: two upper-case hex digits.
QString stationText(quint8 station);

/// The baud rates the controller can be switched to, with their codes.
struct BaudRate
{
    quint8 code;
    qint32 rate;
};
std::span<const BaudRate> baudRates();

/// The code of the baud-rate selector's text: "2400" to "38400" give 0x04 to
/// 0x09, any other text (a blank too) 0x00.
quint8 baudRateCode(QStringView text);

/// One motion parameter: the codes that set and query it, its name and its key
/// in a configuration set file.
struct ParameterInfo
{
    quint8 setCode;
    quint8 queryCode;
    const char *name; // in English: "start speed"
    const char *fileKey; // "start_speed"
};

/// Start, maximum and end speed, acceleration, deceleration, homing speed: the
/// order of the configuration set file and of the window's boxes.
std::span<const ParameterInfo> motionParameters();

/// The index in motionParameters() of the parameter that \a code sets or
/// queries, or -1 for any other code.
int parameterIndex(quint8 code);

/// Whether \a command (function code, length byte, data) may be stored in the
/// controller's IO table: its code is one the table runs, its length byte counts
/// the data after it, and that data is what the code takes.
bool ioStorableCommand(QByteArrayView command);

/// What a reply frame carries, without its framing.
struct FramePayload
{
    QByteArray bytes; // address, code, then the length byte and data (or an exception code)
    bool checkOk = false; // the CRC or LRC matches
};

/// The payload of an RTU frame: everything but the last two bytes, the CRC, low
/// byte first. Nothing for a frame of fewer than four bytes.
std::optional<FramePayload> rtuPayload(QByteArrayView frame);

/// The payload an ASCII frame spells: ":", pairs of hex digits up to a CR or the
/// end (either letter case), the last pair the LRC. Nothing when the frame does
/// not start with ":", spells an odd number of digits or any other character,
/// or spells fewer than three bytes.
std::optional<FramePayload> asciiPayload(QByteArrayView frame);

/// The payload of \a frame in the framing it shows: ASCII when it starts with
/// ":", RTU otherwise (what a log holds, whatever the mode selector said).
std::optional<FramePayload> framePayload(QByteArrayView frame);

/// One framing mode, described so that no caller branches on the mode itself.
struct Framing
{
    CommMode mode;
    const char *name; // "rtu", "ascii": as the command line takes it
    bool spelled; // bytes travel as hex digit characters between ":" and CR LF
    bool shortRepliesChecked; // a two-byte reply carries a check too
    int headerSize; // characters before the payload
    int trailerSize; // characters after it: the check, and the line end
    int checkBytes; // bytes of the check value, spelled or not
    /// The frame of \a payload. Pure: leaves CommSetting::CrcLow and CrcHigh alone.
    QByteArray (*frame)(QByteArrayView payload);
    /// The payload of a received frame and whether its check is good.
    std::optional<FramePayload> (*unframe)(QByteArrayView frame);
    /// The length on the wire of the frame of a payload of \a payloadBytes bytes.
    qsizetype (*frameLength)(qsizetype payloadBytes);
};

/// The description of \a mode.
const Framing &framing(CommMode mode);

/// The framing whose name is \a name in any letter case, or null.
const Framing *framingNamed(QStringView name);
