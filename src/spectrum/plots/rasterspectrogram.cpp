#include "rasterspectrogram.h"

#include "colormapstops.h"
#include "cpufeatures.h"
#include "linearcolorlookup.h"
#include "matrixgrid.h"
#include "renderslices.h"
#include "tnwmatrixrasterdata.h"

#include <qwt_color_map.h>
#include <qwt_matrix_raster_data.h>
#include <qwt_painter.h>
#include <qwt_scale_map.h>

#include <QImage>
#include <QPainter>
#include <QRegion>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace {

//! Calls `span(lo, hi)` for the pixel runs that the columns set in `mask`
//! (`words` 64-bit words) reach, [reachLo[c], reachHi[c]) for column c. Runs
//! closer than `mergeGap` pixels are one: a few clean pixels cost less than
//! another pass's setup.
template <typename Span>
void forEachReachedRun(const quint64 *mask, size_t words, const int *reachLo, const int *reachHi,
                       int mergeGap, Span &&span)
{
    int runLo = 0, runHi = 0;
    for (size_t word = 0; word < words; ++word) {
        for (quint64 left = mask[word]; left; left &= left - 1) {
            const size_t c = word * 64 + size_t(__builtin_ctzll(left));
            const int lo = reachLo[c], hi = reachHi[c];
            if (hi <= lo)
                continue;
            if (runHi > runLo && lo <= runHi + mergeGap && hi >= runLo) {
                runLo = qMin(runLo, lo);
                runHi = qMax(runHi, hi);
                continue;
            }
            if (runHi > runLo)
                span(runLo, runHi);
            runLo = lo;
            runHi = hi;
        }
    }
    if (runHi > runLo)
        span(runLo, runHi);
}

using Sampler = std::function<void(const QVector<double> &, const QVector<double> &, double *)>;

Sampler samplerFor(const QwtRasterData *data)
{
    if (const auto *tnw = dynamic_cast<const TnwMatrixRasterData *>(data)) {
        return [tnw](const QVector<double> &xs, const QVector<double> &ys, double *out) {
            tnw->sampleGrid(xs, ys, out);
        };
    }
    if (const auto *matrix = dynamic_cast<const QwtMatrixRasterData *>(data)) {
        return [matrix](const QVector<double> &xs, const QVector<double> &ys, double *out) {
            sampleMatrixGrid(*matrix, xs, ys, out);
        };
    }
    return Sampler();
}

bool finiteRect(const QRectF &r)
{
    return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.right()) &&
           std::isfinite(r.bottom());
}

bool sameIntervals(const QwtRasterData *a, const QwtRasterData *b)
{
    for (Qt::Axis axis : {Qt::XAxis, Qt::YAxis})
        if (!(a->interval(axis) == b->interval(axis)))
            return false;
    return true;
}

// The raster engine's rounding division by 255.
inline uint div255(uint x)
{
    return (x + (x >> 8) + 0x80) >> 8;
}

// The colours of a map on a range in 4096 steps, premultiplied, for the
// render loops. A step whose colours differ by more than 2 levels anywhere
// inside it (a stop, a steep ramp such as the density map's step from
// transparent to blue) is marked, and its values are coloured exactly.
class ColorTable
{
public:
    static constexpr int Steps = 4096;

    ColorTable(const QwtColorMap *map, const QwtInterval &range)
        : m_lookup(map), m_map(map), m_range(range)
    {
        m_usable = map && range.width() > 0.0;
        if (!m_usable)
            return;
        m_min = range.minValue();
        m_scale = Steps / range.width();
        m_low = premultiplied(exact(m_min));
        m_high = premultiplied(exact(range.maxValue()));
        m_rgb.resize(Steps);
        m_exact.resize(Steps);
        constexpr int Probes = 8;
        for (int i = 0; i < Steps; ++i) {
            const QRgb mid = premultiplied(exact(valueAt(i + 0.5)));
            bool even = true;
            for (int k = 0; k <= Probes && even; ++k) {
                const QRgb c = premultiplied(exact(valueAt(i + double(k) / Probes)));
                even = qAbs(qRed(c) - qRed(mid)) <= 2 && qAbs(qGreen(c) - qGreen(mid)) <= 2 &&
                       qAbs(qBlue(c) - qBlue(mid)) <= 2 && qAbs(qAlpha(c) - qAlpha(mid)) <= 2;
            }
            m_rgb[i] = mid;
            m_exact[i] = !even;
        }
    }

    bool isUsable() const { return m_usable; }

    static QRgb premultiplied(QRgb c)
    {
        const uint a = qAlpha(c);
        return a == 255 ? c : a == 0 ? 0u : qPremultiply(c);
    }

    Q_ALWAYS_INLINE QRgb at(double v) const
    {
        if (v != v) // NaN: transparent
            return 0u;
        const double p = (v - m_min) * m_scale;
        if (!(p > 0.0))
            return m_low;
        if (p >= Steps)
            return m_high;
        const int i = int(p);
        return m_exact[i] ? premultiplied(exact(v)) : m_rgb[i];
    }

private:
    double valueAt(double step) const { return m_min + step / m_scale; }
    QRgb exact(double v) const
    {
        return m_lookup.isUsable() ? m_lookup.rgb(m_range, v) : m_map->rgb(m_range, v);
    }

    LinearColorLookup m_lookup;
    const QwtColorMap *m_map;
    QwtInterval m_range;
    bool m_usable = false;
    double m_min = 0.0, m_scale = 0.0;
    QRgb m_low = 0, m_high = 0;
    std::vector<QRgb> m_rgb;
    std::vector<uchar> m_exact;
};

// The colours of a map on a range in 65536 steps, premultiplied, with the
// colour at or below the range's start first and above its end last. So fine
// that a step straddling a stop covers a sliver of a level, which lets the
// loops read it without a check per value. Kept between renders and built
// again only when the map, its colours or the range change.
class FineTable
{
public:
    static constexpr int Steps = 65536;

    bool build(const QwtColorMap *map, const QwtInterval &range)
    {
        const QVector<QRgb> probe = colorMapFingerprint(map, range);
        if (map == m_map && range == m_range && probe == m_probe && !m_rgb.empty())
            return true;
        m_map = map;
        m_range = range;
        m_probe = probe;
        ++m_generation;
        m_rgb.clear();
        m_grey.clear();
        if (!map || !(range.width() > 0.0))
            return false;
        const LinearColorLookup lookup(map);
        auto exact = [&](double v) {
            return ColorTable::premultiplied(lookup.isUsable() ? lookup.rgb(range, v)
                                                               : map->rgb(range, v));
        };
        m_min = float(range.minValue());
        m_scale = float(Steps / range.width());
        // Entry 0 holds the colour at the range's start (no density is
        // "nothing", not the first step's colour), the last one that at its
        // end; the values of the first step take entry 0 too.
        m_rgb.resize(Steps + 1);
        m_rgb[0] = exact(range.minValue());
        const double width = range.width();
        for (int k = 1; k < Steps; ++k)
            m_rgb[size_t(k)] = exact(range.minValue() + (k + 0.5) * width / Steps);
        m_rgb[Steps] = exact(range.maxValue());
        m_grey.resize(m_rgb.size());
        for (size_t k = 0; k < m_rgb.size(); ++k) {
            const QRgb c = m_rgb[k];
            if (qAlpha(c) != 255 || qRed(c) != qGreen(c) || qGreen(c) != qBlue(c)) {
                m_grey.clear();
                break;
            }
            m_grey[k] = uchar(qRed(c));
        }
        findGreyRamp();
        return true;
    }

    //! The table entry of a value: max() and min() in this order take NaN
    //! to entry 0 and compile to vector instructions.
    static Q_ALWAYS_INLINE int index(float v, float min, float scale)
    {
        return int(std::min(std::max(0.f, (v - min) * scale), float(Steps)));
    }

