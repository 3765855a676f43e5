#pragma once

#include "rasterspectrogram.h"

// The hit-count overlay of the spectrum plot. It multiplies its colours into
// the density picture below it: white leaves it, dark grey darkens it.
class HighlightSpectrogram : public RasterSpectrogram
{
public:
    explicit HighlightSpectrogram(const QString &title = QString());

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override;
};
