#include "highlightspectrogram.h"

#include "tnwmatrixrasterdata.h"

#include <qwt_color_map.h>
#include <qwt_scale_map.h>

#include <QImage>
#include <QPainter>

HighlightSpectrogram::HighlightSpectrogram(const QString &title) : QwtPlotSpectrogram(title) {}

void HighlightSpectrogram::draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                const QRectF &canvasRect) const
{
    painter->setCompositionMode(QPainter::CompositionMode_Multiply);
    QwtPlotSpectrogram::draw(painter, xMap, yMap, canvasRect);
}

QImage HighlightSpectrogram::renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                         const QRectF &area, const QSize &imageSize) const
{
    const auto *raster = dynamic_cast<const TnwMatrixRasterData *>(data());
    const QwtColorMap *map = colorMap();
    if (!raster || !map || map->format() != QwtColorMap::RGB || imageSize.isEmpty())
        return QwtPlotSpectrogram::renderImage(xMap, yMap, area, imageSize);

    const QwtInterval range = raster->interval(Qt::ZAxis);
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

    QVector<double> values(w * h);
    raster->sampleGrid(xs, ys, values.data());

    QImage image(imageSize, QImage::Format_ARGB32);
    const double *v = values.constData();
    for (int j = 0; j < h; ++j) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(j));
        for (int i = 0; i < w; ++i)
            line[i] = map->rgb(range, *v++);
    }
    return image;
}
