#pragma once

#include <qwt_plot_spectrogram.h>

#include <QImage>

// A spectrogram that renders matrix rasters (QwtMatrixRasterData and
// TnwMatrixRasterData) in one separable pass over the pixel grid instead of
// one value() call per pixel, split over the processors. The pixels are the
// same as QwtPlotSpectrogram's; other rasters render as the base class does.
class RasterSpectrogram : public QwtPlotSpectrogram
{
public:
    explicit RasterSpectrogram(const QString &title = QString());

protected:
    QImage renderImage(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &area,
                       const QSize &imageSize) const override;

private:
    mutable QImage m_image; //!< reused by the next render; only the GUI thread renders
};
