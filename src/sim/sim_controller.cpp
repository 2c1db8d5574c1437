#include "sim_controller.h"

#include "device/command_set.h"
#include "sim_logging.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

namespace FC = FunctionCode;

constexpr quint8 firstStation = 1;
constexpr quint8 lastStation = 247; // 248 to 255 are reserved on a MODBUS line
constexpr quint8 factoryAddress = 1;
constexpr quint8 factoryBaudCode = 0x06; // 9600

// Where the controller keeps each motion parameter, in the order of
// motionParameters(), with the least value it accepts (it cannot ramp with no
// acceleration, nor run a move, a homing search or a profile at no speed).
struct ParameterField
{
    qint32 SimParameters::*member;
    qint32 minimum;
};

constexpr std::array<ParameterField, 6> parameterFields{{
        {&SimParameters::startSpeed, 0},
        {&SimParameters::maxSpeed, 1},
        {&SimParameters::endSpeed, 0},
        {&SimParameters::acceleration, 1},
        {&SimParameters::deceleration, 1},
        {&SimParameters::homingSpeed, 1},
}};

qint32 int32At(QByteArrayView data)
{
    return qFromBigEndian<qint32>(data.data());
}

/// The 24-bit value after the direction byte.
qint64 uint24At(QByteArrayView data)
{
    return qFromBigEndian<quint32>(data.data()) & 0xFFFFFFu;
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

qint32 rateOf(quint8 code)
{
    for (const BaudRate &baud : baudRates()) {
        if (baud.code == code)
            return baud.rate;
    }
    return 0;
}

} // namespace

SimController::SimController(const SimConfig &config)
    : m_axis(SimSwitches{config.leftLimit, config.zeroPoint, config.rightLimit})
    , m_address(config.address)
    , m_baudCode(baudCodeForRate(config.baudRate).value_or(factoryBaudCode))
    , m_inputs(config.activeInputs & 0x1F)
    , m_faults(config.faults)
{
    Q_ASSERT(config.address >= firstStation && config.address <= lastStation);
    Q_ASSERT(baudCodeForRate(config.baudRate));
    Q_ASSERT(config.faults.slowFactor > 0 && config.faults.slowFactor <= 1);
    Q_ASSERT(config.faults.lostSteps >= 0);
}

QByteArray SimController::receive(QByteArrayView bytes, QList<SimExchange> *exchanges)
{
    QByteArray out;
    const QList<SimRequest> requests = m_reader.feed(bytes, m_clock, silenceMicroseconds());
    for (const SimRequest &request : requests) {
        const QByteArray reply = encode(execute(request.payload, false, request.standard),
                                        request.mode);
        if (exchanges)
            exchanges->append({request.frame, reply, request.mode});
        out += reply;
    }
    return out;
}

QByteArray SimController::receive(QByteArrayView bytes, qint32 lineRate,
                                  QList<SimExchange> *exchanges)
{
    if (lineRate == baudRate())
        return receive(bytes, exchanges);
    m_reader.discard(bytes);
    qCDebug(lcSim).noquote() << "dropped" << bytes.toByteArray().toHex(' ').toUpper()
                             << "- heard at" << lineRate << "baud by station"
                             << QByteArray::number(m_address, 16).toUpper() << "at" << baudRate()
                             << "baud";
    return {};
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
    return rateOf(code);
}

std::optional<quint8> SimController::baudCodeForRate(qint32 rate)
{
    for (const BaudRate &baud : baudRates()) {
        if (baud.rate == rate)
            return baud.code;
    }
    return std::nullopt;
}

