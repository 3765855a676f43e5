#include "waterfallspectrogram.h"

#include "linearcolorlookup.h"
#include "renderbands.h"

#include <qwt_color_map.h>
#include <qwt_matrix_raster_data.h>
#include <qwt_scale_map.h>

#include <algorithm>
#include <functional>

namespace {

// Colour steps per range: a step spans at most a fraction of a level of
// any channel on the maps in use, so the picture stays within a level or two
// of the exact colours without a test per pixel.
constexpr int Steps = 16384;
constexpr int TopStep = Steps + 1;
// Kept rows hold values in 1/64 of the matrix's unit (dB), in 16 bits: the
// scanner's levels with room to spare, and fine enough for a colour range
// of a few dB. They do not depend on the colour range, so the blend of two
// rows is clamped to the range only after blending, as the raster does.
constexpr float RowUnits = 64.0f;
// The weight of a line's first row, in 1/4096: a blend stays within 32 bits.
constexpr int WeightBits = 12;
constexpr int WeightOne = 1 << WeightBits;

QRgb premultiplied(QRgb c)
{
    const uint a = qAlpha(c);
    return a == 255 ? c : a == 0 ? 0u : qPremultiply(c);
}

// One pixel line: the blend of two kept rows and the colour of its step
// (step = blend * k + c). The steps first, free of branches so that the
// compiler runs them several pixels at a time, then the table reads.
__attribute__((target_clones("avx2", "default"))) void
linePixels(const qint16 *__restrict a, const qint16 *__restrict b, int wa, float k, float c,
           const QRgb *__restrict colors, int *__restrict steps, QRgb *__restrict out, int n)
{
    const int wb = WeightOne - wa;
    for (int i = 0; i < n; ++i) {
        const float p = float(wa * a[i] + wb * b[i]) * k + c;
        // In this order a NaN would give step 0, not a read outside the table.
        steps[i] = int(std::min(float(TopStep), std::max(0.0f, p)));
    }
    for (int i = 0; i < n; ++i)
        out[i] = colors[steps[i]];
}

} // namespace

WaterfallSpectrogram::WaterfallSpectrogram() = default;
WaterfallSpectrogram::~WaterfallSpectrogram() = default;

bool WaterfallSpectrogram::Key::operator==(const Key &o) const
{
    return s1 == o.s1 && s2 == o.s2 && p1 == o.p1 && p2 == o.p2 && width == o.width &&
           cols == o.cols && rows == o.rows && x == o.x && z == o.z && map == o.map;
}

void WaterfallSpectrogram::setRowCacheEnabled(bool on)
{
    m_enabled = on;
    invalidateRows();
}

void WaterfallSpectrogram::setOpaqueOnBlack(bool on)
{
    m_opaque = on;
    invalidateRows();
}

void WaterfallSpectrogram::invalidateRows()
{
    m_keyValid = false;
    ++m_revision;
    invalidateRender();
}

void WaterfallSpectrogram::rowsSlid(int k)
{
    // The rows that stay keep their sample numbers, and so their places.
    ++m_revision;
    invalidateRender();
    if (k <= 0 || k >= m_key.rows)
        m_keyValid = false;
    m_base += k;
}

