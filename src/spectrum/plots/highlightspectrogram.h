#pragma once

#include "rasterspectrogram.h"

// The hit-count overlay of the spectrum plot. It multiplies its colours into
// the density picture below it: white leaves it, dark grey darkens it.
// When the density item renders it into its own picture (fusedInto), it
// draws nothing itself.
class HighlightSpectrogram : public RasterSpectrogram
{
public:
    explicit HighlightSpectrogram(const QString &title = QString());

    //! The item whose picture carries this one's (nullptr: drawn on its own).
    void setFusedInto(const RasterSpectrogram *base) { m_base = base; }

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override;

private:
    const RasterSpectrogram *m_base = nullptr;
};