SimController::Reply SimController::execute(QByteArrayView payload, bool fromIoTable, bool standard)
{
    Q_ASSERT(payload.size() >= (standard ? 2 : 3));
    const quint8 address = quint8(payload[0]);
    const quint8 code = quint8(payload[1]);
    // Address 0 only asks for the station address; the controller acts on no
    // other broadcast, and never answers another station's frame.
    if (!fromIoTable) {
        if (address == 0 ? code != FC::QueryAddress : address != m_address)
            return {};
    }
    // A standard master's request: answered, so that it need not wait for a time-out.
    const CommandInfo *row = findCode(code);
    if (standard || !row || row->reply == ReplyForm::None)
        return exception(code, IllegalFunction);
    const QByteArrayView data = payload.sliced(3);
    const int expected = requestDataLength(row->request);
    if (quint8(payload[2]) != data.size() || (expected >= 0 && data.size() != expected))
        return exception(code, IllegalDataValue);

    // The reply carries the address the request reached, even where the
    // command changes it.
    const quint8 replyAddress = m_address;
    const Result<QByteArray, Exception> outcome = act(code, data);
    if (!outcome)
        return exception(code, outcome.error());
    switch (row->reply) {
    case ReplyForm::Echo:
        return Reply{Reply::Framed, payload.toByteArray()};
    case ReplyForm::Data:
        return Reply{Reply::Framed, makePayload(replyAddress, code, *outcome)};
    case ReplyForm::Short: {
        const char bytes[2] = {char(replyAddress), char(code)};
        return Reply{Reply::Short, QByteArray(bytes, 2)};
    }
    case ReplyForm::None:
        break;
    }
    return {};
}

Result<QByteArray, SimController::Exception> SimController::act(quint8 code, QByteArrayView data)
{
    if (const int index = parameterIndex(code); index >= 0)
        return actOnParameter(index, code, data);
    if (std::optional<QByteArray> state = query(code))
        return *std::move(state);
    switch (code) {
    case FC::ChangeAddress:
        return changeAddress(quint8(data[0]));
    case FC::ChangeBaudRate:
        return changeBaudRate(quint8(data[0]));
    case FC::MoveSigned32:
    case FC::MoveDirection24:
    case FC::RunSigned32:
    case FC::RunDirection24:
    case FC::FindZeroPoint:
        return runMotionCommand(code, data);
    case FC::ChangeSpeed:
    case FC::SetSpeedFactor:
        return setSpeedValue(code, int32At(data));
    case FC::IoTableDownload:
        return storeIoEntry(data);
    case FC::IoTableQuery:
        return readIoEntry(quint8(data[0]));
    default:
        steer(code);
        return QByteArray();
    }
}

Result<QByteArray, SimController::Exception> SimController::actOnParameter(int index, quint8 code,
                                                                           QByteArrayView data)
{
    const ParameterField &field = parameterFields[index];
    if (code == motionParameters()[index].queryCode)
        return int32BigEndian(m_parameters.*field.member);
    const qint32 v = int32At(data);
    if (v < field.minimum)
        return Failure{IllegalDataValue};
    m_parameters.*field.member = v;
    return QByteArray();
}

std::optional<QByteArray> SimController::query(quint8 code) const
{
    switch (code) {
    case FC::QueryBaudRate:
        return oneByte(m_baudCode);
    case FC::QuerySpeed:
        return int32BigEndian(speed());
    case FC::QueryAbsolutePosition:
        return int32BigEndian(absolutePosition());
    case FC::QueryRelativePosition:
        return int32BigEndian(relativePosition());
    case FC::QueryMotionStatus: {
        // Switches read 1 when not active, 0 when active.
        const char status[4] = {char(isMoving() ? 1 : 0), char(leftLimitActive() ? 0 : 1),
                                char(zeroPointActive() ? 0 : 1), char(rightLimitActive() ? 0 : 1)};
        return QByteArray(status, 4);
    }
    case FC::QueryInputs: {
        QByteArray inputs(5, Qt::Uninitialized);
        for (int i = 0; i < 5; ++i)
            inputs[i] = char((m_inputs >> i) & 1 ? 0 : 1);
        return inputs;
    }
    default:
        return std::nullopt;
    }
}

Result<QByteArray, SimController::Exception> SimController::changeAddress(quint8 newAddress)
{
    if (newAddress < firstStation || newAddress > lastStation)
        return Failure{IllegalDataValue};
    m_address = newAddress;
    return QByteArray();
}

Result<QByteArray, SimController::Exception> SimController::changeBaudRate(quint8 baudCode)
{
    if (rateOf(baudCode) == 0)
        return Failure{IllegalDataValue};
    m_baudCode = baudCode;
    return QByteArray();
}

Result<QByteArray, SimController::Exception> SimController::setSpeedValue(quint8 code, qint32 value)
{
    if (value < 0)
        return Failure{IllegalDataValue};
    if (code == FC::ChangeSpeed)
        m_axis.setTargetSpeed(actualSpeed(value));
    else
        m_parameters.speedFactor = value;
    return QByteArray();
}

