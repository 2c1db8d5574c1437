#include "motion_profile.h"

#include "device/command_set.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

namespace FC = FunctionCode;

constexpr double infinity = std::numeric_limits<double>::infinity();

// Below this many pulses the braking point counts as reached, as in the
// simulated controller; it absorbs the rounding of the square roots.
constexpr double brakingSlack = 1e-6;

// A motion has at most four pieces (ramp, cruise, ramp down, end speed); the
// bound only guards against a rounding stalemate between two of them.
constexpr int maxPhases = 8;

/// One phase of a motion: constant acceleration until the speed reaches
/// \c speed after \c duration, unless the motion's end comes first.
struct Phase
{
    double acceleration = 0; // of the speed: negative on a ramp down
    double speed = 0;
    double duration = infinity;
    bool braking = false;
    // Or no phase at all: the motion ends here, on its target or where it is.
    enum End { Goes, Arrives, StandsStill } end = Goes;
};

/// Time to cover \a distance from \a speed at constant \a acceleration, or
/// infinity when the speed runs out first.
double timeToCover(double distance, double speed, double acceleration)
{
    if (distance <= 0)
        return 0;
    const double discriminant = speed * speed + 2 * acceleration * distance;
    if (discriminant < 0)
        return infinity;
    const double denominator = speed + std::sqrt(discriminant);
    return denominator > 0 ? 2 * distance / denominator : infinity;
}

/// Distance covered in \a t from \a speed at constant \a acceleration.
double distanceIn(double t, double speed, double acceleration)
{
    return speed * t + acceleration * t * t / 2;
}

/// The ramp from the current speed of \a s to \a speed.
Phase rampTo(const MotionState &s, double speed, bool braking = false)
{
    Phase phase;
    phase.speed = speed;
    phase.braking = braking;
    phase.acceleration = speed > s.speed ? s.acceleration : -s.deceleration;
    phase.duration = speed == s.speed ? 0 : (speed - s.speed) / phase.acceleration;
    return phase;
}

/// Holding the current speed of \a s for \a duration.
Phase cruise(const MotionState &s, double duration = infinity, bool braking = false)
{
    Phase phase;
    phase.speed = s.speed;
    phase.duration = duration;
    phase.braking = braking;
    return phase;
}

/// The next phase of a move, by the simulated controller's rule: ramp up to
/// the cruise speed or to the peak from which the deceleration ends at the
/// end speed on the target, cruise until the braking point, brake to the end
/// speed and keep it to the target.
Phase movePhase(const MotionState &s)
{
    const double a = s.acceleration;
    const double d = s.deceleration;
    const double v = s.speed;
    const double endSpeed = std::min(s.endSpeed, s.cruise);
    const double toTarget = s.direction * (s.target - s.position);
    const double braking = v > endSpeed ? (v * v - endSpeed * endSpeed) / (2 * d) : 0;
    double peak = s.cruise;
    if (!s.braking && v < s.cruise && endSpeed < s.cruise) {
        const double peakSquared = (2 * toTarget + endSpeed * endSpeed / d + v * v / a)
                / (1 / a + 1 / d);
        if (std::sqrt(peakSquared) > endSpeed)
            peak = std::min(s.cruise, std::sqrt(peakSquared));
    }
    const bool pastPeak = v < s.cruise && peak <= v;
    if (s.braking || (v > endSpeed && (braking >= toTarget - brakingSlack || pastPeak))) {
        if (v > endSpeed)
            return rampTo(s, endSpeed, true);
        if (v <= 0 || toTarget <= brakingSlack)
            return Phase{.end = Phase::Arrives};
        return cruise(s, infinity, true);
    }
    if (v != s.cruise)
        return rampTo(s, v < s.cruise ? peak : s.cruise);
    return cruise(s, (toTarget - braking) / v);
}

/// The next phase of \a s, which moves.
Phase nextPhase(const MotionState &s)
{
    switch (s.kind) {
    case MotionState::Move:
        return movePhase(s);
    case MotionState::Stop:
        if (s.speed <= s.endSpeed)
            return Phase{.end = Phase::StandsStill};
        return rampTo(s, s.endSpeed);
    case MotionState::Run:
    case MotionState::Homing:
    case MotionState::Standstill:
        break;
    }
    return s.speed != s.cruise ? rampTo(s, s.cruise) : cruise(s);
}

/// How far ahead the motion of \a s ends by itself: a move's target, the zero
/// point ahead of a homing run; infinity when nothing lies ahead.
double distanceToEnd(const MotionState &s)
{
    switch (s.kind) {
    case MotionState::Move:
        return s.direction * (s.target - s.position);
    case MotionState::Homing: {
        const double toZero = -s.direction * s.position;
        return toZero >= 0 ? toZero : infinity;
    }
    case MotionState::Run:
    case MotionState::Stop:
    case MotionState::Standstill:
        break;
    }
    return infinity;
}

