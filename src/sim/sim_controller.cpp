#include "sim_controller.h"

#include "codec/checksum.h"
#include "device/function_codes.h"
#include "sim_logging.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

namespace FC = FunctionCode;

constexpr quint8 firstStation = 1;
constexpr quint8 lastStation = 247; // 248 to 255 are reserved on a MODBUS line
constexpr quint8 factoryAddress = 1;
constexpr quint8 factoryBaudCode = 0x06; // 9600

struct BaudRate
{
    quint8 code;
    qint32 rate;
};

constexpr std::array<BaudRate, 6> baudRates{{
        {0x04, 2400},
        {0x05, 4800},
        {0x06, 9600},
        {0x07, 14400},
        {0x08, 19200},
        {0x09, 38400},
}};

// The motion parameters: set by one code, queried by the next, with the least
// value the controller accepts (it cannot ramp with no acceleration, nor run a
// move, a homing search or a profile at no speed).
struct ParameterField
{
    quint8 setCode;
    quint8 queryCode;
    qint32 SimParameters::*member;
    qint32 minimum;
};

constexpr std::array<ParameterField, 6> parameterFields{{
        {FC::SetStartSpeed, FC::QueryStartSpeed, &SimParameters::startSpeed, 0},
        {FC::SetMaxSpeed, FC::QueryMaxSpeed, &SimParameters::maxSpeed, 1},
        {FC::SetEndSpeed, FC::QueryEndSpeed, &SimParameters::endSpeed, 0},
        {FC::SetAcceleration, FC::QueryAcceleration, &SimParameters::acceleration, 1},
        {FC::SetDeceleration, FC::QueryDeceleration, &SimParameters::deceleration, 1},
        {FC::SetHomingSpeed, FC::QueryHomingSpeed, &SimParameters::homingSpeed, 1},
}};

constexpr int variableLength = -1;

/// The number of data bytes a request with \a code carries, variableLength for
/// the IO table download, nothing for a code the controller does not know.
std::optional<int> dataLength(quint8 code)
{
    switch (code) {
    case FC::ChangeAddress:
    case FC::ChangeBaudRate:
    case FC::FindZeroPoint:
    case FC::IoTableQuery:
        return 1;
    case FC::SetStartSpeed:
    case FC::SetMaxSpeed:
    case FC::SetEndSpeed:
    case FC::SetAcceleration:
    case FC::SetDeceleration:
    case FC::SetHomingSpeed:
    case FC::MoveSigned32:
    case FC::MoveDirection24:
    case FC::RunSigned32:
    case FC::RunDirection24:
    case FC::ChangeSpeed:
    case FC::SetSpeedFactor:
        return 4;
    case FC::IoTableDownload:
        return variableLength;
    case FC::Handshake:
    case FC::QueryAddress:
    case FC::QueryBaudRate:
    case FC::QueryStartSpeed:
    case FC::QueryMaxSpeed:
    case FC::QueryEndSpeed:
    case FC::QueryAcceleration:
    case FC::QueryDeceleration:
    case FC::QueryHomingSpeed:
    case FC::QuerySpeed:
    case FC::QueryAbsolutePosition:
    case FC::ClearAbsolutePosition:
    case FC::QueryRelativePosition:
    case FC::ClearRelativePosition:
    case FC::QueryMotionStatus:
    case FC::ImmediateStop:
    case FC::DeceleratingStop:
    case FC::QueryInputs:
    case FC::QuantitativeAcceleration:
    case FC::QuantitativeDeceleration:
    case FC::FactorySettings:
        return 0;
    default:
        return std::nullopt;
    }
}

/// Whether the IO table may hold a command with \a code: the motion commands
/// the window's "↓" buttons put into the IO box, and the speed-change factor.
bool storableInIoTable(quint8 code)
{
    switch (code) {
    case FC::MoveSigned32:
    case FC::MoveDirection24:
    case FC::RunSigned32:
    case FC::RunDirection24:
    case FC::ChangeSpeed:
    case FC::ImmediateStop:
    case FC::DeceleratingStop:
    case FC::FindZeroPoint:
    case FC::SetSpeedFactor:
    case FC::QuantitativeAcceleration:
    case FC::QuantitativeDeceleration:
        return true;
    default:
        return false;
    }
}

