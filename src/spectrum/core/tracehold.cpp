#include "tracehold.h"

#include <QtMath>

#include <algorithm>

void TraceHold::setAverageCount(int sweeps)
{
    sweeps = std::clamp(sweeps, 1, MaxAverageCount);
    if (sweeps == m_averageCount)
        return;
    m_averageCount = sweeps;
    // The ring's shape changes: the average starts again from the next sweep.
    const int columns = m_columns;
    const RfSpectrumScan max = m_max, min = m_min;
    const qint64 count = m_sweeps;
    start(columns);
    m_max = max;
    m_min = min;
    m_sweeps = count;
}

void TraceHold::start(int columns)
{
    m_columns = columns;
    m_sweeps = 0;
    m_max = RfSpectrumScan(columns, NoDataLevel);
    m_min = RfSpectrumScan(columns, NoDataLevel);
    m_ring.assign(size_t(m_averageCount) * size_t(columns), NoDataLevel);
    m_ringNext = 0;
    m_ringFilled = 0;
    m_sum.assign(size_t(columns), 0);
    m_count.assign(size_t(columns), 0);
}

void TraceHold::add(const RfSpectrumScan &levels)
{
    if (levels.isEmpty())
        return;
    if (levels.size() != m_columns)
        start(levels.size());
    ++m_sweeps;
    qint8 *slot = m_ring.data() + size_t(m_ringNext) * size_t(m_columns);
    for (int i = 0; i < m_columns; ++i) {
        const qint8 v = levels.at(i);
        if (slot[i] != NoDataLevel) { // the sweep leaving the average
            m_sum[size_t(i)] -= slot[i];
            --m_count[size_t(i)];
        }
        slot[i] = v;
        if (v == NoDataLevel)
            continue;
        m_sum[size_t(i)] += v;
        ++m_count[size_t(i)];
        if (m_max.at(i) == NoDataLevel || v > m_max.at(i))
            m_max[i] = v;
        if (m_min.at(i) == NoDataLevel || v < m_min.at(i))
            m_min[i] = v;
    }
    m_ringNext = (m_ringNext + 1) % m_averageCount;
    m_ringFilled = std::min(m_ringFilled + 1, m_averageCount);
}

void TraceHold::clearHolds()
{
    m_max.fill(NoDataLevel);
    m_min.fill(NoDataLevel);
    m_sweeps = 0;
}

void TraceHold::clear()
{
    start(0);
}

QVector<double> TraceHold::average() const
{
    QVector<double> out(m_columns, qQNaN());
    for (int i = 0; i < m_columns; ++i)
        if (m_count[size_t(i)] > 0)
            out[i] = double(m_sum[size_t(i)]) / m_count[size_t(i)];
    return out;
}
