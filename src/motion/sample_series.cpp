#include "sample_series.h"

#include <algorithm>
#include <cmath>
#include <limits>

SampleSeries::SampleSeries(qsizetype capacity)
    : m_capacity(std::max<qsizetype>(capacity, 1))
{ }

void SampleSeries::append(double time, double value)
{
    if (m_size > 0)
        time = std::max(time, last().x());
    if (m_size == m_capacity) {
        m_head = index(1);
        --m_size;
        ++m_dropped;
    }
    if (m_size == qsizetype(m_samples.size()))
        m_samples.push_back(QPointF(time, value)); // still growing: the samples start at 0
    else
        m_samples[size_t(index(m_size))] = QPointF(time, value);
    ++m_size;
}

void SampleSeries::truncateAfter(double time)
{
    m_size = lowerBound(std::nextafter(time, std::numeric_limits<double>::infinity()));
}

void SampleSeries::clear()
{
    m_samples.clear();
    m_head = 0;
    m_size = 0;
    m_dropped = 0;
}

qsizetype SampleSeries::lowerBound(double time) const
{
    qsizetype low = 0;
    qsizetype high = m_size;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (at(middle).x() < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

QList<QPointF> SampleSeries::decimated(double from, double to, int columns) const
{
    QList<QPointF> out;
    if (m_size == 0 || columns <= 0 || !(to > from))
        return out;
    // One sample beyond each edge, so the line is drawn up to the border.
    const qsizetype first = std::max<qsizetype>(lowerBound(from) - 1, 0);
    const qsizetype end = std::min(
            lowerBound(std::nextafter(to, std::numeric_limits<double>::infinity())) + 1, m_size);
    if (end - first <= 4 * qsizetype(columns)) {
        out.reserve(end - first);
        for (qsizetype i = first; i < end; ++i)
            out.append(at(i));
        return out;
    }
    out.reserve(4 * columns + 2);
    const double width = (to - from) / columns;
    qsizetype i = first;
    while (i < end) {
        // The column of sample i, and every sample that falls into it.
        const auto columnOf = [&](qsizetype k) {
            return std::floor((at(k).x() - from) / width);
        };
        const double column = columnOf(i);
        qsizetype low = i;
        qsizetype high = i;
        qsizetype j = i + 1;
        for (; j < end && columnOf(j) == column; ++j) {
            if (at(j).y() < at(low).y())
                low = j;
            if (at(j).y() > at(high).y())
                high = j;
        }
        const qsizetype lastInColumn = j - 1;
        qsizetype picks[4] = {i, std::min(low, high), std::max(low, high), lastInColumn};
        qsizetype previous = -1;
        for (const qsizetype pick : picks) {
            if (pick != previous)
                out.append(at(pick));
            previous = pick;
        }
        i = j;
    }
    return out;
}
