#include "highlightspectrogram.h"

#include <QPainter>

HighlightSpectrogram::HighlightSpectrogram(const QString &title) : RasterSpectrogram(title) {}

void HighlightSpectrogram::draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                const QRectF &canvasRect) const
{
    if (m_base && m_base->overlay() == this && m_base->overlayFused())
        return;
    painter->setCompositionMode(QPainter::CompositionMode_Multiply);
    RasterSpectrogram::draw(painter, xMap, yMap, canvasRect);
}
