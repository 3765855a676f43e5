#pragma once

#include "rfspectrumhistory.h"

#include <qwt_plot_picker.h>

#include <QtNumeric>

// Reads frequency, time and level under the cursor of the waterfall.
class WfTrackPicker : public QwtPlotPicker
{
    Q_OBJECT
public:
    explicit WfTrackPicker(QWidget *canvas);
    ~WfTrackPicker() override;

    void drawTracker(QPainter *painter) const override;
    QRect trackerRect(const QFont &font) const override;
    QwtText trackerTextF(const QPointF &pos) const override;

    //! Row r of the raster is samples[r * stride], `columns` levels wide
    //! (no data beyond a shorter sweep). `cellHeight` in ms; it may be 0 (one
    //! sample, or all at one time). The samples are shared, not copied.
    void setTrackData(int columns, const RfSpectrumSampleList &samples, int stride,
                      double cellWidth, double cellHeight);
    void clearTrackData() { setTrackData(0, RfSpectrumSampleList(), 1, 0.0, 0.0); }

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    double cellWidth() const { return m_cellWidth; }
    //! Where column 0 starts (the raster's left edge); the bottom axis may
    //! show only part of the band.
    void setColumnOrigin(double x) { m_xOrigin = x; }
    double cellHeight() const { return m_cellHeight; }

    //! The matrix row under `y` (ms), counted from the axis top, newest
    //! first; -1 when the cursor is below the oldest row.
    int rowAt(double y) const;

private:
    int m_columns = 0; //!< 0 until data arrives
    int m_rows = 0;
    double m_cellWidth = 0.0;   //!< MHz
    double m_xOrigin = qQNaN(); //!< NaN: the bottom axis's minimum
    double m_cellHeight = 0.0;  //!< ms
    RfSpectrumSampleList m_samples;
    int m_stride = 1;
    mutable QString m_format; //!< built on first use
};