Result<QByteArray, SimController::Exception> SimController::storeIoEntry(QByteArrayView data)
{
    if (data.isEmpty())
        return Failure{IllegalDataValue};
    const int ioCode = quint8(data[0]);
    const QByteArrayView command = data.sliced(1);
    if (ioCode < 1 || ioCode > ioCodeCount)
        return Failure{IllegalDataValue};
    // An entry without command bytes clears it; a command must be one the table may hold.
    if (!command.isEmpty() && !ioStorableCommand(command))
        return Failure{IllegalDataValue};
    m_ioTable[ioCode] = command.toByteArray();
    return QByteArray();
}

Result<QByteArray, SimController::Exception> SimController::readIoEntry(quint8 ioCode) const
{
    if (ioCode < 1 || ioCode > ioCodeCount)
        return Failure{IllegalDataValue};
    return oneByte(ioCode) + m_ioTable[ioCode];
}

void SimController::steer(quint8 code)
{
    switch (code) {
    case FC::Handshake:
    case FC::QueryAddress:
        break;
    case FC::ClearAbsolutePosition:
        m_axis.clearAbsolutePosition();
        break;
    case FC::ClearRelativePosition:
        m_axis.clearRelativePosition();
        break;
    case FC::ImmediateStop:
        m_axis.stopImmediately();
        break;
    case FC::DeceleratingStop:
        m_axis.stopDecelerating();
        break;
    case FC::QuantitativeAcceleration:
        m_axis.setTargetSpeed(m_axis.targetSpeed() + actualSpeed(m_parameters.speedFactor));
        break;
    case FC::QuantitativeDeceleration:
        m_axis.setTargetSpeed(
                std::max(0.0, m_axis.targetSpeed() - actualSpeed(m_parameters.speedFactor)));
        break;
    case FC::FactorySettings:
        restoreFactorySettings();
        break;
    default:
        Q_UNREACHABLE();
    }
}

Result<QByteArray, SimController::Exception> SimController::runMotionCommand(quint8 code,
                                                                             QByteArrayView data)
{
    if (m_axis.isMoving())
        return Failure{DeviceBusy};
    std::optional<int> direction = 1;
    if (code != FC::MoveSigned32 && code != FC::RunSigned32) {
        direction = directionOf(quint8(data[0]));
        if (!direction)
            return Failure{IllegalDataValue};
    }
    const double maxSpeed = actualSpeed(m_parameters.maxSpeed);
    switch (code) {
    case FC::MoveSigned32:
        m_axis.moveBy(actualMove(int32At(data)), maxSpeed, profile());
        break;
    case FC::MoveDirection24:
        m_axis.moveBy(actualMove(*direction * uint24At(data)), maxSpeed, profile());
        break;
    case FC::RunSigned32: {
        const qint64 v = int32At(data);
        m_axis.run(v < 0 ? -1 : 1, actualSpeed(double(std::abs(v))), profile());
        break;
    }
    case FC::RunDirection24:
        m_axis.run(*direction, actualSpeed(double(uint24At(data))), profile());
        break;
    case FC::FindZeroPoint:
        m_axis.home(*direction, actualSpeed(m_parameters.homingSpeed), profile());
        break;
    }
    return QByteArray();
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
    const Framing &framed = framing(mode);
    if (reply.kind == Reply::Short && !framed.shortRepliesChecked)
        return reply.payload;
    return framed.frame(reply.payload);
}

SimProfile SimController::profile() const
{
    // A slow unit runs as if its clock were slow: speeds at the factor, accelerations
    // at its square, so that a motion covers the same ground in 1 / factor the time.
    const double f = m_faults.slowFactor;
    return SimProfile{actualSpeed(m_parameters.startSpeed), actualSpeed(m_parameters.endSpeed),
                      m_parameters.acceleration * f * f, m_parameters.deceleration * f * f};
}

double SimController::actualSpeed(double speed) const
{
    return speed * m_faults.slowFactor;
}

qint64 SimController::actualMove(qint64 pulses) const
{
    // Steps lost on the way: the move ends short of its target, one shorter than
    // the lost steps does not move at all.
    const qint64 length = std::max<qint64>(0, std::abs(pulses) - m_faults.lostSteps);
    return pulses < 0 ? -length : length;
}

void SimController::restoreFactorySettings()
{
    m_axis.stopImmediately();
    m_parameters = {};
    m_ioTable = {};
    m_address = factoryAddress;
    m_baudCode = factoryBaudCode;
}
