#include "spectrumstatistics.h"

#include "cpufeatures.h"

#include <QThread>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace {

constexpr int Levels = 256;      //!< levels a signed byte can hold
constexpr int LevelOffset = 128; //!< histogram index of level v is v + 128
constexpr int MaxAlignmentTries = 4;

//! 2^-(h-1) for a cell hit h times; beyond the table the value underflows to 0.
struct HitValues
{
    static constexpr int Size = 1076;
    double value[Size + 1];
    HitValues()
    {
        value[0] = 0.0;
        for (int h = 1; h <= Size; ++h)
            value[h] = std::ldexp(1.0, 1 - h);
    }
    double operator()(qint32 hits) const { return hits <= Size ? value[hits] : 0.0; }
};

//! A buffer to write `size` values into: reused while nobody else holds it;
//! a copy still held by a plot's raster is left alone.
template <typename T> T *writable(QVector<T> &vector, int size)
{
    if (vector.size() != size || !vector.isDetached())
        vector = QVector<T>(size);
    return vector.data();
}

bool isLevel(int v)
{
    return v >= -128 && v <= 127;
}

#if defined(__x86_64__)
// Eight shares per row with two divisions of four: the division is most of
// the work, and a vector division rounds each lane as the scalar one does. A
// column's count never exceeds the selection's size, an int.
__attribute__((target("avx2"))) void densityBlockAvx2(const qint32 *const *bins, int rows, int high,
                                                      double count, double *out, int columns)
{
    const __m256d c = _mm256_set1_pd(count);
    __m256i filled = _mm256_setzero_si256();
    for (int d = 1; d <= rows; ++d) {
        const int below = high - (d - 1);
        const int above = high + (d - 1);
        for (int side = 0; side < (d > 1 ? 2 : 1); ++side) {
            const int v = side == 0 ? below : above;
            if (!isLevel(v))
                continue;
            filled = _mm256_add_epi32(filled, _mm256_setr_epi32(bins[0][v], bins[1][v], bins[2][v],
                                                                bins[3][v], bins[4][v], bins[5][v],
                                                                bins[6][v], bins[7][v]));
        }
        double *o = out + size_t(rows - d) * size_t(columns);
        _mm256_storeu_pd(o, _mm256_div_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(filled)), c));
        _mm256_storeu_pd(o + 4,
                         _mm256_div_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(filled, 1)), c));
    }
}
#endif

//! The density of up to eight columns: `out` points at their cells in row 0
//! of a matrix `columns` wide. A level v fills rows 0 .. rows - |v - high| - 1,
//! so row rows - d counts the levels with |v - high| < d; widen d one dB at
//! a time.
void densityBlock(const qint32 *const *bins, int n, int rows, int high, double count, double *out,
                  int columns)
{
#if defined(__x86_64__)
    if (hasAvx2() && n == 8) {
        densityBlockAvx2(bins, rows, high, count, out, columns);
        return;
    }
#endif
    qint64 filled[8] = {};
    for (int d = 1; d <= rows; ++d) {
        const int below = high - (d - 1);
        const int above = high + (d - 1);
        const bool addBelow = isLevel(below);
        const bool addAbove = d > 1 && isLevel(above);
        double *o = out + size_t(rows - d) * size_t(columns);
        for (int k = 0; k < n; ++k) {
            if (addBelow)
                filled[k] += bins[k][below];
            if (addAbove)
                filled[k] += bins[k][above];
            o[k] = double(filled[k]) / count;
        }
    }
}

//! Two samples contribute identically when they share the same level data:
//! copies of a sweep share storage, and the accumulator keeps the previous
//! selection alive, so a block cannot have been freed and reused meanwhile.
bool sameLevels(const RfSpectrumSample &a, const RfSpectrumSample &b)
{
    return a.spectrum.constData() == b.spectrum.constData() &&
           a.spectrum.size() == b.spectrum.size();
}

} // namespace

