#include "motion_tab.h"

#include "ui_motion_tab.h"

#include "device/command_set.h"
#include "device/frame.h"
#include "dialogs.h"
#include "exchange/exchange_monitor.h"
#include "link/mscomm.h"
#include "motion_chart.h"
#include "util/monotonic_clock.h"

#include <QEvent>
#include <QTimer>

namespace {

// The poll's round: speed, position, then the motion state.
constexpr quint8 pollCodes[] = {FunctionCode::QuerySpeed, FunctionCode::QueryAbsolutePosition,
                                FunctionCode::QueryMotionStatus};
constexpr int pollSteps = int(std::size(pollCodes));
// A round whose query never settles (its frame never left) is given up after
// the reply time-out and this much more, and the next round starts.
constexpr int lostRoundMs = 3000;

} // namespace

MotionTab::MotionTab(const TabContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , ui(std::make_unique<Ui::MotionTab>())
    , m_autoPollTimer(new QTimer(this))
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
    connect(m_context.exchanges, &ExchangeMonitor::replyFramed, this, [this](const RxEvent &reply) {
        if (m_motion.addReply(reply.bytes, reply.checkOk, reply.lastUs))
            m_motionChart->update();
    });
    connect(m_context.exchanges, &ExchangeMonitor::exchangeSettled, this,
            &MotionTab::onExchangeSettled);

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

void MotionTab::connectPoll()
{
    m_autoPollTimer->setObjectName(QStringLiteral("autoPollTimer"));
    m_autoPollTimer->setTimerType(Qt::PreciseTimer);
    m_autoPollTimer->setInterval(ui->autoPollInterval->value());
    connect(m_autoPollTimer, &QTimer::timeout, this, &MotionTab::startPollRound);
    connect(ui->autoPollInterval, &QSpinBox::valueChanged, m_autoPollTimer,
            qOverload<int>(&QTimer::setInterval));
    connect(ui->autoPoll, &QCheckBox::toggled, this, [this](bool on) {
        m_pollStep = -1;
        if (!on) {
            m_autoPollTimer->stop();
            return;
        }
        m_autoPollTimer->start();
        startPollRound();
    });
}

void MotionTab::onExchangeSettled(const Exchange &exchange)
{
    m_motion.addExchange(exchange, m_context.parameters());
    m_motionChart->update();
    if (m_pollStep < 0)
        return;
    if (!m_pollFrame.isEmpty() && exchange.request == m_pollFrame) {
        m_pollFrame.clear();
        if (++m_pollStep == pollSteps) {
            m_pollStep = -1;
            return;
        }
    }
    // A step waiting for another request to settle goes now.
    if (m_pollFrame.isEmpty())
        sendPollStep();
}

void MotionTab::startPollRound()
{
    if (!m_context.link->portOpen())
        return;
    if (m_pollStep >= 0
        && m_pollSince.elapsed() < m_context.exchanges->replyTimeoutUs() / 1000 + lostRoundMs)
        return; // the last round is still going
    m_pollStep = 0;
    m_pollFrame.clear();
    m_pollSince.start();
    sendPollStep();
}

void MotionTab::sendPollStep()
{
    // Half duplex: a query goes only when no request waits for its reply and
    // no frame is still leaving; the settling of that request sends it.
    if (m_context.exchanges->pendingRequests() > 0 || m_context.link->bytesToWrite() > 0)
        return;
    const std::optional<quint8> station = m_context.station();
    if (!station) {
        ui->autoPoll->setChecked(false); // one message, not one per interval
        return;
    }
    const QByteArray frame = frameRequest(makePayload(*station, pollCodes[m_pollStep]),
                                          m_context.mode());
    m_pollFrame = frame;
    if (!m_context.send(frame, ui->autoPollQuiet->isChecked())) {
        m_pollFrame.clear();
        m_pollStep = -1;
    }
}

void MotionTab::forgetPoll()
{
    m_pollStep = -1;
    m_pollFrame.clear();
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
