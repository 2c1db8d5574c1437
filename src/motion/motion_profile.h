#pragma once

#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <optional>

// The motion profile the controller's commands produce, as exact closed forms:
// given the motion parameters and a command, where the axis is and how fast it
// goes at any time after the command. Pure functions, no clock and no window;
// the chart draws the prediction beside the measured values, and the tests
// hold the simulated controller's time-stepped physics against it.
//
// Units: positions in pulses (the absolute position as the controller reports
// it), speeds in pulses per second, accelerations in pulses per second squared,
// times in seconds from the moment the command takes effect.
//
// The ramp rules are the simulated controller's: a motion jumps from standstill
// to the start speed (or straight to its target speed when that is lower), ramps
// up at the acceleration and down at the deceleration, and ends by jumping from
// the end speed to standstill. A move too short to reach the maximum speed turns
// at the peak from which the deceleration ends at the end speed on the target.
// Limit switches are not modelled: a motion that would reach one is drawn past it.

/// The controller's motion parameters.
struct MotionParameters
{
    double startSpeed = 100;
    double maxSpeed = 10000;
    double endSpeed = 1000;
    double acceleration = 10000;
    double deceleration = 10000;
    double homingSpeed = 10000;
    double speedFactor = 500; // the step of quantitative acceleration and deceleration

    friend bool operator==(const MotionParameters &, const MotionParameters &) = default;
};

/// A motion command, as the controller reads it from a request.
struct MotionCommand
{
    enum Kind {
        Move, // 31, 32: value = signed pulse count
        Run, // 33, 34: value = signed speed
        ChangeSpeed, // 35: value = the new speed
        DeceleratingStop, // 3D
        ImmediateStop, // 3C
        Home, // 3E: value = direction, +1 or -1
        SpeedFactor, // 44: value = the new factor
        QuantitativeAcceleration, // 45
        QuantitativeDeceleration, // 46
    };
    Kind kind = Move;
    qint64 value = 0;

    /// The command a request payload (address, code, length byte, data; no
    /// check) carries, or nothing for a request that is no motion command or
    /// whose data the controller refuses (a direction byte other than 00 and
    /// 01, a negative speed for 35 or factor for 44, a wrong length).
    static std::optional<MotionCommand> fromPayload(QByteArrayView payload);

    friend bool operator==(const MotionCommand &, const MotionCommand &) = default;
};

/// What the axis does at one moment: enough to carry the motion on.
struct MotionState
{
    enum Kind { Standstill, Move, Run, Homing, Stop };
    Kind kind = Standstill;
    double position = 0;
    double speed = 0; // never negative
    int direction = 1; // +1 or -1: of the current or the last motion
    double cruise = 0; // the speed a move, run or homing run heads for
    double target = 0; // where a move ends
    bool braking = false; // a move on its last ramp down: it never speeds up again
    // The ramp of the motion, fixed when it starts: later parameter changes
    // take effect at the next motion.
    double startSpeed = 0;
    double endSpeed = 0;
    double acceleration = 1;
    double deceleration = 1;

    /// Whether the axis moves, a decelerating stop included.
    bool isMoving() const { return kind != Standstill; }
};

/// One piece of a profile: constant acceleration from \a startTime on.
struct MotionSegment
{
    double startTime = 0;
    double duration = 0; // infinity for the last piece of a run
    double startPosition = 0;
    double startSpeed = 0; // never negative
    double acceleration = 0; // of the speed: negative on a ramp down
    int direction = 1; // the sign of the movement
    bool braking = false; // a move's last ramp down, or what is left of it at the end speed
};

/// The course of the axis from one state on, until it stands still (or for
/// ever, for a run).
class MotionProfile
{
public:
    /// The course from \a state on, no further command given. Homing heads for
    /// the zero point at absolute position 0 when that lies ahead; behind it,
    /// the search would turn at a limit switch, whose place is unknown, so it
    /// is drawn as a run.
    static MotionProfile from(const MotionState &state);

    /// Seconds until standstill; infinity when the motion does not end by
    /// itself, 0 for a profile that starts at standstill.
    double duration() const;
    /// Position at \a t (before 0: the start; after the end: the end).
    double positionAt(double t) const;
    /// Speed at \a t, never negative (0 once stood still).
    double speedAt(double t) const;
    /// The state at \a t, to carry on from with the next command.
    MotionState stateAt(double t) const;
    /// Where the axis stands at the end: a whole pulse (a move's target, the
    /// zero point of a homing run); plus or minus infinity when the motion does
    /// not end.
    double endPosition() const;
    /// The pieces, in time order.
    const QList<MotionSegment> &segments() const { return m_segments; }

private:
    const MotionSegment *segmentAt(double t) const;

    MotionState m_start;
    QList<MotionSegment> m_segments;
    MotionState m_end; // Standstill when the motion ends
};

/// The state right after \a command reaches an axis in \a state with the
/// parameters \a parameters, by the simulated controller's rules: a motion
/// command while moving is refused (nothing changes); 35, 45 and 46 change the
/// target speed of a motion in progress and do nothing at standstill; a run
/// given speed 0 decelerates to a stop; the factor (44) changes no motion.
MotionState applyCommand(const MotionState &state, const MotionParameters &parameters,
                         const MotionCommand &command);

/// The course after \a command, from \a state: from(applyCommand(...)).
MotionProfile predictMotion(const MotionState &state, const MotionParameters &parameters,
                            const MotionCommand &command);