StatisticsRows StatisticsRows::fromInterval(const QwtInterval &amplitudeInterval)
{
    StatisticsRows result;
    const double mn = amplitudeInterval.minValue();
    const double mx = amplitudeInterval.maxValue();
    if (!std::isfinite(mn) || !std::isfinite(mx))
        return result;
    // Converting a double beyond the int range is undefined; far beyond the
    // levels a sweep can hold the exact value no longer matters.
    constexpr double Limit = 1e6;
    int low = int(qBound(-Limit, mn, Limit));
    int high = int(qBound(-Limit, mx, Limit));
    if (high - low > MaxStatisticsRows) {
        // Rows below -128 dBm count every sweep and rows above 127 none: keep
        // the rows that levels can reach, so a damaged recording's interval
        // cannot ask for millions of rows. The kept rows hold the same values.
        low = qMax(low, -128);
        high = qMin(high, 128);
    }
    if (high - low <= 0)
        return result;
    result.lowLevel = low;
    result.highLevel = high;
    result.rows = high - low;
    return result;
}

bool SpectrumStatisticsAccumulator::computeSpectrumStatistics(const RfSpectrumSampleList &selection,
                                                              const QwtInterval &amplitudeInterval)
{
    if (!bringTo(selection, StatisticsRows::fromInterval(amplitudeInterval)))
        return false;
    deriveOutputs(selection);
    return true;
}

bool SpectrumStatisticsAccumulator::updateHistograms(const RfSpectrumSampleList &selection)
{
    return bringTo(selection, m_rows);
}

bool SpectrumStatisticsAccumulator::bringTo(const RfSpectrumSampleList &selection,
                                            const StatisticsRows &rows)
{
    if (selection.isEmpty()) {
        m_lastUpdate = Update::None;
        return false;
    }
    const int columns = qMin(selection.first().spectrum.size(), MaxStatisticsColumns);

    if (!m_selection.isEmpty() && rows == m_rows && columns == m_columns &&
        tryIncremental(selection)) {
        m_lastUpdate = Update::Incremental;
    } else {
        m_rows = rows;
        m_columns = columns;
        rebuild(selection);
        m_lastUpdate = Update::Rebuilt;
    }
    m_selection = selection;
    return true;
}

void SpectrumStatisticsAccumulator::clear()
{
    m_stats = SpectrumStatistics();
    m_spare = SpectrumStatistics();
    m_rows = StatisticsRows();
    m_columns = 0;
    m_selection.clear();
    m_histogram.clear();
    m_levelSum.clear();
    m_maxLevel.clear();
    m_lastUpdate = Update::None;
}

void SpectrumStatisticsAccumulator::rebuild(const RfSpectrumSampleList &selection)
{
    // A whole capture of hours is hundreds of thousands of sweeps: the pass
    // only counts, shared over the processor's threads (each its own
    // counts, added up after), and the sums and maxima follow from the
    // counts, 256 per bin instead of one per sample.
    const int columns = m_columns;
    const int k = selection.size();
    const auto count = [&selection, columns](qint32 *histogram, int from, int to) {
        for (int s = from; s < to; ++s) {
            const RfSpectrumScan &spectrum = selection.at(s).spectrum;
            const qint8 *levels = spectrum.constData();
            // A shorter sweep is read only up to its end; its missing bins
            // count as no data.
            const int present = qMin(spectrum.size(), columns);
            qint32 *bin = histogram + LevelOffset;
            for (int i = 0; i < present; ++i, bin += Levels)
                ++bin[levels[i]];
            for (int i = present; i < columns; ++i, bin += Levels)
                ++bin[NoDataLevel];
        }
    };
    m_histogram.fill(0, columns * Levels);
    constexpr int SamplesPerThread = 16384;
    const int threads = qBound(1, qMin(QThread::idealThreadCount(), k / SamplesPerThread), 8);
    if (threads == 1) {
        count(m_histogram.data(), 0, k);
    } else {
        std::vector<QVector<qint32>> parts(size_t(threads - 1));
        std::vector<std::thread> workers;
        for (int t = 1; t < threads; ++t) {
            QVector<qint32> &part = parts[size_t(t - 1)];
            part.fill(0, columns * Levels);
            workers.emplace_back(count, part.data(), int(qint64(k) * t / threads),
                                 int(qint64(k) * (t + 1) / threads));
        }
        count(m_histogram.data(), 0, k / threads);
        for (std::thread &w : workers)
            w.join();
        qint32 *total = m_histogram.data();
        for (const QVector<qint32> &part : parts) {
            const qint32 *p = part.constData();
            for (int j = 0; j < columns * Levels; ++j)
                total[j] += p[j];
        }
    }
    m_levelSum.fill(0, columns);
    m_maxLevel.fill(NoDataLevel, columns);
    for (int i = 0; i < columns; ++i) {
        const qint32 *bin = m_histogram.constData() + i * Levels + LevelOffset;
        qint64 sum = 0;
        for (int v = NoDataLevel; v < Levels - LevelOffset; ++v) {
            sum += qint64(v) * bin[v];
            if (bin[v] > 0 && v > m_maxLevel[i])
                m_maxLevel[i] = qint16(v);
        }
        m_levelSum[i] = sum;
    }
}

