#include "motion_chart.h"

#include "colour_contrast.h"
#include "motion/motion_tracker.h"
#include "util/error_text.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineSeries>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// The time axis shows this many seconds of the latest samples while following.
constexpr double followSeconds = 30;
// A redraw at most once per frame of a 60 Hz screen.
constexpr int frameMs = 16;

QString seconds(double value)
{
    return QStringLiteral("%1 s").arg(value, 0, 'f', 3);
}

QString number(double value)
{
    return QString::number(value, 'g', 15);
}

/// Low and high of the points' values, or nothing for no points.
std::optional<std::pair<double, double>> valueRange(const QList<QPointF> &a,
                                                    const QList<QPointF> &b = {})
{
    std::optional<std::pair<double, double>> range;
    for (const QList<QPointF> *points : {&a, &b}) {
        for (const QPointF &p : *points) {
            if (!range)
                range = std::pair(p.y(), p.y());
            range->first = std::min(range->first, p.y());
            range->second = std::max(range->second, p.y());
        }
    }
    return range;
}

} // namespace

MotionChart::MotionChart(const MotionTracker &tracker, QWidget *holder, const Figures &figures,
                         QObject *parent)
    : QObject(parent)
    , m_tracker(tracker)
    , m_holder(holder)
    , m_figures(figures)
{
    m_frame.setSingleShot(true);
    m_sinceRedraw.start();
    connect(&m_frame, &QTimer::timeout, this, &MotionChart::redraw);
    m_holder->installEventFilter(this);
}

bool MotionChart::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_holder && event->type() == QEvent::Show && !m_view) {
        view();
        redraw();
    }
    if (watched == m_holder && event->type() == QEvent::PaletteChange && m_view
        && isDarkPalette(m_holder->palette()) != m_dark)
        applyColours();
    return QObject::eventFilter(watched, event);
}

