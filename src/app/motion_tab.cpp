#include "motion_tab.h"

#include "ui_motion_tab.h"

#include "dialogs.h"
#include "motion_chart.h"
#include "session/auto_poller.h"
#include "session/link_session.h"
#include "util/monotonic_clock.h"

#include <QEvent>

MotionTab::MotionTab(const TabContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , ui(std::make_unique<Ui::MotionTab>())
{
    ui->setupUi(this);
    m_motionChart = new MotionChart(
            m_motion, ui->motionChartHolder,
            {ui->predictedDuration, ui->measuredDuration, ui->positionError}, this);
    connectChart();
    connectPoll();
}

MotionTab::~MotionTab() = default;

void MotionTab::connectChart()
{
    m_motion.clear(monotonicUs());
    const ExchangeMonitor *exchanges = &m_context.session->exchanges();
    connect(exchanges, &ExchangeMonitor::replyFramed, this, [this](const RxEvent &reply) {
        if (m_motion.addReply(reply.bytes, reply.checkOk, reply.lastUs))
            m_motionChart->update();
    });
    connect(exchanges, &ExchangeMonitor::exchangeSettled, this, [this](const Exchange &exchange) {
        m_motion.addExchange(exchange, m_context.parameters());
        m_motionChart->update();
    });

    connect(ui->chartPause, &QPushButton::toggled, m_motionChart, &MotionChart::setPaused);
    connect(ui->chartResetZoom, &QPushButton::clicked, m_motionChart, &MotionChart::resetZoom);
    connect(ui->chartClear, &QPushButton::clicked, this, [this] {
        m_motion.clear(monotonicUs());
        m_motionChart->update();
    });
    connect(ui->chartExport, &QPushButton::clicked, this, [this] {
        const QString path = m_context.dialogs->saveFileName(this, tr("导出运动曲线"),
                                                             tr("数据点(*.csv);;图片(*.png)"));
        if (path.isEmpty())
            return;
        if (const Status exported = m_motionChart->exportTo(path); !exported)
            showMessage(exported.error());
    });
}

// The poll's queries go through the one send path, quietly when asked; a
// station box without an address stops it with one message.
void MotionTab::connectPoll()
{
    m_poller = new AutoPoller(
            *m_context.session,
            [this](quint8 code) -> std::optional<QByteArray> {
                const std::optional<quint8> station = m_context.station();
                if (!station)
                    return std::nullopt;
                return frameRequest(makePayload(*station, code), m_context.mode());
            },
            [this](const QByteArray &frame) {
                return m_context.send(frame, ui->autoPollQuiet->isChecked());
            },
            systemClock(), this);
    m_poller->setIntervalMs(ui->autoPollInterval->value());
    connect(ui->autoPollInterval, &QSpinBox::valueChanged, m_poller, &AutoPoller::setIntervalMs);
    connect(ui->autoPoll, &QCheckBox::toggled, m_poller, &AutoPoller::setActive);
    connect(m_poller, &AutoPoller::stoppedForStation, this,
            [this] { ui->autoPoll->setChecked(false); });
}

void MotionTab::showMessage(const QString &text)
{
    m_context.dialogs->message(this, text);
}

void MotionTab::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        m_motionChart->retranslate();
    }
    QWidget::changeEvent(event);
}