bool SpectrumStatisticsAccumulator::tryIncremental(const RfSpectrumSampleList &selection)
{
    const RfSpectrumSampleList &old = m_selection;
    const int m = old.size();
    const int k = selection.size();

    // Length of the run where old[oStart + i] and selection[sStart + i] share
    // their levels, or -1 when the run breaks before either list ends.
    const auto overlapAt = [&](int oStart, int sStart) {
        const int length = qMin(m - oStart, k - sStart);
        for (int i = 0; i < length; ++i) {
            if (!sameLevels(old.at(oStart + i), selection.at(sStart + i)))
                return -1;
        }
        return length;
    };

    int oStart = -1;
    int sStart = -1;
    int overlap = 0;
    int tries = 0;
    // Either the new selection starts inside the old one (the live window
    // sliding, growing at its end, shrinking) or the old one starts inside
    // the new one (the view moved back). Look at small shifts both ways
    // first: that is what drags, wheel steps and new sweeps produce.
    const int longest = qMax(m, k);
    for (int d = 0; d < longest && tries < MaxAlignmentTries && overlap <= 0; ++d) {
        if (d < m && sameLevels(old.at(d), selection.at(0))) {
            ++tries;
            const int length = overlapAt(d, 0);
            if (length > 0) {
                oStart = d;
                sStart = 0;
                overlap = length;
                break;
            }
        }
        if (d > 0 && d < k && sameLevels(selection.at(d), old.at(0))) {
            ++tries;
            const int length = overlapAt(0, d);
            if (length > 0) {
                oStart = 0;
                sStart = d;
                overlap = length;
            }
        }
    }
    // Without overlap, or when more samples would change than a rebuild
    // reads, rebuilding is the cheaper way.
    if (overlap <= 0 || (m - overlap) + (k - overlap) >= k)
        return false;

    for (int i = 0; i < oStart; ++i)
        addSample(old.at(i).spectrum, -1);
    for (int i = oStart + overlap; i < m; ++i)
        addSample(old.at(i).spectrum, -1);
    for (int i = 0; i < sStart; ++i)
        addSample(selection.at(i).spectrum, +1);
    for (int i = sStart + overlap; i < k; ++i)
        addSample(selection.at(i).spectrum, +1);
    return true;
}

void SpectrumStatisticsAccumulator::addSample(const RfSpectrumScan &spectrum, int sign)
{
    qint32 *histogram = m_histogram.data();
    qint64 *levelSum = m_levelSum.data();
    qint16 *maxLevel = m_maxLevel.data();
    const qint8 *levels = spectrum.constData();
    // A shorter sweep is read only up to its end; its missing bins count as
    // no data.
    const int present = qMin(spectrum.size(), m_columns);
    for (int i = 0; i < m_columns; ++i) {
        const int v = i < present ? levels[i] : NoDataLevel;
        qint32 *bin = histogram + i * Levels + LevelOffset;
        bin[v] += sign;
        levelSum[i] += sign * v;
        if (sign > 0) {
            if (v > maxLevel[i])
                maxLevel[i] = qint16(v);
        } else if (v == maxLevel[i] && bin[v] == 0) {
            int top = v;
            while (top > NoDataLevel && bin[top] == 0)
                --top;
            maxLevel[i] = qint16(top);
        }
    }
}

