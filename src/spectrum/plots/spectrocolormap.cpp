#include "spectrocolormap.h"

#include "colormapstops.h"

// Density 0 must stay transparent so the black canvas shows where no sweep
// reached a level.
SpectroColorMap::SpectroColorMap() : QwtLinearColorMap(QwtColorMap::RGB)
{
    if (const auto list = CustomColors::load(QStringLiteral("SpectroPlot"))) {
        applyCustomColors(this, *list);
        return;
    }
    QColor from(Qt::darkCyan);
    from.setAlpha(0);
    setColorInterval(from, Qt::red);
    QColor cyan(Qt::cyan);
    cyan.setAlpha(128);
    addColorStop(0.2, cyan);
    addColorStop(0.7, Qt::yellow);
}

SpectroColorMap::~SpectroColorMap() = default;
