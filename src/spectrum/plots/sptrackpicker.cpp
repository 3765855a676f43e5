#include "sptrackpicker.h"

#include "trackerbox.h"

#include <qwt_plot.h>
#include <qwt_scale_div.h>

#include <cmath>

SpTrackPicker::SpTrackPicker(QWidget *canvas)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, canvas)
{
}

SpTrackPicker::~SpTrackPicker() = default;

void SpTrackPicker::drawTracker(QPainter *painter) const
{
    const QRect box = trackerRect(painter->font());
    if (box.isEmpty())
        return;
    TrackerBox::fill(painter, box);
    QwtPlotPicker::drawTracker(painter);
}

QRect SpTrackPicker::trackerRect(const QFont &font) const
{
    return TrackerBox::grow(QwtPlotPicker::trackerRect(font));
}

void SpTrackPicker::setTrackData(int columns, const QVector<double> &densityMatrix,
                                 const QVector<qint8> &currentTrace,
                                 const QVector<double> &averageTrace,
                                 const QVector<qint8> &maxHoldTrace, const QwtInterval &xCells,
                                 const QwtInterval &yCells)
{
    if (columns < 1) {
        clearTrackData();
        return;
    }
    m_columns = columns;
    m_densityMatrix = densityMatrix;
    m_currentTrace = currentTrace;
    m_averageTrace = averageTrace;
    m_maxHoldTrace = maxHoldTrace;
    m_rows = densityMatrix.size() / columns;
    m_xMin = xCells.minValue();
    m_yMin = yCells.minValue();
    m_cellWidth = xCells.width() / columns;
    m_cellHeight = m_rows > 0 ? yCells.width() / m_rows : 0.0;
}

void SpTrackPicker::clearTrackData()
{
    m_columns = 0;
    m_rows = 0;
    m_cellWidth = 0.0;
    m_cellHeight = 0.0;
    m_densityMatrix.clear();
    m_currentTrace.clear();
    m_averageTrace.clear();
    m_maxHoldTrace.clear();
}

QwtText SpTrackPicker::trackerTextF(const QPointF &pos) const
{
    if (m_format.isEmpty()) {
        m_format = tr("Frequency") + QStringLiteral(": %1\n") + tr("Amplitude") +
                   QStringLiteral(": %2\n") + tr("Density") + QStringLiteral(": %3%\n") +
                   tr("Current") + QStringLiteral(": %4\n") + tr("Average") +
                   QStringLiteral(": %5\n") + tr("Max") + QStringLiteral(": %6");
    }
    // Without a density row or a usable cell size there is nothing to read.
    if (m_columns < 1 || m_rows < 1 || !(m_cellWidth > 0.0) || !(m_cellHeight > 0.0))
        return QwtText();
    const QwtInterval xRange = plot()->axisScaleDiv(xAxis()).interval().normalized();
    const QwtInterval yRange = plot()->axisScaleDiv(yAxis()).interval().normalized();
    if (!xRange.contains(pos.x()) || !yRange.contains(pos.y()))
        return QwtText();

    // Bounded as doubles first: the axes may reach far beyond the cells.
    const int col = int(qBound(0.0, std::floor((pos.x() - m_xMin) / m_cellWidth), m_columns - 1.0));
    const int row = int(qBound(0.0, std::floor((pos.y() - m_yMin) / m_cellHeight), m_rows - 1.0));
    const QString na = tr("N/A");
    // The traces come from the selection's first and last samples, whose
    // lengths may differ after a damaged recording.
    const QString current =
        col < m_currentTrace.size() ? QString::number(m_currentTrace.at(col)) : na;
    const QString average =
        col < m_averageTrace.size() ? QString::number(m_averageTrace.at(col), 'f', 1) : na;
    const QString maxHold =
        col < m_maxHoldTrace.size() ? QString::number(m_maxHoldTrace.at(col)) : na;

    QwtText text(m_format.arg(pos.x(), 0, 'f', 1)
                     .arg(pos.y(), 0, 'f', 1)
                     .arg(m_densityMatrix.at(row * m_columns + col) * 100.0, 0, 'f', 2)
                     .arg(current, average, maxHold));
    text.setRenderFlags(Qt::AlignCenter);
    return text;
}
