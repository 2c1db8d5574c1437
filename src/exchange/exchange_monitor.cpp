#include "exchange_monitor.h"

#include "util/monotonic_clock.h"

namespace {

// How often waiting requests and bytes are checked against their time-outs;
// the verdict comes at most this late.
constexpr int tickMs = 20;

} // namespace

ExchangeMonitor::ExchangeMonitor(QObject *parent)
    : QObject(parent)
{
    m_tick.setInterval(tickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] { expire(monotonicUs()); });
}

void ExchangeMonitor::resetStats()
{
    m_stats.reset();
    m_countedBeforeUs = m_lastWrittenUs;
    emit statsChanged();
}

void ExchangeMonitor::setListening(bool on)
{
    if (on == listening())
        return;
    reset();
    m_framer.setListening(on);
}

void ExchangeMonitor::bytesArrived(const QByteArray &bytes, qint64 arrivalUs)
{
    handle(m_framer.feed(bytes, arrivalUs));
    updateTick();
}

void ExchangeMonitor::frameWritten(const QByteArray &frame, qint64 writtenUs)
{
    m_framer.expectEcho(frame, writtenUs);
    m_framer.requestWritten(frame);
    m_lastWrittenUs = writtenUs;
    m_stats.addRequest();
    emit requestWritten(frame, writtenUs);
    settle(m_pairing.requestSent(frame, writtenUs));
    emit statsChanged();
    updateTick();
}

void ExchangeMonitor::expire(qint64 nowUs)
{
    handle(m_framer.expire(nowUs));
    settle(m_pairing.expire(nowUs, m_framer.pendingSinceUs()));
    updateTick();
}

void ExchangeMonitor::reset()
{
    handle(m_framer.flush());
    m_framer.clear();
    m_pairing.clear();
    updateTick();
}

void ExchangeMonitor::handle(const QList<RxEvent> &events)
{
    for (const RxEvent &event : events) {
        switch (event.kind) {
        case RxEvent::Frame:
            if (listening()) {
                bool isRequest = false;
                const QList<Exchange> settled = m_pairing.frameHeard(event, isRequest);
                if (isRequest) {
                    m_lastWrittenUs = event.lastUs; // as if written: a reset counts from here
                    m_stats.addRequest();
                    emit requestHeard(event);
                } else {
                    emit replyFramed(event);
                }
                settle(settled);
            } else {
                emit replyFramed(event);
                settle(m_pairing.replyReceived(event));
            }
            break;
        case RxEvent::Noise:
            m_stats.addNoise(event.bytes.size());
            emit bytesDiscarded(event);
            break;
        case RxEvent::Echo:
            m_stats.addEcho();
            emit bytesDiscarded(event);
            break;
        }
    }
    if (!events.isEmpty())
        emit statsChanged();
}

void ExchangeMonitor::settle(const QList<Exchange> &exchanges)
{
    for (const Exchange &exchange : exchanges) {
        if (exchange.request.isEmpty() || exchange.sentUs > m_countedBeforeUs)
            m_stats.addExchange(exchange);
        emit exchangeSettled(exchange);
    }
    if (!exchanges.isEmpty())
        emit statsChanged();
}

void ExchangeMonitor::updateTick()
{
    const bool waiting = m_pairing.pendingCount() > 0 || m_framer.pendingSinceUs() >= 0;
    if (waiting && !m_tick.isActive())
        m_tick.start();
    else if (!waiting)
        m_tick.stop();
}