qint32 int32At(QByteArrayView data)
{
    return qint32(quint32(quint8(data[0])) << 24 | quint32(quint8(data[1])) << 16
                  | quint32(quint8(data[2])) << 8 | quint32(quint8(data[3])));
}

/// The 24-bit value after the direction byte.
qint64 uint24At(QByteArrayView data)
{
    return qint64(quint8(data[1])) << 16 | qint64(quint8(data[2])) << 8 | quint8(data[3]);
}

/// +1 for the direction byte 0, -1 for 1, nothing for any other byte.
std::optional<int> directionOf(quint8 byte)
{
    if (byte > 1)
        return std::nullopt;
    return byte == 0 ? 1 : -1;
}

QByteArray oneByte(quint8 byte)
{
    return QByteArray(1, char(byte));
}

} // namespace

SimController::SimController(const SimConfig &config)
    : m_axis(SimSwitches{config.leftLimit, config.zeroPoint, config.rightLimit})
    , m_address(config.address)
    , m_baudCode(baudCodeForRate(config.baudRate).value_or(factoryBaudCode))
    , m_inputs(config.activeInputs & 0x1F)
{
    Q_ASSERT(config.address >= firstStation && config.address <= lastStation);
    Q_ASSERT(baudCodeForRate(config.baudRate));
}

QByteArray SimController::receive(QByteArrayView bytes, QList<SimExchange> *exchanges)
{
    QByteArray out;
    const QList<SimRequest> requests = m_reader.feed(bytes, m_clock, silenceMicroseconds());
    for (const SimRequest &request : requests) {
        const QByteArray reply = encode(execute(request.payload, false, request.standard),
                                        request.mode);
        if (exchanges)
            exchanges->append({request.frame, reply});
        out += reply;
    }
    return out;
}

void SimController::advance(qint64 microseconds)
{
    if (microseconds <= 0)
        return;
    m_clock += microseconds;
    m_axis.advance(double(microseconds) / 1e6);
}

void SimController::setInputs(quint8 activeMask)
{
    activeMask &= 0x1F;
    if (activeMask == m_inputs)
        return;
    m_inputs = activeMask;
    if (activeMask == 0 || m_ioTable[activeMask].isEmpty())
        return;
    const QByteArray command = m_ioTable[activeMask];
    const Reply reply = execute(char(m_address) + command, true);
    if (reply.kind == Reply::Framed && (quint8(reply.payload[1]) & 0x80) != 0) {
        qCInfo(lcSim).noquote() << "IO code" << activeMask << "command" << command.toHex(' ')
                                << "refused with exception" << quint8(reply.payload[2]);
    } else {
        qCInfo(lcSim).noquote() << "IO code" << activeMask << "ran" << command.toHex(' ');
    }
}

qint32 SimController::absolutePosition() const
{
    return qint32(quint32(quint64(m_axis.absolutePosition())));
}

qint32 SimController::relativePosition() const
{
    return qint32(quint32(quint64(m_axis.relativePosition())));
}

qint32 SimController::speed() const
{
    return qint32(
            std::min(std::llround(m_axis.speed()), qint64(std::numeric_limits<qint32>::max())));
}

QByteArray SimController::ioEntry(int code) const
{
    return code >= 1 && code <= ioCodeCount ? m_ioTable[code] : QByteArray();
}

qint64 SimController::silenceMicroseconds() const
{
    // 3.5 characters of 11 bits (start, 8 data, parity or second stop, stop).
    return std::max<qint64>(2000, qint64(std::ceil(3.5 * 11 * 1e6 / baudRate())));
}

qint32 SimController::baudRateForCode(quint8 code)
{
    for (const BaudRate &baud : baudRates) {
        if (baud.code == code)
            return baud.rate;
    }
    return 0;
}

std::optional<quint8> SimController::baudCodeForRate(qint32 rate)
{
    for (const BaudRate &baud : baudRates) {
        if (baud.rate == rate)
            return baud.code;
    }
    return std::nullopt;
}

