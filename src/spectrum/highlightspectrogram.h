#pragma once

#include <qwt_plot_spectrogram.h>

// The hit-count overlay of the spectrum plot. It multiplies its colours into
// the density picture below it: white leaves it, dark grey darkens it.
class HighlightSpectrogram : public QwtPlotSpectrogram
{
public:
    explicit HighlightSpectrogram(const QString &title = QString());

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override;

protected:
    // The bicubic raster over the whole canvas is the costliest part of a
    // replot; its image is sampled on the pixel grid in one separable pass.
    // Same pixels as the base class would compute.
    QImage renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &area,
                       const QSize &imageSize) const override;
};
