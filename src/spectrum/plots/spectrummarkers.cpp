#include "spectrummarkers.h"

#include "spectrogramdata.h"
#include "spectroplot.h"

#include <qwt_plot_marker.h>

#include <qwt_text.h>

#include <QMouseEvent>
#include <QSettings>
#include <QWidget>
#include <QtNumeric>

#include <cmath>

namespace MarkerMath {

MarkerReadout readout(const SpectrumStatistics &stats, const QwtInterval &cells,
                      const QwtInterval &view, const SpectrumMarker &marker)
{
    MarkerReadout r;
    r.frequency = marker.frequency;
    r.level = traceLevel(stats, marker.trace, traceColumn(stats, cells, marker.frequency));
    r.inView = view.normalized().contains(marker.frequency);
    return r;
}

std::optional<double> peak(const SpectrumStatistics &stats, const QwtInterval &cells,
                           const QwtInterval &view)
{
    const QwtInterval v = view.normalized();
    int best = -1;
    double bestLevel = 0.0;
    for (int i = 0; i < stats.columns; ++i) {
        const double level = traceLevel(stats, TraceKind::MaxHold, i);
        if (std::isnan(level) || !v.contains(traceFrequency(stats, cells, i)))
            continue;
        if (best < 0 || level > bestLevel) {
            best = i;
            bestLevel = level;
        }
    }
    if (best < 0)
        return std::nullopt;
    return traceFrequency(stats, cells, best);
}

std::optional<double> nextPeak(const SpectrumStatistics &stats, const QwtInterval &cells,
                               const QwtInterval &view, double from, double level)
{
    const QwtInterval v = view.normalized();
    auto at = [&](int i) {
        const double l = traceLevel(stats, TraceKind::MaxHold, i);
        return std::isnan(l) || !v.contains(traceFrequency(stats, cells, i)) ? -HUGE_VAL : l;
    };
    int best = -1;
    double bestLevel = 0.0;
    double bestDistance = 0.0;
    for (int i = 0; i < stats.columns; ++i) {
        const double l = at(i);
        // A local maximum: above its left neighbour, not below its right one
        // (a flat top counts once, at its left end). Both neighbours must be
        // in view with data: the edge of a zoom is no peak.
        const double left = at(i - 1);
        const double right = at(i + 1);
        if (l == -HUGE_VAL || left == -HUGE_VAL || right == -HUGE_VAL || l <= left || l < right)
            continue;
        const double distance = qAbs(traceFrequency(stats, cells, i) - from);
        if (distance < NextPeakDistance - 1e-9 || l > level)
            continue;
        if (best < 0 || l > bestLevel || (l == bestLevel && distance < bestDistance)) {
            best = i;
            bestLevel = l;
            bestDistance = distance;
        }
    }
    if (best < 0)
        return std::nullopt;
    return traceFrequency(stats, cells, best);
}

int frequencyDecimals(double stepMHz)
{
    if (!(stepMHz > 0.0) || !std::isfinite(stepMHz))
        return 3;
    return qBound(0, int(std::ceil(-std::log10(stepMHz) - 1e-9)), 6);
}

QString frequencyText(double mhz, double stepMHz)
{
    return QString::number(mhz, 'f', frequencyDecimals(stepMHz));
}

QString levelText(double dbm)
{
    return std::isnan(dbm) ? QStringLiteral("--") : QString::number(dbm, 'f', 1);
}

QString deltaText(const MarkerReadout &a, const MarkerReadout &b)
{
    const double dl = b.level - a.level;
    return QStringLiteral("%1 MHz, %2 dB")
        .arg(QString::number(b.frequency - a.frequency, 'f', 3),
             std::isnan(dl) ? QStringLiteral("--") : QString::number(dl, 'f', 1));
}

} // namespace MarkerMath

namespace {
const QColor markerColors[SpectrumMarkers::MaxMarkers] = {
    QColor(255, 255, 255), QColor(120, 255, 120), QColor(255, 170, 60), QColor(160, 160, 255)};
}

SpectrumMarkers::SpectrumMarkers(SpectroPlot *plot, QObject *parent)
    : QObject(parent), m_plot(plot), m_lineOwner(plot)
{
    plot->canvas()->installEventFilter(this);
    connect(plot, &SpectroPlot::statisticsChanged, this, &SpectrumMarkers::changed);
}

SpectrumMarkers::~SpectrumMarkers()
{
    // As the plot's child the markers go with it, after it deleted its items.
    // The plot may be half destroyed here, so it is compared as a QObject,
    // never cast back to a plot.
    if (!m_plot.isNull() && parent() != static_cast<QObject *>(m_lineOwner))
        qDeleteAll(m_lines);
}

void SpectrumMarkers::setBandKey(const QString &key)
{
    m_bandKey = key;
    m_markers.clear();
    m_reference = 0;
    const QVariantList stored = QSettings().value(key).toList();
    for (const QVariant &entry : stored) {
        const QVariantMap m = entry.toMap();
        bool ok = false;
        const double f = m.value(QStringLiteral("frequency")).toDouble(&ok);
        const int trace = m.value(QStringLiteral("trace")).toInt();
        // A damaged entry is dropped, not guessed at.
        if (!ok || !std::isfinite(f) || trace < 0 || trace >= TraceKindCount ||
            m_markers.size() >= MaxMarkers)
            continue;
        if (m.value(QStringLiteral("reference")).toBool())
            m_reference = m_markers.size();
        m_markers.append({f, TraceKind(trace)});
    }
    m_selected = m_markers.isEmpty() ? -1 : 0;
    rebuildLines();
}

