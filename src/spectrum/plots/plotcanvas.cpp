#include "plotcanvas.h"

#include <qwt_plot.h>

#include <QPaintEvent>
#include <QPainter>

void configureLiveCanvas(QWidget *canvas)
{
    if (auto *plotCanvas = qobject_cast<QwtPlotCanvas *>(canvas)) {
        plotCanvas->setPaintAttribute(QwtPlotCanvas::BackingStore, false);
        plotCanvas->setPaintAttribute(QwtPlotCanvas::ImmediatePaint, true);
        // Qwt's attribute only ever sets the widget attribute; clear both.
        plotCanvas->setPaintAttribute(QwtPlotCanvas::Opaque, false);
        plotCanvas->setAttribute(Qt::WA_OpaquePaintEvent, false);
    }
}

OpaqueCanvas::OpaqueCanvas(QwtPlot *plot) : QwtPlotCanvas(plot) {}

bool OpaqueCanvas::event(QEvent *event)
{
    const bool done = QwtPlotCanvas::event(event);
    // Opaque to Qt only (not Qwt's opaque painting, which would fill the
    // canvas twice first); polishing with a style sheet clears it again.
    switch (event->type()) {
    case QEvent::Polish:
    case QEvent::PolishRequest:
    case QEvent::StyleChange:
    case QEvent::Show:
        setAttribute(Qt::WA_OpaquePaintEvent, true);
        break;
    default:
        break;
    }
    return done;
}

void OpaqueCanvas::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect contents = contentsRect();
    for (const QRect &r : event->region().subtracted(contents))
        painter.fillRect(r, Qt::black);
    painter.setClipRegion(event->region().intersected(contents));
    plot()->drawCanvas(&painter);
}
