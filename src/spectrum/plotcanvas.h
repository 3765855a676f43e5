#pragma once

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
