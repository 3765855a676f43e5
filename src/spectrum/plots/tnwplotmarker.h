#pragma once

#include <qwt_plot_marker.h>

// A marker whose label wraps onto several lines instead of growing wider
// than maxLabelWidth pixels, and is kept inside the canvas.
class TnwPlotMarker : public QwtPlotMarker
{
public:
    explicit TnwPlotMarker(const QString &title = QString());

    double maxLabelWidth = 0.0; //!< pixels; 0 = no limit

    //! The size the label is placed and drawn in for a text of `textSize`.
    static QSizeF wrappedSize(const QSizeF &textSize, double maxWidth);
    //! How far `box` must move to lie inside `canvas` (its start wins when it
    //! is larger than the canvas).
    static QPointF inwardShift(const QRectF &box, const QRectF &canvas);

protected:
    void drawLabel(QPainter *painter, const QRectF &canvasRect, const QPointF &pos) const override;
};
