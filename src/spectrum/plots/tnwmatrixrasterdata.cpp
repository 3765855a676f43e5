#include "tnwmatrixrasterdata.h"

#include <qwt_interval.h>

#include <QtMath>

#include <algorithm>

#include <limits>

struct TnwMatrixRasterData::PrivateData
{
    int resampleMode = 0;
    QVector<double> values;
    int numColumns = 0;
    int numRows = 0;
    double dx = 0.0;
    double dy = 0.0;

    double value(int row, int col) const { return values.at(row * numColumns + col); }
};

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Position in cells from the interval's start. Inside the interval it lies in
// [0, count]; bounding it keeps a step that does not match the interval (a
// degenerate recording) from overflowing the conversion to an index.
inline double cellQuotient(double pos, double min, double step, int count)
{
    return qBound(0.0, (pos - min) / step, double(count));
}

// The four neighbours along one axis for the bicubic mode and the position
// between the middle two (0 at the centre of i1, 1 at the centre of i2).
struct CubicTaps
{
    int i0, i1, i2, i3;
    double t;
};

CubicTaps cubicTaps(double pos, double min, double step, int count)
{
    const int c = qRound(cellQuotient(pos, min, step, count));
    CubicTaps k;
    k.i1 = c == 0 ? c : c - 1;
    k.i2 = c >= count ? k.i1 : c;
    k.i0 = c < 2 ? c + 1 : c - 2;
    k.i3 = c + 1 >= count ? k.i0 : c + 1;
    // The mirrored neighbours only exist from two cells on (the overlay
    // starts as one cell): keep every index inside the matrix.
    const int last = count - 1;
    k.i0 = qBound(0, k.i0, last);
    k.i1 = qBound(0, k.i1, last);
    k.i2 = qBound(0, k.i2, last);
    k.i3 = qBound(0, k.i3, last);
    k.t = 1.0 - ((k.i2 + 0.5) * step + min - pos) / step;
    return k;
}

// Catmull-Rom through p1 (t = 0) and p2 (t = 1).
inline double cubic(double p0, double p1, double p2, double p3, double t)
{
    return (-p0 / 2 + 3 * p1 / 2 - 3 * p2 / 2 + p3 / 2) * t * t * t +
           (p0 - 5 * p1 / 2 + 2 * p2 - p3 / 2) * t * t + (p2 / 2 - p0 / 2) * t + p1;
}

// The cell containing pos for the cell-dot mode.
inline int containingCell(double pos, double min, double step, int count)
{
    return qBound(0, int(cellQuotient(pos, min, step, count)), count - 1);
}

} // namespace

TnwMatrixRasterData::TnwMatrixRasterData() : d(new PrivateData) {}

TnwMatrixRasterData::~TnwMatrixRasterData() = default;

void TnwMatrixRasterData::setInterval(Qt::Axis axis, const QwtInterval &interval)
{
    QwtRasterData::setInterval(axis, interval);
    updateGeometry();
}

QRectF TnwMatrixRasterData::pixelHint(const QRectF &) const
{
    const QwtInterval &xi = interval(Qt::XAxis);
    const QwtInterval &yi = interval(Qt::YAxis);
    if (d->resampleMode == NearestNeighbour && xi.isValid() && yi.isValid())
        return QRectF(xi.minValue(), yi.minValue(), d->dx, d->dy);
    return QRectF();
}

void TnwMatrixRasterData::setResampleMode(int mode)
{
    d->resampleMode = mode;
}

int TnwMatrixRasterData::resampleMode() const
{
    return d->resampleMode;
}

void TnwMatrixRasterData::setValueMatrix(const QVector<double> &values, int numColumns)
{
    d->values = values;
    d->numColumns = qMax(numColumns, 0);
    updateGeometry();
}

const QVector<double> &TnwMatrixRasterData::valueMatrix() const
{
    return d->values;
}

int TnwMatrixRasterData::numColumns() const
{
    return d->numColumns;
}

int TnwMatrixRasterData::numRows() const
{
    return d->numRows;
}