    const QRgb *colors() const { return m_rgb.data(); }
    //! Changes whenever the colours do: a kept picture is no longer theirs.
    quint64 generation() const { return m_generation; }
    float minimum() const { return m_min; }
    float scale() const { return m_scale; }

    //! For an opaque grey map (the highlight): the grey level of each
    //! entry, worked out with the table; nullptr for other maps.
    const uchar *greyLevels() const { return m_grey.empty() ? nullptr : m_grey.data(); }

    //! For a grey map that is one even ramp (the highlight's two stops): the
    //! grey of entry k is (k * slope + offset) >> GreyShift, exactly as the
    //! table holds it, which vector code works out faster than it reads the
    //! table. Zero slope and offset: no such ramp.
    static constexpr int GreyShift = 17;
    int greySlope() const { return m_greySlope; }
    int greyOffset() const { return m_greyOffset; }

private:
    const QwtColorMap *m_map = nullptr;
    QwtInterval m_range;
    QVector<QRgb> m_probe;
    std::vector<QRgb> m_rgb;
    std::vector<uchar> m_grey;
    int m_greySlope = 0, m_greyOffset = 0;
    float m_min = 0.f, m_scale = 0.f;

    // A straight line from the first entry's grey to the last one's, through
    // the middles of the steps between with the map's rounding, kept only
    // if every entry agrees with it.
    void findGreyRamp()
    {
        m_greySlope = m_greyOffset = 0;
        if (m_grey.size() != size_t(Steps) + 1)
            return;
        static_assert(Steps == 1 << (GreyShift - 1), "a step is two units of the ramp");
        const int first = m_grey.front(), rise = int(m_grey.back()) - first;
        const int slope = 2 * rise;
        const int offset = (first << GreyShift) + (1 << (GreyShift - 1)) + rise;
        for (int k = 0; k <= Steps; ++k)
            if (((k * slope + offset) >> GreyShift) != m_grey[size_t(k)])
                return;
        m_greySlope = slope;
        m_greyOffset = offset;
    }
    quint64 m_generation = 0;
};

// Four lines of a plane and their weights for one pixel line.
struct LineTaps
{
    const float *q[4];
    float w[4];
    float min, scale; //!< of the colour table
};

// Sets the bits of `mask` (bit c % 64 of word c / 64) of the cells where `a`
// and `b` differ, NaN differing as with !=, and tells whether any does.
// Without a branch per cell: a noisy band changes about every other one,
// which no predictor guesses.
quint64 differingCellsScalar(const double *a, const double *b, int from, int n, quint64 *mask)
{
    quint64 any = 0;
    for (int c = from; c < n; ++c) {
        const quint64 bit = quint64(a[c] != b[c]) << (c & 63);
        mask[c >> 6] |= bit;
        any |= bit;
    }
    return any;
}

#if defined(__x86_64__)
// Four cells per comparison: a sweep compares every row a picture reads, in
// both planes.
__attribute__((target("avx2"))) quint64 differingCellsAvx2(const double *a, const double *b, int n,
                                                           quint64 *mask)
{
    quint64 any = 0;
    int c = 0;
    for (; c + 64 <= n; c += 64) {
        quint64 m = 0;
        for (int k = 0; k < 64; k += 4) {
            const __m256d differ =
                _mm256_cmp_pd(_mm256_loadu_pd(a + c + k), _mm256_loadu_pd(b + c + k), _CMP_NEQ_UQ);
            m |= quint64(uint(_mm256_movemask_pd(differ))) << k;
        }
        mask[c >> 6] |= m;
        any |= m;
    }
    return any | differingCellsScalar(a, b, c, n, mask);
}
#endif