void MotionChart::applyColours()
{
    // The chart follows the window: a white chart in a dark window glares, and the
    // dark theme's texts and grid are light. The theme gives every series colours of
    // its own, so ours go on after it; on the dark theme they are lighter, to stand
    // out from its background as well as the light theme's do from white.
    m_dark = isDarkPalette(m_holder->palette());
    m_chart->setTheme(m_dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    const QColor position = m_dark ? QColor(0x6c, 0xb4, 0xff) : QColor(0x1f, 0x77, 0xb4);
    const QColor speed = m_dark ? QColor(0xf0, 0x8a, 0x4b) : QColor(0xd6, 0x60, 0x1a);
    // Hairlines: the fast path of the raster engine.
    m_position->setPen(QPen(position, 0, Qt::SolidLine));
    m_speed->setPen(QPen(speed, 0, Qt::SolidLine));
    m_predictedPosition->setPen(QPen(position, 0, Qt::DashLine));
    m_predictedSpeed->setPen(QPen(speed, 0, Qt::DashLine));
    m_moving->setPen(Qt::NoPen);
    m_moving->setBrush(QColor(0x2c, 0xa0, 0x2c, m_dark ? 80 : 48));
}

QChartView *MotionChart::view()
{
    if (m_view)
        return m_view;
    m_chart = new QChart;
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    const auto axis = [this](const QString &title, Qt::Alignment side) {
        auto *made = new QValueAxis(m_chart);
        made->setTitleText(title);
        m_chart->addAxis(made, side);
        return made;
    };
    m_time = axis(QString(), Qt::AlignBottom);
    m_positionAxis = axis(QString(), Qt::AlignLeft);
    m_speedAxis = axis(QString(), Qt::AlignRight);
    m_positionAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_speedAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_bandAxis = axis(QString(), Qt::AlignRight);
    m_bandAxis->setRange(0, 1);
    m_bandAxis->setVisible(false);

    const auto line = [this](QValueAxis *valueAxis) {
        auto *series = new QLineSeries(m_chart);
        m_chart->addSeries(series);
        series->attachAxis(m_time);
        series->attachAxis(valueAxis);
        return series;
    };
    m_movingEdge = new QLineSeries(m_chart);
    m_moving = new QAreaSeries(m_movingEdge);
    m_chart->addSeries(m_moving);
    m_moving->attachAxis(m_time);
    m_moving->attachAxis(m_bandAxis);
    m_position = line(m_positionAxis);
    m_speed = line(m_speedAxis);
    m_predictedPosition = line(m_positionAxis);
    m_predictedSpeed = line(m_speedAxis);
    applyColours();

    m_view = new QChartView(m_chart, m_holder);
    m_view->setObjectName(QStringLiteral("motionChart"));
    m_view->setRubberBand(QChartView::RectangleRubberBand);
    auto *layout = new QVBoxLayout(m_holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    for (QValueAxis *valueAxis : {m_time, m_positionAxis, m_speedAxis})
        connect(valueAxis, &QValueAxis::rangeChanged, this, &MotionChart::rangeChanged);
    retranslate();
    return m_view;
}

void MotionChart::retranslate()
{
    if (m_view) {
        m_time->setTitleText(tr("时间 (s)"));
        m_positionAxis->setTitleText(tr("位置 (脉冲)"));
        m_speedAxis->setTitleText(tr("速度 (脉冲/秒)"));
        m_moving->setName(tr("运动中"));
        m_position->setName(tr("位置"));
        m_speed->setName(tr("速度"));
        m_predictedPosition->setName(tr("预测位置"));
        m_predictedSpeed->setName(tr("预测速度"));
        m_view->setToolTip(tr("框选放大；右键缩小"));
    }
    showFigures();
}

void MotionChart::update()
{
    // The next frame counts from the last redraw's start, not from now.
    if (!m_frame.isActive())
        m_frame.start(int(std::max<qint64>(0, frameMs - m_sinceRedraw.elapsed())));
}

void MotionChart::setPaused(bool paused)
{
    m_paused = paused;
    if (!paused)
        update();
}

void MotionChart::resetZoom()
{
    m_following = true;
    update();
}

void MotionChart::rangeChanged()
{
    // A zoom by the mouse: the time axis stays where the user put it.
    if (!m_settingRanges) {
        m_following = false;
        update();
    }
}

void MotionChart::redraw()
{
    showFigures();
    if (!m_view || m_paused)
        return;
    m_sinceRedraw.start();
    ++m_redraws;
    double from = m_time->min();
    double to = m_time->max();
    if (m_following) {
        to = std::max(m_tracker.latestTime(), 1.0);
        if (const std::optional<double> end = m_tracker.predictionEnd(); end && *end > to)
            to = std::min(*end, to + followSeconds);
        from = std::max(0.0, to - followSeconds);
    }
    const int columns = std::max(100, int(m_chart->plotArea().width()));
    const auto points = [&](MotionTracker::Series series) {
        return m_tracker.series(series).decimated(from, to, columns);
    };
    const QList<QPointF> position = points(MotionTracker::Position);
    const QList<QPointF> speed = points(MotionTracker::Speed);
    const QList<QPointF> predictedPosition = points(MotionTracker::PredictedPosition);
    const QList<QPointF> predictedSpeed = points(MotionTracker::PredictedSpeed);
    // The state replies as steps, moving from one reply to the next; only the
    // changes make corners, so a long motion is one block.
    QList<QPointF> band;
    for (const QPointF &p : points(MotionTracker::Moving)) {
        if (band.isEmpty() || p.y() != band.last().y()) {
            if (!band.isEmpty())
                band.append(QPointF(p.x(), band.last().y()));
            band.append(p);
        }
    }
    if (!band.isEmpty())
        band.append(QPointF(std::min(to, m_tracker.latestTime()), band.last().y()));
    m_position->replace(position);
    m_speed->replace(speed);
    m_predictedPosition->replace(predictedPosition);
    m_predictedSpeed->replace(predictedSpeed);
    m_movingEdge->replace(band);

    m_settingRanges = true;
    if (m_following) {
        m_time->setRange(from, to);
        auto [low, high] = valueRange(position, predictedPosition).value_or(std::pair(0.0, 1.0));
        const double margin = std::max((high - low) * 0.05, 1.0);
        m_positionAxis->setRange(low - margin, high + margin);
        const double top = valueRange(speed, predictedSpeed).value_or(std::pair(0.0, 0.0)).second;
        // At least up to 100: the charts cut an axis title to "..." when the axis's
        // labels are narrower than that, and a Chinese title is taller than a Latin one.
        m_speedAxis->setRange(0, std::max(top * 1.05, 100.0));
    }
    m_settingRanges = false;
    emit redrawn();
}

void MotionChart::showFigures()
{
    const auto predicted = m_tracker.predictedDuration();
    m_figures.predictedDuration->setText(!predicted ? tr("—")
                                                 : std::isfinite(*predicted)
                                                 ? seconds(*predicted)
                                                 : tr("不停止（恒速运动）"));
    const auto measured = m_tracker.measuredDuration();
    m_figures.measuredDuration->setText(
            measured ? tr("%1（不确定度 %2）")
                               .arg(seconds(measured->seconds), seconds(measured->uncertainty))
                     : tr("—"));
    const auto final = m_tracker.finalPosition();
    const auto target = m_tracker.target();
    m_figures.positionError->setText(final && target ? tr("%1 脉冲（目标 %2，实测 %3）")
                                                               .arg(number(*final - *target),
                                                                    number(*target), number(*final))
                                                     : tr("—"));
    if (m_predictedPosition && m_tracker.hasPrediction()) {
        // The legend says where each parameter of the prediction came from.
        static const char *const names[] = {QT_TR_NOOP("初速"), QT_TR_NOOP("最大"),
                                            QT_TR_NOOP("末速"), QT_TR_NOOP("加速"),
                                            QT_TR_NOOP("减速")};
        const MotionParameters &p = m_tracker.predictionParameters();
        const double values[] = {p.startSpeed, p.maxSpeed, p.endSpeed, p.acceleration,
                                 p.deceleration};
        QStringList parts;
        for (int i = 0; i < 5; ++i) {
            const MotionTracker::Source source = m_tracker.predictionSource(
                    MotionTracker::Parameter(i));
            parts += QStringLiteral("%1 %2 %3")
                             .arg(tr(names[i]), number(values[i]),
                                  source == MotionTracker::Source::Set ? tr("设定")
                                          : source == MotionTracker::Source::ReadBack
                                          ? tr("读回")
                                          : tr("输入框"));
        }
        m_predictedPosition->setName(tr("预测位置（%1）").arg(parts.join(QStringLiteral(" · "))));
    }
}

Status MotionChart::exportTo(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"csv")
        return exportCsv(path);
    if (suffix != u"png")
        return Failure{tr("导出的文件名应以 .csv 或 .png 结尾：%1").arg(path)};
    QChartView *chart = view();
    if (!chart->isVisible())
        chart->resize(m_holder->size().expandedTo(QSize(800, 500)));
    const bool wasPaused = std::exchange(m_paused, false);
    redraw();
    m_paused = wasPaused;
    if (!chart->grab().save(path, "PNG"))
        return Failure{tr("无法写入图片 %1").arg(path)};
    return Done{};
}

Status MotionChart::exportCsv(const QString &path) const
{
    // One row per sample: a spreadsheet sorts or pivots them by series.
    QByteArray text = "series,time_s,value\n";
    static const char *const names[] = {"position", "speed", "moving", "predicted_position",
                                        "predicted_speed"};
    for (int s = 0; s < MotionTracker::SeriesCount; ++s) {
        const SampleSeries &series = m_tracker.series(MotionTracker::Series(s));
        for (qsizetype i = 0; i < series.size(); ++i) {
            const QPointF p = series.at(i);
            text += names[s];
            text += ',' + QByteArray::number(p.x(), 'f', 6) + ',' + number(p.y()).toLatin1() + '\n';
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return Failure{tr("无法写入 %1：%2").arg(path, fileErrorText(file, true))};
    return Done{};
}
