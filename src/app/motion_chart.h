#pragma once

#include "util/result.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class MotionTracker;
class QAreaSeries;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QValueAxis;
class QWidget;

// The motion tab's chart: position and speed against time, each on its own
// axis, the stretches the controller said it moved as a band, and the predicted
// profile dashed beside them. It draws what the tracker holds, at most once per
// screen frame, and only the samples the pixels can show, so that a fast poll
// never waits for the chart. The view is made when the tab is first shown: a
// window that never shows the chart never pays for it.
class MotionChart : public QObject
{
    Q_OBJECT

public:
    struct Figures
    {
        QLabel *predictedDuration;
        QLabel *measuredDuration;
        QLabel *positionError;
    };

    MotionChart(const MotionTracker &tracker, QWidget *holder, const Figures &figures,
                QObject *parent = nullptr);

    /// The tracker changed: redraw at the next frame.
    void update();
    /// Frozen while paused; the samples keep coming and show on resume.
    void setPaused(bool paused);
    /// Back to following the latest samples, the whole height in view.
    void resetZoom();
    /// Names the axes, series and figures again in the language now in force.
    void retranslate();
    /// Writes the samples (a name ending in .csv) or the chart as shown (.png).
    Status exportTo(const QString &path);
    /// Redraws so far.
    qint64 redraws() const { return m_redraws; }
    /// The view, made on first use.
    QChartView *view();

signals:
    void redrawn();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void redraw();
    void applyColours();
    void showFigures();
    void rangeChanged();
    Status exportCsv(const QString &path) const;

    const MotionTracker &m_tracker;
    QWidget *m_holder;
    Figures m_figures;
    QChartView *m_view = nullptr;
    QChart *m_chart = nullptr;
    QValueAxis *m_time = nullptr;
    QValueAxis *m_positionAxis = nullptr;
    QValueAxis *m_speedAxis = nullptr;
    QValueAxis *m_bandAxis = nullptr;
    QLineSeries *m_position = nullptr;
    QLineSeries *m_speed = nullptr;
    QLineSeries *m_movingEdge = nullptr;
    QAreaSeries *m_moving = nullptr;
    QLineSeries *m_predictedPosition = nullptr;
    QLineSeries *m_predictedSpeed = nullptr;
    QTimer m_frame; // one redraw per screen frame at most
    QElapsedTimer m_sinceRedraw;
    bool m_paused = false;
    bool m_following = true; // the time axis follows the latest samples
    bool m_settingRanges = false;
    bool m_dark = false; // the chart has the dark theme, as the window is dark
    qint64 m_redraws = 0;
};