// Sets the bits of `mask` of the cells where both `a` and `b` lie within
// [-bound, bound] (NaN does not).
void bothWithinScalar(const double *a, const double *b, double bound, int from, int n,
                      quint64 *mask)
{
    for (int c = from; c < n; ++c)
        mask[c >> 6] |= quint64(std::abs(a[c]) <= bound && std::abs(b[c]) <= bound) << (c & 63);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void bothWithinAvx2(const double *a, const double *b, double bound,
                                                    int n, quint64 *mask)
{
    const __m256d limit = _mm256_set1_pd(bound);
    const __m256d sign = _mm256_set1_pd(-0.0);
    int c = 0;
    for (; c + 64 <= n; c += 64) {
        quint64 m = 0;
        for (int k = 0; k < 64; k += 4) {
            const __m256d x = _mm256_andnot_pd(sign, _mm256_loadu_pd(a + c + k));
            const __m256d y = _mm256_andnot_pd(sign, _mm256_loadu_pd(b + c + k));
            const __m256d both = _mm256_and_pd(_mm256_cmp_pd(x, limit, _CMP_LE_OQ),
                                               _mm256_cmp_pd(y, limit, _CMP_LE_OQ));
            m |= quint64(uint(_mm256_movemask_pd(both))) << k;
        }
        mask[c >> 6] |= m;
    }
    bothWithinScalar(a, b, bound, c, n, mask);
}
#endif

void bothWithin(const double *a, const double *b, double bound, int n, quint64 *mask)
{
#if defined(__x86_64__)
    if (hasAvx2()) {
        bothWithinAvx2(a, b, bound, n, mask);
        return;
    }
#endif
    bothWithinScalar(a, b, bound, 0, n, mask);
}

// The bits of `mask` (`words` words) whose neighbours up to `radius` on both
// sides are set too; beyond the ends counts as set.
void erode(std::vector<quint64> &mask, int radius)
{
    const size_t words = mask.size();
    for (int step = 0; step < radius; ++step) {
        quint64 carryDown = ~quint64(0); // bit 63 of the word below
        for (size_t i = 0; i < words; ++i) {
            const quint64 here = mask[i];
            const quint64 below = carryDown >> 63;
            const quint64 above = i + 1 < words ? mask[i + 1] << 63 : quint64(1) << 63;
            carryDown = here;
            mask[i] = here & ((here << 1) | below) & ((here >> 1) | above);
        }
    }
}

quint64 differingCells(const double *a, const double *b, int n, quint64 *mask)
{
#if defined(__x86_64__)
    if (hasAvx2())
        return differingCellsAvx2(a, b, n, mask);
#endif
    return differingCellsScalar(a, b, 0, n, mask);
}

// A matrix raster on the pixel grid through its axis taps: every needed
// matrix row interpolated along x once, so a pixel line costs a weighted sum
// of up to four such rows. Float arithmetic: the colours come from tables
// that are coarser than the difference.
struct SeparablePlane
{
    AxisTapList cols, rows;
    std::vector<float> along; //!< slot * w + i
    std::vector<int> slot;    //!< matrix row -> its line in along; -1: unused
    std::vector<int> bySlot;  //!< line in along -> its matrix row
    std::vector<int> outside; //!< pixel columns beyond the raster
    int w = 0;

    bool prepare(const QwtRasterData *data, const QVector<double> &xs, const QVector<double> &ys)
    {
        QVector<double> matrix; // shared, not copied
        int columns = 0;
        if (const auto *tnw = dynamic_cast<const TnwMatrixRasterData *>(data)) {
            const auto source = [&](Qt::Axis axis, const QVector<double> &at) {
                return TapSource{at,
                                 tnw->interval(axis),
                                 tnw->numColumns(),
                                 tnw->numRows(),
                                 tnw->resampleMode(),
                                 true};
            };
            if (!cachedTaps(m_colSource, source(Qt::XAxis, xs), cols,
                            [&] { return tnw->axisTaps(Qt::XAxis, xs, cols); }) ||
                !cachedTaps(m_rowSource, source(Qt::YAxis, ys), rows,
                            [&] { return tnw->axisTaps(Qt::YAxis, ys, rows); }))
                return false;
            matrix = tnw->valueMatrix();
            columns = tnw->numColumns();
        } else if (const auto *plain = dynamic_cast<const QwtMatrixRasterData *>(data)) {
            const auto source = [&](Qt::Axis axis, const QVector<double> &at) {
                return TapSource{at,
                                 plain->interval(axis),
                                 plain->numColumns(),
                                 plain->numRows(),
                                 int(plain->resampleMode()),
                                 false};
            };
            if (!cachedTaps(m_colSource, source(Qt::XAxis, xs), cols,
                            [&] { return matrixAxisTaps(*plain, Qt::XAxis, xs, cols); }) ||
                !cachedTaps(m_rowSource, source(Qt::YAxis, ys), rows,
                            [&] { return matrixAxisTaps(*plain, Qt::YAxis, ys, rows); }))
                return false;
            matrix = plain->valueMatrix();
            columns = plain->numColumns();
        } else {
            return false;
        }
        const int matrixRows = columns > 0 ? matrix.size() / columns : 0;
        if (matrixRows < 1)
            return false;
        w = xs.size();
        outside.clear();
        for (int i = 0; i < w; ++i)
            if (!cols.at(i).inside)
                outside.push_back(i);
        slot.assign(size_t(matrixRows), -1);
        bySlot.clear();
        int needed = 0;
        for (const AxisTaps &r : qAsConst(rows))
            if (r.inside)
                for (int cell : r.cell)
                    if (slot[size_t(cell)] < 0) {
                        slot[size_t(cell)] = needed++;
                        bySlot.push_back(cell);
                    }
        along.resize(size_t(needed) * size_t(w));
        m_matrix = matrix;
        m_columns = columns;
        return true;
    }

    int neededRows() const { return int(bySlot.size()); }

    //! The needed matrix rows [from, to) (in the order of their lines)
    //! interpolated along x; parts may run on other threads.
    void interpolateRows(int from, int to)
    {
        for (int s = from; s < to; ++s)
            interpolateSpan(s, 0, w);
    }

    //! Pixels [i0, i1) of the line of slot s.
    void interpolateSpan(int s, int i0, int i1)
    {
        const double *row = m_matrix.constData() + size_t(bySlot[size_t(s)]) * size_t(m_columns);
        float *q = along.data() + size_t(s) * size_t(w);
        for (int i = i0; i < i1; ++i) {
            const AxisTaps &c = cols.at(i);
            if (!c.inside)
                q[i] = std::numeric_limits<float>::quiet_NaN();
            else if (c.used <= 2)
                q[i] = c.weight[0] * float(row[c.cell[0]]) + c.weight[1] * float(row[c.cell[1]]);
            else
                q[i] = c.weight[0] * float(row[c.cell[0]]) + c.weight[1] * float(row[c.cell[1]]) +
                       c.weight[2] * float(row[c.cell[2]]) + c.weight[3] * float(row[c.cell[3]]);
        }
    }

    QVector<double> m_matrix; //!< shared with the raster while it renders
    int m_columns = 0;

    const float *line(int matrixRow) const
    {
        return along.data() + size_t(slot[size_t(matrixRow)]) * size_t(w);
    }

    //! The lines and weights of pixel line j, or false when it lies outside.
    bool lineTaps(int j, LineTaps &t) const;

    // What the next render compares against: the taps and the matrix of the
    // picture kept.
    struct Kept
    {
        AxisTapList cols, rows;
        QVector<double> matrix;
        int columns = 0;
    };
    Kept kept() const { return {cols, rows, m_matrix, m_columns}; }

    //! Whether every pixel reads the same cells with the same weights as in
    //! `before`, from a matrix of the same shape: then the lines in along
    //! stay right wherever the matrix did not change.
    bool sameGrid(const Kept &before) const
    {
        return before.columns == m_columns && before.matrix.size() == m_matrix.size() &&
               sameTaps(before.cols, cols) && sameTaps(before.rows, rows);
    }

    //! Marks, per needed matrix row, the columns whose cells differ from
    //! `before`; interpolateChanged() then works those rows out again.
    //! With `unseenBelow` (> 0): any pixel value within [-unseenBelow,
    //! unseenBelow] takes the same colour, and changedColumns() leaves out
    //! the changes no pixel's colour can show (see there).
    void markChanged(const QVector<double> &before, double unseenBelow = 0.0)
    {
        words = (m_columns + 63) / 64;
        const int matrixRows = int(slot.size());
        changed.assign(size_t(matrixRows) * size_t(words), 0);
        changedSlots.clear();
        unseen.clear();
        const double *now = m_matrix.constData();
        const double *was = before.constData();
        if (now == was) {
            findReach();
            return;
        }
        // A pixel is a weighted sum of the cells it reads: its value stays
        // within the cells' bound times the largest sum of the weights'
        // sizes, and it reads cells at most `reach` columns apart.
        const double bound = unseenBelow / (tapGain(cols) * tapGain(rows));
        if (bound > 0.0 && std::isfinite(bound)) {
            unseen.assign(changed.size(), 0);
            unseenReach = tapReach(cols);
        }
        for (int s = 0; s < neededRows(); ++s) {
            const size_t k = size_t(bySlot[size_t(s)]);
            const double *a = now + k * size_t(m_columns);
            const double *b = was + k * size_t(m_columns);
            quint64 *mask = changed.data() + k * size_t(words);
            if (differingCells(a, b, m_columns, mask))
                changedSlots.push_back(s);
            if (!unseen.empty()) {
                quint64 *within = unseen.data() + k * size_t(words);
                bothWithin(a, b, bound, m_columns, within);
                // No pixel reads a cell past the last column.
                if (m_columns % 64)
                    within[words - 1] |= ~quint64(0) << (m_columns % 64);
            }
        }
        findReach();
    }

    //! Per matrix column, the pixels that read it.
    void findReach()
    {
        m_reachLo.assign(size_t(m_columns), std::numeric_limits<int>::max());
        m_reachHi.assign(size_t(m_columns), 0);
        columnReach(m_reachLo, m_reachHi);
    }

    static double tapGain(const AxisTapList &taps)
    {
        double gain = 1.0;
        for (const AxisTaps &t : taps)
            if (t.inside)
                gain = qMax(gain, double(std::abs(t.weight[0]) + std::abs(t.weight[1]) +
                                         std::abs(t.weight[2]) + std::abs(t.weight[3])));
        return gain;
    }

    static int tapReach(const AxisTapList &taps)
    {
        int reach = 0;
        for (const AxisTaps &t : taps)
            if (t.inside)
                reach = qMax(reach, *std::max_element(t.cell, t.cell + 4) -
                                        *std::min_element(t.cell, t.cell + 4));
        return reach;
    }

    int changedCount() const { return int(changedSlots.size()); }

    //! The changed rows [a, b) of markChanged()'s list interpolated again, only
    //! at the pixels that read a changed cell: a sweep entering and one
    //! leaving change a few cells of most columns, so whole lines would mostly
    //! be interpolated again unchanged. Parts may run on other threads.
    void interpolateChanged(int a, int b)
    {
        constexpr int MergeGap = 8;
        for (int t = a; t < b; ++t) {
            const int s = changedSlots[size_t(t)];
            const quint64 *mask = changed.data() + size_t(bySlot[size_t(s)]) * size_t(words);
            forEachReachedRun(mask, size_t(words), m_reachLo.data(), m_reachHi.data(), MergeGap,
                              [&](int lo, int hi) { interpolateSpan(s, lo, hi); });
        }
    }

    //! ORs into `mask` the changed columns of the matrix rows pixel line j
    //! reads. Left out, where markChanged() was told which values look
    //! alike: a column whose cells in these rows, and in the columns as far
    //! beside it as a pixel reads, lie in that range before and now. Every
    //! pixel that reads it then reads only such cells, and keeps its colour.
    void changedColumns(int j, quint64 *mask) const
    {
        const AxisTaps &r = rows.at(j);
        if (!r.inside)
            return;
        thread_local std::vector<quint64> rowMask, still;
        rowMask.assign(size_t(words), 0);
        if (!unseen.empty())
            still.assign(size_t(words), ~quint64(0));
        for (int k = 0; k < 4; ++k) {
            const size_t at = size_t(r.cell[k]) * size_t(words);
            for (size_t i = 0; i < size_t(words); ++i)
                rowMask[i] |= changed[at + i];
            if (!unseen.empty())
                for (size_t i = 0; i < size_t(words); ++i)
                    still[i] &= unseen[at + i];
        }
        if (!unseen.empty()) {
            erode(still, unseenReach);
            for (size_t i = 0; i < size_t(words); ++i)
                rowMask[i] &= ~still[i];
        }
        for (int i = 0; i < words; ++i)
            mask[i] |= rowMask[size_t(i)];
    }

    //! Widens [lo, hi) per matrix column to the pixel columns that read it.
    void columnReach(std::vector<int> &lo, std::vector<int> &hi) const
    {
        for (int i = 0; i < w; ++i) {
            const AxisTaps &c = cols.at(i);
            if (!c.inside)
                continue;
            for (int k = 0; k < 4; ++k) {
                const size_t cell = size_t(c.cell[k]);
                lo[cell] = qMin(lo[cell], i);
                hi[cell] = qMax(hi[cell], i + 1);
            }
        }
    }

    std::vector<quint64> changed; //!< per matrix row, a bit per column
    std::vector<quint64> unseen;  //!< the same, cells alike before and now; empty: not asked
    int unseenReach = 0;          //!< columns a pixel reads beside its first
    std::vector<int> changedSlots;
    std::vector<int> m_reachLo, m_reachHi; //!< per matrix column, the pixels reading it
    int words = 0;

private:
    // What a list of taps was worked out from: the pixel positions and the
    // raster's geometry along the axis. The same again gives the same taps,
    // which then need not be worked out for every picture.
    struct TapSource
    {
        QVector<double> positions;
        QwtInterval range;
        int columns = -1, rows = -1, mode = -1;
        bool bicubic = false;
        bool operator==(const TapSource &o) const
        {
            return columns == o.columns && rows == o.rows && mode == o.mode &&
                   bicubic == o.bicubic && range == o.range && positions == o.positions;
        }
    };

    template <typename Compute>
    static bool cachedTaps(TapSource &kept, const TapSource &now, AxisTapList &taps,
                           Compute compute)
    {
        if (kept == now && taps.size() == now.positions.size())
            return true;
        if (!compute()) {
            kept = TapSource();
            return false;
        }
        kept = now;
        return true;
    }

    TapSource m_colSource, m_rowSource;

    static bool sameTaps(const AxisTapList &a, const AxisTapList &b)
    {
        if (a.size() != b.size())
            return false;
        if (a.constData() == b.constData())
            return true;
        for (int i = 0; i < a.size(); ++i) {
            const AxisTaps &x = a.at(i), &y = b.at(i);
            if (x.inside != y.inside || x.used != y.used ||
                !std::equal(x.cell, x.cell + 4, y.cell) ||
                !std::equal(x.weight, x.weight + 4, y.weight))
                return false;
        }
        return true;
    }
};

bool SeparablePlane::lineTaps(int j, LineTaps &t) const
{
    const AxisTaps &r = rows.at(j);
    if (!r.inside)
        return false;
    for (int k = 0; k < 4; ++k) {
        t.q[k] = line(r.cell[k]);
        t.w[k] = r.weight[k];
    }
    return true;
}

// c times a grey level per channel, with the raster engine's rounding
// division by 255 on two channels at once.
Q_ALWAYS_INLINE QRgb multiplyGrey(QRgb c, uint grey)
{
    uint rb = (c & 0x00ff00ffu) * grey;
    rb = ((rb + ((rb >> 8) & 0x00ff00ffu) + 0x00800080u) >> 8) & 0x00ff00ffu;
    uint ag = ((c >> 8) & 0x00ff00ffu) * grey;
    ag = (ag + ((ag >> 8) & 0x00ff00ffu) + 0x00800080u) & 0xff00ff00u;
    return rb | ag | 0xff000000u;
}

#if defined(__x86_64__)
// The grey levels of greyLine() from a ramp, eight pixels at a time: spans
// are often a few dozen pixels, which a loop the compiler widens to 32
// bytes would mostly leave to its scalar tail.
__attribute__((target("avx2"))) void greyRampAvx2(const LineTaps &h, int slope, int offset,
                                                  uchar *__restrict out, int w)
{
    const __m256 w0 = _mm256_set1_ps(h.w[0]), w1 = _mm256_set1_ps(h.w[1]),
                 w2 = _mm256_set1_ps(h.w[2]), w3 = _mm256_set1_ps(h.w[3]);
    const __m256 min = _mm256_set1_ps(h.min), scale = _mm256_set1_ps(h.scale);
    const __m256 top = _mm256_set1_ps(float(FineTable::Steps));
    const __m256i k1 = _mm256_set1_epi32(slope), k0 = _mm256_set1_epi32(offset);
    const __m256i lanes = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int i = 0;
    for (; i + 8 <= w; i += 8) {
        // Summed in the scalar code's order, without fused multiply-adds,
        // so that every pixel rounds as there.
        __m256 v = _mm256_mul_ps(w0, _mm256_loadu_ps(h.q[0] + i));
        v = _mm256_add_ps(v, _mm256_mul_ps(w1, _mm256_loadu_ps(h.q[1] + i)));
        v = _mm256_add_ps(v, _mm256_mul_ps(w2, _mm256_loadu_ps(h.q[2] + i)));
        v = _mm256_add_ps(v, _mm256_mul_ps(w3, _mm256_loadu_ps(h.q[3] + i)));
        // FineTable::index(): the instruction's max() gives its second
        // operand for NaN, here 0, and min() then keeps it.
        const __m256 p = _mm256_min_ps(
            _mm256_max_ps(_mm256_mul_ps(_mm256_sub_ps(v, min), scale), _mm256_setzero_ps()), top);
        const __m256i g =
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(_mm256_cvttps_epi32(p), k1), k0),
                              FineTable::GreyShift);
        // Eight levels of 0..255 into eight bytes: packing works per 128-bit
        // lane, so the dwords go in an order that the packs undo.
        const __m256i words = _mm256_packus_epi32(g, g);
        const __m256i bytes = _mm256_packus_epi16(words, words);
        const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, lanes);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i), _mm256_castsi256_si128(ordered));
    }
    for (; i < w; ++i) {
        const float hv =
            h.w[0] * h.q[0][i] + h.w[1] * h.q[1][i] + h.w[2] * h.q[2][i] + h.w[3] * h.q[3][i];
        out[i] =
            uchar((FineTable::index(hv, h.min, h.scale) * slope + offset) >> FineTable::GreyShift);
    }
}
#endif

