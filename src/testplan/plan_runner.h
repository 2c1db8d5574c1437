#pragma once

#include "motion/motion_tracker.h"
#include "plan_result.h"
#include "test_plan.h"
#include "util/monotonic_clock.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class ConfigTransfer;
class LinkSession;

// Runs a test plan against one station, one step at a time: each request goes
// out through the caller's send path, and the step is judged on the exchange
// the exchange layer settles for it (its reply, exception or time-out). Waits
// poll their query until the condition holds or their time is up; moves are
// followed by a motion tracker, so that a plan can hold a move's duration and
// end position against the model's prediction. It never touches the port.
class PlanRunner : public QObject
{
    Q_OBJECT

public:
    using Send = std::function<bool(const QByteArray &frame)>;

    /// A runner that sends through \a send; it hears the line through follow(), or
    /// through exchangeSettled() and stop() from its caller.
    explicit PlanRunner(Send send, QObject *parent = nullptr);
    ~PlanRunner() override;

    /// Judges the exchanges \a session settles, and ends the run as a fault of the
    /// bench when the port closes, reopens, goes away or takes no more bytes.
    void follow(LinkSession &session);

    /// The clock of the measurements, on the exchange layer's timescale.
    void setClock(UsClock clock) { m_clock = std::move(clock); }

    /// Starts \a plan against \a station, which the reports name with \a port.
    void start(const TestPlan &plan, quint8 station, const QString &port);
    /// Ends the run at once: the step running is an error, the rest skipped.
    void stop(const QString &reason);
    bool isRunning() const { return m_running; }

    /// The plan's steps with their repeats laid out, as the result lists them.
    const QList<PlanStep> &steps() const { return m_steps; }
    const StationResult &result() const { return m_result; }

public slots:
    /// An exchange the line settled; the runner takes the one it waits for.
    void exchangeSettled(const Exchange &exchange);

signals:
    void stepStarted(int index);
    /// Step \a index has its outcome (result().steps[index]).
    void stepDone(int index);
    /// The run is over; result() holds the verdict.
    void finished();

private:
    void next();
    void runStep();
    void sendRequest();
    void judgeExchange(const Exchange &exchange);
    void judgePoll(const Exchange &exchange);
    void judgeMeasure();
    void startConfig();
    void finishStep(Outcome outcome, const QString &message = {});
    void finish();
    double elapsedMs() const;

    Send m_send;
    UsClock m_clock = systemClock();
    TestPlan m_plan;
    QList<PlanStep> m_steps;
    StationResult m_result;
    quint8 m_station = 0;
    int m_index = -1; // the step running
    bool m_running = false;
    int m_run = 0; // counts the runs, so that a step queued by one is not taken by the next
    qint64 m_stepStartUs = 0;
    QByteArray m_waiting; // the request whose exchange is awaited
    QTimer m_timer; // delays, the next poll, and the guard of a request that never settles
    bool m_failedToStop = false; // a failed step with on_fail = stop ends the run
    std::optional<double> m_lastResponseMs;
    MotionTracker m_motion{1024};
    std::unique_ptr<ConfigTransfer> m_transfer;
};
