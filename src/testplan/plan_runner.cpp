#include "plan_runner.h"

#include "bus/config_transfer.h"
#include "device/command_set.h"
#include "session/link_session.h"

#include <cmath>

namespace {

// A request that the exchange layer never settles (a line that takes no bytes)
// ends the run after its reply time-out and this much more.
constexpr int settleGuardMs = 5000;

QString verdictMessage(const Exchange &exchange, int replyTimeoutMs)
{
    switch (exchange.verdict) {
    case Verdict::Good:
        return QStringLiteral("a good reply came");
    case Verdict::BadCheck:
        return QStringLiteral("the reply's check is wrong");
    case Verdict::Exception:
        return QStringLiteral("exception %1").arg(stationText(exchange.exceptionCode));
    case Verdict::Timeout:
        return QStringLiteral("no reply within %1 ms").arg(replyTimeoutMs);
    case Verdict::Unexpected:
    case Verdict::NoReply:
        break;
    }
    return QStringLiteral("no reply is asked for");
}

StepExchange stepExchange(const Exchange &exchange)
{
    const qint64 us = exchange.responseUs();
    return {exchange.request, exchange.reply, exchange.verdict, exchange.exceptionCode,
            us >= 0 ? double(us) / 1000.0 : -1.0};
}

std::optional<qint64> valueOf(const Exchange &exchange)
{
    const CommandInfo *row = exchange.code ? findCode(*exchange.code) : nullptr;
    const std::optional<FramePayload> payload = framePayload(exchange.reply);
    if (!row || !payload || !payload->checkOk)
        return std::nullopt;
    return replyValue(*row, payload->bytes);
}

} // namespace

PlanRunner::PlanRunner(Send send, QObject *parent)
    : QObject(parent)
    , m_send(std::move(send))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
}

PlanRunner::~PlanRunner() = default;

void PlanRunner::follow(LinkSession &session)
{
    connect(&session.exchanges(), &ExchangeMonitor::exchangeSettled, this,
            &PlanRunner::exchangeSettled);
    connect(&session, &LinkSession::restarted, this,
            [this] { stop(QStringLiteral("the port was closed or reopened")); });
    connect(&session, &LinkSession::deviceLost, this, [this, &session](const QString &reason) {
        stop(QStringLiteral("port %1 went away: %2").arg(session.portLabel(), reason));
    });
    connect(&session, &LinkSession::stalled, this, [this, &session](const QString &reason) {
        stop(QStringLiteral("port %1 stopped taking bytes: %2").arg(session.portLabel(), reason));
    });
}

void PlanRunner::start(const TestPlan &plan, quint8 station, const QString &port)
{
    m_plan = plan;
    m_steps = flattenSteps(plan.steps);
    m_station = station;
    m_result = StationResult{};
    m_result.plan = plan.name;
    m_result.planFile = plan.path;
    m_result.port = port;
    m_result.station = station;
    m_result.start = QDateTime::currentDateTime();
    for (const PlanStep &step : std::as_const(m_steps))
        m_result.steps.append(StepResult{.name = step.name, .unit = stepUnit(step)});
    m_failedToStop = false;
    m_lastResponseMs.reset();
    m_motion = MotionTracker(1024);
    m_motion.clear(m_clock());
    m_index = -1;
    ++m_run;
    m_running = true;
    next();
}

void PlanRunner::stop(const QString &reason)
{
    if (!isRunning())
        return;
    if (m_transfer) {
        m_transfer->disconnect(this);
        m_transfer->cancel();
    }
    finishStep(Outcome::Error, reason);
    m_index = int(m_steps.size()); // nothing more runs
    finish();
}

void PlanRunner::next()
{
    if (!m_running)
        return;
    m_timer.stop();
    disconnect(&m_timer, nullptr, this, nullptr);
    m_waiting.clear();
    ++m_index;
    if (m_failedToStop || m_index >= m_steps.size()) {
        finish();
        return;
    }
    m_stepStartUs = m_clock();
    emit stepStarted(m_index);
    runStep();
}

void PlanRunner::runStep()
{
    const PlanStep &step = m_steps[m_index];
    switch (step.kind) {
    case PlanStep::Kind::Exchange:
    case PlanStep::Kind::WaitUntil:
        sendRequest();
        return;
    case PlanStep::Kind::Measure:
        judgeMeasure();
        return;
    case PlanStep::Kind::Delay:
        connect(&m_timer, &QTimer::timeout, this, [this] { finishStep(Outcome::Pass); });
        m_timer.start(step.delayMs);
        return;
    case PlanStep::Kind::ApplyConfig:
    case PlanStep::Kind::VerifyConfig:
        startConfig();
        return;
    case PlanStep::Kind::Repeat: // laid out before the run
        finishStep(Outcome::Pass);
        return;
    }
}

