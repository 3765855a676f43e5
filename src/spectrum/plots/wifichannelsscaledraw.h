#pragma once

#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>

#include <array>

//! 2.4 GHz ZigBee channel centres in MHz: index i (1..16) is channel i + 10,
//! index 0 and 17 are the band edges.
inline constexpr std::array<double, 18> zigBeeChannelFrequencies{
    2400, 2405, 2410, 2415, 2420, 2425, 2430, 2435, 2440,
    2445, 2450, 2455, 2460, 2465, 2470, 2475, 2480, 2500};

//! A division from the first to the last entry of a channel table whose major
//! ticks are every entry, edges included; no minor or medium ticks.
template <std::size_t N> QwtScaleDiv channelScaleDiv(const std::array<double, N> &table)
{
    QList<double> ticks[QwtScaleDiv::NTickTypes];
    for (double f : table)
        ticks[QwtScaleDiv::MajorTick].append(f);
    return QwtScaleDiv(table.front(), table.back(), ticks);
}

// Top-axis labels naming channels instead of megahertz. A tick is labelled
// only when it is exactly a channel centre of the table (the ticks come from
// the same table); the band edges stay unlabelled.
class WifiChannelsScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double v) const override;
};

class ZigBeeChannelsScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double v) const override;
};
