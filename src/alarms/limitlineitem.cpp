#include "limitlineitem.h"

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_symbol.h>

#include <QMouseEvent>
#include <QPen>

#include <algorithm>
#include <cmath>

LimitLineItems::LimitLineItems(QwtPlot *plot, LimitBand band, QObject *parent)
    : QObject(parent), m_plot(plot), m_plotAlive(plot), m_canvas(plot->canvas()), m_band(band)
{
    m_canvas->installEventFilter(this);
}

LimitLineItems::~LimitLineItems()
{
    if (!m_plotAlive)
        return; // it deleted the curves with itself
    for (QwtPlotCurve *c : qAsConst(m_curves)) {
        c->detach();
        delete c;
    }
}

void LimitLineItems::setLimits(const QVector<LimitLine> &limits)
{
    for (QwtPlotCurve *c : qAsConst(m_curves)) {
        c->detach();
        delete c;
    }
    m_curves.clear();
    m_indexOf.clear();
    m_limits = limits;
    m_grab = Grab();
    for (int i = 0; i < limits.size(); ++i) {
        const LimitLine &line = limits.at(i);
        if (!line.enabled || line.band != m_band || line.points.isEmpty())
            continue;
        QVector<QPointF> points;
        for (const LimitPoint &p : line.points)
            points.append(QPointF(p.frequencyMHz, p.levelDbm));
        auto *curve = new QwtPlotCurve(line.name);
        curve->setSamples(points);
        curve->setPen(QPen(QColor(230, 40, 40), 2, Qt::DashLine));
        curve->setSymbol(new QwtSymbol(QwtSymbol::Rect, QBrush(QColor(230, 40, 40)),
                                       QPen(Qt::white), QSize(7, 7)));
        curve->setRenderHint(QwtPlotItem::RenderAntialiased);
        curve->setZ(40); // above the density raster, below the labels
        curve->attach(m_plot);
        m_curves.append(curve);
        m_indexOf.append(i);
    }
    m_plot->replot();
}

LimitLineItems::Grab LimitLineItems::pointAt(const QPoint &pos) const
{
    Grab best;
    double bestDistance = GrabPixels + 0.5;
    for (int c = 0; c < m_curves.size(); ++c) {
        const LimitLine &line = m_limits.at(m_indexOf.at(c));
        for (int p = 0; p < line.points.size(); ++p) {
            const double x = m_plot->transform(QwtPlot::xBottom, line.points.at(p).frequencyMHz);
            const double y = m_plot->transform(QwtPlot::yLeft, line.points.at(p).levelDbm);
            const double d = std::hypot(x - pos.x(), y - pos.y());
            if (d < bestDistance) {
                bestDistance = d;
                best = {c, p};
            }
        }
    }
    return best;
}

bool LimitLineItems::eventFilter(QObject *watched, QEvent *event)
{
    // A plot being destroyed still sends its canvas's child events here.
    if (watched != m_canvas || m_readOnly)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() != Qt::LeftButton)
            return false;
        m_grab = pointAt(me->pos());
        return m_grab.curve >= 0;
    }
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        if (m_grab.curve < 0)
            return false;
        auto *me = static_cast<QMouseEvent *>(event);
        const int index = m_indexOf.at(m_grab.curve);
        LimitLine &line = m_limits[index];
        LimitPoint &point = line.points[m_grab.point];
        // A point stays between its neighbours, so the line keeps its order.
        const double lo = m_grab.point > 0 ? line.points.at(m_grab.point - 1).frequencyMHz
                                           : m_plot->axisScaleDiv(QwtPlot::xBottom).lowerBound();
        const double hi = m_grab.point + 1 < line.points.size()
                              ? line.points.at(m_grab.point + 1).frequencyMHz
                              : m_plot->axisScaleDiv(QwtPlot::xBottom).upperBound();
        const double f = m_plot->invTransform(QwtPlot::xBottom, me->pos().x());
        const double level = m_plot->invTransform(QwtPlot::yLeft, me->pos().y());
        // Whole dB and kHz: what the scanner resolves and what the table shows.
        point.frequencyMHz =
            std::round(std::clamp(f, std::min(lo, hi), std::max(lo, hi)) * 1000) / 1000;
        point.levelDbm =
            std::round(std::clamp(level, LimitFile::MinLevelDbm, LimitFile::MaxLevelDbm));
        QVector<QPointF> points;
        for (const LimitPoint &p : line.points)
            points.append(QPointF(p.frequencyMHz, p.levelDbm));
        m_curves.at(m_grab.curve)->setSamples(points);
        m_plot->replot();
        if (event->type() == QEvent::MouseButtonRelease) {
            m_grab = Grab();
            emit lineEdited(index, line);
        }
        return true;
    }
    default:
        return false;
    }
}