void PlanRunner::sendRequest()
{
    const PlanStep &step = m_steps[m_index];
    const CommandInfo *row = findCode(step.code);
    const quint8 address = row && row->toStationZero ? 0 : m_station;
    const QByteArray frame = framing(m_plan.mode).frame(makePayload(address, step.code, step.data));
    m_waiting = frame;
    disconnect(&m_timer, nullptr, this, nullptr);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        stop(QStringLiteral("the request was not settled: the line takes no bytes"));
    });
    m_timer.start(m_plan.replyTimeoutMs + settleGuardMs);
    if (!m_send(frame))
        stop(QStringLiteral("the port refused the request"));
}

void PlanRunner::exchangeSettled(const Exchange &exchange)
{
    // Every exchange on the line tells the model what the motor does.
    m_motion.addExchange(exchange, MotionParameters{});
    if (m_transfer && isRunning()) {
        m_transfer->exchangeSettled(exchange);
        return;
    }
    if (!isRunning() || m_waiting.isEmpty() || exchange.request != m_waiting)
        return;
    m_waiting.clear();
    m_timer.stop();
    if (exchange.responseUs() >= 0)
        m_lastResponseMs = double(exchange.responseUs()) / 1000.0;
    m_result.steps[m_index].exchange = stepExchange(exchange);
    if (m_steps[m_index].kind == PlanStep::Kind::WaitUntil)
        judgePoll(exchange);
    else
        judgeExchange(exchange);
}

void PlanRunner::judgeExchange(const Exchange &exchange)
{
    const PlanStep &step = m_steps[m_index];
    const QString seen = verdictMessage(exchange, m_plan.replyTimeoutMs);
    const bool silent = exchange.verdict == Verdict::Timeout || exchange.verdict == Verdict::NoReply;
    switch (step.expect) {
    case PlanStep::Expect::NoReply:
        finishStep(silent ? Outcome::Pass : Outcome::Fail, silent ? QString() : seen);
        return;
    case PlanStep::Expect::Exception: {
        const bool right = exchange.verdict == Verdict::Exception
                && (!step.exceptionCode || *step.exceptionCode == exchange.exceptionCode);
        finishStep(right ? Outcome::Pass : Outcome::Fail, right ? QString() : seen);
        return;
    }
    case PlanStep::Expect::Ok:
        break;
    }
    if (exchange.verdict != Verdict::Good && exchange.verdict != Verdict::NoReply) {
        finishStep(Outcome::Fail, seen);
        return;
    }
    if (step.value.isEmpty()) {
        finishStep(Outcome::Pass);
        return;
    }
    StepResult &result = m_result.steps[m_index];
    result.limits = step.value;
    const std::optional<qint64> value = valueOf(exchange);
    if (!value) {
        finishStep(Outcome::Fail, QStringLiteral("the reply carries no value"));
        return;
    }
    result.measured = double(*value);
    finishStep(judge(double(*value), step.value));
}

void PlanRunner::judgePoll(const Exchange &exchange)
{
    const PlanStep &step = m_steps[m_index];
    StepResult &result = m_result.steps[m_index];
    const std::optional<qint64> value =
            exchange.verdict == Verdict::Good ? valueOf(exchange) : std::nullopt;
    bool holds = false;
    QString state = verdictMessage(exchange, m_plan.replyTimeoutMs);
    if (value) {
        switch (step.waitFor) {
        case PlanStep::WaitFor::Stopped:
        case PlanStep::WaitFor::Moving:
            holds = (*value != 0) == (step.waitFor == PlanStep::WaitFor::Moving);
            state = *value != 0 ? QStringLiteral("still moving") : QStringLiteral("still stopped");
            break;
        case PlanStep::WaitFor::Inputs:
            holds = (quint8(*value) & step.inputMask) == step.inputBits;
            state = QStringLiteral("inputs IN5..IN1 were %1")
                            .arg(QString::number(*value, 2).rightJustified(5, QLatin1Char('0')));
            break;
        case PlanStep::WaitFor::Position:
        case PlanStep::WaitFor::Value:
            result.measured = double(*value);
            result.limits = step.value;
            holds = judge(double(*value), step.value) != Outcome::Fail;
            state = QStringLiteral("the value was %1").arg(*value);
            break;
        }
    }
    const double waited = elapsedMs();
    if (holds) {
        if (step.waitFor == PlanStep::WaitFor::Position || step.waitFor == PlanStep::WaitFor::Value) {
            finishStep(judge(*result.measured, step.value));
        } else {
            result.measured = std::round(waited);
            finishStep(Outcome::Pass);
        }
        return;
    }
    if (waited >= step.timeoutMs) {
        finishStep(Outcome::Fail,
                   QStringLiteral("not reached within %1 ms: %2").arg(step.timeoutMs).arg(state));
        return;
    }
    // The next poll one interval after this one went out, never past the time-out.
    const double sinceSent = double(m_clock() - exchange.sentUs) / 1000.0;
    const double wait = qMin(step.pollMs - sinceSent, step.timeoutMs - waited);
    disconnect(&m_timer, nullptr, this, nullptr);
    connect(&m_timer, &QTimer::timeout, this, &PlanRunner::sendRequest);
    m_timer.start(qMax(0, int(std::ceil(wait))));
}

