#include "rasterspectrogram.h"

#include "linearcolorlookup.h"
#include "matrixgrid.h"
#include "tnwmatrixrasterdata.h"

#include <qwt_color_map.h>
#include <qwt_matrix_raster_data.h>
#include <qwt_scale_map.h>

#include <QImage>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <functional>

namespace {

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

} // namespace

RasterSpectrogram::RasterSpectrogram(const QString &title) : QwtPlotSpectrogram(title) {}

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

QImage RasterSpectrogram::renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                      const QRectF &area, const QSize &imageSize) const
{
    if (!m_cacheEnabled)
        return render(xMap, yMap, area, imageSize);
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
    m_cacheValid = image.constBits() == m_image.constBits() && !image.isNull();
    m_cacheKey = key;
    return image;
}

QImage RasterSpectrogram::render(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                 const QRectF &area, const QSize &imageSize) const
{
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
    const LinearColorLookup overLookup(overMap);
    // Tabled colours for the plots; the exact ones stay for comparison.
    const ColorTable table(m_colorTable ? map : nullptr, range);
    const ColorTable overTable(m_colorTable ? overMap : nullptr, overRange);
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
    if (m_image.size() != imageSize || m_image.format() != format)
        m_image = QImage(imageSize, format);
    QImage &image = m_image;
    uchar *const bits = image.bits(); // detaches here, on this thread
    const qsizetype stride = image.bytesPerLine();
    const LinearColorLookup lookup(map);
    const double zMin = range.minValue();
    const double zWidth = range.width();
    const bool fast = lookup.isUsable() && zWidth > 0.0;
    // Opaque and fully transparent colours need no arithmetic.
    auto premultiplied = [](QRgb c) {
        const uint a = qAlpha(c);
        return a == 255 ? c : a == 0 ? 0u : qPremultiply(c);
    };

    // Pixel lines [j0, j1), a block at a time so the sampled values stay in
    // the cache between sampling and colouring.
    auto renderLines = [&](int j0, int j1) {
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

    // The render threads of the base class, done here: all but the last
    // band of lines go to the pool, the last is drawn on this thread. A band
    // the pool has no thread for right now is drawn here too, so a busy pool
    // never stalls a replot.
    const int threads = qBound(
        1, renderThreadCount() > 0 ? int(renderThreadCount()) : QThread::idealThreadCount(), h);
    const int band = h / threads;
    QSemaphore done;
    for (int t = 0; t < threads - 1; ++t) {
        auto job = [&, t] {
            renderLines(t * band, (t + 1) * band);
            done.release();
        };
        if (!QThreadPool::globalInstance()->tryStart(job))
            job();
    }
    renderLines((threads - 1) * band, h);
    done.acquire(threads - 1);
    return image;
}
