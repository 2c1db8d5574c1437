#pragma once

#include <QtGlobal>

// The simulated motor axis: a position in pulses that moves along trapezoid
// speed profiles, with a left and a right limit switch and a zero-point switch
// at fixed places on the axis, and the absolute and relative position counters
// the controller reports.
//
// Speeds are in pulses per second, accelerations in pulses per second squared.
// A motion starts by jumping from standstill to the start speed (or straight to
// its target speed when that is lower), ramps at the acceleration up and at the
// deceleration down, and ends by jumping from the end speed to standstill. The
// integration is exact piecewise (constant acceleration between events), so the
// result does not depend on how the time is cut into steps.

/// The ramp of one motion, fixed when the motion starts.
struct SimProfile
{
    double startSpeed = 100;
    double endSpeed = 1000;
    double acceleration = 10000;
    double deceleration = 10000;
};

/// Where the switches sit, in pulses on the axis' own scale (the absolute
/// position as it reads before any clearing or homing).
struct SimSwitches
{
    qint64 leftLimit = -1000000;
    qint64 zeroPoint = 0;
    qint64 rightLimit = 1000000;
};

class SimAxis
{
public:
    enum class Motion {
        None,
        Move, // by a pulse count, to a target position
        Run, // at a constant speed until stopped
        Homing, // at the homing speed until the zero-point switch
        Stop, // decelerating to the end speed, then standstill
    };

    explicit SimAxis(const SimSwitches &switches = {});

    /// Moves by \a pulses (negative: towards the left limit) with \a maxSpeed as
    /// the cruise speed. Does nothing for 0 pulses or when a limit switch in the
    /// direction of travel is already active.
    void moveBy(qint64 pulses, double maxSpeed, const SimProfile &profile);
    /// Runs at \a speed in \a direction (+1 or -1) until stopped by a command
    /// or a limit switch. A speed of 0 does nothing.
    void run(int direction, double speed, const SimProfile &profile);
    /// Runs at \a speed in \a direction until the zero-point switch, stops there
    /// and zeroes the absolute position. A limit switch on the way turns the
    /// search round once; the second limit ends it without a zero point.
    void home(int direction, double speed, const SimProfile &profile);
    /// The speed the current motion heads for: the cruise speed of a move, the
    /// speed of a run or a homing run. Nothing happens while stopping or at
    /// standstill. A run given 0 decelerates and stops; a move or homing run
    /// keeps at least 1 pulse per second.
    void setTargetSpeed(double speed);
    /// Decelerates to the end speed, then stands still.
    void stopDecelerating();
    /// Stands still at once, on the nearest whole pulse.
    void stopImmediately();

    /// Lets \a seconds pass.
    void advance(double seconds);

    /// What the axis is doing.
    Motion motion() const { return m_motion; }
    /// Whether the axis moves, a decelerating stop included.
    bool isMoving() const { return m_motion != Motion::None; }
    /// Current speed, never negative.
    double speed() const { return m_speed; }
    /// The speed the current motion heads for (0 at standstill).
    double targetSpeed() const { return isMoving() ? m_cruise : 0; }
    /// +1 or -1: the direction of the current or last motion.
    int direction() const { return m_direction; }
    /// Position on the axis' own scale, in (fractional) pulses.
    double position() const { return m_position; }

    /// The absolute position counter: rounded to whole pulses, zeroed by
    /// clearing and by homing.
    qint64 absolutePosition() const;
    /// The relative position counter, zeroed by its own clearing only.
    qint64 relativePosition() const;
    /// Zeroes the absolute position where the axis stands.
    void clearAbsolutePosition();
    /// Zeroes the relative position where the axis stands.
    void clearRelativePosition();

    /// A limit switch is active at and beyond its position.
    bool leftLimitActive() const;
    bool rightLimitActive() const;
    /// The zero-point switch is active within half a pulse of its position.
    bool zeroPointActive() const;

    /// Where the switches sit.
    const SimSwitches &switches() const { return m_switches; }

private:
    enum class Event { Limit, Target, ZeroPoint };

    void start(Motion motion, int direction, double speed, const SimProfile &profile);
    double step(double seconds);
    void reach(Event event, double position);
    void standStill();

    SimSwitches m_switches;
    SimProfile m_profile;
    Motion m_motion = Motion::None;
    double m_position = 0;
    double m_speed = 0;
    int m_direction = 1;
    double m_target = 0; // target position of a move
    double m_cruise = 0; // target speed of a move, run or homing run
    bool m_braking = false; // a move on its final ramp down
    bool m_homingTurned = false;
    double m_absoluteOrigin = 0;
    double m_relativeOrigin = 0;
};
