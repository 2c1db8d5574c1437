#include "motion_tracker.h"

#include "device/command_set.h"
#include "exchange/exchange_pairing.h"
#include "traffic/traffic_lines.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace FC = FunctionCode;

namespace {

// A run's prediction is drawn this far ahead; a later command cuts it short.
constexpr double runHorizon = 3600;
// Points per ramp of a predicted position curve (a parabola between them).
constexpr int pointsPerRamp = 32;

/// Address, code, length byte and data of an RTU or ASCII frame with a check.
std::optional<QByteArray> payloadOf(QByteArrayView frame)
{
    std::optional<FramePayload> payload = framePayload(frame);
    if (!payload || payload->bytes.size() < 3)
        return std::nullopt;
    return std::move(payload->bytes);
}

/// The signed 32-bit value after the length byte, when the payload holds one.
std::optional<double> int32Of(const QByteArray &payload)
{
    if (payload.size() < 7 || quint8(payload[2]) != payload.size() - 3)
        return std::nullopt;
    const quint32 v = quint32(quint8(payload[3])) << 24 | quint32(quint8(payload[4])) << 16
            | quint32(quint8(payload[5])) << 8 | quint32(quint8(payload[6]));
    return double(qint32(v));
}

/// The parameter a set or query code reaches, or ParameterCount.
MotionTracker::Parameter parameterOf(quint8 code)
{
    if (const int index = parameterIndex(code); index >= 0)
        return MotionTracker::Parameter(index);
    return code == FC::SetSpeedFactor ? MotionTracker::SpeedFactor : MotionTracker::ParameterCount;
}

double &field(MotionParameters &parameters, MotionTracker::Parameter parameter)
{
    switch (parameter) {
    case MotionTracker::StartSpeed:
        return parameters.startSpeed;
    case MotionTracker::MaxSpeed:
        return parameters.maxSpeed;
    case MotionTracker::EndSpeed:
        return parameters.endSpeed;
    case MotionTracker::Acceleration:
        return parameters.acceleration;
    case MotionTracker::Deceleration:
        return parameters.deceleration;
    case MotionTracker::HomingSpeed:
        return parameters.homingSpeed;
    case MotionTracker::SpeedFactor:
    case MotionTracker::ParameterCount:
        break;
    }
    return parameters.speedFactor;
}

} // namespace

MotionTracker::MotionTracker(qsizetype capacity)
    : m_series{SampleSeries(capacity), SampleSeries(capacity), SampleSeries(capacity),
               SampleSeries(capacity), SampleSeries(capacity)}
{ }

void MotionTracker::clear(qint64 originUs)
{
    m_originUs = originUs;
    for (SampleSeries &series : m_series)
        series.clear();
    m_prediction.reset();
    m_motionStart.reset();
    m_measured.reset();
    m_finalPosition.reset();
}

bool MotionTracker::addReply(QByteArrayView frame, bool checkOk, qint64 receivedUs)
{
    if (!checkOk)
        return false;
    const std::optional<QByteArray> payload = payloadOf(frame);
    if (!payload)
        return false;
    const std::optional<double> value = int32Of(*payload);
    if (!value)
        return false;
    const double t = secondsAt(receivedUs);
    switch (quint8(payload->at(1))) {
    case FC::QuerySpeed:
        m_series[Speed].append(t, *value);
        return true;
    case FC::QueryAbsolutePosition:
        m_series[Position].append(t, *value);
        m_lastPosition = *value;
        return true;
    case FC::QueryMotionStatus:
        m_series[Moving].append(t, payload->at(3) != 0 ? 1 : 0);
        return true;
    default:
        return false;
    }
}

