#include "plotcanvas.h"

#include <qwt_plot_canvas.h>

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
