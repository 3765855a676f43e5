#include "wificurve.h"

#include <QPen>
#include <QVector>

// The quadratic through (x0, y0), (x0 + 1, y1), (x0 + 2, y2) at x, in
// Lagrange form.
static double quadratic(double x0, double y0, double y1, double y2, double x)
{
    const double x1 = x0 + 1, x2 = x0 + 2;
    return y0 * (x - x1) * (x - x2) / ((x0 - x1) * (x0 - x2)) +
           y1 * (x - x0) * (x - x2) / ((x1 - x0) * (x1 - x2)) +
           y2 * (x - x0) * (x - x1) / ((x2 - x0) * (x2 - x1));
}

WifiCurve::WifiCurve(const WifiApInfo &ap) : QwtPlotCurve(ap.ssid)
{
    QColor color = ap.color;
    color.setAlpha(192);
    setPen(QPen(color, 2, Qt::SolidLine));
    setStyle(QwtPlotCurve::Lines);
    setRenderHint(QwtPlotItem::RenderAntialiased, true);

    const int left = ap.frequency - ap.width / 2;
    const int right = ap.frequency + ap.width / 2;
    const double mid = (ap.rssi + 100) * 0.25 - 100;
    QVector<QPointF> points;
    points.reserve(22);
    for (int k = 0; k <= 10; ++k) {
        const double x = left + 0.2 * k;
        points.append({x, quadratic(left, -100, mid, ap.rssi, x)});
    }
    for (int k = 0; k <= 10; ++k) {
        const double x = right - 2 + 0.2 * k;
        points.append({x, quadratic(right - 2, ap.rssi, mid, -100, x)});
    }
    setSamples(points);
}
