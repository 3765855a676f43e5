#pragma once

#include <QString>

class QwtColorMap;
class QwtPlot;
class QwtThermo;

// The colour-bar legend both plots carry inside their canvas, at its right
// edge: a title over a full thermo that shows the whole colour map.
// Takes ownership of `colorMap`.
QwtThermo *installColorBar(QwtPlot *plot, const QString &title, QwtColorMap *colorMap, double min,
                           double max);