// The highlight's grey levels of a pixel span, kept per pixel: the highlight
// changes where a sweep lands, the density's shares nearly everywhere while
// the window fills, so most spans recolour with the grey they had.
__attribute__((target_clones("avx2", "default"))) void greyFromTable(const LineTaps &h,
                                                                     const uchar *__restrict greys,
                                                                     int *__restrict hi,
                                                                     uchar *__restrict out, int w)
{
    const float *__restrict h0 = h.q[0], *__restrict h1 = h.q[1], *__restrict h2 = h.q[2],
                            *__restrict h3 = h.q[3];
    for (int i = 0; i < w; ++i) {
        const float hv = h.w[0] * h0[i] + h.w[1] * h1[i] + h.w[2] * h2[i] + h.w[3] * h3[i];
        hi[i] = FineTable::index(hv, h.min, h.scale);
    }
    for (int i = 0; i < w; ++i)
        out[i] = uchar(greys[hi[i]]);
}

// From the table's ramp where it has one (see FineTable::greySlope()), which
// needs no read per pixel, else from its entries.
void greyLine(const LineTaps &h, const FineTable &table, int *hi, uchar *out, int w)
{
#if defined(__x86_64__)
    if (hasAvx2() && (table.greySlope() != 0 || table.greyOffset() != 0)) {
        greyRampAvx2(h, table.greySlope(), table.greyOffset(), out, w);
        return;
    }
#endif
    greyFromTable(h, table.greyLevels(), hi, out, w);
}

