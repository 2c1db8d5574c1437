#pragma once

#include "motion/motion_tracker.h"
#include "tab_context.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class MotionChart;
class QTimer;
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

public slots:
    /// The port closed or reopened: the round in progress is given up.
    void forgetPoll();

protected:
    void changeEvent(QEvent *event) override;

private:
    void connectChart();
    void connectPoll();
    void onExchangeSettled(const Exchange &exchange);
    void startPollRound();
    void sendPollStep();
    void showMessage(const QString &text);

    const TabContext &m_context;
    std::unique_ptr<Ui::MotionTab> ui;
    MotionTracker m_motion;
    MotionChart *m_motionChart;
    // The automatic poll: a round of queries per interval, each sent once
    // nothing else waits for a reply.
    QTimer *m_autoPollTimer;
    int m_pollStep = -1; // the query of the round in progress, -1 between rounds
    QByteArray m_pollFrame; // the query sent, until it settles
    QElapsedTimer m_pollSince; // the round's start, to give up on a lost one
};
