#include "waterfallspectrogram.h"

#include "linearcolorlookup.h"
#include "renderslices.h"

#include <qwt_color_map.h>
#include <qwt_matrix_raster_data.h>
#include <qwt_scale_map.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
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
// compiler runs them several pixels at a time, then the table reads, into
// `copy` as well unless it is null.
__attribute__((target_clones("avx2", "default"))) void
linePixels(const qint16 *__restrict a, const qint16 *__restrict b, int wa, float k, float c,
           const QRgb *__restrict colors, int *__restrict steps, QRgb *__restrict out, int n,
           QRgb *__restrict copy = nullptr)
{
    const int wb = WeightOne - wa;
    for (int i = 0; i < n; ++i) {
        const float p = float(wa * a[i] + wb * b[i]) * k + c;
        // In this order a NaN would give step 0, not a read outside the table.
        steps[i] = int(std::min(float(TopStep), std::max(0.0f, p)));
    }
    if (copy) {
        for (int i = 0; i < n; ++i)
            out[i] = copy[i] = colors[steps[i]];
        return;
    }
    for (int i = 0; i < n; ++i)
        out[i] = colors[steps[i]];
}

// Each pixel column's left cell and weight, as the matrix's value() has
// them, for the pixels offset .. offset + width - 1 of the x map; the run of
// columns inside the raster is one, [x0, x1), the map being monotonic.
void columnTaps(const QwtScaleMap &xMap, double offset, int width, const QwtInterval &x, int cols,
                int &x0, int &x1, std::vector<int> &column, std::vector<float> &weight)
{
    const double dx = x.width() / cols;
    x0 = width;
    x1 = 0;
    column.clear();
    weight.clear();
    for (int i = 0; i < width; ++i) {
        const double v = xMap.invTransform(offset + i);
        if (!x.contains(v))
            continue;
        if (x1 <= x0)
            x0 = i;
        x1 = i + 1;
        const MatrixTaps taps = matrixTaps(v, x.minValue(), dx, cols);
        // An edge cell is its own partner: a padding cell holds it again.
        const int left = taps.i1 == taps.i2 ? (taps.i1 == 0 ? -1 : taps.i1) : taps.i1;
        column.push_back(left);
        weight.push_back(float(taps.r));
    }
    if (x1 <= x0)
        x0 = x1 = 0;
}

// Step 0 is the low end's colour, TopStep the high end's, as the map gives
// them outside the range.
void buildColors(const QwtColorMap *map, const QwtInterval &z, bool opaque,
                 std::vector<QRgb> &colors)
{
    const LinearColorLookup lookup(map);
    auto exact = [&](double v) {
        return premultiplied(lookup.isUsable() ? lookup.rgb(z, v) : map->rgb(z, v));
    };
    colors.resize(TopStep + 1);
    colors[0] = exact(z.minValue());
    for (int i = 0; i < Steps; ++i)
        colors[std::size_t(i + 1)] = exact(z.minValue() + (i + 0.5) * z.width() / Steps);
    colors[TopStep] = exact(z.maxValue());
    if (opaque) // premultiplied over black
        for (QRgb &color : colors)
            color |= 0xff000000u;
}

// A row of cells (v[-1] and v[cols] repeat the end cells) across the pixel
// columns, in row units.
void rowAcross(const float *v, const int *tapColumn, const float *tapWeight, int span, qint16 *out)
{
    for (int k = 0; k < span; ++k) {
        const int c = tapColumn[k];
        const float cr = tapWeight[k];
        out[k] = qint16(qRound(cr * v[c] + (1.0f - cr) * v[c + 1]));
    }
}

} // namespace

struct WaterfallSpectrogram::Live
{
    bool on = false;
    RfSpectrumSampleList samples;
    int columns = 0;
    std::function<void()> prepare;
    int rendered = -1;

    // The picture: ring line (top + j) % height is the canvas's line j.
    bool valid = false;
    QImage ring;
    int top = 0;
    QRect rect;
    double xs1 = 0, xs2 = 0, xp1 = 0, xp2 = 0, yp1 = 0, yp2 = 0, ys2 = 0, span = 0;
    QwtInterval x, z;
    const void *map = nullptr;
    int cols = 0;
    double newest = 0, oldest = 0; //!< the raster's Y interval then
    double rowMs = 0;

    int x0 = 0, x1 = 0;
    std::vector<int> tapColumn;
    std::vector<float> tapWeight;
    std::vector<QRgb> colors;
    std::vector<float> padded;
    std::vector<int> steps;

    // The last sweeps converted across the pixel columns.
    struct Row
    {
        const qint8 *levels = nullptr;
        qint64 time = 0;
        int size = -1;
        std::vector<qint16> values;
    };
    Row cache[4];
    int nextSlot = 0;

