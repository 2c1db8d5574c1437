#include "quiet_filter.h"

#include "exchange/exchange_pairing.h"
#include "exchange/reply_framer.h"

void QuietFilter::requestSent(const QByteArray &frame)
{
    m_quietRequests.append(frame);
}

void QuietFilter::requestDropped(const QByteArray &frame)
{
    if (const qsizetype at = m_quietRequests.lastIndexOf(frame); at >= 0)
        m_quietRequests.removeAt(at);
}

void QuietFilter::framed(const RxEvent &event)
{
    const Range range{m_framedTo, m_framedTo + event.bytes.size()};
    m_framedTo = range.to;
    switch (event.kind) {
    case RxEvent::Echo:
        // The echo of a quiet query stays out of the view like its reply.
        if (m_quietRequests.contains(event.bytes))
            hide(range.from, range.to);
        break;
    case RxEvent::Frame:
        m_lastFrame = range;
        m_lastFrameBytes = event.bytes;
        break;
    case RxEvent::Noise:
        break;
    }
}

void QuietFilter::settled(const Exchange &exchange)
{
    const qsizetype quiet = m_quietRequests.indexOf(exchange.request);
    if (quiet < 0 || exchange.request.isEmpty())
        return;
    m_quietRequests.removeAt(quiet);
    // A reply settles its exchange as it is framed: it is the latest frame.
    if (!exchange.reply.isEmpty() && m_lastFrame.from >= 0 && exchange.reply == m_lastFrameBytes) {
        hide(m_lastFrame.from, m_lastFrame.to);
        m_lastFrame = {-1, -1};
    }
}

void QuietFilter::hide(qint64 from, qint64 to)
{
    if (to > from)
        m_hidden.append({from, to});
}

QByteArray QuietFilter::take(const QByteArray &bytes)
{
    m_held += bytes;
    const qint64 heldTo = m_takenFrom + m_held.size();
    // While a quiet query waits, bytes the framer has not settled may be its reply.
    const qint64 end = m_quietRequests.isEmpty() ? heldTo : qBound(m_takenFrom, m_framedTo, heldTo);
    QByteArray shown;
    shown.reserve(end - m_takenFrom);
    qint64 at = m_takenFrom;
    while (!m_hidden.isEmpty() && m_hidden.first().from < end) {
        Range &range = m_hidden.first();
        if (range.from > at)
            shown += QByteArrayView(m_held).sliced(at - m_takenFrom, range.from - at);
        at = qMax(at, qMin(range.to, end));
        if (range.to > end) {
            range.from = end; // the rest of it has not been taken yet
            break;
        }
        m_hidden.removeFirst();
    }
    if (end > at)
        shown += QByteArrayView(m_held).sliced(at - m_takenFrom, end - at);
    m_held.remove(0, end - m_takenFrom);
    m_takenFrom = end;
    return shown;
}

void QuietFilter::reset()
{
    m_quietRequests.clear();
    m_hidden.clear();
    m_lastFrame = {-1, -1};
    m_lastFrameBytes.clear();
    m_framedTo = 0;
    m_takenFrom = 0;
    m_held.clear();
}
