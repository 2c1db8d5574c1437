#pragma once

#include <QList>
#include <QPointF>
#include <QtGlobal>

#include <vector>

// One measured or predicted quantity over time, for the motion chart: samples
// in time order, the oldest dropped once the capacity is reached, so memory
// stays bounded however long the engineer watches. A chart a few hundred pixels
// wide never needs more than a few points per pixel column; decimated() gives
// exactly those, so drawing costs the same for ten samples or ten minutes.
class SampleSeries
{
public:
    /// Keeps at most \a capacity samples.
    explicit SampleSeries(qsizetype capacity);

    /// Adds a sample at \a time (seconds). A time earlier than the last
    /// sample's is taken as the last sample's, so the series stays in order.
    void append(double time, double value);
    /// Drops the samples after \a time (a prediction that a later command
    /// replaced).
    void truncateAfter(double time);
    void clear();

    qsizetype size() const { return m_size; }
    qsizetype capacity() const { return m_capacity; }
    bool isEmpty() const { return m_size == 0; }
    /// Sample \a i, 0 being the oldest kept.
    QPointF at(qsizetype i) const { return m_samples[size_t(index(i))]; }
    QPointF last() const { return at(m_size - 1); }
    /// How many samples were dropped for want of room since the last clear().
    qint64 dropped() const { return m_dropped; }

    /// The samples to draw for the times \a from to \a to on \a columns pixel
    /// columns: in each column its first, lowest, highest and last sample, in
    /// time order, plus the nearest sample outside the range on either side so
    /// that the line runs to the edges. A range with few samples gives them all.
    QList<QPointF> decimated(double from, double to, int columns) const;
    /// Index of the first sample at or after \a time (size() when none).
    qsizetype lowerBound(double time) const;

private:
    qsizetype index(qsizetype i) const { return (m_head + i) % qsizetype(m_samples.size()); }

    // Grows as samples come, up to the capacity, then runs round: a series
    // nobody fills costs nothing at start.
    std::vector<QPointF> m_samples;
    qsizetype m_capacity;
    qsizetype m_head = 0; // the oldest sample
    qsizetype m_size = 0;
    qint64 m_dropped = 0;
};
