#pragma once

#include "tab_context.h"
#include "testplan/plan_result.h"
#include "testplan/test_plan.h"

#include <QWidget>

#include <memory>
#include <optional>

class PlanRunner;
class PlanStepsModel;

namespace Ui {
class TestTab;
}

// The tab "测试": a test plan opened from its file and run against the station in
// the address box, step by step through the window's send path, so that its traffic
// shows like any other; the outcome of every step as it comes, the verdict, and the
// report of the last run saved as JUnit XML, JSON or HTML.
class TestTab : public QWidget
{
    Q_OBJECT

public:
    TestTab(const TabContext &context, QWidget *parent);
    ~TestTab() override;

    bool isRunning() const;

public slots:
    /// Ends a run: the step running is an error for \a reason, the rest are skipped.
    void stopRun(const QString &reason);

protected:
    void changeEvent(QEvent *event) override;

private:
    enum class Shown { Nothing, Running, Verdict };

    void openPlan();
    void startRun();
    bool planFitsLine();
    void stepStarted(int index);
    void runFinished();
    void saveReport();
    void showPlan();
    void showVerdict(Shown shown);
    void showMessage(const QString &text);

    const TabContext &m_context;
    std::unique_ptr<Ui::TestTab> ui;
    PlanRunner *m_runner;
    PlanStepsModel *m_steps;
    std::optional<TestPlan> m_plan;
    std::optional<StationResult> m_lastRun; // what "保存报告…" writes
    Shown m_shown = Shown::Nothing;
    qint64 m_keptReplyTimeoutUs = 0; // the exchange layer's, back after the run
    qint64 m_planReplyTimeoutUs = 0;
};
