#pragma once

#include "rfspectrumscan.h"

#include <QVector>

#include <vector>

//! Traces kept over every sweep a live page takes, not only the shown range:
//! the highest and the lowest level per bin since the capture began (or since
//! the user cleared them), and the average of the last N sweeps. No-data bins
//! (-128) count for none of them. A sweep with another bin count starts over.
class TraceHold
{
public:
    static constexpr int MaxAverageCount = 100;

    //! Sweeps the average covers, 1..MaxAverageCount (clamped).
    void setAverageCount(int sweeps);
    int averageCount() const { return m_averageCount; }

    void add(const RfSpectrumScan &levels);
    //! Forgets the max- and min-hold (the average keeps its sweeps).
    void clearHolds();
    void clear();

    int columns() const { return m_columns; }
    qint64 sweeps() const { return m_sweeps; } //!< since the holds were cleared
    //! Per bin; NoDataLevel where no sweep had data.
    const RfSpectrumScan &maxHold() const { return m_max; }
    const RfSpectrumScan &minHold() const { return m_min; }
    //! Mean of the bin's levels with data in the last averageCount() sweeps;
    //! NaN where none had data.
    QVector<double> average() const;

private:
    void start(int columns);

    int m_columns = 0;
    int m_averageCount = 10;
    qint64 m_sweeps = 0;
    RfSpectrumScan m_max;
    RfSpectrumScan m_min;
    std::vector<qint8> m_ring; //!< the last sweeps, m_averageCount x m_columns
    int m_ringNext = 0;
    int m_ringFilled = 0;
    std::vector<qint32> m_sum;   //!< per bin, over the ring's sweeps with data
    std::vector<qint32> m_count; //!< per bin, the ring's sweeps with data
};