    void forgetRows()
    {
        for (Row &r : cache)
            r.size = -1;
    }

    const qint16 *row(int index, const qint16 *keep)
    {
        const RfSpectrumSample &sample = samples.at(index);
        const qint8 *levels = sample.spectrum.constData();
        const int size = sample.spectrum.size();
        for (const Row &r : cache)
            if (r.size == size && r.levels == levels && r.time == sample.timeStamp)
                return r.values.data();
        Row *slot = &cache[nextSlot];
        nextSlot = (nextSlot + 1) % 4;
        if (slot->values.data() == keep && keep) {
            slot = &cache[nextSlot];
            nextSlot = (nextSlot + 1) % 4;
        }
        const int n = columns;
        padded.resize(std::size_t(n) + 2);
        float *v = padded.data() + 1;
        for (int c = 0; c < n; ++c)
            v[c] = float((c < size ? levels[c] : NoDataLevel) * RowUnits);
        v[-1] = v[0];
        v[n] = v[n - 1];
        slot->values.resize(std::size_t(x1 - x0));
        rowAcross(v, tapColumn.data(), tapWeight.data(), x1 - x0, slot->values.data());
        slot->levels = levels;
        slot->time = sample.timeStamp;
        slot->size = size;
        return slot->values.data();
    }
};

WaterfallSpectrogram::WaterfallSpectrogram() : m_live(new Live) {}
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
    m_live->valid = false;
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
        columnTaps(xMap, 0.0, key.width, key.x, key.cols, m_x0, m_x1, m_tapColumn, m_tapWeight);
        m_rows.clear();
        m_rowSample.assign(std::size_t(key.rows), -1);
        m_base = 0;
    }
    if (sameColors)
        return;

    buildColors(static_cast<const QwtColorMap *>(key.map), key.z, m_opaque, m_colors);
}

bool WaterfallSpectrogram::keyFor(const QwtScaleMap &xMap, int width, Key &key) const
{
    const auto *matrix = dynamic_cast<const QwtMatrixRasterData *>(data());
    const QwtColorMap *map = colorMap();
    if (!m_enabled || !matrix || !map || map->format() != QwtColorMap::RGB || overlay() ||
        !colorTableEnabled() || width < 1 ||
        matrix->resampleMode() != QwtMatrixRasterData::BilinearInterpolation)
        return false;
    key.s1 = xMap.s1();
    key.s2 = xMap.s2();
    key.p1 = xMap.p1();
    key.p2 = xMap.p2();
    key.width = width;
    key.cols = matrix->numColumns();
    key.rows = matrix->numRows();
    key.x = matrix->interval(Qt::XAxis);
    key.z = matrix->interval(Qt::ZAxis);
    key.map = map;
    const QwtInterval yi = matrix->interval(Qt::YAxis);
    return key.cols >= 1 && key.rows >= 1 && key.x.isValid() && yi.isValid() && key.z.isValid() &&
           key.x.width() > 0.0 && yi.width() > 0.0 && key.z.width() > 0.0 &&
           matrix->valueMatrix().size() == qsizetype(key.cols) * key.rows;
}

bool WaterfallSpectrogram::opaquePicture(const QRectF &canvasRect) const
{
    // The picture is at most the canvas wide; a pixel more either side in
    // case the rectangle's edges round outwards.
    const int width = int(std::ceil(canvasRect.width())) + 2;
    Key key;
    return m_opaque && keyFor(QwtScaleMap(), width, key) &&
           qint64(key.rows) * width <= MaxKeptValues;
}

