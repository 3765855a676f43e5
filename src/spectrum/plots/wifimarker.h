#pragma once

#include "wifiapinfo.h"

#include <qwt_plot_marker.h>

// A network's name in a dark box of its colour, centred just above the flat
// top of its curve.
class WifiMarker : public QwtPlotMarker
{
public:
    explicit WifiMarker(const WifiApInfo &ap);

protected:
    void drawLabel(QPainter *painter, const QRectF &canvasRect, const QPointF &pos) const override;
};
