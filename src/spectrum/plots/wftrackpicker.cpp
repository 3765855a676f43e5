#include "wftrackpicker.h"

#include "timescaledraw.h"
#include "trackerbox.h"

#include <qwt_plot.h>
#include <qwt_scale_div.h>

#include <QDateTime>

#include <cmath>

WfTrackPicker::WfTrackPicker(QWidget *canvas)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, canvas)
{
}

WfTrackPicker::~WfTrackPicker() = default;

void WfTrackPicker::drawTracker(QPainter *painter) const
{
    const QRect box = trackerRect(painter->font());
    if (box.isEmpty())
        return;
    TrackerBox::fill(painter, box);
    QwtPlotPicker::drawTracker(painter);
}

QRect WfTrackPicker::trackerRect(const QFont &font) const
{
    return TrackerBox::grow(QwtPlotPicker::trackerRect(font));
}

void WfTrackPicker::setTrackData(int columns, const RfSpectrumSampleList &samples, int stride,
                                 double cellWidth, double cellHeight)
{
    m_columns = qMax(columns, 0);
    m_samples = samples;
    m_stride = qMax(stride, 1);
    m_rows = m_columns > 0 ? int((qint64(samples.size()) + m_stride - 1) / m_stride) : 0;
    m_cellWidth = cellWidth;
    m_cellHeight = cellHeight;
}

int WfTrackPicker::rowAt(double y) const
{
    const QwtInterval yRange = plot()->axisScaleDiv(yAxis()).interval().normalized();
    // One row, or rows without height (a one-sample selection, or samples
    // sharing a time stamp): the newest row fills the top of the axis.
    if (m_rows <= 1 || !(m_cellHeight > 0.0))
        return yRange.contains(y) && m_rows > 0 ? m_rows - 1 : -1;
    const double u = std::ceil((yRange.maxValue() - y) / m_cellHeight);
    if (u <= 1.0)
        return m_rows - 1;
    const double row = m_rows - u;
    // A cursor far off the axis gives an absurd quotient: out of range either way.
    return row < 0.0 ? -1 : row >= double(m_rows) ? m_rows : int(row);
}

QwtText WfTrackPicker::trackerTextF(const QPointF &pos) const
{
    if (m_format.isEmpty()) {
        m_format = tr("Frequency") + QStringLiteral(": %1\n") + tr("Time") +
                   QStringLiteral(": %2\n") + tr("Amplitude") + QStringLiteral(": %3");
    }
    if (m_columns < 1)
        return QwtText();

    const QwtInterval xRange = plot()->axisScaleDiv(xAxis()).interval().normalized();
    int col = -1;
    const double x0 = qIsNaN(m_xOrigin) ? xRange.minValue() : m_xOrigin;
    if (xRange.contains(pos.x()) && m_cellWidth > 0.0 && pos.x() >= x0)
        col = int(qMin((pos.x() - x0) / m_cellWidth, m_columns - 1.0));
    const int row = rowAt(pos.y());
    QString level = tr("N/A");
    // Over a row the time is its sweep's, to the millisecond: rows are
    // sweeps tens of ms apart, the cursor's own time says less.
    QString time = TimeScaleDraw::timeText(pos.y());
    if (row >= 0 && row < m_rows) {
        const RfSpectrumSample &sample = m_samples.at(row * m_stride);
        time = QDateTime::fromMSecsSinceEpoch(sample.timeStamp)
                   .time()
                   .toString(QStringLiteral("HH:mm:ss.zzz"));
        const RfSpectrumScan &levels = sample.spectrum;
        const double value =
            col >= 0 && col < levels.size() ? double(levels.at(col)) : double(NoDataLevel);
        if (col >= 0)
            level = tr("%1 dBm").arg(value, 0, 'g', 6);
    }

    QwtText text(m_format.arg(tr("%1 MHz").arg(pos.x(), 0, 'f', 3), time, level));
    text.setRenderFlags(Qt::AlignCenter);
    return text;
}
