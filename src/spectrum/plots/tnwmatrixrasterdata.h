#pragma once

#include "axistaps.h"

#include <qwt_raster_data.h>

#include <QVector>

#include <memory>

// A matrix raster like QwtMatrixRasterData, with two more resample modes: a
// bicubic (Catmull-Rom) mode for the smooth highlight overlay and a cell-dot
// mode that draws one paraboloid per cell.
//
// value() only reads; the matrix and the intervals change on the GUI thread
// between replots, while the render threads call value() concurrently.
class TnwMatrixRasterData : public QwtRasterData
{
public:
    enum ResampleMode
    {
        NearestNeighbour = 0,
        BilinearInterpolation = 1,
        BicubicInterpolation = 2,
        CellDots = 3
    };

    TnwMatrixRasterData();
    ~TnwMatrixRasterData() override;

    void setInterval(Qt::Axis axis, const QwtInterval &interval) override;
    QRectF pixelHint(const QRectF &area) const override;
    double value(double x, double y) const override;

    void setResampleMode(int mode);
    int resampleMode() const;

    //! Row-major, row 0 at the Y minimum; max(numColumns, 0) columns.
    void setValueMatrix(const QVector<double> &values, int numColumns);
    const QVector<double> &valueMatrix() const;
    int numColumns() const;
    int numRows() const;

    //! out[j * xs.size() + i] = value(xs[i], ys[j]) with bit-identical results.
    //! The bicubic mode interpolates every matrix row along x once per column
    //! instead of once per point, which makes a whole-canvas render cheap.
    void sampleGrid(const QVector<double> &xs, const QVector<double> &ys, double *out) const;
    //! The taps of each position along one axis in the bicubic mode (its
    //! Catmull-Rom weights); false in other modes or without cells.
    bool axisTaps(Qt::Axis axis, const QVector<double> &positions, AxisTapList &taps) const;

private:
    void updateGeometry();

    struct PrivateData;
    std::unique_ptr<PrivateData> d;
};
