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

RasterSpectrogram::RasterSpectrogram(const QString &title) : QwtPlotSpectrogram(title) {}

QImage RasterSpectrogram::renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                      const QRectF &area, const QSize &imageSize) const
{
    using Sampler = std::function<void(const QVector<double> &, const QVector<double> &, double *)>;
    Sampler sampler;
    if (const auto *tnw = dynamic_cast<const TnwMatrixRasterData *>(data())) {
        sampler = [tnw](const QVector<double> &xs, const QVector<double> &ys, double *out) {
            tnw->sampleGrid(xs, ys, out);
        };
    } else if (const auto *matrix = dynamic_cast<const QwtMatrixRasterData *>(data())) {
        sampler = [matrix](const QVector<double> &xs, const QVector<double> &ys, double *out) {
            sampleMatrixGrid(*matrix, xs, ys, out);
        };
    }
    const QwtColorMap *map = colorMap();
    if (!sampler || !map || map->format() != QwtColorMap::RGB || imageSize.isEmpty())
        return QwtPlotSpectrogram::renderImage(xMap, yMap, area, imageSize);

    const QwtInterval range = data()->interval(Qt::ZAxis);
    if (!range.isValid())
        return QImage();

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
    if (m_image.size() != imageSize || m_image.format() != QImage::Format_ARGB32_Premultiplied)
        m_image = QImage(imageSize, QImage::Format_ARGB32_Premultiplied);
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
        values.resize(w * Block);
        for (int b0 = j0; b0 < j1; b0 += Block) {
            const int n = qMin(Block, j1 - b0);
            sampler(xs, ys.mid(b0, n), values.data());
            const double *v = values.constData();
            for (int j = b0; j < b0 + n; ++j) {
                auto *line = reinterpret_cast<QRgb *>(bits + j * stride);
                if (fast) {
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
