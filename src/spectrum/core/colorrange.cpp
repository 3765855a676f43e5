#include "colorrange.h"

#include <cmath>

int levelPercentile(const LevelHistogram &histogram, double fraction, int fallback)
{
    if (histogram.total <= 0)
        return fallback;
    // The k-th smallest level, k counted from 1, with k = ceil(fraction * n).
    const qint64 wanted = qMax<qint64>(1, qint64(std::ceil(fraction * double(histogram.total))));
    qint64 seen = 0;
    for (std::size_t i = 0; i < histogram.counts.size(); ++i) {
        seen += histogram.counts[i];
        if (seen >= wanted)
            return int(i) - 128;
    }
    return fallback;
}

ColorRange autoColorRange(const LevelHistogram &histogram)
{
    if (histogram.total <= 0)
        return {};
    const int low = levelPercentile(histogram, 0.02, -100);
    const int high = levelPercentile(histogram, 0.999, -30);
    ColorRange range;
    range.low = std::floor(low / 5.0) * 5.0;
    range.high = std::ceil(high / 5.0) * 5.0;
    if (range.high < range.low + 5.0)
        range.high = range.low + 5.0;
    return range;
}
