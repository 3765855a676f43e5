#pragma once

#include "axistaps.h"

#include <QVector>

class QwtMatrixRasterData;

//! The two cells a bilinear sample at `pos` blends, as
//! QwtMatrixRasterData::value() picks them, and the weight of i1.
struct MatrixTaps
{
    int i1 = 0, i2 = 0;
    double r = 0.0;
};
//! `pos` must lie inside [min, min + count * step].
MatrixTaps matrixTaps(double pos, double min, double step, int count);

// Samples a Qwt matrix raster on a whole pixel grid:
// out[j * xs.size() + i] = data.value(xs[i], ys[j]), with bit-identical
// results. The bilinear mode works out each column's cells and weights once
// for the whole grid; other modes (and rasters without cell size) go point
// by point through value().
void sampleMatrixGrid(const QwtMatrixRasterData &data, const QVector<double> &xs,
                      const QVector<double> &ys, double *out);

//! The taps of each position along one axis, for the nearest-neighbour and
//! bilinear modes (with value()'s arithmetic); false for other modes or a
//! raster without cells.
bool matrixAxisTaps(const QwtMatrixRasterData &data, Qt::Axis axis,
                    const QVector<double> &positions, AxisTapList &taps);