void WaterfallSpectrogram::reset(const Key &key, const QwtScaleMap &xMap) const
{
    const bool sameRows = m_keyValid && key.s1 == m_key.s1 && key.s2 == m_key.s2 &&
                          key.p1 == m_key.p1 && key.p2 == m_key.p2 && key.width == m_key.width &&
                          key.cols == m_key.cols && key.rows == m_key.rows && key.x == m_key.x;
    const bool sameColors = m_keyValid && key.z == m_key.z && key.map == m_key.map;
    m_key = key;
    m_keyValid = true;

    if (!sameRows) {
        // Each pixel column's left cell and weight, as the matrix's value()
        // has them; the run of columns inside the raster is one, the map
        // being monotonic.
        const double dx = key.x.width() / key.cols;
        m_x0 = key.width;
        m_x1 = 0;
        m_tapColumn.clear();
        m_tapWeight.clear();
        for (int i = 0; i < key.width; ++i) {
            const double x = xMap.invTransform(i);
            if (!key.x.contains(x))
                continue;
            if (m_x1 <= m_x0)
                m_x0 = i;
            m_x1 = i + 1;
            const MatrixTaps taps = matrixTaps(x, key.x.minValue(), dx, key.cols);
            // An edge cell is its own partner: a padding cell holds it again.
            const int left = taps.i1 == taps.i2 ? (taps.i1 == 0 ? -1 : taps.i1) : taps.i1;
            m_tapColumn.push_back(left);
            m_tapWeight.push_back(float(taps.r));
        }
        if (m_x1 <= m_x0)
            m_x0 = m_x1 = 0;
        m_rows.clear();
        m_rowSample.assign(std::size_t(key.rows), -1);
        m_base = 0;
    }
    if (sameColors)
        return;

    // Step 0 is the low end's colour, TopStep the high end's, as the map
    // gives them outside the range.
    const auto *map = static_cast<const QwtColorMap *>(key.map);
    const LinearColorLookup lookup(map);
    auto exact = [&](double v) {
        return premultiplied(lookup.isUsable() ? lookup.rgb(key.z, v) : map->rgb(key.z, v));
    };
    m_colors.resize(TopStep + 1);
    m_colors[0] = exact(key.z.minValue());
    for (int i = 0; i < Steps; ++i)
        m_colors[std::size_t(i + 1)] = exact(key.z.minValue() + (i + 0.5) * key.z.width() / Steps);
    m_colors[TopStep] = exact(key.z.maxValue());
    if (m_opaque) // premultiplied over black
        for (QRgb &color : m_colors)
            color |= 0xff000000u;
}

