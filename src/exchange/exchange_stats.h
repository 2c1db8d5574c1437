#pragma once

#include <QCoreApplication>

#include "exchange_pairing.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

// The figures of the statistics line: counts of requests, replies, bad checks,
// time-outs, unexpected replies and noise bytes, and the response times as
// minimum, mean, 95th percentile and maximum. Response times go into a
// histogram of 0.1 ms steps, so memory stays bounded however long a run lasts
// and the percentile is exact to the tenth of a millisecond shown.

class ExchangeStats
{
    Q_DECLARE_TR_FUNCTIONS(Exchange)

public:
    void addRequest() { ++m_requests; }
    void addNoise(qsizetype bytes) { m_noiseBytes += bytes; }
    void addEcho() { ++m_echoes; }
    void addExchange(const Exchange &exchange);
    void reset() { *this = ExchangeStats(); }

    qint64 requests() const { return m_requests; }
    qint64 replies() const { return m_replies; }
    qint64 badChecks() const { return m_badChecks; }
    qint64 timeouts() const { return m_timeouts; }
    qint64 unexpected() const { return m_unexpected; }
    qint64 exceptions() const { return m_exceptions; }
    qint64 noiseBytes() const { return m_noiseBytes; }
    qint64 echoes() const { return m_echoes; }

    /// Response times in microseconds; nothing before the first timed reply.
    qint64 timedReplies() const { return m_timed; }
    std::optional<qint64> minimumUs() const;
    std::optional<qint64> meanUs() const;
    std::optional<qint64> maximumUs() const;
    /// The response time that \a share (0 to 1) of the timed replies do not
    /// exceed, to 0.1 ms (nearest rank).
    std::optional<qint64> percentileUs(double share) const;

    /// The latest exchange that had a verdict, if any.
    const std::optional<Exchange> &latest() const { return m_latest; }

    /// The statistics line, translated.
    QString summary() const;

private:
    static constexpr qint64 binUs = 100;
    static constexpr std::size_t maxBins = 600'000; // 60 s; longer times share the last

    qint64 m_requests = 0;
    qint64 m_replies = 0;
    qint64 m_badChecks = 0;
    qint64 m_timeouts = 0;
    qint64 m_unexpected = 0;
    qint64 m_exceptions = 0;
    qint64 m_noiseBytes = 0;
    qint64 m_echoes = 0;
    qint64 m_timed = 0;
    qint64 m_sumUs = 0;
    qint64 m_minUs = 0;
    qint64 m_maxUs = 0;
    std::vector<quint32> m_bins; // grows to the longest time seen
    std::optional<Exchange> m_latest;
};

/// A time in microseconds as milliseconds to 0.1 ("12.3").
QString millisecondsText(qint64 us);