void TnwMatrixRasterData::updateGeometry()
{
    d->numRows = 0;
    d->dx = 0.0;
    d->dy = 0.0;
    if (d->numColumns < 1)
        return;
    d->numRows = d->values.size() / d->numColumns;
    const QwtInterval &xi = interval(Qt::XAxis);
    const QwtInterval &yi = interval(Qt::YAxis);
    if (xi.isValid())
        d->dx = xi.width() / d->numColumns;
    if (yi.isValid() && d->numRows > 0)
        d->dy = yi.width() / d->numRows;
}

double TnwMatrixRasterData::value(double x, double y) const
{
    const QwtInterval &xi = interval(Qt::XAxis);
    const QwtInterval &yi = interval(Qt::YAxis);
    if (!xi.contains(x) || !yi.contains(y))
        return kNaN;
    const int cols = d->numColumns;
    const int rows = d->numRows;
    const double dx = d->dx;
    const double dy = d->dy;
    // No cell, or an interval without width: nothing to sample.
    if (cols < 1 || rows < 1 || !(dx > 0.0) || !(dy > 0.0))
        return kNaN;
    const double xMin = xi.minValue();
    const double yMin = yi.minValue();

    switch (d->resampleMode) {
    case BilinearInterpolation: {
        int col1 = qRound(cellQuotient(x, xMin, dx, cols)) - 1;
        int row1 = qRound(cellQuotient(y, yMin, dy, rows)) - 1;
        int col2 = col1 + 1;
        int row2 = row1 + 1;
        if (col1 < 0)
            col1 = col2;
        else if (col2 >= cols)
            col2 = col1;
        if (row1 < 0)
            row1 = row2;
        else if (row2 >= rows)
            row2 = row1;
        const double v11 = d->value(row1, col1);
        const double v21 = d->value(row1, col2);
        const double v12 = d->value(row2, col1);
        const double v22 = d->value(row2, col2);
        const double x2 = xMin + (col2 + 0.5) * dx;
        const double y2 = yMin + (row2 + 0.5) * dy;
        const double rx = (x2 - x) / dx;
        const double ry = (y2 - y) / dy;
        const double vr1 = rx * v11 + (1.0 - rx) * v21;
        const double vr2 = rx * v12 + (1.0 - rx) * v22;
        return ry * vr1 + (1.0 - ry) * vr2;
    }
    case BicubicInterpolation: {
        const CubicTaps c = cubicTaps(x, xMin, dx, cols);
        const CubicTaps r = cubicTaps(y, yMin, dy, rows);
        auto rowAt = [&](int row) {
            return cubic(d->value(row, c.i0), d->value(row, c.i1), d->value(row, c.i2),
                         d->value(row, c.i3), c.t);
        };
        return cubic(rowAt(r.i0), rowAt(r.i1), rowAt(r.i2), rowAt(r.i3), r.t);
    }
    case CellDots: {
        const int col = containingCell(x, xMin, dx, cols);
        const int row = containingCell(y, yMin, dy, rows);
        const double ex = 2.0 * (x - (xMin + (col + 0.5) * dx)) / dx;
        const double ey = 2.0 * (y - (yMin + (row + 0.5) * dy)) / dy;
        return 2.0 * d->value(row, col) * (1.0 - ex * ex - ey * ey);
    }
    case NearestNeighbour:
    default: {
        // x at the interval's maximum belongs to the last column, not one past it.
        const int col = qMin(int(cellQuotient(x, xMin, dx, cols)), cols - 1);
        const int row = qMin(int(cellQuotient(y, yMin, dy, rows)), rows - 1);
        return d->value(row, col);
    }
    }
}

