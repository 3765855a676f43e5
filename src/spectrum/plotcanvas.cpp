#include "plotcanvas.h"

#include <qwt_plot_canvas.h>

void configureLiveCanvas(QWidget *canvas)
{
    if (auto *plotCanvas = qobject_cast<QwtPlotCanvas *>(canvas)) {
        plotCanvas->setPaintAttribute(QwtPlotCanvas::BackingStore, false);
        plotCanvas->setPaintAttribute(QwtPlotCanvas::ImmediatePaint, true);
        plotCanvas->setPaintAttribute(QwtPlotCanvas::Opaque, false);
    }
}
