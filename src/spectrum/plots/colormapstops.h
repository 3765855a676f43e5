#pragma once

#include "customcolors.h"

#include <qwt_color_map.h>
#include <qwt_interval.h>

#include <QVector>
#include <QtEndian>

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

// What a map shows on a range, to tell whether its colours changed in place
// (a colour file): a linear map is its stops, whose places and colours tell it
// whole; any other map is probed at 97 places.
inline QVector<QRgb> colorMapFingerprint(const QwtColorMap *map, const QwtInterval &range)
{
    QVector<QRgb> probe;
    if (!map || !(range.width() > 0.0))
        return probe;
    if (const auto *linear = dynamic_cast<const QwtLinearColorMap *>(map)) {
        const QVector<double> stops = linear->colorStops();
        probe.reserve(3 * stops.size() + 1);
        probe << QRgb(linear->mode());
        for (double at : stops) {
            const quint64 bits = qFromUnaligned<quint64>(&at);
            probe << QRgb(bits) << QRgb(bits >> 32)
                  << map->rgb(range, range.minValue() + at * range.width());
        }
        return probe;
    }
    constexpr int Probes = 97;
    probe.reserve(Probes);
    for (int k = 0; k < Probes; ++k)
        probe << map->rgb(range, range.minValue() + range.width() * k / (Probes - 1));
    return probe;
}
