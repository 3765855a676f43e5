#include "matrixgrid.h"

#include <qwt_matrix_raster_data.h>

#include <QtMath>

#include <algorithm>
#include <limits>

MatrixTaps matrixTaps(double pos, double min, double step, int count)
{
    MatrixTaps t;
    // pos lies inside the interval, so the quotient is within [0, count];
    // bounding it keeps a degenerate interval (a step of a few denormals)
    // from overflowing the rounding.
    t.i1 = qRound(qBound(0.0, (pos - min) / step, double(count))) - 1;
    t.i2 = t.i1 + 1;
    if (t.i1 < 0)
        t.i1 = t.i2;
    else if (t.i2 >= count)
        t.i2 = t.i1;
    const double p2 = min + (t.i2 + 0.5) * step;
    t.r = (p2 - pos) / step;
    return t;
}

// Mirrors QwtMatrixRasterData::value()'s bilinear mode step for step, so
// that the picture does not change; the unit test compares the two bit for bit.
void sampleMatrixGrid(const QwtMatrixRasterData &data, const QVector<double> &xs,
                      const QVector<double> &ys, double *out)
{
    const int nx = xs.size();
    const int ny = ys.size();
    const int cols = data.numColumns();
    const int rows = data.numRows();
    const QwtInterval xi = data.interval(Qt::XAxis);
    const QwtInterval yi = data.interval(Qt::YAxis);
    const double dx = xi.isValid() && cols > 0 ? xi.width() / cols : 0.0;
    const double dy = yi.isValid() && rows > 0 ? yi.width() / rows : 0.0;
    if (data.resampleMode() != QwtMatrixRasterData::BilinearInterpolation || cols < 1 || rows < 1 ||
        !(dx > 0.0) || !(dy > 0.0)) {
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                out[j * nx + i] = data.value(xs.at(i), ys.at(j));
        return;
    }
    const double *v = data.valueMatrix().constData();
    const double nan = std::numeric_limits<double>::quiet_NaN();

    QVector<MatrixTaps> colTaps(nx);
    QVector<bool> colInside(nx);
    for (int i = 0; i < nx; ++i) {
        colInside[i] = xi.contains(xs.at(i));
        if (colInside[i])
            colTaps[i] = matrixTaps(xs.at(i), xi.minValue(), dx, cols);
    }
    // Two matrix rows per line, blended in the order value() uses.
    for (int j = 0; j < ny; ++j) {
        double *line = out + j * nx;
        if (!yi.contains(ys.at(j))) {
            std::fill(line, line + nx, nan);
            continue;
        }
        const MatrixTaps r = matrixTaps(ys.at(j), yi.minValue(), dy, rows);
        const double *row1 = v + r.i1 * cols;
        const double *row2 = v + r.i2 * cols;
        for (int i = 0; i < nx; ++i) {
            if (!colInside[i]) {
                line[i] = nan;
                continue;
            }
            const MatrixTaps &c = colTaps[i];
            const double vr1 = c.r * row1[c.i1] + (1.0 - c.r) * row1[c.i2];
            const double vr2 = c.r * row2[c.i1] + (1.0 - c.r) * row2[c.i2];
            line[i] = r.r * vr1 + (1.0 - r.r) * vr2;
        }
    }
}

bool matrixAxisTaps(const QwtMatrixRasterData &data, Qt::Axis axis,
                    const QVector<double> &positions, AxisTapList &taps)
{
    const int cols = data.numColumns();
    const int count = axis == Qt::XAxis ? cols : data.numRows();
    const QwtInterval range = data.interval(axis);
    const double step = range.isValid() && count > 0 ? range.width() / count : 0.0;
    const auto mode = data.resampleMode();
    if (cols < 1 || count < 1 || !(step > 0.0) ||
        (mode != QwtMatrixRasterData::NearestNeighbour &&
         mode != QwtMatrixRasterData::BilinearInterpolation))
        return false;
    const double min = range.minValue();
    taps.resize(positions.size());
    for (int k = 0; k < positions.size(); ++k) {
        const double pos = positions.at(k);
        AxisTaps &t = taps[k];
        t = AxisTaps();
        t.inside = range.contains(pos);
        t.used = mode == QwtMatrixRasterData::NearestNeighbour ? 1 : 2;
        if (!t.inside)
            continue;
        if (mode == QwtMatrixRasterData::NearestNeighbour) {
            t.cell[0] = t.cell[1] = t.cell[2] = t.cell[3] =
                qMin(int((pos - min) / step), count - 1);
            t.weight[0] = 1.f;
            continue;
        }
        int i1 = qRound(qBound(0.0, (pos - min) / step, double(count))) - 1;
        int i2 = i1 + 1;
        if (i1 < 0)
            i1 = i2;
        else if (i2 >= count)
            i2 = i1;
        const double r = (min + (i2 + 0.5) * step - pos) / step;
        t.cell[0] = t.cell[2] = t.cell[3] = i1;
        t.cell[1] = i2;
        t.weight[0] = float(r);
        t.weight[1] = float(1.0 - r);
    }
    return true;
}
