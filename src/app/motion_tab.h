#pragma once

#include "motion/motion_tracker.h"
#include "tab_context.h"

#include <QWidget>

#include <memory>

class AutoPoller;
class MotionChart;
struct Exchange;

namespace Ui {
class MotionTab;
}

// The tab "运动曲线": the chart of the position and the speed from every reply
// to their queries, the predicted profile of motion commands, and the automatic
// poll that asks for them.
class MotionTab : public QWidget
{
    Q_OBJECT

public:
    MotionTab(const TabContext &context, QWidget *parent);
    ~MotionTab() override;

    /// The samples, predictions and figures the tab shows.
    const MotionTracker &motion() const { return m_motion; }
    MotionChart &motionChart() { return *m_motionChart; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void connectChart();
    void connectPoll();
    void showMessage(const QString &text);

    const TabContext &m_context;
    std::unique_ptr<Ui::MotionTab> ui;
    MotionTracker m_motion;
    MotionChart *m_motionChart;
    AutoPoller *m_poller = nullptr; // "自动查询"
};
