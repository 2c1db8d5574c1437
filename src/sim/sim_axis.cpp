#include "sim_axis.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

// Below this many pulses the braking point counts as reached; it absorbs the
// rounding of the square roots, not any physics.
constexpr double brakingSlack = 1e-6;

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

} // namespace

SimAxis::SimAxis(const SimSwitches &switches)
    : m_switches(switches)
{
    Q_ASSERT(switches.leftLimit < switches.rightLimit);
}

void SimAxis::moveBy(qint64 pulses, double maxSpeed, const SimProfile &profile)
{
    if (pulses == 0)
        return;
    m_target = m_position + double(pulses);
    start(Motion::Move, pulses > 0 ? 1 : -1, std::max(maxSpeed, 1.0), profile);
}

void SimAxis::run(int direction, double speed, const SimProfile &profile)
{
    if (speed <= 0)
        return;
    start(Motion::Run, direction, speed, profile);
}

void SimAxis::home(int direction, double speed, const SimProfile &profile)
{
    m_homingTurned = false;
    if (zeroPointActive()) {
        m_position = double(m_switches.zeroPoint);
        m_absoluteOrigin = m_position;
        return;
    }
    start(Motion::Homing, direction, std::max(speed, 1.0), profile);
}

void SimAxis::start(Motion motion, int direction, double speed, const SimProfile &profile)
{
    Q_ASSERT(direction == 1 || direction == -1);
    Q_ASSERT(profile.acceleration > 0 && profile.deceleration > 0);
    m_motion = motion;
    m_direction = direction;
    m_profile = profile;
    m_cruise = speed;
    m_speed = std::min(profile.startSpeed, speed);
    m_braking = false;
    // A motion towards an active limit switch ends before its first pulse
    // (a homing search turns round instead).
    step(0);
}

void SimAxis::setTargetSpeed(double speed)
{
    switch (m_motion) {
    case Motion::None:
    case Motion::Stop:
        return;
    case Motion::Run:
        if (speed <= 0)
            stopDecelerating();
        else
            m_cruise = speed;
        return;
    case Motion::Move:
    case Motion::Homing:
        m_cruise = std::max(speed, 1.0);
        return;
    }
}

void SimAxis::stopDecelerating()
{
    if (m_motion != Motion::None)
        m_motion = Motion::Stop;
}

void SimAxis::stopImmediately()
{
    if (m_motion != Motion::None)
        standStill();
}

void SimAxis::advance(double seconds)
{
    // Each step ends at a phase boundary or an event; a handful of steps covers
    // any interval. A step of no time changes the phase, so it cannot repeat
    // for long; the bound only guards against a rounding stalemate.
    int stalled = 0;
    while (seconds > 0 && isMoving() && stalled < 8) {
        const double used = step(seconds);
        stalled = used > 0 ? 0 : stalled + 1;
        seconds -= used;
    }
}

