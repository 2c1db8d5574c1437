// The motion tab: the chart's samples and predictions, and the automatic poll
// that feeds them.
#include "frm_main.h"

#include "device/command_set.h"
#include "device/frame.h"
#include "device/leading_number.h"
#include "exchange/exchange_monitor.h"
#include "link/mscomm.h"
#include "motion_chart.h"
#include "util/monotonic_clock.h"

#include <utility>

namespace {

// The poll's round: speed, position, then the motion state.
constexpr quint8 pollCodes[] = {FunctionCode::QuerySpeed, FunctionCode::QueryAbsolutePosition,
                                FunctionCode::QueryMotionStatus};
constexpr int pollSteps = int(std::size(pollCodes));
// A round whose query never settles (its frame never left) is given up after
// the reply time-out and this much more, and the next round starts.
constexpr int lostRoundMs = 3000;

} // namespace

void FrmMain::connectMotionTab()
{
    m_motion.clear(monotonicUs());
    connect(m_exchanges, &ExchangeMonitor::replyFramed, this, [this](const RxEvent &reply) {
        if (m_motion.addReply(reply.bytes, reply.checkOk, reply.lastUs))
            m_motionChart->update();
    });
    connect(m_exchanges, &ExchangeMonitor::exchangeSettled, this, &FrmMain::onExchangeSettled);
    connect(m_exchanges, &ExchangeMonitor::bytesDiscarded, this, [this](const RxEvent &event) {
        // The echo of a quiet query stays out of the receive view like its reply.
        if (event.kind == RxEvent::Echo && m_quietRequests.contains(event.bytes))
            m_quietReplies.append(event.bytes);
    });

    connect(ui.chartPause, &QPushButton::toggled, m_motionChart, &MotionChart::setPaused);
    connect(ui.chartResetZoom, &QPushButton::clicked, m_motionChart, &MotionChart::resetZoom);
    connect(ui.chartClear, &QPushButton::clicked, this, [this] {
        m_motion.clear(monotonicUs());
        m_motionChart->update();
    });
    connect(ui.chartExport, &QPushButton::clicked, this, [this] {
        const QString path = m_dialogs->saveFileName(this, tr("导出运动曲线"),
                                                     tr("数据点(*.csv);;图片(*.png)"));
        if (path.isEmpty())
            return;
        if (const Status exported = m_motionChart->exportTo(path); !exported)
            showMessage(exported.error());
    });

    m_autoPollTimer->setObjectName(QStringLiteral("autoPollTimer"));
    m_autoPollTimer->setTimerType(Qt::PreciseTimer);
    m_autoPollTimer->setInterval(ui.autoPollInterval->value());
    connect(m_autoPollTimer, &QTimer::timeout, this, &FrmMain::startPollRound);
    connect(ui.autoPollInterval, &QSpinBox::valueChanged, m_autoPollTimer,
            qOverload<int>(&QTimer::setInterval));
    connect(ui.autoPoll, &QCheckBox::toggled, this, [this](bool on) {
        m_pollStep = -1;
        if (!on) {
            m_autoPollTimer->stop();
            return;
        }
        m_autoPollTimer->start();
        startPollRound();
    });
}

void FrmMain::onExchangeSettled(const Exchange &exchange)
{
    m_motion.addExchange(exchange, boxParameters());
    m_motionChart->update();
    if (const qsizetype quiet = m_quietRequests.indexOf(exchange.request); quiet >= 0) {
        m_quietRequests.removeAt(quiet);
        if (!exchange.reply.isEmpty())
            m_quietReplies.append(exchange.reply);
    }
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

MotionParameters FrmMain::boxParameters() const
{
    const auto box = [this](const char *name) {
        return double(roundHalfToEven(readLeadingNumber(controlText(name), NumberBase::Decimal))
                              .value_or(0));
    };
    return MotionParameters{box("Text12"), box("Text13"), box("Text14"), box("Text15"),
                            box("Text16"), box("Text29"), box("Text32")};
}

void FrmMain::startPollRound()
{
    if (!MSComm1->portOpen())
        return;
    if (m_pollStep >= 0
        && m_pollSince.elapsed() < m_exchanges->replyTimeoutUs() / 1000 + lostRoundMs)
        return; // the last round is still going
    m_pollStep = 0;
    m_pollFrame.clear();
    m_pollSince.start();
    sendPollStep();
}

void FrmMain::sendPollStep()
{
    // Half duplex: a query goes only when no request waits for its reply and
    // no frame is still leaving; the settling of that request sends it.
    if (m_exchanges->pendingRequests() > 0 || MSComm1->bytesToWrite() > 0)
        return;
    const std::optional<quint8> station = stationAddress();
    if (!station) {
        ui.autoPoll->setChecked(false); // one message, not one per interval
        return;
    }
    const QByteArray frame = frameRequest(makePayload(*station, pollCodes[m_pollStep]),
                                          commModeFromText(ui.Combo7->currentText()));
    m_pollFrame = frame;
    if (!SendFrame(frame, ui.autoPollQuiet->isChecked())) {
        m_pollFrame.clear();
        m_pollStep = -1;
    }
}

// --- Quiet polling on the receive side --------------------------------------

void FrmMain::drainQuiet()
{
    QByteArray bytes = std::exchange(m_rxHeld, {});
    while (MSComm1->inBufferCount() > 0)
        bytes += MSComm1->input();
    if (!m_quietRequests.isEmpty()) {
        if (m_exchanges->pendingRequests() == 0 && MSComm1->bytesToWrite() == 0) {
            m_quietRequests.clear(); // nothing waits for them any more
        } else {
            // A quiet reply may still be arriving: what the framer has not
            // settled waits for the next poll.
            const qsizetype waiting = std::min(bytes.size(), m_exchanges->waitingBytes());
            m_rxHeld = bytes.right(waiting);
            bytes.chop(waiting);
        }
    }
    qsizetype from = 0;
    for (const QByteArray &reply : std::exchange(m_quietReplies, {})) {
        if (const qsizetype at = bytes.indexOf(reply, from); at >= 0) {
            bytes.remove(at, reply.size());
            from = at;
        }
    }
    showBlocks(std::move(bytes));
}

void FrmMain::showBlocks(QByteArray bytes)
{
    QElapsedTimer slice;
    slice.start();
    const qsizetype block = std::max(MSComm1->inputLen(), 1);
    qsizetype at = 0;
    for (; at < bytes.size(); at += block) {
        const QByteArray piece = bytes.mid(at, block);
        ShowReceived(piece, piece.size());
        if (slice.elapsed() >= m_pollTimeSliceMs && at + block < bytes.size()) {
            m_rxHeld.prepend(bytes.sliced(at + block));
            m_drainTimer.start();
            return;
        }
    }
}

void FrmMain::forgetQuiet()
{
    m_quietRequests.clear();
    m_quietReplies.clear();
    m_rxHeld.clear();
    m_pollStep = -1;
    m_pollFrame.clear();
}
