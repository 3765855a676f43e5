#pragma once

#include <QVector>

#include <Qt>

// The matrix cells one pixel position reads along one axis, and their
// weights: a raster's value at a pixel is the weighted sum over its column
// taps of the weighted sums over its row taps. Unused taps weigh 0 and
// repeat a used cell, so loops can always run over all four.
struct AxisTaps
{
    bool inside = false; //!< false: the position lies outside the raster (no value)
    int used = 4;        //!< the taps that may weigh anything; the rest weigh 0
    int cell[4] = {0, 0, 0, 0};
    float weight[4] = {0.f, 0.f, 0.f, 0.f};
};

using AxisTapList = QVector<AxisTaps>;