SimController::Reply SimController::execute(QByteArrayView payload, bool fromIoTable,
                                           bool standard)
{
    Q_ASSERT(payload.size() >= 3);
    const quint8 address = quint8(payload[0]);
    const quint8 code = quint8(payload[1]);
    const QByteArrayView data = payload.sliced(3);
    // Address 0 only asks for the station address; the controller acts on no
    // other broadcast, and never answers another station's frame.
    if (!fromIoTable) {
        if (address == 0 ? code != FC::QueryAddress : address != m_address)
            return {};
    }
    // A standard master's request: answered, so that it need not wait for a time-out.
    if (standard)
        return exception(code, IllegalFunction);

    const std::optional<int> expected = dataLength(code);
    if (!expected)
        return exception(code, IllegalFunction);
    if (quint8(payload[2]) != data.size()
        || (*expected != variableLength && data.size() != *expected))
        return exception(code, IllegalDataValue);

    const Reply echo{Reply::Framed, payload.toByteArray()};
    const auto value = [&](QByteArray bytes) {
        return Reply{Reply::Framed, makePayload(m_address, code, bytes)};
    };

    for (const ParameterField &field : parameterFields) {
        if (code == field.setCode) {
            const qint32 v = int32At(data);
            if (v < field.minimum)
                return exception(code, IllegalDataValue);
            m_parameters.*field.member = v;
            return echo;
        }
        if (code == field.queryCode)
            return value(int32BigEndian(m_parameters.*field.member));
    }

    switch (code) {
    case FC::Handshake:
        return echo;
    case FC::QueryAddress:
        return value({});
    case FC::ChangeAddress: {
        const quint8 newAddress = quint8(data[0]);
        if (newAddress < firstStation || newAddress > lastStation)
            return exception(code, IllegalDataValue);
        m_address = newAddress; // the echo already carries the old address
        return echo;
    }
    case FC::QueryBaudRate:
        return value(oneByte(m_baudCode));
    case FC::ChangeBaudRate:
        if (baudRateForCode(quint8(data[0])) == 0)
            return exception(code, IllegalDataValue);
        m_baudCode = quint8(data[0]);
        return echo;
    case FC::MoveSigned32:
    case FC::MoveDirection24:
    case FC::RunSigned32:
    case FC::RunDirection24:
    case FC::FindZeroPoint:
        return runMotionCommand(code, data, payload);
    case FC::ChangeSpeed: {
        const qint32 v = int32At(data);
        if (v < 0)
            return exception(code, IllegalDataValue);
        m_axis.setTargetSpeed(v);
        return echo;
    }
    case FC::QuerySpeed:
        return value(int32BigEndian(speed()));
    case FC::QueryAbsolutePosition:
        return value(int32BigEndian(absolutePosition()));
    case FC::ClearAbsolutePosition:
        m_axis.clearAbsolutePosition();
        return echo;
    case FC::QueryRelativePosition:
        return value(int32BigEndian(relativePosition()));
    case FC::ClearRelativePosition:
        m_axis.clearRelativePosition();
        return echo;
    case FC::QueryMotionStatus: {
        // Switches read 1 when not active, 0 when active.
        const char status[4] = {char(isMoving() ? 1 : 0), char(leftLimitActive() ? 0 : 1),
                                char(zeroPointActive() ? 0 : 1), char(rightLimitActive() ? 0 : 1)};
        return value(QByteArray(status, 4));
    }
    case FC::ImmediateStop:
        m_axis.stopImmediately();
        return shortReply(code);
    case FC::DeceleratingStop:
        m_axis.stopDecelerating();
        return shortReply(code);
    case FC::IoTableDownload: {
        if (data.isEmpty())
            return exception(code, IllegalDataValue);
        const int ioCode = quint8(data[0]);
        const QByteArrayView command = data.sliced(1);
        if (ioCode < 1 || ioCode > ioCodeCount)
            return exception(code, IllegalDataValue);
        // An entry without command bytes clears it; a command must be whole:
        // code, length byte and the data its code takes.
        if (!command.isEmpty()) {
            if (command.size() < 2 || !storableInIoTable(quint8(command[0]))
                || quint8(command[1]) != command.size() - 2
                || dataLength(quint8(command[0])) != command.size() - 2) {
                return exception(code, IllegalDataValue);
            }
        }
        m_ioTable[ioCode] = command.toByteArray();
        return echo;
    }
    case FC::IoTableQuery: {
        const int ioCode = quint8(data[0]);
        if (ioCode < 1 || ioCode > ioCodeCount)
            return exception(code, IllegalDataValue);
        return value(oneByte(quint8(ioCode)) + m_ioTable[ioCode]);
    }
    case FC::QueryInputs: {
        QByteArray inputs(5, Qt::Uninitialized);
        for (int i = 0; i < 5; ++i)
            inputs[i] = char((m_inputs >> i) & 1 ? 0 : 1);
        return value(inputs);
    }
    case FC::SetSpeedFactor: {
        const qint32 v = int32At(data);
        if (v < 0)
            return exception(code, IllegalDataValue);
        m_parameters.speedFactor = v;
        return shortReply(code);
    }
    case FC::QuantitativeAcceleration:
        m_axis.setTargetSpeed(m_axis.targetSpeed() + m_parameters.speedFactor);
        return shortReply(code);
    case FC::QuantitativeDeceleration:
        m_axis.setTargetSpeed(std::max(0.0, m_axis.targetSpeed() - m_parameters.speedFactor));
        return shortReply(code);
    case FC::FactorySettings: {
        const Reply reply = shortReply(code); // from the old address
        restoreFactorySettings();
        return reply;
    }
    default:
        Q_UNREACHABLE();
        return exception(code, IllegalFunction);
    }
}