void MotionTracker::addExchange(const Exchange &exchange, const MotionParameters &boxes)
{
    if (exchange.verdict != Verdict::Good)
        return;
    const std::optional<QByteArray> request = payloadOf(exchange.request);
    if (!request)
        return;
    const quint8 code = quint8(request->at(1));
    const double sent = secondsAt(exchange.sentUs);
    const std::optional<QByteArray> reply = payloadOf(exchange.reply);
    const std::optional<double> answer = reply ? int32Of(*reply) : std::nullopt;

    if (const Parameter parameter = parameterOf(code); parameter != ParameterCount) {
        // The factor is set only.
        const bool set = parameter == SpeedFactor || code == motionParameters()[parameter].setCode;
        const std::optional<double> value = set ? int32Of(*request) : answer;
        if (value) {
            m_known[parameter] = *value;
            m_knownSources[parameter] = set ? Source::Set : Source::ReadBack;
        }
    }
    switch (code) {
    case FC::FactorySettings: {
        MotionParameters factory;
        for (int p = 0; p < ParameterCount; ++p) {
            m_known[p] = field(factory, Parameter(p));
            m_knownSources[p] = Source::Set;
        }
        return;
    }
    case FC::ClearAbsolutePosition:
        m_lastPosition = 0;
        return;
    case FC::QueryMotionStatus:
        // The first reply after the command that says the motor stands ends
        // the measurement; the stop came after the state reply before it.
        if (m_motionStart && !m_measured && sent >= *m_motionStart && reply && reply->size() > 3) {
            const double replied = secondsAt(exchange.repliedUs);
            if (reply->at(3) != 0) {
                m_lastMovingReply = replied;
            } else {
                m_measured = Measured{replied - *m_motionStart, replied - m_lastMovingReply};
                m_stoppedAt = replied;
            }
        }
        return;
    case FC::QueryAbsolutePosition:
        if (m_measured && !m_finalPosition && sent >= m_stoppedAt && answer)
            m_finalPosition = answer;
        return;
    default:
        break;
    }
    if (const std::optional<MotionCommand> command = MotionCommand::fromPayload(*request);
        command && command->kind != MotionCommand::SpeedFactor) {
        predict(*command, sent, boxes);
    }
}

MotionParameters MotionTracker::known(const MotionParameters &boxes)
{
    MotionParameters parameters = boxes;
    for (int p = 0; p < ParameterCount; ++p) {
        m_predictionSources[p] = m_known[p] ? m_knownSources[p] : Source::Box;
        if (m_known[p])
            field(parameters, Parameter(p)) = *m_known[p];
    }
    return parameters;
}

void MotionTracker::predict(const MotionCommand &command, double at, const MotionParameters &boxes)
{
    const bool starts = command.kind == MotionCommand::Move || command.kind == MotionCommand::Run
            || command.kind == MotionCommand::Home;
    MotionState state;
    if (m_prediction && !starts)
        state = m_prediction->profile.stateAt(at - m_prediction->start);
    if (!state.isMoving()) {
        // The controller took the command, so the motor stood: where it was
        // last read, or where the last prediction left it.
        if (!starts)
            return;
        state = MotionState{};
        const double predicted = m_prediction ? m_prediction->profile.endPosition() : 0.0;
        state.position = m_lastPosition.value_or(std::isfinite(predicted) ? predicted : 0.0);
    }
    const double speedBefore = state.speed;
    m_predictionParameters = known(boxes);
    const MotionProfile profile = predictMotion(state, m_predictionParameters, command);
    const bool ends = std::isfinite(profile.duration());
    m_prediction = Prediction{at, profile,
                              ends ? std::optional<double>(profile.endPosition()) : std::nullopt};
    if (starts) {
        m_motionStart = at;
        m_lastMovingReply = at;
        m_measured.reset();
        m_finalPosition.reset();
    }

    SampleSeries &position = m_series[PredictedPosition];
    SampleSeries &speed = m_series[PredictedSpeed];
    position.truncateAfter(at);
    speed.truncateAfter(at);
    position.append(at, profile.positionAt(0));
    speed.append(at, speedBefore);
    for (const MotionSegment &segment : profile.segments()) {
        const double length = std::min(segment.duration, runHorizon);
        const int steps = segment.acceleration != 0 ? pointsPerRamp : 1;
        for (int k = 0; k <= steps; ++k) {
            const double t = segment.startTime + length * k / steps;
            position.append(at + t, profile.positionAt(t));
        }
        speed.append(at + segment.startTime, segment.startSpeed);
        speed.append(at + segment.startTime + length,
                     segment.startSpeed + segment.acceleration * length);
    }
    if (ends) {
        const double end = at + profile.duration();
        position.append(end, profile.endPosition());
        speed.append(end, 0);
    }
}

std::optional<double> MotionTracker::predictedDuration() const
{
    if (!m_prediction || !m_motionStart)
        return std::nullopt;
    return m_prediction->start + m_prediction->profile.duration() - *m_motionStart;
}

std::optional<double> MotionTracker::target() const
{
    return m_prediction ? m_prediction->target : std::nullopt;
}

std::optional<double> MotionTracker::predictionEnd() const
{
    if (!m_prediction || !std::isfinite(m_prediction->profile.duration()))
        return std::nullopt;
    return m_prediction->start + m_prediction->profile.duration();
}

double MotionTracker::latestTime() const
{
    double latest = 0;
    for (const Series series : {Position, Speed, Moving}) {
        if (!m_series[series].isEmpty())
            latest = std::max(latest, m_series[series].last().x());
    }
    return latest;
}
