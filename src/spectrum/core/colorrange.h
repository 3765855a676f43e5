#pragma once

#include <QtGlobal>

#include <array>

// Counts of levels (-128..127 dBm) over a selection, for the waterfall's
// automatic colour range. -128 marks a bin without data and is not counted.
struct LevelHistogram
{
    std::array<qint64, 256> counts{};
    qint64 total = 0;

    void add(int level)
    {
        if (level <= -128 || level > 127)
            return;
        ++counts[std::size_t(level + 128)];
        ++total;
    }
    //! Takes back one add() of the same level; a level never added is ignored.
    void remove(int level)
    {
        if (level <= -128 || level > 127 || counts[std::size_t(level + 128)] == 0)
            return;
        --counts[std::size_t(level + 128)];
        --total;
    }
    void clear()
    {
        counts.fill(0);
        total = 0;
    }
};

struct ColorRange
{
    double low = -100.0;
    double high = -30.0;
    bool operator==(const ColorRange &o) const { return low == o.low && high == o.high; }
};

//! The smallest counted level at or below which at least `fraction` of the
//! counts lie; `fallback` for an empty histogram.
int levelPercentile(const LevelHistogram &histogram, double fraction, int fallback);

//! The 2nd and the 99.9th percentile, the low one rounded down and the high
//! one up to a multiple of 5 dB, at least 5 dB apart. An empty histogram
//! gives the fixed -100..-30 dBm.
ColorRange autoColorRange(const LevelHistogram &histogram);
