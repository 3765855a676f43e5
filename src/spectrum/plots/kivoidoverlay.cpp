#include "kivoidoverlay.h"

#include "kivoidinfo.h"

#include <qwt_plot.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_shapeitem.h>
#include <qwt_text.h>

#include <QLinearGradient>
#include <QPainterPath>
#include <QPen>

#include <algorithm>

KivoIdOverlay::KivoIdOverlay(QwtPlot *plot) : m_plot(plot) {}

KivoIdOverlay::~KivoIdOverlay()
{
    clearItems();
}

void KivoIdOverlay::setPlot(QwtPlot *plot)
{
    clearItems();
    m_plot = plot;
    redraw();
}

double KivoIdOverlay::levelStep(int maxLevel)
{
    if (maxLevel <= 0)
        return LevelStep;
    return qMin(LevelStep, (TopLevel0 - Bottom - MinBoxHeight) / maxLevel);
}

void KivoIdOverlay::select(int kivoId)
{
    if (m_selected.contains(kivoId) || !kivoIdTable().contains(kivoId))
        return;
    m_selected.append(kivoId);
    std::sort(m_selected.begin(), m_selected.end(), kivoIdLess);
    redraw();
}

void KivoIdOverlay::deselect(int kivoId)
{
    if (!m_selected.contains(kivoId) || !kivoIdTable().contains(kivoId))
        return;
    m_selected.removeAll(kivoId);
    redraw();
}

void KivoIdOverlay::setSelection(const QList<int> &kivoIds)
{
    m_selected.clear();
    for (int id : kivoIds)
        if (kivoIdTable().contains(id) && !m_selected.contains(id))
            m_selected.append(id);
    std::sort(m_selected.begin(), m_selected.end(), kivoIdLess);
    redraw();
}

void KivoIdOverlay::clearItems()
{
    // The plot deletes its items itself when it goes first.
    if (m_plot) {
        qDeleteAll(m_boxes);
        qDeleteAll(m_numbers);
    }
    m_boxes.clear();
    m_numbers.clear();
}

void KivoIdOverlay::redraw()
{
    if (!m_plot) {
        clearItems();
        return;
    }
    // Every attach and detach would replot on its own; one at the end does.
    const bool autoReplot = m_plot->autoReplot();
    m_plot->setAutoReplot(false);
    clearItems();

    QVector<QPair<double, double>> ranges;
    ranges.reserve(m_selected.size());
    for (int id : m_selected) {
        const KivoIdInfo info = kivoIdInfo(id);
        ranges.append({info.lowFrequency(), info.highFrequency()});
    }
    const QVector<int> levels = kivoIdStaggerLevels(ranges);
    const double step =
        levelStep(levels.isEmpty() ? 0 : *std::max_element(levels.begin(), levels.end()));

    for (int i = 0; i < m_selected.size(); ++i) {
        const KivoIdInfo info = kivoIdInfo(m_selected[i]);
        const QColor color = kivoIdTypeColor(info.type);
        const double top = TopLevel0 - step * levels[i];
        const QPen pen(color, 2, Qt::SolidLine);

        auto *box = new QwtPlotShapeItem;
        box->setRenderHint(QwtPlotItem::RenderAntialiased, true);
        QPainterPath shape;
        shape.addRoundedRect(
            QRectF(QPointF(info.lowFrequency(), top), QPointF(info.highFrequency(), Bottom))
                .normalized(),
            1.0, 3.0, Qt::AbsoluteSize);
        shape.closeSubpath();
        box->setShape(shape);
        box->setPen(pen);
        // Strongest at the top edge, fading out towards the bottom of the plot.
        QLinearGradient gradient(0.5, 0.0, 0.5, 1.0);
        gradient.setCoordinateMode(QGradient::ObjectMode);
        QColor strong = color;
        strong.setAlpha(100);
        QColor clear = color;
        clear.setAlpha(0);
        gradient.setColorAt(0.0, strong);
        gradient.setColorAt(1.0, clear);
        box->setBrush(gradient);

        auto *number = new QwtPlotMarker;
        number->setRenderHint(QwtPlotItem::RenderAntialiased, true);
        number->setLineStyle(QwtPlotMarker::NoLine);
        number->setLinePen(pen);
        QwtText label(QString::number(m_selected[i]));
        QFont font = label.font();
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * 1.4);
        else
            font.setPixelSize(qRound(font.pixelSize() * 1.4));
        label.setFont(font);
        label.setColor(color);
        number->setLabel(label);
        number->setLabelAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        number->setValue(info.centerFrequency, top);

        box->attach(m_plot);
        number->attach(m_plot);
        m_boxes.append(box);
        m_numbers.append(number);
    }
    m_plot->setAutoReplot(autoReplot);
    if (autoReplot)
        m_plot->replot();
}
