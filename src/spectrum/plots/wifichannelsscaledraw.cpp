#include "wifichannelsscaledraw.h"

#include "wifiapinfo.h"

#include <algorithm>

// Index of the first entry equal to v, or -1.
template <std::size_t N> static int channelIndex(const std::array<double, N> &table, double v)
{
    const auto it = std::find(table.begin(), table.end(), v);
    return it == table.end() ? -1 : int(it - table.begin());
}

QwtText WifiChannelsScaleDraw::label(double v) const
{
    const int i = channelIndex(wifiChannelFrequencies, v);
    return i > 0 && i < 15 ? QwtText(QString::number(i)) : QwtText();
}

QwtText ZigBeeChannelsScaleDraw::label(double v) const
{
    const int i = channelIndex(zigBeeChannelFrequencies, v);
    return i > 0 && i < 17 ? QwtText(QString::number(i + 10)) : QwtText();
}