void PlanRunner::judgeMeasure()
{
    const PlanStep &step = m_steps[m_index];
    StepResult &result = m_result.steps[m_index];
    result.limits = step.limits;
    std::optional<double> value;
    QString missing;
    const std::optional<MotionTracker::Measured> measured = m_motion.measuredDuration();
    // The motor stopped between the last reply that saw it move and the first
    // that saw it stand: the middle of that span is the best estimate.
    const std::optional<double> duration = measured
            ? std::optional<double>(measured->seconds - measured->uncertainty / 2)
            : std::nullopt;
    switch (step.measure) {
    case PlanStep::Measure::ResponseMs:
        value = m_lastResponseMs;
        missing = QStringLiteral("no reply came before this step");
        break;
    case PlanStep::Measure::MoveDurationS:
        value = duration;
        missing = QStringLiteral("no move was seen to end: wait until stopped first");
        break;
    case PlanStep::Measure::MoveDurationRatio: {
        const std::optional<double> predicted = m_motion.predictedDuration();
        if (duration && predicted && std::isfinite(*predicted) && *predicted > 0)
            value = *duration / *predicted;
        missing = QStringLiteral("no move was seen to end that the model predicts");
        break;
    }
    case PlanStep::Measure::PositionError: {
        const std::optional<double> position = m_motion.finalPosition();
        const std::optional<double> target = m_motion.target();
        if (position && target)
            value = *position - *target;
        missing = QStringLiteral("no position was read after the move ended");
        break;
    }
    }
    if (!value) {
        finishStep(Outcome::Fail, missing);
        return;
    }
    result.measured = *value;
    finishStep(judge(*value, step.limits));
}

void PlanRunner::startConfig()
{
    const PlanStep &step = m_steps[m_index];
    m_transfer = std::make_unique<ConfigTransfer>(m_send);
    connect(m_transfer.get(), &ConfigTransfer::stationDone, this,
            [this](const ConfigTransfer::Outcome &outcome) {
                if (!outcome.answered) {
                    finishStep(Outcome::Fail, QStringLiteral("the station did not answer"));
                    return;
                }
                QStringList faults;
                for (const QString &item : outcome.refused)
                    faults.append(QStringLiteral("%1 refused").arg(item));
                for (const ConfigRow &row : compareConfigSets(m_steps[m_index].config, outcome.read)) {
                    if (row.differs) {
                        faults.append(QStringLiteral("%1 is %2, not %3")
                                              .arg(row.key, row.actual, row.expected));
                    }
                }
                finishStep(faults.isEmpty() ? Outcome::Pass : Outcome::Fail,
                           faults.join(QLatin1String("; ")));
            });
    connect(m_transfer.get(), &ConfigTransfer::finished, this, [this](const QString &error) {
        if (!error.isEmpty())
            stop(error);
    });
    if (step.kind == PlanStep::Kind::ApplyConfig)
        m_transfer->write(step.config, {m_station}, m_plan.mode);
    else
        m_transfer->verify(step.config, {m_station}, m_plan.mode);
}

void PlanRunner::finishStep(Outcome outcome, const QString &message)
{
    if (m_index < 0 || m_index >= m_steps.size())
        return;
    StepResult &result = m_result.steps[m_index];
    if (result.outcome != Outcome::Skipped) // judged already
        return;
    result.outcome = outcome;
    result.message = message;
    result.seconds = elapsedMs() / 1000.0;
    m_result.outcome = worse(m_result.outcome, outcome);
    if (outcome == Outcome::Fail && m_steps[m_index].onFail == OnFail::Stop)
        m_failedToStop = true;
    const int done = m_index;
    emit stepDone(done);
    // The transfer may be the caller: it goes once control has left it.
    if (m_transfer)
        m_transfer.release()->deleteLater();
    // The next step starts once the caller's signal handlers are done; a stop or
    // a new run in between leaves it out.
    if (outcome != Outcome::Error) {
        QMetaObject::invokeMethod(this, [this, run = m_run] {
            if (run == m_run)
                next();
        }, Qt::QueuedConnection);
    }
}

void PlanRunner::finish()
{
    if (!m_running)
        return;
    m_timer.stop();
    m_waiting.clear();
    m_index = -1;
    m_running = false;
    if (m_result.outcome == Outcome::Skipped) // every step skipped, or none ran
        m_result.outcome = Outcome::Pass;
    m_result.end = QDateTime::currentDateTime();
    emit finished();
}

double PlanRunner::elapsedMs() const
{
    return double(m_clock() - m_stepStartUs) / 1000.0;
}
