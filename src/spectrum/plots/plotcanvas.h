#pragma once

#include <qwt_plot_canvas.h>

class QWidget;

// The canvas settings of the live plots:
//  - painted within replot(), so the page can time a whole drawing and keep
//    live redraws within their budget;
//  - without the canvas's own backing store, which costs two copies of the
//    whole picture per replot (into it and out of it); the kept raster
//    pictures make redrawing the items for an overlay's repaint cheap;
//  - not "opaque": Qwt would copy the parent's background under the whole
//    canvas first; Qt paints the canvas's own black background instead.
void configureLiveCanvas(QWidget *canvas);

// A live canvas whose items paint every pixel of its contents (the
// waterfall's picture, opaque and black where it has no data). It tells the
// window system so: no widget below it fills its background under the
// canvas first, which with a style sheet every one of them would do, at the
// canvas's size, for every picture. Its frame is the canvas's black.
class OpaqueCanvas : public QwtPlotCanvas
{
public:
    explicit OpaqueCanvas(QwtPlot *plot);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