QImage WaterfallSpectrogram::renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                         const QRectF &area, const QSize &imageSize) const
{
    setPictureDirect(false);
    Key key;
    if (imageSize.isEmpty() || !keyFor(xMap, imageSize.width(), key))
        return RasterSpectrogram::renderImage(xMap, yMap, area, imageSize);
    // Rows too many to keep at the picture's width: rendered whole.
    if (qint64(key.rows) * key.width > MaxKeptValues) {
        m_keyValid = false;
        m_rows = {};
        m_rowSample = {};
        return RasterSpectrogram::renderImage(xMap, yMap, area, imageSize);
    }
    const auto *matrix = static_cast<const QwtMatrixRasterData *>(data());
    const QwtInterval yi = matrix->interval(Qt::YAxis);
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
    inRenderSlices(int(missing.size()), renderThreadCount(), [&](int a, int b) {
        std::vector<float> padded(std::size_t(cols) + 2);
        float *v = padded.data() + 1; // v[-1] is the left padding cell
        for (int m = a; m < b; ++m) {
            const int i = missing[std::size_t(m)];
            const double *row = values + qsizetype(i) * cols;
            for (int c = 0; c < cols; ++c)
                v[c] = float(qBound(-32767.0, row[c] * RowUnits, 32767.0));
            v[-1] = v[0];
            v[cols] = v[cols - 1];
            rowAcross(v, tapColumn, tapWeight, span,
                      m_rows.data() + std::size_t((m_base + i) % rows) * span);
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
    // An opaque picture goes straight into the device as well, each pixel
    // as it is coloured, instead of a copy of the whole on the GUI thread
    // afterwards.
    const DirectLines device = m_opaque ? directLines(area, imageSize) : DirectLines();
    inRenderSlices(h, renderThreadCount(), [&](int j0, int j1) {
        std::vector<int> steps(std::size_t(qMax(span, 1)));
        for (int j = j0; j < j1; ++j) {
            auto *out = reinterpret_cast<QRgb *>(bits + j * stride);
            auto *copy = device.isValid() ? reinterpret_cast<QRgb *>(device.line(j)) : nullptr;
            const Line &line = lines[std::size_t(j)];
            const auto fill = [&](int from, int to) {
                std::fill(out + from, out + to, none);
                if (copy)
                    std::fill(copy + from, copy + to, none);
            };
            if (line.row1 < 0) {
                fill(0, w);
                continue;
            }
            fill(0, x0);
            fill(x0 + span, w);
            linePixels(kept + std::size_t(line.row1) * span, kept + std::size_t(line.row2) * span,
                       line.weight, k, c, colors, steps.data(), out + x0, span,
                       copy ? copy + x0 : nullptr);
        }
    });
    setPictureDirect(device.isValid());

    m_pictureRevision = m_revision;
    m_pictureSize = imageSize;
    std::copy(y, y + 4, m_pictureY);
    m_pictureRows = yi;
    return device.isValid() ? QImage() : m_picture;
}

void WaterfallSpectrogram::setLiveSelection(const RfSpectrumSampleList &samples, int columns)
{
    Live &live = *m_live;
    live.on = true;
    live.samples = samples;
    if (columns != live.columns) {
        live.columns = columns;
        live.valid = false;
    }
}

void WaterfallSpectrogram::leaveLive()
{
    Live &live = *m_live;
    live.on = false;
    live.valid = false;
    live.rendered = -1;
    live.samples.clear();
    live.forgetRows();
}

bool WaterfallSpectrogram::isLive() const
{
    return m_live->on;
}

void WaterfallSpectrogram::setMatrixPreparer(std::function<void()> prepare)
{
    m_live->prepare = std::move(prepare);
}

int WaterfallSpectrogram::liveLinesRendered() const
{
    return m_live->rendered;
}

void WaterfallSpectrogram::draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                const QRectF &canvasRect) const
{
    Live &live = *m_live;
    if (live.on) {
        if (drawLive(painter, xMap, yMap, canvasRect))
            return;
        live.rendered = -1;
        live.valid = false;
        if (live.prepare)
            live.prepare();
    }
    RasterSpectrogram::draw(painter, xMap, yMap, canvasRect);
}

bool WaterfallSpectrogram::drawLive(QPainter *painter, const QwtScaleMap &xMap,
                                    const QwtScaleMap &yMap, const QRectF &canvasRect) const
{
    Live &live = *m_live;
    const auto *matrix = dynamic_cast<const QwtMatrixRasterData *>(data());
    const QwtColorMap *map = colorMap();
    const QRect rect = canvasRect.toAlignedRect();
    if (!matrix || !map || map->format() != QwtColorMap::RGB || live.samples.isEmpty() ||
        live.columns < 1 || rect.isEmpty())
        return false;
    const QwtInterval x = matrix->interval(Qt::XAxis);
    const QwtInterval z = matrix->interval(Qt::ZAxis);
    const QwtInterval yi = matrix->interval(Qt::YAxis);
    if (!x.isValid() || !(x.width() > 0.0) || !z.isValid() || !(z.width() > 0.0) || !yi.isValid() ||
        !(yi.width() > 0.0))
        return false;
    const int w = rect.width();
    const int h = rect.height();
    const double span = yMap.s2() - yMap.s1();
    const double pixels = yMap.p1() - yMap.p2(); // the time axis grows upwards

    // The picture scrolls when only the time moved on, by whole pixel lines.
    bool scroll = live.valid && live.rect == rect && live.ring.size() == rect.size() &&
                  live.xs1 == xMap.s1() && live.xs2 == xMap.s2() && live.xp1 == xMap.p1() &&
                  live.xp2 == xMap.p2() && live.yp1 == yMap.p1() && live.yp2 == yMap.p2() &&
                  std::abs(span - live.span) <= 1e-9 * std::abs(span) && live.x == x &&
                  live.z == z && live.map == map && live.cols == live.columns && pixels > 0.0 &&
                  span > 0.0;
    int moved = 0;
    if (scroll) {
        const double lines = (yMap.s2() - live.ys2) / (span / pixels);
        scroll = lines > -1e-3 && lines < h && std::abs(lines - std::round(lines)) < 1e-3;
        moved = scroll ? int(std::lround(lines)) : 0;
    }

    if (!scroll) {
        // The faithful picture, into the ring.
        if (live.prepare)
            live.prepare();
        if (live.ring.size() != rect.size())
            live.ring = QImage(rect.size(), QImage::Format_RGB32);
        live.ring.fill(0xff000000u);
        {
            QPainter ring(&live.ring);
            ring.translate(-rect.topLeft());
            RasterSpectrogram::draw(&ring, xMap, yMap, canvasRect);
        }
        live.top = 0;
        columnTaps(xMap, rect.left(), w, x, live.columns, live.x0, live.x1, live.tapColumn,
                   live.tapWeight);
        buildColors(map, z, true, live.colors);
        live.forgetRows();
        live.rendered = h;
    } else {
        live.top = ((live.top - moved) % h + h) % h;
        const int rows = live.samples.size();
        const double rowMs = yi.width() / rows;
        const int across = live.x1 - live.x0;
        live.steps.resize(std::size_t(qMax(across, 1)));
        const double scale = Steps / z.width();
        const float k = float(scale / (RowUnits * WeightOne));
        const float c = float(1.0 - z.minValue() * scale);
        auto line = [&](int j) {
            return reinterpret_cast<QRgb *>(live.ring.scanLine((live.top + j) % h));
        };
        auto time = [&](int j) { return yMap.invTransform(rect.top() + j + 0.5); };
        // The new lines at the top, and those drawn while the newest sweep
        // of then lay within a row of them: they showed that sweep
        // stretched to the top, the new sweeps are between.
        // (Nothing, when the selection is the same.)
        const bool same = moved == 0 && yi.maxValue() == live.newest &&
                          yi.minValue() == live.oldest && rows * live.rowMs == yi.width();
        const double since = same ? yi.maxValue() + 1.0 : live.newest - live.rowMs;
        int j = 0;
        for (; j < h; ++j) {
            const double t = time(j);
            if (j >= moved && t <= since)
                break;
            QRgb *out = line(j);
            if (t < yi.minValue() || across <= 0) {
                std::fill(out, out + w, 0xff000000u);
                continue;
            }
            const MatrixTaps taps = matrixTaps(qMin(t, yi.maxValue()), yi.minValue(), rowMs, rows);
            const qint16 *a = live.row(taps.i1, nullptr);
            const qint16 *b = live.row(taps.i2, a);
            std::fill(out, out + live.x0, 0xff000000u);
            std::fill(out + live.x1, out + w, 0xff000000u);
            linePixels(a, b, qRound(qBound(0.0, taps.r, 1.0) * WeightOne), k, c, live.colors.data(),
                       live.steps.data(), out + live.x0, across);
        }
        live.rendered = j;
        // Sweeps that left the selection at its old end leave black (and
        // the faithful picture's last line may reach a little further).
        const double blackBelow = live.oldest - 2.0 * span / pixels;
        for (int b = h - 1; b >= j; --b) {
            const double t = time(b);
            if (t >= yi.minValue())
                break;
            if (t >= blackBelow) {
                QRgb *out = line(b);
                std::fill(out, out + w, 0xff000000u);
            }
        }
    }

    live.valid = true;
    live.rect = rect;
    live.xs1 = xMap.s1();
    live.xs2 = xMap.s2();
    live.xp1 = xMap.p1();
    live.xp2 = xMap.p2();
    live.yp1 = yMap.p1();
    live.yp2 = yMap.p2();
    live.ys2 = yMap.s2();
    live.span = span;
    live.x = x;
    live.z = z;
    live.map = map;
    live.cols = live.columns;
    live.newest = yi.maxValue();
    live.oldest = yi.minValue();
    live.rowMs = yi.width() / live.samples.size();

    const int upper = h - live.top; // ring lines [top, h) first
    painter->drawImage(QPointF(rect.left(), rect.top()), live.ring, QRectF(0, live.top, w, upper));
    if (live.top > 0)
        painter->drawImage(QPointF(rect.left(), rect.top() + upper), live.ring,
                           QRectF(0, 0, w, live.top));
    return true;
}
