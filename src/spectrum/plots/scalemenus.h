#pragma once

#include <qwt_interval.h>

#include <QString>

#include <optional>

class QMenu;
class QWidget;
class QwtPlot;
class QwtPlotGrid;
class SpectroPlot;
class WaterfallPlot;

// Right-click menus on the level axis of the spectrum plot and on the colour
// bar of the waterfall: a range typed as "low high" in dBm, or back to auto.
namespace ScaleMenus {
//! "low high" (space, comma or semicolon between) in dBm; nothing for text
//! that is not two different finite numbers within -200..200.
std::optional<QwtInterval> parseRange(const QString &text);
QString rangeText(double low, double high);

//! Asks for the level axis range of `plot` (through the dialog seam).
void askAmplitudeRange(SpectroPlot *plot);
//! Asks for the colour range of `plot` (through the dialog seam).
void askColorRange(WaterfallPlot *plot);

//! The menus, built anew for each right click; tests trigger their actions.
QMenu *amplitudeMenu(SpectroPlot *plot, QWidget *parent);
QMenu *colorRangeMenu(WaterfallPlot *plot, QWidget *parent);
//! Opens the menus on a right click on the left axis (spectrum) or the colour
//! bar (waterfall).
void install(SpectroPlot *spectro, WaterfallPlot *waterfall);

//! A dotted grid under the curves, hidden until switched on.
QwtPlotGrid *addGrid(QwtPlot *plot);
} // namespace ScaleMenus