void SpectrumMarkers::save() const
{
    if (m_bandKey.isEmpty())
        return;
    QVariantList list;
    for (int i = 0; i < m_markers.size(); ++i) {
        QVariantMap m{{QStringLiteral("frequency"), m_markers.at(i).frequency},
                      {QStringLiteral("trace"), int(m_markers.at(i).trace)}};
        if (i == m_reference && i > 0)
            m.insert(QStringLiteral("reference"), true);
        list.append(m);
    }
    QSettings().setValue(m_bandKey, list);
}

QwtInterval SpectrumMarkers::cells() const
{
    return m_plot->densityData()->interval(Qt::XAxis);
}

QwtInterval SpectrumMarkers::view() const
{
    return m_plot->axisScaleDiv(QwtPlot::xBottom).interval();
}

double SpectrumMarkers::resolutionMHz() const
{
    const int columns = m_plot ? m_plot->statistics().columns : 0;
    return columns > 1 ? cells().width() / (columns - 1) : 0.0;
}

MarkerReadout SpectrumMarkers::readout(int index) const
{
    if (index < 0 || index >= m_markers.size())
        return {};
    return MarkerMath::readout(m_plot->statistics(), cells(), view(), m_markers.at(index));
}

bool SpectrumMarkers::add(double frequency, TraceKind trace)
{
    if (m_markers.size() >= MaxMarkers || !std::isfinite(frequency))
        return false;
    m_markers.append({frequency, trace});
    m_selected = m_markers.size() - 1;
    rebuildLines();
    return true;
}

bool SpectrumMarkers::addAtPeak()
{
    const QwtInterval v = view().normalized();
    if (!add(v.minValue() + v.width() / 2.0))
        return false;
    toPeak();
    return true;
}

void SpectrumMarkers::remove(int index)
{
    if (index < 0 || index >= m_markers.size())
        return;
    m_markers.removeAt(index);
    m_selected = qMin(m_selected, m_markers.size() - 1);
    // The reference stays on its marker; without it, M1 is the reference.
    if (index == m_reference)
        m_reference = 0;
    else if (index < m_reference)
        --m_reference;
    rebuildLines();
}

void SpectrumMarkers::select(int index)
{
    if (index < 0 || index >= m_markers.size())
        return;
    m_selected = index;
    updateLines();
}

void SpectrumMarkers::setReference(int index)
{
    if (index < 0 || index >= m_markers.size())
        return;
    m_reference = index;
    updateLines();
}

void SpectrumMarkers::setFrequency(int index, double frequency)
{
    if (index < 0 || index >= m_markers.size() || !std::isfinite(frequency))
        return;
    m_markers[index].frequency = frequency;
    updateLines();
}

void SpectrumMarkers::setTrace(int index, TraceKind trace)
{
    if (index < 0 || index >= m_markers.size())
        return;
    m_markers[index].trace = trace;
    updateLines();
}

bool SpectrumMarkers::toPeak()
{
    const std::optional<double> f = MarkerMath::peak(m_plot->statistics(), cells(), view());
    if (!f)
        return false;
    if (m_selected < 0)
        return add(*f);
    setFrequency(m_selected, *f);
    return true;
}

bool SpectrumMarkers::toNextPeak()
{
    if (m_selected < 0)
        return toPeak();
    const SpectrumMarker &m = m_markers.at(m_selected);
    // Measured on max hold, whatever trace the marker reads.
    const double level = traceLevel(m_plot->statistics(), TraceKind::MaxHold,
                                    traceColumn(m_plot->statistics(), cells(), m.frequency));
    const std::optional<double> f = MarkerMath::nextPeak(
        m_plot->statistics(), cells(), view(), m.frequency, std::isnan(level) ? HUGE_VAL : level);
    if (!f)
        return false;
    setFrequency(m_selected, *f);
    return true;
}

void SpectrumMarkers::rebuildLines()
{
    qDeleteAll(m_lines); // deleting an item detaches it
    m_lines.clear();
    for (int i = 0; i < m_markers.size(); ++i) {
        auto *line = new QwtPlotMarker(QStringLiteral("M%1").arg(i + 1));
        line->setLineStyle(QwtPlotMarker::VLine);
        line->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
        line->setLabelOrientation(Qt::Horizontal);
        line->setZ(50.0);
        line->attach(m_plot);
        m_lines.append(line);
    }
    updateLines();
}

void SpectrumMarkers::updateLines()
{
    for (int i = 0; i < m_lines.size(); ++i) {
        QwtPlotMarker *line = m_lines.at(i);
        const bool selected = i == m_selected;
        QPen pen(markerColors[i], selected ? 2.0 : 0.0, selected ? Qt::SolidLine : Qt::DashLine);
        pen.setCosmetic(true);
        line->setLinePen(pen);
        line->setXValue(m_markers.at(i).frequency);
        QwtText label(i == reference() && m_markers.size() > 1
                          ? QStringLiteral("M%1 ref").arg(i + 1)
                          : QStringLiteral("M%1").arg(i + 1));
        label.setColor(markerColors[i]);
        line->setLabel(label);
    }
    save();
    m_plot->replot();
    emit changed();
}

bool SpectrumMarkers::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::ControlModifier) {
            const double f = m_plot->invTransform(QwtPlot::xBottom, mouse->pos().x());
            if (!add(f))
                setFrequency(m_selected, f);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