void SpectrumStatisticsAccumulator::deriveOutputs(const RfSpectrumSampleList &selection)
{
    const int k = selection.size();
    const int columns = m_columns;
    const int rows = m_rows.rows;
    const int low = m_rows.lowLevel;
    const int high = m_rows.highLevel;
    const double count = double(k);

    SpectrumStatistics &s = m_stats;
    s.sampleCount = k;
    s.columns = columns;
    s.rows = rows;
    s.lowLevel = low;
    s.highLevel = high;

    // The plot keeps the previous matrices until it is handed the new ones;
    // alternating between two sets of buffers lets every update write into
    // memory nobody holds any more, without allocating.
    const auto useSpareWhenHeld = [](auto &current, auto &spare) {
        if (current.isDetached())
            return;
        if (spare.isDetached())
            current.swap(spare);
        else
            spare = current; // free once the plot lets go; current gets new memory
    };
    useSpareWhenHeld(s.densityMatrix, m_spare.densityMatrix);
    useSpareWhenHeld(s.hitMatrix, m_spare.hitMatrix);
    useSpareWhenHeld(s.averageTrace, m_spare.averageTrace);
    useSpareWhenHeld(s.maxHoldTrace, m_spare.maxHoldTrace);

    static const HitValues hitValue;
    double *densityOut = writable(s.densityMatrix, rows * columns);
    double *hitsOut = writable(s.hitMatrix, rows * columns);
    double *average = writable(s.averageTrace, columns);
    qint8 *maxHold = writable(s.maxHoldTrace, columns);
    qint8 peak = NoDataLevel;

    // Eight columns at a time, row by row: the matrices are row-major, so
    // each row of a block fills one cache line, where a column at a time
    // wrote every row's line once per column.
    constexpr int Block = 8;
    const qint32 *histogram = m_histogram.constData();
    for (int i0 = 0; i0 < columns; i0 += Block) {
        const int n = qMin(Block, columns - i0);
        const qint32 *bins[Block];
        for (int k = 0; k < n; ++k)
            bins[k] = histogram + (i0 + k) * Levels + LevelOffset;

        densityBlock(bins, n, rows, high, count, densityOut + i0, columns);

        // A level v in [low, high) hits the row just below it, v - low - 1.
        for (int r = 0; r < rows; ++r) {
            const int v = low + 1 + r;
            double *out = hitsOut + size_t(r) * size_t(columns) + size_t(i0);
            if (v < high && isLevel(v)) {
                for (int k = 0; k < n; ++k)
                    out[k] = hitValue(bins[k][v]);
            } else {
                std::fill(out, out + n, 0.0);
            }
        }

        for (int i = i0; i < i0 + n; ++i) {
            average[i] = double(m_levelSum.at(i)) / count;
            maxHold[i] = qint8(m_maxLevel.at(i));
            peak = qMax(peak, maxHold[i]);
        }
    }

    const RfSpectrumScan &last = selection.last().spectrum;
    if (last.size() == columns) {
        s.currentTrace = last;
    } else {
        RfSpectrumScan current(columns, NoDataLevel);
        std::copy_n(last.constData(), qMin(last.size(), columns), current.data());
        s.currentTrace = current;
    }
    s.peak = peak;
}

SpectrumStatistics computeSpectrumStatistics(const RfSpectrumSampleList &selection,
                                             const QwtInterval &amplitudeInterval)
{
    SpectrumStatisticsAccumulator accumulator;
    accumulator.computeSpectrumStatistics(selection, amplitudeInterval);
    return accumulator.statistics();
}
