#pragma once

#include "motion_profile.h"
#include "sample_series.h"

#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <optional>

struct Exchange;

// What the motion chart shows, kept apart from any window: the measured speed,
// position and motion state from every good reply, the profile the model
// predicts for every motion command the controller accepted, and how the last
// motion compared with its prediction. Times are microseconds on the link's
// monotonic clock in, seconds since the origin out.
class MotionTracker
{
public:
    enum Series { Position, Speed, Moving, PredictedPosition, PredictedSpeed, SeriesCount };
    /// The parameters a prediction uses, in this order.
    enum Parameter {
        StartSpeed,
        MaxSpeed,
        EndSpeed,
        Acceleration,
        Deceleration,
        HomingSpeed,
        SpeedFactor,
        ParameterCount
    };
    /// Where the value of a parameter came from: the controller holds what was
    /// last set or read back; only what the tool never saw is the window's box.
    enum class Source { Box, Set, ReadBack };

    /// Ten minutes at 100 samples per second, and some room.
    static constexpr qsizetype defaultCapacity = 65536;

    explicit MotionTracker(qsizetype capacity = defaultCapacity);

    /// Forgets every sample, the prediction and the measurement; times count
    /// from \a originUs on. The known parameters stay: the controller keeps them.
    void clear(qint64 originUs);
    /// Seconds since the origin.
    double secondsAt(qint64 us) const { return double(us - m_originUs) / 1e6; }

    /// A reply frame with \a checkOk: a good answer to the speed, position or
    /// state query adds a sample at \a receivedUs. True when it did.
    bool addReply(QByteArrayView frame, bool checkOk, qint64 receivedUs);
    /// A request with its reply: parameters set or read back, a motion command
    /// accepted (it starts a prediction and a measurement), the state and
    /// position that end a measurement. \a boxes holds the window's values for
    /// the parameters the tool has not seen. Only good exchanges count.
    void addExchange(const Exchange &exchange, const MotionParameters &boxes);

    const SampleSeries &series(Series series) const { return m_series[series]; }

    /// The parameters the latest prediction used, and where each came from.
    const MotionParameters &predictionParameters() const { return m_predictionParameters; }
    Source predictionSource(Parameter parameter) const { return m_predictionSources[parameter]; }
    /// Whether a prediction was made since the last clear.
    bool hasPrediction() const { return m_prediction.has_value(); }
    /// The predicted duration of the latest motion command, in seconds
    /// (infinity for a motion that does not end by itself).
    std::optional<double> predictedDuration() const;
    /// Seconds from the latest motion command's last byte written to the first
    /// reply saying the motor stands, and the time since the state reply
    /// before it: the stop happened within that time before.
    struct Measured
    {
        double seconds;
        double uncertainty;
    };
    std::optional<Measured> measuredDuration() const { return m_measured; }
    /// The position read after the motion ended, and the target it aimed for.
    std::optional<double> finalPosition() const { return m_finalPosition; }
    std::optional<double> target() const;
    /// Where the chart's prediction ends, in seconds (none when it does not end).
    std::optional<double> predictionEnd() const;
    /// The latest sample time of any series, in seconds.
    double latestTime() const;

private:
    struct Prediction
    {
        double start; // seconds: the command's last byte written
        MotionProfile profile;
        std::optional<double> target; // where a move or homing run ends
    };

    MotionParameters known(const MotionParameters &boxes);
    void setKnown(quint8 code, double value, Source source);
    void predict(const MotionCommand &command, double at, const MotionParameters &boxes);

    qint64 m_originUs = 0;
    std::array<SampleSeries, SeriesCount> m_series;
    std::array<std::optional<double>, ParameterCount> m_known;
    std::array<Source, ParameterCount> m_knownSources{};
    MotionParameters m_predictionParameters;
    std::array<Source, ParameterCount> m_predictionSources{};
    std::optional<double> m_lastPosition; // the latest position read
    std::optional<Prediction> m_prediction;
    // The measurement of the latest motion: its command, the state replies
    // since, and once stopped the position read after.
    std::optional<double> m_motionStart;
    double m_lastMovingReply = 0;
    std::optional<Measured> m_measured;
    double m_stoppedAt = 0;
    std::optional<double> m_finalPosition;
};
