#include "waterfallcolormap.h"

#include "colormapstops.h"

WaterfallColorMap::WaterfallColorMap() : QwtLinearColorMap(QwtColorMap::RGB)
{
    if (const auto list = CustomColors::load(QStringLiteral("WaterfallPlot"))) {
        applyCustomColors(this, *list);
        return;
    }
    QColor from(Qt::darkCyan);
    from.setAlpha(0);
    setColorInterval(from, Qt::red);
    addColorStop(0.1, QColor(0, 255, 255, 127));
    addColorStop(0.5, Qt::yellow);
}

WaterfallColorMap::~WaterfallColorMap() = default;
