#include "exchange_stats.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

void ExchangeStats::addExchange(const Exchange &exchange)
{
    switch (exchange.verdict) {
    case Verdict::Good:
        ++m_replies;
        break;
    case Verdict::Exception:
        ++m_replies;
        ++m_exceptions;
        break;
    case Verdict::BadCheck:
        // A garbled frame nothing waited for answers nothing.
        ++(exchange.request.isEmpty() ? m_unexpected : m_replies);
        ++m_badChecks;
        break;
    case Verdict::Timeout:
        ++m_timeouts;
        break;
    case Verdict::Unexpected:
        ++m_unexpected;
        break;
    case Verdict::NoReply:
        break;
    }
    m_latest = exchange;

    // Only a reply that came through intact times its request.
    const qint64 us = exchange.responseUs();
    if (us < 0 || (exchange.verdict != Verdict::Good && exchange.verdict != Verdict::Exception))
        return;
    m_minUs = m_timed == 0 ? us : std::min(m_minUs, us);
    m_maxUs = m_timed == 0 ? us : std::max(m_maxUs, us);
    ++m_timed;
    m_sumUs += us;
    const std::size_t bin = std::min<std::size_t>(std::size_t(us / binUs), maxBins - 1);
    if (bin >= m_bins.size())
        m_bins.resize(bin + 1);
    ++m_bins[bin];
}

std::optional<qint64> ExchangeStats::minimumUs() const
{
    return m_timed ? std::optional(m_minUs) : std::nullopt;
}

std::optional<qint64> ExchangeStats::meanUs() const
{
    return m_timed ? std::optional(m_sumUs / m_timed) : std::nullopt;
}

std::optional<qint64> ExchangeStats::maximumUs() const
{
    return m_timed ? std::optional(m_maxUs) : std::nullopt;
}

std::optional<qint64> ExchangeStats::percentileUs(double share) const
{
    if (!m_timed)
        return std::nullopt;
    const qint64 rank = std::clamp<qint64>(qint64(std::ceil(share * double(m_timed))), 1, m_timed);
    qint64 seen = 0;
    for (std::size_t bin = 0; bin < m_bins.size(); ++bin) {
        seen += m_bins[bin];
        if (seen >= rank && bin == maxBins - 1)
            return m_maxUs; // the last bin holds every longer time
        if (seen >= rank)
            return std::clamp(qint64(bin) * binUs, m_minUs, m_maxUs);
    }
    return m_maxUs;
}

QString millisecondsText(qint64 us)
{
    return QString::number(double(us) / 1000.0, 'f', 1);
}

QString ExchangeStats::summary() const
{
    QString line = tr("请求 %1 · 应答 %2 · 校验错误 %3 · 超时 %4 · 意外应答 %5 · 噪声 %6 字节")
                           .arg(m_requests)
                           .arg(m_replies)
                           .arg(m_badChecks)
                           .arg(m_timeouts)
                           .arg(m_unexpected)
                           .arg(m_noiseBytes);
    if (m_timed) {
        line += tr(" · 响应 最小 %1 / 平均 %2 / 95% %3 / 最大 %4 ms")
                        .arg(millisecondsText(m_minUs), millisecondsText(*meanUs()),
                             millisecondsText(*percentileUs(0.95)), millisecondsText(m_maxUs));
    }
    if (m_latest) {
        line += tr(" · 最近：%1").arg(verdictText(m_latest->verdict, m_latest->exceptionCode));
        if (const qint64 us = m_latest->responseUs(); us >= 0)
            line += tr(" %1 ms").arg(millisecondsText(us));
    }
    return line;
}