/// Where the motion of \a s ends when distanceToEnd() is covered.
double endOf(const MotionState &s)
{
    return s.kind == MotionState::Move ? s.target : 0;
}

/// Stands still on the nearest whole pulse, like the controller does.
void standStill(MotionState &s)
{
    s.kind = MotionState::Standstill;
    s.speed = 0;
    s.braking = false;
    s.position = std::round(s.position);
}

/// \a s with \a speed as the speed its motion heads for (35, 45, 46).
MotionState withTargetSpeed(MotionState s, double speed)
{
    switch (s.kind) {
    case MotionState::Standstill:
    case MotionState::Stop:
        break;
    case MotionState::Run:
        if (speed <= 0)
            s.kind = MotionState::Stop;
        else
            s.cruise = speed;
        break;
    case MotionState::Move:
    case MotionState::Homing:
        s.cruise = std::max(speed, 1.0);
        break;
    }
    return s;
}

/// A motion of \a kind starting from standstill \a s: it jumps to the start
/// speed, or straight to \a cruise when that is lower.
MotionState started(MotionState s, MotionState::Kind kind, int direction, double cruise,
                    const MotionParameters &parameters)
{
    Q_ASSERT(parameters.acceleration > 0 && parameters.deceleration > 0);
    s.kind = kind;
    s.direction = direction;
    s.cruise = cruise;
    s.speed = std::min(parameters.startSpeed, cruise);
    s.braking = false;
    s.startSpeed = parameters.startSpeed;
    s.endSpeed = parameters.endSpeed;
    s.acceleration = parameters.acceleration;
    s.deceleration = parameters.deceleration;
    return s;
}

/// +1 for the direction byte 00, -1 for 01, 0 for any other byte.
int directionOf(char byte)
{
    return byte == 0 ? 1 : byte == 1 ? -1 : 0;
}

} // namespace

std::optional<MotionCommand> MotionCommand::fromPayload(QByteArrayView payload)
{
    if (payload.size() < 3)
        return std::nullopt;
    const quint8 code = quint8(payload[1]);
    const QByteArrayView data = payload.sliced(3);
    const CommandInfo *row = findCode(code);
    if (!row || quint8(payload[2]) != data.size()
        || data.size() != requestDataLength(row->request)) {
        return std::nullopt;
    }
    const qint64 int32 = row->request == RequestData::Int32 ? qFromBigEndian<qint32>(data.data())
                                                            : 0;
    const int direction = data.isEmpty() ? 0 : directionOf(data[0]);
    const qint64 count24 = row->request == RequestData::Direction24
            ? qint64(qFromBigEndian<quint32>(data.data()) & 0xFFFFFFu)
            : 0;

    switch (code) {
    case FC::MoveSigned32:
        return MotionCommand{Move, int32};
    case FC::RunSigned32:
        return MotionCommand{Run, int32};
    case FC::MoveDirection24:
    case FC::RunDirection24:
    case FC::FindZeroPoint:
        if (direction == 0)
            return std::nullopt;
        if (code == FC::FindZeroPoint)
            return MotionCommand{Home, direction};
        return MotionCommand{code == FC::MoveDirection24 ? Move : Run, direction * count24};
    case FC::ChangeSpeed:
    case FC::SetSpeedFactor:
        if (int32 < 0)
            return std::nullopt;
        return MotionCommand{code == FC::ChangeSpeed ? ChangeSpeed : SpeedFactor, int32};
    case FC::ImmediateStop:
        return MotionCommand{ImmediateStop};
    case FC::DeceleratingStop:
        return MotionCommand{DeceleratingStop};
    case FC::QuantitativeAcceleration:
        return MotionCommand{QuantitativeAcceleration};
    case FC::QuantitativeDeceleration:
        return MotionCommand{QuantitativeDeceleration};
    default:
        return std::nullopt;
    }
}