#if defined(__x86_64__)
// x * g / 255 per 16-bit channel, rounded as multiplyGrey() does; no sum
// leaves 16 bits.
__attribute__((target("avx2"))) inline __m256i timesGrey(__m256i x, __m256i g, __m256i half)
{
    const __m256i t = _mm256_mullo_epi16(x, g);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), half),
                             8);
}

// multiplyGrey() on eight pixels at a time: the channels widened to 16 bits,
// where x * grey and the rounding division by 255 fit, so one multiply
// serves four channels of two pixels. With `copy`, each result goes there
// as well, from the register.
__attribute__((target("avx2"))) void colourAvx2(const int *__restrict di,
                                                const QRgb *__restrict colors,
                                                const uchar *__restrict grey, QRgb *__restrict line,
                                                QRgb *__restrict copy, int n)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i half = _mm256_set1_epi16(0x80);
    const __m256i opaque = _mm256_set1_epi32(int(0xff000000u));
    // Unpacking works per 128-bit lane: the low half holds pixels 0, 1 | 4, 5,
    // the high half 2, 3 | 6, 7; each pixel's grey goes to its four channels.
    const __m256i spreadLow =
        _mm256_setr_epi8(0, -1, 0, -1, 0, -1, 0, -1, 1, -1, 1, -1, 1, -1, 1, -1, 4, -1, 4, -1, 4,
                         -1, 4, -1, 5, -1, 5, -1, 5, -1, 5, -1);
    const __m256i spreadHigh =
        _mm256_setr_epi8(2, -1, 2, -1, 2, -1, 2, -1, 3, -1, 3, -1, 3, -1, 3, -1, 6, -1, 6, -1, 6,
                         -1, 6, -1, 7, -1, 7, -1, 7, -1, 7, -1);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        // Eight loads rather than a gather instruction, which some
        // processors run no faster than one load per cycle.
        const int *k = di + i;
        const __m256i c = _mm256_setr_epi32(int(colors[k[0]]), int(colors[k[1]]), int(colors[k[2]]),
                                            int(colors[k[3]]), int(colors[k[4]]), int(colors[k[5]]),
                                            int(colors[k[6]]), int(colors[k[7]]));
        const __m256i g =
            _mm256_broadcastq_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(grey + i)));
        const __m256i low =
            timesGrey(_mm256_unpacklo_epi8(c, zero), _mm256_shuffle_epi8(g, spreadLow), half);
        const __m256i high =
            timesGrey(_mm256_unpackhi_epi8(c, zero), _mm256_shuffle_epi8(g, spreadHigh), half);
        const __m256i out = _mm256_or_si256(_mm256_packus_epi16(low, high), opaque);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(line + i), out);
        if (copy)
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(copy + i), out);
    }
    for (; i < n; ++i) {
        line[i] = multiplyGrey(colors[di[i]], grey[i]);
        if (copy)
            copy[i] = line[i];
    }
}
#endif

// The set bits of `n` words; without the instruction, the compiler calls a
// library routine per word.
__attribute__((target_clones("popcnt", "default"))) int bitCount(const quint64 *words, size_t n)
{
    int count = 0;
    for (size_t i = 0; i < n; ++i)
        count += __builtin_popcountll(words[i]);
    return count;
}

// The density's table indexes of a pixel span, free of branches so that the
// compiler runs them several pixels at a time.
__attribute__((target_clones("avx2", "default"))) void densityIndexes(const LineTaps &d,
                                                                      int *__restrict di, int w)
{
    const float *__restrict d0 = d.q[0], *__restrict d1 = d.q[1], *__restrict d2 = d.q[2],
                            *__restrict d3 = d.q[3];
    if (d.w[2] == 0.f && d.w[3] == 0.f) {
        // Bilinear rows (the density's): adding the zero-weighted taps
        // changes no value, so they are left out.
        for (int i = 0; i < w; ++i)
            di[i] = FineTable::index(d.w[0] * d0[i] + d.w[1] * d1[i], d.min, d.scale);
    } else {
        for (int i = 0; i < w; ++i) {
            const float dv = d.w[0] * d0[i] + d.w[1] * d1[i] + d.w[2] * d2[i] + d.w[3] * d3[i];
            di[i] = FineTable::index(dv, d.min, d.scale);
        }
    }
}

// One pixel span of the fused picture: the density's colour multiplied by
// the kept grey; into `copy` too unless it is null.
void fusedLine(const LineTaps &d, const QRgb *__restrict colors, const uchar *__restrict grey,
               int *__restrict di, QRgb *__restrict line, QRgb *__restrict copy, int w)
{
    densityIndexes(d, di, w);
#if defined(__x86_64__)
    if (hasAvx2()) {
        colourAvx2(di, colors, grey, line, copy, w);
        return;
    }
#endif
    for (int i = 0; i < w; ++i)
        line[i] = multiplyGrey(colors[di[i]], grey[i]);
    if (copy)
        std::memcpy(copy, line, size_t(w) * sizeof(QRgb));
}

} // namespace

struct RasterSpectrogram::Tables
{
    FineTable density, over;
    // Kept between renders: a new selection changes few cells (a sliding
    // window adds and drops one sweep), so only the pixels that read them
    // are coloured again.
    SeparablePlane densityPlane, overPlane;
    //! Per pixel of the last separable picture, the highlight's grey (255
    //! where there is none), so a span whose highlight did not change is
    //! coloured without working it out again.
    std::vector<uchar> grey;
    //! Per line of the image, 1 where the last picture went into the window
    //! only: the image's line is older, and is coloured whole again before
    //! anything reads it.
    std::vector<uchar> elsewhere;
    bool anyElsewhere = false;
    bool pictureKept = false;                  //!< the image holds the last separable picture
    quint64 densityColors = 0, overColors = 0; //!< the tables' generations it used
};

RasterSpectrogram::RasterSpectrogram(const QString &title)
    : QwtPlotSpectrogram(title), m_tables(new Tables)
{
}

RasterSpectrogram::~RasterSpectrogram() = default;

bool RasterSpectrogram::CacheKey::operator==(const CacheKey &o) const
{
    return xs1 == o.xs1 && xs2 == o.xs2 && xp1 == o.xp1 && xp2 == o.xp2 && ys1 == o.ys1 &&
           ys2 == o.ys2 && yp1 == o.yp1 && yp2 == o.yp2 && area == o.area && size == o.size &&
           revision == o.revision && fused == o.fused && map == o.map && data == o.data &&
           overMap == o.overMap && z == o.z && overZ == o.overZ && colorTable == o.colorTable;
}

void RasterSpectrogram::setRenderCacheEnabled(bool on)
{
    m_cacheEnabled = on;
    m_cacheValid = false;
}