void TnwMatrixRasterData::sampleGrid(const QVector<double> &xs, const QVector<double> &ys,
                                     double *out) const
{
    const int nx = xs.size();
    const int ny = ys.size();
    const int cols = d->numColumns;
    const int rows = d->numRows;
    const bool separable = d->resampleMode == BicubicInterpolation && cols >= 1 && rows >= 1 &&
                           d->dx > 0.0 && d->dy > 0.0;
    if (!separable) {
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                out[j * nx + i] = value(xs.at(i), ys.at(j));
        return;
    }

    const QwtInterval &xi = interval(Qt::XAxis);
    const QwtInterval &yi = interval(Qt::YAxis);
    QVector<CubicTaps> colTaps(nx);
    QVector<bool> colInside(nx);
    for (int i = 0; i < nx; ++i) {
        colInside[i] = xi.contains(xs.at(i));
        if (colInside[i])
            colTaps[i] = cubicTaps(xs.at(i), xi.minValue(), d->dx, cols);
    }
    QVector<CubicTaps> rowTaps(ny);
    QVector<bool> rowInside(ny);
    QVector<int> slot(rows, -1); //!< matrix row -> its line in alongX
    int needed = 0;
    for (int j = 0; j < ny; ++j) {
        rowInside[j] = yi.contains(ys.at(j));
        if (!rowInside[j])
            continue;
        const CubicTaps &r = rowTaps[j] = cubicTaps(ys.at(j), yi.minValue(), d->dy, rows);
        for (int k : {r.i0, r.i1, r.i2, r.i3})
            if (slot[k] < 0)
                slot[k] = needed++;
    }

    // Each needed matrix row interpolated along x at every output column: the
    // same operands in the same order as value() uses, so the results are
    // identical.
    QVector<double> alongX(needed * nx);
    for (int k = 0; k < rows; ++k) {
        if (slot[k] < 0)
            continue;
        double *q = alongX.data() + slot[k] * nx;
        for (int i = 0; i < nx; ++i) {
            // Outside columns carry NaN through the second pass.
            if (!colInside[i]) {
                q[i] = kNaN;
                continue;
            }
            const CubicTaps &c = colTaps[i];
            q[i] = cubic(d->value(k, c.i0), d->value(k, c.i1), d->value(k, c.i2), d->value(k, c.i3),
                         c.t);
        }
    }

    const double *q = alongX.constData();
    for (int j = 0; j < ny; ++j) {
        double *line = out + j * nx;
        if (!rowInside[j]) {
            std::fill(line, line + nx, kNaN);
            continue;
        }
        const CubicTaps &r = rowTaps[j];
        const double *q0 = q + slot[r.i0] * nx;
        const double *q1 = q + slot[r.i1] * nx;
        const double *q2 = q + slot[r.i2] * nx;
        const double *q3 = q + slot[r.i3] * nx;
        // Branch-free, so the compiler can vectorise it.
        const double t = r.t;
        for (int i = 0; i < nx; ++i)
            line[i] = cubic(q0[i], q1[i], q2[i], q3[i], t);
    }
}

bool TnwMatrixRasterData::axisTaps(Qt::Axis axis, const QVector<double> &positions,
                                   AxisTapList &taps) const
{
    const int count = axis == Qt::XAxis ? d->numColumns : d->numRows;
    const double step = axis == Qt::XAxis ? d->dx : d->dy;
    if (d->resampleMode != BicubicInterpolation || d->numColumns < 1 || d->numRows < 1 ||
        !(step > 0.0))
        return false;
    const QwtInterval &range = interval(axis);
    taps.resize(positions.size());
    for (int k = 0; k < positions.size(); ++k) {
        AxisTaps &t = taps[k];
        t = AxisTaps();
        t.inside = range.contains(positions.at(k));
        if (!t.inside)
            continue;
        const CubicTaps c = cubicTaps(positions.at(k), range.minValue(), step, count);
        // cubic() written as weights of its four points.
        const double u = c.t, u2 = u * u, u3 = u2 * u;
        t.cell[0] = c.i0;
        t.cell[1] = c.i1;
        t.cell[2] = c.i2;
        t.cell[3] = c.i3;
        t.weight[0] = float((-u3 + 2 * u2 - u) / 2);
        t.weight[1] = float((3 * u3 - 5 * u2 + 2) / 2);
        t.weight[2] = float((-3 * u3 + 4 * u2 + u) / 2);
        t.weight[3] = float((u3 - u2) / 2);
    }
    return true;
}
