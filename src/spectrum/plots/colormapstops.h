#pragma once

#include "customcolors.h"

#include <qwt_color_map.h>

// Puts a colour file's list on a map: the ends (first element at 1, last at
// 0, or an element whose value is exactly 0 or 1), then every element inside
// 0..1 as a stop. Qwt's stop insertion replaces the next higher stop when the
// new one lies within 0.001 of it, so adding the 0 end last would swallow the
// built-in file's stop at 0.0001 and leave the lowest densities transparent
// instead of blue; setting the ends first keeps every interior stop.
inline void applyCustomColors(QwtLinearColorMap *map, const CustomColorList &list)
{
    QColor at0 = list.colorAt0;
    QColor at1 = list.colorAt1;
    for (const auto &stop : list.stops) {
        if (stop.first == 0.0)
            at0 = stop.second;
        else if (stop.first == 1.0)
            at1 = stop.second;
    }
    map->setColorInterval(at0, at1);
    for (const auto &stop : list.stops)
        if (stop.first > 0.0 && stop.first < 1.0)
            map->addColorStop(stop.first, stop.second);
}
