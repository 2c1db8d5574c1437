#include "auto_poller.h"

#include "device/command_set.h"
#include "link_session.h"

#include <utility>

namespace {

// The round: speed, position, then the motion state.
constexpr quint8 pollCodes[] = {FunctionCode::QuerySpeed, FunctionCode::QueryAbsolutePosition,
                                FunctionCode::QueryMotionStatus};
constexpr int pollSteps = int(std::size(pollCodes));
// A round whose query never settles is given up after the reply time-out and
// this much more, and the next round starts.
constexpr qint64 lostRoundUs = 3'000'000;

} // namespace

AutoPoller::AutoPoller(LinkSession &session, MakeQuery makeQuery, Send send, UsClock clock,
                       QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_makeQuery(std::move(makeQuery))
    , m_send(std::move(send))
    , m_clock(std::move(clock))
{
    m_timer->setObjectName(QStringLiteral("autoPollTimer"));
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &AutoPoller::startRound);
    connect(&m_session.exchanges(), &ExchangeMonitor::exchangeSettled, this,
            &AutoPoller::exchangeSettled);
    connect(&m_session, &LinkSession::restarted, this, &AutoPoller::forget);
}

void AutoPoller::setActive(bool on)
{
    forget();
    if (!on) {
        m_timer->stop();
        return;
    }
    m_timer->start();
    startRound();
}

void AutoPoller::forget()
{
    m_step = -1;
    m_frame.clear();
}

void AutoPoller::startRound()
{
    if (!m_timer->isActive() || !m_session.isReady())
        return;
    if (m_step >= 0
        && m_clock() - m_roundStartUs < m_session.exchanges().replyTimeoutUs() + lostRoundUs)
        return; // the last round is still going
    m_step = 0;
    m_frame.clear();
    m_roundStartUs = m_clock();
    sendStep();
}

void AutoPoller::exchangeSettled(const Exchange &exchange)
{
    if (m_step < 0)
        return;
    if (!m_frame.isEmpty() && exchange.request == m_frame) {
        m_frame.clear();
        if (++m_step == pollSteps) {
            m_step = -1;
            return;
        }
    }
    // A step waiting for another request to settle goes now.
    if (m_frame.isEmpty())
        sendStep();
}

void AutoPoller::sendStep()
{
    // Half duplex: a query goes only when no request waits for its reply and no
    // frame is still leaving; the settling of that request sends it.
    if (m_session.exchanges().pendingRequests() > 0 || m_session.link().bytesToWrite() > 0)
        return;
    const std::optional<QByteArray> frame = m_makeQuery(pollCodes[m_step]);
    if (!frame) {
        setActive(false); // one message, not one per interval
        emit stoppedForStation();
        return;
    }
    m_frame = *frame;
    if (!m_send(*frame))
        forget();
}
