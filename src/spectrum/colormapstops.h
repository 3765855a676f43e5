#pragma once

#include "customcolors.h"

#include <qwt_color_map.h>

// Puts a colour file's list on a map: the ends first, then every element as a
// stop (a stop at 0 or 1 replaces that end; Qwt drops values outside 0..1).
inline void applyCustomColors(QwtLinearColorMap *map, const CustomColorList &list)
{
    map->setColorInterval(list.colorAt0, list.colorAt1);
    for (const auto &stop : list.stops)
        map->addColorStop(stop.first, stop.second);
}
