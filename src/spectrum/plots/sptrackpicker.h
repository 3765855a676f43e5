#pragma once

#include <qwt_interval.h>
#include <qwt_plot_picker.h>

#include <QVector>

// Reads the density, current, average and max-hold values under the cursor
// of the spectrum plot.
class SpTrackPicker : public QwtPlotPicker
{
    Q_OBJECT
public:
    explicit SpTrackPicker(QWidget *canvas);
    ~SpTrackPicker() override;

    void drawTracker(QPainter *painter) const override;
    QRect trackerRect(const QFont &font) const override;
    QwtText trackerTextF(const QPointF &pos) const override;

    //! `xCells` and `yCells` are the intervals the density columns and rows
    //! span (the density raster's X and Y intervals).
    void setTrackData(int columns, const QVector<double> &densityMatrix,
                      const QVector<qint8> &currentTrace, const QVector<double> &averageTrace,
                      const QVector<qint8> &maxHoldTrace, const QwtInterval &xCells,
                      const QwtInterval &yCells);
    //! Back to "no data": the tracker shows nothing.
    void clearTrackData();

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    double cellWidth() const { return m_cellWidth; }
    double cellHeight() const { return m_cellHeight; }

private:
    int m_columns = 0; //!< 0 until data arrives
    int m_rows = 0;
    double m_cellWidth = 0.0;
    double m_cellHeight = 0.0;
    double m_xMin = 0.0; //!< where column 0 starts
    double m_yMin = 0.0; //!< where row 0 starts
    QVector<double> m_densityMatrix;
    QVector<qint8> m_currentTrace;
    QVector<double> m_averageTrace;
    QVector<qint8> m_maxHoldTrace;
    mutable QString m_format; //!< built on first use
};
