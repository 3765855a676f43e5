#include "tracecurves.h"

#include "spectrogramdata.h"
#include "spectroplot.h"

#include <qwt_legend_data.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_legenditem.h>
#include <qwt_series_data.h>

#include <QCoreApplication>
#include <QtNumeric>

#include <cmath>

double traceLevel(const SpectrumStatistics &s, TraceKind kind, int column)
{
    if (column < 0 || column >= s.columns)
        return qQNaN();
    double v = qQNaN();
    switch (kind) {
    case TraceKind::Current:
        if (column < s.currentTrace.size())
            v = s.currentTrace.at(column);
        break;
    case TraceKind::Average:
        if (column < s.averageTrace.size())
            v = s.averageTrace.at(column);
        break;
    case TraceKind::MaxHold:
        if (column < s.maxHoldTrace.size())
            v = s.maxHoldTrace.at(column);
        break;
    }
    return v <= double(NoDataLevel) ? qQNaN() : v;
}

int traceColumn(const SpectrumStatistics &s, const QwtInterval &cells, double frequency)
{
    const QwtInterval c = cells.normalized();
    if (s.columns < 1 || !(c.width() > 0.0) || frequency < c.minValue() || frequency > c.maxValue())
        return -1;
    return qMin(int((frequency - c.minValue()) / c.width() * s.columns), s.columns - 1);
}

double traceFrequency(const SpectrumStatistics &s, const QwtInterval &cells, int column)
{
    const QwtInterval c = cells.normalized();
    return s.columns < 1 ? qQNaN() : c.minValue() + (column + 0.5) * c.width() / s.columns;
}

namespace {

// One trace of the statistics as curve points, bin centres on x. The vectors
// are shared with the statistics, not copied.
class TraceSeries : public QwtSeriesData<QPointF>
{
public:
    TraceSeries(const SpectrumStatistics &stats, TraceKind kind, const QwtInterval &cells)
        : m_kind(kind), m_cells(cells.normalized())
    {
        // Only the traces: holding the matrices would make the next update
        // copy them instead of refilling them in place.
        m_stats.columns = stats.columns;
        m_stats.currentTrace = stats.currentTrace;
        m_stats.averageTrace = stats.averageTrace;
        m_stats.maxHoldTrace = stats.maxHoldTrace;
    }
    size_t size() const override { return size_t(qMax(m_stats.columns, 0)); }
    QPointF sample(size_t i) const override
    {
        const double v = traceLevel(m_stats, m_kind, int(i));
        // A bin without data sits far below any axis rather than breaking the line.
        return QPointF(traceFrequency(m_stats, m_cells, int(i)), std::isnan(v) ? -1000.0 : v);
    }
    QRectF boundingRect() const override
    {
        return QRectF(m_cells.minValue(), -128.0, m_cells.width(), 255.0);
    }

private:
    SpectrumStatistics m_stats; // the traces, implicitly shared
    TraceKind m_kind;
    QwtInterval m_cells;
};

} // namespace

TraceCurves::TraceCurves(SpectroPlot *plot) : QObject(plot), m_plot(plot)
{
    for (int k = 0; k < TraceKindCount; ++k) {
        auto *curve = new QwtPlotCurve(title(TraceKind(k)));
        // A cosmetic pen draws one-pixel lines directly; a 1.0-wide one goes
        // through the path stroker, which costs tens of ms per jagged trace.
        QPen pen(color(TraceKind(k)), 0.0);
        pen.setCosmetic(true);
        curve->setPen(pen);
        curve->setLegendAttribute(QwtPlotCurve::LegendShowLine);
        curve->setRenderHint(QwtPlotItem::RenderAntialiased, false);
        curve->setItemAttribute(QwtPlotItem::Legend, true);
        curve->setVisible(false);
        curve->setZ(30.0); // over the rasters, under the notes
        curve->attach(plot);
        m_curves[k] = curve;
    }
    m_legend = new QwtPlotLegendItem;
    m_legend->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_legend->setTextPen(QPen(Qt::white));
    m_legend->setBorderPen(QPen(QColor(255, 255, 255, 96)));
    m_legend->setBackgroundBrush(QColor(0, 0, 0, 160));
    m_legend->setBorderRadius(2);
    m_legend->setMaxColumns(1);
    m_legend->setZ(40.0);
    m_legend->attach(plot);
    m_legend->setVisible(false);
    connect(plot, &SpectroPlot::statisticsChanged, this, &TraceCurves::update);
    update();
}

TraceCurves::~TraceCurves() = default;

QColor TraceCurves::color(TraceKind kind)
{
    switch (kind) {
    case TraceKind::Current:
        return QColor(255, 230, 0);
    case TraceKind::Average:
        return QColor(0, 220, 255);
    case TraceKind::MaxHold:
        return QColor(255, 40, 200);
    }
    return Qt::white;
}

QString TraceCurves::title(TraceKind kind)
{
    switch (kind) {
    case TraceKind::Current:
        return QCoreApplication::translate("TraceCurves", "Current");
    case TraceKind::Average:
        return QCoreApplication::translate("TraceCurves", "Average");
    case TraceKind::MaxHold:
        return QCoreApplication::translate("TraceCurves", "Max hold");
    }
    return QString();
}

void TraceCurves::setVisible(TraceKind kind, bool on)
{
    m_curves[int(kind)]->setVisible(on);
    // Only the curves on the plot are listed.
    m_curves[int(kind)]->setItemAttribute(QwtPlotItem::Legend, on);
    bool any = false;
    for (QwtPlotCurve *c : m_curves)
        any = any || c->isVisible();
    m_legend->setVisible(any);
    m_plot->updateLegend();
    m_plot->replot();
}

bool TraceCurves::isVisible(TraceKind kind) const
{
    return m_curves[int(kind)]->isVisible();
}

void TraceCurves::update()
{
    const SpectrumStatistics &stats = m_plot->statistics();
    const QwtInterval cells = m_plot->densityData()->interval(Qt::XAxis);
    // One replot for the new data, not one per curve.
    const bool autoReplotWas = m_plot->autoReplot();
    m_plot->setAutoReplot(false);
    for (int k = 0; k < TraceKindCount; ++k)
        m_curves[k]->setData(new TraceSeries(stats, TraceKind(k), cells));
    m_plot->setAutoReplot(autoReplotWas);
}