SimController::Reply SimController::runMotionCommand(quint8 code, QByteArrayView data,
                                                     QByteArrayView payload)
{
    if (m_axis.isMoving())
        return exception(code, DeviceBusy);
    std::optional<int> direction = 1;
    if (code != FC::MoveSigned32 && code != FC::RunSigned32) {
        direction = directionOf(quint8(data[0]));
        if (!direction)
            return exception(code, IllegalDataValue);
    }
    switch (code) {
    case FC::MoveSigned32:
        m_axis.moveBy(int32At(data), m_parameters.maxSpeed, profile());
        break;
    case FC::MoveDirection24:
        m_axis.moveBy(*direction * uint24At(data), m_parameters.maxSpeed, profile());
        break;
    case FC::RunSigned32: {
        const qint64 v = int32At(data);
        m_axis.run(v < 0 ? -1 : 1, double(std::abs(v)), profile());
        break;
    }
    case FC::RunDirection24:
        m_axis.run(*direction, double(uint24At(data)), profile());
        break;
    case FC::FindZeroPoint:
        m_axis.home(*direction, m_parameters.homingSpeed, profile());
        return shortReply(code);
    }
    return Reply{Reply::Framed, payload.toByteArray()};
}

SimController::Reply SimController::shortReply(quint8 code) const
{
    const char bytes[2] = {char(m_address), char(code)};
    return Reply{Reply::Short, QByteArray(bytes, 2)};
}

SimController::Reply SimController::exception(quint8 code, Exception reason) const
{
    const char bytes[3] = {char(m_address), char(code | 0x80), char(reason)};
    return Reply{Reply::Framed, QByteArray(bytes, 3)};
}

QByteArray SimController::encode(const Reply &reply, CommMode mode) const
{
    if (reply.kind == Reply::None)
        return {};
    if (mode == CommMode::Ascii)
        return frameAscii(reply.payload);
    if (reply.kind == Reply::Short)
        return reply.payload;
    const quint16 crc = CommSetting::crc16(reply.payload);
    return reply.payload + char(crc & 0xFFu) + char(crc >> 8);
}

SimProfile SimController::profile() const
{
    return SimProfile{double(m_parameters.startSpeed), double(m_parameters.endSpeed),
                      double(m_parameters.acceleration), double(m_parameters.deceleration)};
}

void SimController::restoreFactorySettings()
{
    m_axis.stopImmediately();
    m_parameters = {};
    m_ioTable = {};
    m_address = factoryAddress;
    m_baudCode = factoryBaudCode;
}