void RasterSpectrogram::setColorTableEnabled(bool on)
{
    m_colorTable = on;
    invalidateRender();
}

void RasterSpectrogram::setOverlay(const QwtPlotSpectrogram *overlay)
{
    m_overlay = overlay;
    invalidateRender();
}

bool RasterSpectrogram::overlayFused() const
{
    if (!m_overlay || !isVisible() || !m_overlay->isVisible() || !data() || !m_overlay->data() ||
        !m_overlay->colorMap() || m_overlay->colorMap()->format() != QwtColorMap::RGB)
        return false;
    // One picture covers both only where both cover the same area.
    return sameIntervals(data(), m_overlay->data()) && samplerFor(m_overlay->data()) &&
           samplerFor(data());
}

bool RasterSpectrogram::opaquePicture(const QRectF &) const
{
    return overlayFused();
}

DirectLines RasterSpectrogram::directLines(const QRectF &area, const QSize &size) const
{
    return area == m_direct.area && size == m_direct.size ? m_direct.lines : DirectLines();
}

void RasterSpectrogram::draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                             const QRectF &canvasRect) const
{
    const bool opaque = isVisible() && opaquePicture(canvasRect);
    if (m_fillsCanvas) {
        QRegion background(canvasRect.toAlignedRect());
        // An opaque picture needs the background only around it. Its
        // rectangle as the raster item works it out, a pixel short on each
        // side, which the picture then covers anyway.
        const QRectF bounds = boundingRect();
        if (opaque && bounds.isValid()) {
            const QRectF area = QwtScaleMap::invTransform(xMap, yMap, canvasRect) & bounds;
            // Within the canvas: zoomed far in, the picture's corners lie
            // beyond what an int holds.
            const QRectF picture =
                QwtScaleMap::transform(xMap, yMap, area).normalized() & canvasRect;
            const QRect inside = !finiteRect(picture)
                                     ? QRect()
                                     : QRect(QPoint(int(std::ceil(picture.left())) + 1,
                                                    int(std::ceil(picture.top())) + 1),
                                             QPoint(int(std::floor(picture.right())) - 2,
                                                    int(std::floor(picture.bottom())) - 2));
            if (inside.isValid())
                background -= inside;
        }
        for (const QRect &r : background)
            painter->fillRect(r, Qt::black);
    }
    m_direct = opaque ? directTarget(painter, xMap, yMap, canvasRect) : DirectTarget();
    QwtPlotSpectrogram::draw(painter, xMap, yMap, canvasRect);
    m_direct = DirectTarget();
}

RasterSpectrogram::DirectTarget RasterSpectrogram::directTarget(QPainter *painter,
                                                                const QwtScaleMap &xMap,
                                                                const QwtScaleMap &yMap,
                                                                const QRectF &canvasRect) const
{
    if (!m_directDrawing || !data() || !painter->transform().isIdentity())
        return {};
    // Qwt's placement of a raster item's picture when it has no pixel hint,
    // cache, alpha or excluded borders and the painter aligns to pixels:
    // renderImage() is asked for exactly this area and size, and the picture
    // goes at the rectangle's corner. Anything else fails the comparison in
    // render() and is drawn as usual.
    const QwtInterval xi = data()->interval(Qt::XAxis), yi = data()->interval(Qt::YAxis);
    if (cachePolicy() != NoCache || (alpha() >= 0 && alpha() < 255) ||
        xi.borderFlags() != QwtInterval::IncludeBorders ||
        yi.borderFlags() != QwtInterval::IncludeBorders || !QwtPainter::roundingAlignment(painter))
        return {};
    QRectF paintRect = canvasRect;
    QRectF area = QwtScaleMap::invTransform(xMap, yMap, paintRect);
    const QRectF bounds = boundingRect();
    if (bounds.isValid() && !bounds.contains(area)) {
        area &= bounds;
        if (!area.isValid())
            return {};
        paintRect = QwtScaleMap::transform(xMap, yMap, area);
    }
    // Rounded to ints below; one beyond the canvas is no plain copy anyway.
    if (!pixelHint(area).isEmpty() || !finiteRect(paintRect) ||
        !canvasRect.adjusted(-1.0, -1.0, 1.0, 1.0).contains(paintRect))
        return {};
    QRectF aligned;
    aligned.setLeft(qRound(paintRect.left()));
    aligned.setRight(qRound(paintRect.right()));
    aligned.setTop(qRound(paintRect.top()));
    aligned.setBottom(qRound(paintRect.bottom()));
    const QRect target(aligned.topLeft().toPoint(), aligned.size().toSize());
    const DirectLines lines(painter, target);
    if (!lines.isValid())
        return {};
    return {lines, area, target.size()};
}

QImage RasterSpectrogram::renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                      const QRectF &area, const QSize &imageSize) const
{
    if (!m_cacheEnabled) {
        const QImage image = render(xMap, yMap, area, imageSize);
        return m_drewDirect ? QImage() : image;
    }
    CacheKey key;
    key.xs1 = xMap.s1();
    key.xs2 = xMap.s2();
    key.xp1 = xMap.p1();
    key.xp2 = xMap.p2();
    key.ys1 = yMap.s1();
    key.ys2 = yMap.s2();
    key.yp1 = yMap.p1();
    key.yp2 = yMap.p2();
    key.area = area;
    key.size = imageSize;
    key.revision = m_revision;
    key.fused = overlayFused();
    // A new map or colour range shows without the owner's help.
    key.map = colorMap();
    key.data = data();
    key.z = data() ? data()->interval(Qt::ZAxis) : QwtInterval();
    if (key.fused) {
        key.overMap = m_overlay->colorMap();
        key.overZ = m_overlay->data()->interval(Qt::ZAxis);
    }
    key.colorTable = m_colorTable;
    if (m_cacheValid && key == m_cacheKey && !m_image.isNull())
        return m_image;
    const QImage image = render(xMap, yMap, area, imageSize);
    // Only the reused image can be kept; the base class's own renders are not.
    m_cacheValid =
        image.constBits() == m_image.constBits() && !image.isNull() && !m_tables->anyElsewhere;
    m_cacheKey = key;
    // A picture already in the painter's device is not drawn again.
    return m_drewDirect ? QImage() : image;
}

