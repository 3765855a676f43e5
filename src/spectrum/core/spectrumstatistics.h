#pragma once

#include "rfspectrumhistory.h"

#include <QVector>

//! What the spectrum plot shows for a selection of samples. Matrices hold
//! `rows` x `columns` doubles, cell (row r, bin i) at index i + r * columns,
//! row 0 at the bottom; row r covers [lowLevel + r, lowLevel + r + 1) dBm.
struct SpectrumStatistics
{
    int sampleCount = 0; //!< k, samples in the selection; 0 = no result yet
    int columns = 0;     //!< N, bins of the first sample of the selection
    int rows = 0;        //!< highLevel - lowLevel, 0 for an invalid interval
    int lowLevel = 0;    //!< (int) amplitude minimum, truncated toward zero
    int highLevel = 0;   //!< (int) amplitude maximum, truncated toward zero

    //! Fraction of sweeps whose level lay above each 1 dB row; a level above
    //! highLevel is reflected and counts fewer rows.
    QVector<double> densityMatrix;
    //! 2^-(h-1) for a cell hit h times (the row just below the level), else 0.
    QVector<double> hitMatrix;
    //! Levels of the newest sample, `columns` entries (missing bins -128).
    RfSpectrumScan currentTrace;
    QVector<double> averageTrace; //!< mean level per bin, -128 no-data bins included
    RfSpectrumScan maxHoldTrace;  //!< highest level per bin, -128 when none higher
    qint8 peak = NoDataLevel;     //!< highest level of the selection

    bool isEmpty() const { return sampleCount == 0; }
};

//! Matrices never have more rows than the levels a signed byte can hold, and
//! never more columns than this, whatever a damaged recording claims.
constexpr int MaxStatisticsRows = 256;
constexpr int MaxStatisticsColumns = 16384;

//! Row geometry for an amplitude interval: lowLevel/highLevel/rows as
//! SpectrumStatistics holds them. An interval whose ends are not finite or
//! whose maximum is not above its minimum gives 0 rows; a span of more than
//! MaxStatisticsRows dB keeps the rows that levels -128..127 can reach.
struct StatisticsRows
{
    int lowLevel = 0;
    int highLevel = 0;
    int rows = 0;
    static StatisticsRows fromInterval(const QwtInterval &amplitudeInterval);
    bool operator==(const StatisticsRows &o) const
    {
        return lowLevel == o.lowLevel && highLevel == o.highLevel && rows == o.rows;
    }
};

//! Keeps per-bin level histograms over the current selection and updates them
//! as samples enter and leave it, so one update costs O(bins x (rows +
//! changed samples)) however long the selection is. A new selection that
//! does not overlap the previous one (or a changed interval or bin count) is
//! rebuilt from scratch. A plot owns one and feeds it every selection.
class SpectrumStatisticsAccumulator
{
public:
    enum class Update
    {
        None,
        Rebuilt,
        Incremental
    };

    //! Brings the statistics to `selection`, oldest first. An empty selection
    //! changes nothing and returns false.
    bool computeSpectrumStatistics(const RfSpectrumSampleList &selection,
                                   const QwtInterval &amplitudeInterval);

    //! Brings only the per-bin level histograms to `selection` (no density,
    //! hits or traces): for readers of duty cycles that update on every
    //! time-bar move. Use an accumulator either this way or the other.
    bool updateHistograms(const RfSpectrumSampleList &selection);

    const SpectrumStatistics &statistics() const { return m_stats; }
    //! columns() x 256 counts of the selection: level v of bin i at
    //! [i * 256 + v + 128]; no-data samples count at level -128.
    const QVector<qint32> &levelHistograms() const { return m_histogram; }
    int columns() const { return m_columns; }
    int sampleCount() const { return m_selection.size(); }
    //! How the last call got there; for tests and benchmarks.
    Update lastUpdate() const { return m_lastUpdate; }
    //! Forgets everything; the next selection is built from scratch.
    void clear();

private:
    bool bringTo(const RfSpectrumSampleList &selection, const StatisticsRows &rows);
    void rebuild(const RfSpectrumSampleList &selection);
    bool tryIncremental(const RfSpectrumSampleList &selection);
    void addSample(const RfSpectrumScan &spectrum, int sign);
    void deriveOutputs(const RfSpectrumSampleList &selection);

    SpectrumStatistics m_stats;
    SpectrumStatistics m_spare; //!< the other set of output buffers, see deriveOutputs()
    StatisticsRows m_rows;
    int m_columns = 0;
    RfSpectrumSampleList m_selection; //!< kept so its spectra stay alive for identity checks
    QVector<qint32> m_histogram;      //!< columns x 256 counts, level v at [i * 256 + v + 128]
    QVector<qint64> m_levelSum;       //!< per bin, sum of levels
    QVector<qint16> m_maxLevel;       //!< per bin, highest level with a count
    Update m_lastUpdate = Update::None;
};

//! One-shot statistics of a selection (an empty selection gives an empty
//! result).
SpectrumStatistics computeSpectrumStatistics(const RfSpectrumSampleList &selection,
                                             const QwtInterval &amplitudeInterval);
