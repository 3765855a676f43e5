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

QRgb premultiplied(QRgb c)
{
    const uint a = qAlpha(c);
    return a == 255 ? c : a == 0 ? 0u : qPremultiply(c);
}

// The pixels of one line: each blends its two cells of the line's values v
// (v[-1] is the left padding cell) and takes the colour of its step. (An
// AVX2 version with gathered loads was no faster.)
void linePixels(const float *v, const int *tapColumn, const float *tapWeight, const QRgb *colors,
                QRgb *out, int n)
{
    for (int i = 0; i < n; ++i) {
        const int c = tapColumn[i];
        const float cr = tapWeight[i];
        const float p = qBound(0.0f, cr * v[c] + (1.0f - cr) * v[c + 1], float(Steps + 1));
        out[i] = colors[int(p)];
    }
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
    const bool sameRows = m_keyValid && key.cols == m_key.cols && key.rows == m_key.rows &&
                          key.z == m_key.z && key.map == m_key.map;
    m_key = key;
    m_keyValid = true;

    // Each pixel column's left cell and weight, as the matrix's value() has
    // them; the run of columns inside the raster is one, the map being monotonic.
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
    if (sameRows)
        return;

    // Rows are kept in colour steps, offset by one: step 0 is the low end's
    // colour, Steps + 1 the high end's, as the map gives them outside the range.
    const auto *map = static_cast<const QwtColorMap *>(key.map);
    const LinearColorLookup lookup(map);
    auto exact = [&](double v) {
        return premultiplied(lookup.isUsable() ? lookup.rgb(key.z, v) : map->rgb(key.z, v));
    };
    m_colors.resize(Steps + 2);
    m_colors[0] = exact(key.z.minValue());
    for (int i = 0; i < Steps; ++i)
        m_colors[std::size_t(i + 1)] = exact(key.z.minValue() + (i + 0.5) * key.z.width() / Steps);
    m_colors[Steps + 1] = exact(key.z.maxValue());
    if (m_opaque) // premultiplied over black
        for (QRgb &color : m_colors)
            color |= 0xff000000u;
    m_rows.resize(std::size_t(key.rows) * std::size_t(key.cols + 2));
    m_rowSample.assign(std::size_t(key.rows), -1);
    m_base = 0;
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
    const int padded = cols + 2;
    const double dy = yi.width() / rows;
    struct Line
    {
        int row1 = -1, row2 = -1; //!< places in m_rows; -1: outside the raster
        float r = 0.0f;
    };
    std::vector<Line> lines(static_cast<std::size_t>(h));
    int low = rows, high = -1; // the matrix rows the picture reads
    for (int j = 0; j < h; ++j) {
        const double t = yMap.invTransform(j);
        if (!yi.contains(t))
            continue;
        const MatrixTaps taps = matrixTaps(t, yi.minValue(), dy, rows);
        Line &line = lines[std::size_t(j)];
        line.r = float(taps.r);
        line.row1 = int((m_base + taps.i1) % rows);
        line.row2 = int((m_base + taps.i2) % rows);
        low = qMin(low, qMin(taps.i1, taps.i2));
        high = qMax(high, qMax(taps.i1, taps.i2));
    }
    // The rows between those read are converted too: after a slide the
    // lines fall on them.
    std::vector<int> missing;
    for (int i = low; i <= high; ++i) {
        const qint64 sample = m_base + i;
        qint64 &kept = m_rowSample[std::size_t(sample % rows)];
        if (kept != sample) {
            kept = sample;
            missing.push_back(i);
        }
    }

    // The new rows in colour steps.
    const double *values = matrix->valueMatrix().constData();
    const double zMin = key.z.minValue();
    const double scale = Steps / key.z.width();
    inRenderBands(int(missing.size()), renderThreadCount(), [&](int a, int b) {
        for (int m = a; m < b; ++m) {
            const int i = missing[std::size_t(m)];
            float *out = m_rows.data() + std::size_t((m_base + i) % rows) * padded;
            const double *row = values + qsizetype(i) * cols;
            for (int c = 0; c < cols; ++c)
                out[c + 1] = float((row[c] - zMin) * scale + 1.0);
            out[0] = out[1];
            out[cols + 1] = out[cols];
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
    const float *kept = m_rows.data();
    const int *tapColumn = m_tapColumn.data();
    const float *tapWeight = m_tapWeight.data();
    const int x0 = m_x0;
    const int span = m_x1 - m_x0;
    inRenderBands(h, renderThreadCount(), [&](int j0, int j1) {
        std::vector<float> blend(std::size_t(padded) + 1);
        for (int j = j0; j < j1; ++j) {
            auto *out = reinterpret_cast<QRgb *>(bits + j * stride);
            const Line &line = lines[std::size_t(j)];
            if (line.row1 < 0) {
                std::fill(out, out + w, none);
                continue;
            }
            std::fill(out, out + x0, none);
            std::fill(out + x0 + span, out + w, none);
            // Bilinear is separable: the two rows blended first, at the
            // matrix's width, then across the pixels.
            const float *p1 = kept + std::size_t(line.row1) * padded;
            const float *p2 = kept + std::size_t(line.row2) * padded;
            const float r1 = line.r;
            const float r2 = 1.0f - line.r;
            float *v = blend.data() + 1; // v[-1] is the left padding cell
            for (int c = 0; c < padded; ++c)
                v[c - 1] = r1 * p1[c] + r2 * p2[c];
            linePixels(v, tapColumn, tapWeight, colors, out + x0, span);
        }
    });

    m_pictureRevision = m_revision;
    m_pictureSize = imageSize;
    std::copy(y, y + 4, m_pictureY);
    m_pictureRows = yi;
    return m_picture;
}