MotionProfile MotionProfile::from(const MotionState &state)
{
    MotionProfile profile;
    profile.m_start = state;
    MotionState s = state;
    double time = 0;
    for (int i = 0; i < maxPhases && s.isMoving(); ++i) {
        const Phase phase = nextPhase(s);
        const double toEnd = distanceToEnd(s);
        if (phase.end == Phase::Arrives || toEnd <= 0) {
            s.position = endOf(s);
            break;
        }
        if (phase.end == Phase::StandsStill)
            break;
        const double toEvent = toEnd < infinity ? timeToCover(toEnd, s.speed, phase.acceleration)
                                                : infinity;
        const double dt = std::min(toEvent, phase.duration);
        if (dt > 0) {
            profile.m_segments.append({time, dt, s.position, s.speed, phase.acceleration,
                                       s.direction, phase.braking});
        }
        if (dt == infinity)
            return profile; // a motion without end: m_end is never reached
        if (toEvent <= phase.duration) {
            s.position = endOf(s);
            break;
        }
        s.position += s.direction * distanceIn(dt, s.speed, phase.acceleration);
        s.speed = phase.speed;
        s.braking = phase.braking;
        time += dt;
    }
    standStill(s);
    profile.m_end = s;
    return profile;
}

const MotionSegment *MotionProfile::segmentAt(double t) const
{
    if (t < 0 || m_segments.isEmpty() || t >= duration())
        return nullptr;
    auto it = std::upper_bound(
            m_segments.cbegin(), m_segments.cend(), t,
            [](double time, const MotionSegment &segment) { return time < segment.startTime; });
    return it == m_segments.cbegin() ? nullptr : &*(it - 1);
}

double MotionProfile::duration() const
{
    if (m_segments.isEmpty())
        return 0;
    const MotionSegment &last = m_segments.constLast();
    return last.startTime + last.duration;
}

double MotionProfile::positionAt(double t) const
{
    if (const MotionSegment *segment = segmentAt(t)) {
        const double dt = t - segment->startTime;
        return segment->startPosition
                + segment->direction * distanceIn(dt, segment->startSpeed, segment->acceleration);
    }
    return t < 0 ? m_start.position : m_end.position;
}

double MotionProfile::speedAt(double t) const
{
    if (const MotionSegment *segment = segmentAt(t)) {
        const double dt = t - segment->startTime;
        return std::max(0.0, segment->startSpeed + segment->acceleration * dt);
    }
    return t < 0 ? m_start.speed : m_end.speed;
}

MotionState MotionProfile::stateAt(double t) const
{
    const MotionSegment *segment = segmentAt(t);
    if (!segment)
        return t < 0 ? m_start : m_end;
    MotionState state = m_start;
    state.position = positionAt(t);
    state.speed = speedAt(t);
    state.direction = segment->direction;
    state.braking = segment->braking;
    return state;
}

double MotionProfile::endPosition() const
{
    if (m_segments.isEmpty() || duration() < infinity)
        return m_end.position;
    const MotionSegment &last = m_segments.constLast();
    if (last.startSpeed == 0 && last.acceleration == 0)
        return last.startPosition;
    return last.direction * infinity;
}

MotionState applyCommand(const MotionState &state, const MotionParameters &parameters,
                         const MotionCommand &command)
{
    const bool motionCommand = command.kind == MotionCommand::Move
            || command.kind == MotionCommand::Run || command.kind == MotionCommand::Home;
    if (motionCommand && state.isMoving())
        return state;
    MotionState s = state;
    switch (command.kind) {
    case MotionCommand::Move:
        if (command.value == 0)
            return s;
        s.target = s.position + double(command.value);
        return started(s, MotionState::Move, command.value > 0 ? 1 : -1,
                       std::max(parameters.maxSpeed, 1.0), parameters);
    case MotionCommand::Run:
        if (command.value == 0)
            return s;
        return started(s, MotionState::Run, command.value > 0 ? 1 : -1,
                       std::abs(double(command.value)), parameters);
    case MotionCommand::Home:
        // Already on the zero point: the controller only zeroes the position.
        if (std::abs(s.position) < 0.5) {
            s.position = 0;
            return s;
        }
        return started(s, MotionState::Homing, command.value < 0 ? -1 : 1,
                       std::max(parameters.homingSpeed, 1.0), parameters);
    case MotionCommand::ChangeSpeed:
        return command.value < 0 ? s : withTargetSpeed(s, double(command.value));
    case MotionCommand::QuantitativeAcceleration:
        return withTargetSpeed(s, s.cruise + parameters.speedFactor);
    case MotionCommand::QuantitativeDeceleration:
        return withTargetSpeed(s, std::max(0.0, s.cruise - parameters.speedFactor));
    case MotionCommand::DeceleratingStop:
        if (s.isMoving())
            s.kind = MotionState::Stop;
        return s;
    case MotionCommand::ImmediateStop:
        if (s.isMoving())
            standStill(s);
        return s;
    case MotionCommand::SpeedFactor:
        break;
    }
    return s;
}

MotionProfile predictMotion(const MotionState &state, const MotionParameters &parameters,
                            const MotionCommand &command)
{
    return MotionProfile::from(applyCommand(state, parameters, command));
}