double SimAxis::step(double seconds)
{
    // The nearest event ahead: the limit switch in the direction of travel,
    // the target of a move, the zero-point switch of a homing run.
    const double limit = double(m_direction > 0 ? m_switches.rightLimit : m_switches.leftLimit);
    Event event = Event::Limit;
    double eventPosition = limit;
    double distance = m_direction * (limit - m_position);
    const double toTarget = m_direction * (m_target - m_position);
    if (m_motion == Motion::Move && toTarget <= distance) {
        event = Event::Target;
        eventPosition = m_target;
        distance = toTarget;
    }
    const double zero = double(m_switches.zeroPoint);
    const double toZero = m_direction * (zero - m_position);
    if (m_motion == Motion::Homing && toZero >= 0 && toZero <= distance) {
        event = Event::ZeroPoint;
        eventPosition = zero;
        distance = toZero;
    }
    if (distance <= 0) {
        reach(event, eventPosition);
        return 0;
    }

    // The phase: constant acceleration until the speed reaches phaseSpeed, or
    // (cruising) for a fixed time.
    const double v = m_speed;
    double acceleration = 0;
    double phaseSpeed = v;
    double phaseTime = infinity;
    const auto rampTo = [&](double speed) {
        phaseSpeed = speed;
        acceleration = speed > v ? m_profile.acceleration : -m_profile.deceleration;
        phaseTime = speed == v ? 0 : (speed - v) / acceleration;
    };
    switch (m_motion) {
    case Motion::None:
        return 0;
    case Motion::Stop:
        if (v <= m_profile.endSpeed) {
            standStill();
            return 0;
        }
        rampTo(m_profile.endSpeed);
        break;
    case Motion::Run:
    case Motion::Homing:
        if (v != m_cruise)
            rampTo(m_cruise);
        break;
    case Motion::Move: {
        const double a = m_profile.acceleration;
        const double d = m_profile.deceleration;
        const double endSpeed = std::min(m_profile.endSpeed, m_cruise);
        const double braking = v > endSpeed ? (v * v - endSpeed * endSpeed) / (2 * d) : 0;
        // Accelerate to the cruise speed, or only to the peak from which the
        // deceleration just ends at the end speed on the target.
        double peak = m_cruise;
        if (!m_braking && v < m_cruise && endSpeed < m_cruise) {
            const double peakSquared = (2 * toTarget + endSpeed * endSpeed / d + v * v / a)
                    / (1 / a + 1 / d);
            if (std::sqrt(peakSquared) > endSpeed)
                peak = std::min(m_cruise, std::sqrt(peakSquared));
        }
        const bool pastPeak = v < m_cruise && peak <= v;
        if (m_braking || (v > endSpeed && (braking >= toTarget - brakingSlack || pastPeak))) {
            // Once braking, the move never speeds up again: it ramps down to
            // the end speed and keeps it to the target. What is left when the
            // speed has run out is rounding: the move is there.
            m_braking = true;
            if (v > endSpeed) {
                rampTo(endSpeed);
            } else if (v <= 0 || toTarget <= brakingSlack) {
                reach(Event::Target, m_target);
                return 0;
            }
        } else if (v < m_cruise) {
            rampTo(peak);
        } else if (v > m_cruise) {
            rampTo(m_cruise);
        } else {
            phaseTime = (toTarget - braking) / v;
        }
        break;
    }
    }

    const double toEvent = timeToCover(distance, v, acceleration);
    if (toEvent <= std::min(seconds, phaseTime)) {
        reach(event, eventPosition);
        return toEvent;
    }
    const double dt = std::min(seconds, phaseTime);
    m_position += m_direction * (v * dt + acceleration * dt * dt / 2);
    m_speed = dt == phaseTime ? phaseSpeed : std::max(0.0, v + acceleration * dt);
    return dt;
}

void SimAxis::reach(Event event, double position)
{
    m_position = position;
    switch (event) {
    case Event::Limit:
        if (m_motion == Motion::Homing && !m_homingTurned) {
            m_homingTurned = true;
            m_direction = -m_direction;
            m_speed = std::min(m_profile.startSpeed, m_cruise);
            return;
        }
        break;
    case Event::Target:
        break;
    case Event::ZeroPoint:
        m_absoluteOrigin = position;
        break;
    }
    standStill();
}

void SimAxis::standStill()
{
    m_motion = Motion::None;
    m_speed = 0;
    m_position = std::round(m_position);
}

qint64 SimAxis::absolutePosition() const
{
    return std::llround(m_position - m_absoluteOrigin);
}

qint64 SimAxis::relativePosition() const
{
    return std::llround(m_position - m_relativeOrigin);
}

void SimAxis::clearAbsolutePosition()
{
    m_absoluteOrigin = m_position;
}

void SimAxis::clearRelativePosition()
{
    m_relativeOrigin = m_position;
}

bool SimAxis::leftLimitActive() const
{
    return m_position <= double(m_switches.leftLimit);
}

bool SimAxis::rightLimitActive() const
{
    return m_position >= double(m_switches.rightLimit);
}

bool SimAxis::zeroPointActive() const
{
    return std::abs(m_position - double(m_switches.zeroPoint)) < 0.5;
}