QImage RasterSpectrogram::render(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                 const QRectF &area, const QSize &imageSize) const
{
    m_drewDirect = false;
    const Sampler sampler = samplerFor(data());
    const QwtColorMap *map = colorMap();
    if (!sampler || !map || map->format() != QwtColorMap::RGB || imageSize.isEmpty())
        return QwtPlotSpectrogram::renderImage(xMap, yMap, area, imageSize);

    const QwtInterval range = data()->interval(Qt::ZAxis);
    if (!range.isValid())
        return QImage();

    const bool fused = overlayFused();
    const Sampler overSampler = fused ? samplerFor(m_overlay->data()) : Sampler();
    const QwtColorMap *overMap = fused ? m_overlay->colorMap() : nullptr;
    const QwtInterval overRange = fused ? m_overlay->data()->interval(Qt::ZAxis) : QwtInterval();

    const int w = imageSize.width();
    const int h = imageSize.height();
    QVector<double> xs(w);
    for (int i = 0; i < w; ++i)
        xs[i] = xMap.invTransform(i);
    QVector<double> ys(h);
    for (int j = 0; j < h; ++j)
        ys[j] = yMap.invTransform(j);

    // The image of the last render is reused when nobody holds it any more,
    // which saves mapping fresh pages for every replot.
    // Premultiplied here, as the painter would otherwise convert the whole
    // image before drawing it.
    // A fused picture is opaque (it stands for the black canvas below it),
    // which the painter copies instead of blending.
    const QImage::Format format =
        fused ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
    const bool freshImage = m_image.size() != imageSize || m_image.format() != format;
    if (freshImage)
        m_image = QImage(imageSize, format);
    QImage &image = m_image;
    uchar *const bits = image.bits(); // detaches here, on this thread
    const qsizetype stride = image.bytesPerLine();
    // Opaque and fully transparent colours need no arithmetic.
    auto premultiplied = [](QRgb c) {
        const uint a = qAlpha(c);
        return a == 255 ? c : a == 0 ? 0u : qPremultiply(c);
    };

    // The common case of the spectrum plot, a matrix density with the grey
    // highlight multiplied in: both sampled line by line from their rows
    // interpolated along x, so the cost per pixel is a few multiplications
    // and two table reads.
    Tables &t = *m_tables;
    SeparablePlane &densityPlane = t.densityPlane;
    SeparablePlane &overPlane = t.overPlane;
    const SeparablePlane::Kept densityBefore = densityPlane.kept();
    const SeparablePlane::Kept overBefore = overPlane.kept();
    const bool kept = t.pictureKept;
    t.pictureKept = false;
    const bool separable = fused && m_colorTable && t.density.build(map, range) &&
                           t.over.build(overMap, overRange) && t.over.greyLevels() &&
                           densityPlane.prepare(data(), xs, ys) &&
                           overPlane.prepare(m_overlay->data(), xs, ys);
    const bool incremental =
        separable && kept && !freshImage && t.densityColors == t.density.generation() &&
        t.overColors == t.over.generation() && densityPlane.sameGrid(densityBefore) &&
        overPlane.sameGrid(overBefore) && densityPlane.m_columns == overPlane.m_columns;
    const auto inSlices = [this](int n, const std::function<void(int, int)> &work) {
        inRenderSlices(n, int(renderThreadCount()), work);
    };
    if (incremental) {
        // Both planes' rows in one pass: each pass hands work to another
        // thread and waits for it, which costs wake-ups with every sweep.
        densityPlane.markChanged(densityBefore.matrix);
        // A highlight cell hit many times holds a tiny value, halved with each
        // further hit, and shows as the colour of none: such changes are left
        // out of the picture's (the rows still follow them).
        overPlane.markChanged(overBefore.matrix, t.over.minimum() + 0.25 / t.over.scale());
        const int nd = densityPlane.changedCount();
        inSlices(nd + overPlane.changedCount(), [&](int a, int b) {
            densityPlane.interpolateChanged(qMin(a, nd), qMin(b, nd));
            overPlane.interpolateChanged(qMax(a, nd) - nd, qMax(b, nd) - nd);
        });
    } else if (separable) {
        const int nd = densityPlane.neededRows();
        const int n = nd + overPlane.neededRows();
        inSlices(n, [&](int a, int b) {
            densityPlane.interpolateRows(qMin(a, nd), qMin(b, nd));
            overPlane.interpolateRows(qMax(a, nd) - nd, qMax(b, nd) - nd);
        });
    }
    // The arithmetic and the coarser tables of the other passes; not built
    // for the separable one, which has its own tables (checking a lookup
    // against its map costs more than a small picture).
    const LinearColorLookup lookup(separable ? nullptr : map);
    const LinearColorLookup overLookup(separable ? nullptr : overMap);
    const double zMin = range.minValue();
    const double zWidth = range.width();
    const bool fast = lookup.isUsable() && zWidth > 0.0;
    const ColorTable table(m_colorTable && !separable ? map : nullptr, range);
    const ColorTable overTable(m_colorTable && !separable ? overMap : nullptr, overRange);
    if (separable) {
        t.grey.resize(size_t(w) * size_t(h));
        t.elsewhere.resize(size_t(h));
    }
    // Whether the picture goes straight into the device as well (see below);
    // a line coloured whole is then written there as it is coloured, and
    // marked so, the others are copied from the picture afterwards.
    const DirectLines device = separable ? directLines(area, imageSize) : DirectLines();
    const bool direct = device.isValid();
    std::vector<uchar> inDevice(direct ? size_t(h) : 0);
    auto deviceLine = [&](int j) {
        return direct ? reinterpret_cast<QRgb *>(device.line(j)) : nullptr;
    };
    // The kept grey of pixels [i0, i1) of line j worked out again; 255 (no
    // change) where the highlight does not reach the line.
    auto greySpan = [&](int j, int i0, int i1, const LineTaps *over) {
        thread_local std::vector<int> hi;
        uchar *grey = t.grey.data() + size_t(j) * size_t(w) + size_t(i0);
        const int n = i1 - i0;
        if (!over) {
            std::fill(grey, grey + n, uchar(255));
            return;
        }
        LineTaps hs = *over;
        for (int k = 0; k < 4; ++k)
            hs.q[k] += i0;
        hs.min = t.over.minimum();
        hs.scale = t.over.scale();
        // Only ever grown: spans differ in length, and growing back after
        // shrinking zero-fills the difference with every span.
        if (hi.size() < size_t(n))
            hi.resize(size_t(n));
        greyLine(hs, t.over, hi.data(), grey, n);
    };
    // Pixels [i0, i1) of line j, which lies inside the density raster,
    // coloured with their kept grey into `target`; into `copy` as well unless
    // it is null.
    auto separableSpan = [&](int j, int i0, int i1, const LineTaps &d, QRgb *target, QRgb *copy) {
        thread_local std::vector<int> di;
        LineTaps ds = d;
        for (int k = 0; k < 4; ++k)
            ds.q[k] += i0;
        ds.min = t.density.minimum();
        ds.scale = t.density.scale();
        const int n = i1 - i0;
        if (di.size() < size_t(n))
            di.resize(size_t(n));
        fusedLine(ds, t.density.colors(), t.grey.data() + size_t(j) * size_t(w) + size_t(i0),
                  di.data(), target + i0, copy ? copy + i0 : nullptr, n);
    };
    // A whole line into the image, the window or both. While a window fills,
    // every line changes with every sweep and goes into the window alone:
    // the image's copy would be written again before anyone read it, and
    // cost the render threads a second store per pixel. `keep` is for a
    // line the next picture may colour in runs, which it does in the image.
    auto colourLine = [&](int j, const LineTaps &d, bool keep) {
        QRgb *const device = deviceLine(j);
        auto *line = reinterpret_cast<QRgb *>(bits + j * stride);
        QRgb *const first = device && !keep ? device : line;
        separableSpan(j, 0, w, d, first, first == line ? device : nullptr);
        for (int i : densityPlane.outside)
            first[i] = 0xff000000u;
        if (device) {
            if (first == line)
                for (int i : densityPlane.outside)
                    device[i] = 0xff000000u;
            inDevice[size_t(j)] = 1;
        }
        t.elsewhere[size_t(j)] = first != line;
    };
    auto separableLines = [&](int j0, int j1) {
        for (int j = j0; j < j1; ++j) {
            LineTaps d, h;
            if (!densityPlane.lineTaps(j, d)) {
                auto *line = reinterpret_cast<QRgb *>(bits + j * stride);
                std::fill(line, line + w, 0xff000000u); // the black canvas
                t.elsewhere[size_t(j)] = 0;
                continue;
            }
            greySpan(j, 0, w, overPlane.lineTaps(j, h) ? &h : nullptr);
            colourLine(j, d, false);
        }
    };
    // Only the pixels that read a changed cell: per line, the columns that
    // changed in the rows it reads, widened to the pixels reading them.
    std::vector<int> reachLo, reachHi;
    if (incremental) {
        // Both planes' reaches, which markChanged() worked out.
        reachLo = densityPlane.m_reachLo;
        reachHi = densityPlane.m_reachHi;
        for (size_t c = 0; c < reachLo.size(); ++c) {
            reachLo[c] = qMin(reachLo[c], overPlane.m_reachLo[c]);
            reachHi[c] = qMax(reachHi[c], overPlane.m_reachHi[c]);
        }
    }
    constexpr int MergeGap = 24;
    // Where a line changed, as runs of pixels; a whole line is one run.
    struct LineChange
    {
        bool wholeGrey = false, whole = false;
        std::vector<std::pair<int, int>> greyRuns, runs;
    };
    auto changedLines = [&](int j0, int j1) {
        thread_local std::vector<quint64> mask, overMask;
        thread_local LineChange change;
        mask.resize(size_t(densityPlane.words));
        overMask.resize(size_t(densityPlane.words));
        const auto popcount = [](const std::vector<quint64> &m) {
            return bitCount(m.data(), m.size());
        };
        // A line that changed nearly everywhere (noise, a busy band, a
        // filling window) is done whole: finding its runs would cost more
        // than it saves.
        const auto wholeLine = [&](int count) { return count * 3 > densityPlane.m_columns; };
        // Neighbouring pixel lines mostly read the same matrix rows, and
        // then change in the same runs.
        const AxisTaps *keyRows = nullptr, *keyOverRows = nullptr;
        const auto sameCells = [](const AxisTaps *a, const AxisTaps *b) {
            return a == b || (a && b && std::equal(a->cell, a->cell + 4, b->cell));
        };
        for (int j = j0; j < j1; ++j) {
            LineTaps d, h;
            if (!densityPlane.lineTaps(j, d))
                continue; // black before and now
            const bool over = overPlane.lineTaps(j, h);
            const AxisTaps *rows = &densityPlane.rows.at(j);
            const AxisTaps *overRows = over ? &overPlane.rows.at(j) : nullptr;
            if (!keyRows || !sameCells(rows, keyRows) || !sameCells(overRows, keyOverRows)) {
                keyRows = rows;
                keyOverRows = overRows;
                std::fill(mask.begin(), mask.end(), 0);
                std::fill(overMask.begin(), overMask.end(), 0);
                densityPlane.changedColumns(j, mask.data());
                if (over)
                    overPlane.changedColumns(j, overMask.data());
                const auto runsOf = [&](const std::vector<quint64> &m, int count,
                                        std::vector<std::pair<int, int>> &runs) {
                    runs.clear();
                    if (count > 0 && !wholeLine(count))
                        forEachReachedRun(m.data(), m.size(), reachLo.data(), reachHi.data(),
                                          MergeGap,
                                          [&](int lo, int hi) { runs.emplace_back(lo, hi); });
                    return wholeLine(count);
                };
                change.wholeGrey = runsOf(overMask, popcount(overMask), change.greyRuns);
                for (size_t k = 0; k < mask.size(); ++k)
                    mask[k] |= overMask[k];
                change.whole = runsOf(mask, popcount(mask), change.runs);
            }
            if (change.wholeGrey)
                greySpan(j, 0, w, &h);
            for (const auto &run : change.greyRuns)
                greySpan(j, run.first, run.second, &h);
            // A line only in the window is coloured whole into the image
            // too before the image's copy serves again.
            if (change.whole || t.elsewhere[size_t(j)]) {
                colourLine(j, d, !change.whole);
                continue;
            }
            for (const auto &run : change.runs)
                separableSpan(j, run.first, run.second, d,
                              reinterpret_cast<QRgb *>(bits + j * stride), nullptr);
        }
    };

    // Pixel lines [j0, j1), a block at a time so the sampled values stay in
    // the cache between sampling and colouring.
    auto renderLines = [&](int j0, int j1) {
        if (incremental) {
            changedLines(j0, j1);
            return;
        }
        if (separable) {
            separableLines(j0, j1);
            return;
        }
        constexpr int Block = 32;
        // Kept per thread, so replots do not map and fault in fresh pages.
        thread_local QVector<double> values;
        thread_local QVector<double> overValues;
        values.resize(w * Block);
        if (fused)
            overValues.resize(w * Block);
        for (int b0 = j0; b0 < j1; b0 += Block) {
            const int n = qMin(Block, j1 - b0);
            sampler(xs, ys.mid(b0, n), values.data());
            const double *v = values.constData();
            if (fused)
                overSampler(xs, ys.mid(b0, n), overValues.data());
            const double *o = overValues.constData();
            for (int j = b0; j < b0 + n; ++j) {
                auto *line = reinterpret_cast<QRgb *>(bits + j * stride);
                if (fused && table.isUsable() && overTable.isUsable()) {
                    for (int i = 0; i < w; ++i, ++v, ++o) {
                        const QRgb c = table.at(*v);
                        if (*o != *o) {
                            line[i] = c | 0xff000000u;
                            continue;
                        }
                        const QRgb m = overTable.at(*o);
                        const uint keep = 255 - qAlpha(m);
                        line[i] = qRgb(div255(qRed(m) * qRed(c) + qRed(c) * keep),
                                       div255(qGreen(m) * qGreen(c) + qGreen(c) * keep),
                                       div255(qBlue(m) * qBlue(c) + qBlue(c) * keep));
                    }
                } else if (fused) {
                    for (int i = 0; i < w; ++i, ++v, ++o) {
                        const QRgb c = premultiplied(
                            fast ? (*v != *v ? 0u : lookup.rgbAt((*v - zMin) / zWidth))
                                 : map->rgb(range, *v));
                        if (*o != *o) { // no overlay here: it leaves the picture
                            line[i] = c | 0xff000000u;
                            continue;
                        }
                        const QRgb m =
                            premultiplied(overLookup.isUsable() ? overLookup.rgb(overRange, *o)
                                                                : overMap->rgb(overRange, *o));
                        // Multiply of m over c on an opaque canvas, as the
                        // raster engine composes it.
                        const uint keep = 255 - qAlpha(m);
                        line[i] = qRgb(div255(qRed(m) * qRed(c) + qRed(c) * keep),
                                       div255(qGreen(m) * qGreen(c) + qGreen(c) * keep),
                                       div255(qBlue(m) * qBlue(c) + qBlue(c) * keep));
                    }
                } else if (table.isUsable()) {
                    for (int i = 0; i < w; ++i)
                        line[i] = table.at(*v++);
                } else if (fast) {
                    for (int i = 0; i < w; ++i, ++v) {
                        // rgb() of the map, inlined: NaN is transparent.
                        const QRgb c = *v != *v ? 0u : lookup.rgbAt((*v - zMin) / zWidth);
                        line[i] = premultiplied(c);
                    }
                } else {
                    for (int i = 0; i < w; ++i)
                        line[i] = premultiplied(map->rgb(range, *v++));
                }
            }
        }
    };

    // Straight into the device as well, a few lines at a time while they are
    // still in the cache: the copy drawImage() would make afterwards, on the
    // GUI thread alone, of every pixel. Lines coloured whole are there
    // already.
    if (direct) {
        constexpr int Lines = 8;
        inRenderSlices(
            h, int(renderThreadCount()),
            [&](int j0, int j1) {
                for (int b0 = j0; b0 < j1; b0 += Lines) {
                    const int b1 = qMin(b0 + Lines, j1);
                    renderLines(b0, b1);
                    for (int j = b0; j < b1; ++j)
                        if (!inDevice[size_t(j)])
                            std::memcpy(device.line(j), bits + j * stride, size_t(w) * 4);
                }
            },
            Lines);
    } else {
        inRenderSlices(h, int(renderThreadCount()), renderLines);
    }
    m_drewDirect = direct;
    t.anyElsewhere = separable && std::find(t.elsewhere.begin(), t.elsewhere.end(), uchar(1)) !=
                                      t.elsewhere.end();
    if (separable) {
        t.pictureKept = true;
        t.densityColors = t.density.generation();
        t.overColors = t.over.generation();
    }
    return image;
}
