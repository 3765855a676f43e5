#include "wifimarker.h"

#include <QPainter>

WifiMarker::WifiMarker(const WifiApInfo &ap)
{
    setRenderHint(QwtPlotItem::RenderAntialiased, true);
    setLineStyle(QwtPlotMarker::NoLine);
    QwtText text(ap.ssid);
    if (!ap.ssid.isEmpty()) {
        text.setBorderRadius(2);
        text.setColor(ap.color);
        text.setBorderPen(QPen(ap.color));
        QColor background = ap.color;
        background.setAlpha(192);
        text.setBackgroundBrush(QBrush(background.darker(500), Qt::SolidPattern));
    }
    setLabel(text);
    setLabelAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setValue(ap.frequency, ap.rssi);
}

void WifiMarker::drawLabel(QPainter *painter, const QRectF &, const QPointF &pos) const
{
    const QwtText text = label();
    if (text.isEmpty())
        return;
    const QSizeF size = text.textSize(painter->font());
    const double w = size.width();
    const double h = size.height();
    painter->save();
    painter->translate(pos.x() - w / 2, pos.y() - (linePen().widthF() / 2 + 5) - h);
    text.draw(painter, QRectF(-5, -3, w + 5, h + 3));
    painter->restore();
}