QImage WaterfallSpectrogram::renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                         const QRectF &area, const QSize &imageSize) const
{
    const auto *matrix = dynamic_cast<const QwtMatrixRasterData *>(data());
    const QwtColorMap *map = colorMap();
    if (!m_enabled || !matrix || !map || map->format() != QwtColorMap::RGB || overlay() ||
        !colorTableEnabled() || imageSize.isEmpty() ||
        matrix->resampleMode() != QwtMatrixRasterData::BilinearInterpolation)
        return RasterSpectrogram::renderImage(xMap, yMap, area, imageSize);
    Key key;
    key.s1 = xMap.s1();
    key.s2 = xMap.s2();
    key.p1 = xMap.p1();
    key.p2 = xMap.p2();
    key.width = imageSize.width();
    key.cols = matrix->numColumns();
    key.rows = matrix->numRows();
    key.x = matrix->interval(Qt::XAxis);
    key.z = matrix->interval(Qt::ZAxis);
    key.map = map;
    const QwtInterval yi = matrix->interval(Qt::YAxis);
    if (key.cols < 1 || key.rows < 1 || !key.x.isValid() || !yi.isValid() || !key.z.isValid() ||
        !(key.x.width() > 0.0) || !(yi.width() > 0.0) || !(key.z.width() > 0.0) ||
        matrix->valueMatrix().size() != qsizetype(key.cols) * key.rows)
        return RasterSpectrogram::renderImage(xMap, yMap, area, imageSize);
    // Rows too many to keep at the picture's width: rendered whole.
    if (qint64(key.rows) * key.width > MaxKeptValues) {
        m_keyValid = false;
        m_rows = {};
        m_rowSample = {};
        return RasterSpectrogram::renderImage(xMap, yMap, area, imageSize);
    }
    const bool sameKey = m_keyValid && key == m_key;
    if (!sameKey)
        reset(key, xMap);

    // Nothing changed: the last picture again.
    const double y[4] = {yMap.s1(), yMap.s2(), yMap.p1(), yMap.p2()};
    if (sameKey && m_pictureRevision == m_revision && m_pictureSize == imageSize &&
        std::equal(y, y + 4, m_pictureY) && m_pictureRows == yi && !m_picture.isNull())
        return m_picture;

    const int w = imageSize.width();
    const int h = imageSize.height();
    const int rows = key.rows;
    const int cols = key.cols;
    const int x0 = m_x0;
    const int span = m_x1 - m_x0;
    if (m_rows.empty())
        m_rows.resize(std::size_t(rows) * std::size_t(span));
    const double dy = yi.width() / rows;
    struct Line
    {
        int row1 = -1, row2 = -1; //!< places in m_rows; -1: outside the raster
        int weight = 0;           //!< of row1, in 1/WeightOne
    };
    std::vector<Line> lines(static_cast<std::size_t>(h));
    std::vector<int> missing; // matrix rows read and not kept yet
    auto place = [&](int i) {
        const qint64 sample = m_base + i;
        const int at = int(sample % rows);
        qint64 &kept = m_rowSample[std::size_t(at)];
        if (kept != sample) {
            kept = sample;
            missing.push_back(i);
        }
        return at;
    };
    for (int j = 0; j < h; ++j) {
        const double t = yMap.invTransform(j);
        if (!yi.contains(t))
            continue;
        const MatrixTaps taps = matrixTaps(t, yi.minValue(), dy, rows);
        Line &line = lines[std::size_t(j)];
        // A degenerate time span (samples a few denormals apart) makes the
        // weight anything, NaN included; the rows' own blend lies within [0, 1].
        line.weight = qRound(qBound(0.0, taps.r, 1.0) * WeightOne);
        line.row1 = place(taps.i1);
        line.row2 = place(taps.i2);
    }

    // The new rows across the pixel columns, the end cells repeated on both
    // sides (which is how the edges interpolate).
    const double *values = matrix->valueMatrix().constData();
    const int *tapColumn = m_tapColumn.data();
    const float *tapWeight = m_tapWeight.data();
    inRenderBands(int(missing.size()), renderThreadCount(), [&](int a, int b) {
        std::vector<float> padded(std::size_t(cols) + 2);
        float *v = padded.data() + 1; // v[-1] is the left padding cell
        for (int m = a; m < b; ++m) {
            const int i = missing[std::size_t(m)];
            const double *row = values + qsizetype(i) * cols;
            for (int c = 0; c < cols; ++c)
                v[c] = float(qBound(-32767.0, row[c] * RowUnits, 32767.0));
            v[-1] = v[0];
            v[cols] = v[cols - 1];
            qint16 *out = m_rows.data() + std::size_t((m_base + i) % rows) * span;
            for (int k = 0; k < span; ++k) {
                const int c = tapColumn[k];
                const float cr = tapWeight[k];
                out[k] = qint16(qRound(cr * v[c] + (1.0f - cr) * v[c + 1]));
            }
        }
    });
    m_rendered = int(missing.size());

    // The image of the last picture is reused when nobody holds it any more.
    const QImage::Format format =
        m_opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
    const QRgb none = m_opaque ? 0xff000000u : 0u;
    if (m_picture.size() != imageSize || m_picture.format() != format)
        m_picture = QImage(imageSize, format);
    uchar *const bits = m_picture.bits();
    const qsizetype stride = m_picture.bytesPerLine();
    const QRgb *colors = m_colors.data();
    const qint16 *kept = m_rows.data();
    // A blend in row units times the weight, to colour steps from 1 up.
    const double scale = Steps / key.z.width();
    const float k = float(scale / (RowUnits * WeightOne));
    const float c = float(1.0 - key.z.minValue() * scale);
    inRenderBands(h, renderThreadCount(), [&](int j0, int j1) {
        std::vector<int> steps(std::size_t(qMax(span, 1)));
        for (int j = j0; j < j1; ++j) {
            auto *out = reinterpret_cast<QRgb *>(bits + j * stride);
            const Line &line = lines[std::size_t(j)];
            if (line.row1 < 0) {
                std::fill(out, out + w, none);
                continue;
            }
            std::fill(out, out + x0, none);
            std::fill(out + x0 + span, out + w, none);
            linePixels(kept + std::size_t(line.row1) * span, kept + std::size_t(line.row2) * span,
                       line.weight, k, c, colors, steps.data(), out + x0, span);
        }
    });

    m_pictureRevision = m_revision;
    m_pictureSize = imageSize;
    std::copy(y, y + 4, m_pictureY);
    m_pictureRows = yi;
    return m_picture;
}
