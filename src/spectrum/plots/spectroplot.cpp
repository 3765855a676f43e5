#include "spectroplot.h"

#include "deferredclick.h"
#include "frequencyscaledraw.h"
#include "highlightcolormap.h"
#include "highlightspectrogram.h"
#include "notestyle.h"
#include "plotcanvas.h"
#include "plotcolorbar.h"
#include "rasterspectrogram.h"
#include "rightclickmachine.h"
#include "spectrocolormap.h"
#include "spectrogramdata.h"
#include "sptrackpicker.h"
#include "tnwmatrixrasterdata.h"
#include "tnwplotmarker.h"
#include "wifichannelsscaledraw.h"
#include "wificurve.h"
#include "wifimarker.h"

#include <qwt_picker_machine.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_plot_spectrogram.h>

SpectroPlot::SpectroPlot(QWidget *parent) : QwtPlot(parent), m_labels(labelRules())
{
    setAutoReplot(false);
    setCanvas(new OpaqueCanvas(this));
    // The dark style sheet paints the canvas; only a canvas style sheet makes it black.
    canvas()->setStyleSheet(QStringLiteral("* { background-color: black }"));
    configureLiveCanvas(canvas());
    // The density picture paints the canvas's black itself, only where it
    // does not cover it: no widget fills a background under the canvas.
    canvas()->setAttribute(Qt::WA_OpaquePaintEvent, true);

    m_densityRaster = new RasterSpectrogram;
    m_density = m_densityRaster;
    m_density->setRenderThreadCount(0);
    m_densityData = new SpectrogramData;
    m_density->setData(m_densityData);
    m_density->setColorMap(new SpectroColorMap);
    m_densityRaster->setFillsCanvas(true);
    m_density->attach(this);

    m_highlight = new HighlightSpectrogram;
    m_highlight->setRenderThreadCount(0);
    m_highlightData = new TnwMatrixRasterData;
    m_highlightData->setResampleMode(TnwMatrixRasterData::BicubicInterpolation);
    m_highlightData->setInterval(Qt::ZAxis, QwtInterval(0.0, 1.0));
    m_highlightData->setValueMatrix(QVector<double>(1, 0.0), 1);
    m_highlight->setData(m_highlightData);
    m_highlight->setColorMap(new HighlightColorMap);
    m_highlight->attach(this); // after the density item: it multiplies over it
    // Replots without new data or geometry (a label, the tracker, a Wi-Fi
    // update) draw the kept pictures again.
    m_densityRaster->setRenderCacheEnabled(true);
    m_highlight->setRenderCacheEnabled(true);
    setFusedRendering(true);

    setAxisTitle(QwtPlot::xBottom, tr("Frequency [MHz]"));
    setAxisScaleDraw(QwtPlot::xBottom, new FrequencyScaleDraw);
    setAxisTitle(QwtPlot::yLeft, tr("Amplitude [dBm]"));

    m_colorBar = installColorBar(this, tr("Density [%]"), new SpectroColorMap, 0.0, 50.0);

    // The top axis carries the channel scale on the 2.4 GHz band; it stays
    // hidden until the page enables it.
    m_wifiDiv = channelScaleDiv(wifiChannelFrequencies);
    m_zigBeeDiv = channelScaleDiv(zigBeeChannelFrequencies);
    setWifiZigBee(false);

    m_tracker = new SpTrackPicker(canvas());
    m_tracker->setStateMachine(new QwtPickerTrackerMachine);
    m_tracker->setRubberBandPen(QPen(Qt::gray, 1, Qt::DotLine));
    m_tracker->setRubberBand(QwtPicker::CrossRubberBand);
    m_tracker->setTrackerMode(QwtPicker::AlwaysOn);
    m_tracker->setTrackerPen(QPen(Qt::gray));

    m_leftPicker = new QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, canvas());
    m_leftPicker->setStateMachine(new QwtPickerClickPointMachine);
    // The prompt waits until the click cannot be the first half of a double
    // click, which returns to the whole band instead.
    m_leftClick = new DeferredClick(canvas(), [this](const QPointF &pos) { onLeftClick(pos); });
    connect(m_leftPicker, qOverload<const QPointF &>(&QwtPlotPicker::selected), m_leftClick,
            &DeferredClick::post);

    m_rightPicker = new QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, canvas());
    m_rightPicker->setStateMachine(new RightClickMachine);
    connect(m_rightPicker, qOverload<const QPointF &>(&QwtPlotPicker::selected), this,
            &SpectroPlot::onRightClick);

    plotLayout()->setAlignCanvasToScales(true);
    setAutoReplot(true);
}

SpectroPlot::~SpectroPlot() = default;

void SpectroPlot::setFusedRendering(bool on)
{
    m_densityRaster->setOverlay(on ? m_highlight : nullptr);
    m_highlight->setFusedInto(on ? m_densityRaster : nullptr);
    m_densityRaster->setColorTableEnabled(on);
    m_highlight->setColorTableEnabled(on);
    invalidateRasters();
}

bool SpectroPlot::fusedRendering() const
{
    return m_densityRaster->overlay() != nullptr;
}

void SpectroPlot::invalidateRasters()
{
    m_densityRaster->invalidateRender();
    m_highlight->invalidateRender();
}

void SpectroPlot::setData(const RfSpectrumSampleList &data)
{
    if (data.isEmpty())
        return;
    const QwtInterval xCells = m_densityData->interval(Qt::XAxis);
    const QwtInterval yCells = m_densityData->interval(Qt::YAxis);
    m_statistics.computeSpectrumStatistics(data, yCells);
    const SpectrumStatistics &s = m_statistics.statistics();

    // A first sample without bins or an amplitude range narrower than 1 dB
    // leaves no cell to draw or read.
    if (s.columns < 1 || s.rows < 1)
        showNoData();
    else {
        m_densityData->setValueMatrix(s.densityMatrix, s.columns);
        m_highlightData->setValueMatrix(s.hitMatrix, s.columns);
        invalidateRasters();
        // The rows are read where they are drawn: 1 dB each over the raster's
        // Y interval, whatever the left axis shows.
        m_tracker->setTrackData(s.columns, s.densityMatrix, s.currentTrace, s.averageTrace,
                                s.maxHoldTrace, xCells, yCells);
    }

    const bool autoReplotWas = autoReplot();
    setAutoReplot(false);
    // The Wi-Fi overlay raised the axis for its strongest name; keep it so.
    int top = qMax(int(s.peak) + 2, -50);
    if (!m_wifiCurves.isEmpty())
        top = qMax(top, m_wifiPeak + 4);
    applyAmplitudeAxis(top);
    // Readers update their items here; the caller replots once for all.
    emit statisticsChanged();
    setAutoReplot(autoReplotWas);
}

void SpectroPlot::applyAmplitudeAxis(double autoTop)
{
    m_autoTop = autoTop;
    if (m_amplitudeRange.isValid())
        setAxisScale(QwtPlot::yLeft, m_amplitudeRange.minValue(), m_amplitudeRange.maxValue());
    else
        setAxisScale(QwtPlot::yLeft, -100.0, autoTop);
}

void SpectroPlot::setAmplitudeRange(const QwtInterval &range)
{
    // An invalid interval means "auto"; normalising it would make it valid.
    m_amplitudeRange = range.isValid() && range.width() > 0.0 ? range : QwtInterval();
    const bool autoReplotWas = autoReplot();
    setAutoReplot(false);
    applyAmplitudeAxis(m_autoTop);
    setAutoReplot(autoReplotWas);
    replot();
}

void SpectroPlot::showNoData()
{
    m_densityData->setValueMatrix(QVector<double>(1, 0.0), 1);
    m_highlightData->setValueMatrix(QVector<double>(1, 0.0), 1);
    invalidateRasters();
    m_tracker->clearTrackData();
}

void SpectroPlot::clearData()
{
    showNoData();
    const bool autoReplotWas = autoReplot();
    setAutoReplot(false);
    applyAmplitudeAxis(-30.0);
    emit statisticsChanged();
    setAutoReplot(autoReplotWas);
}

void SpectroPlot::setDataInterval(Qt::Axis axis, const QwtInterval &interval)
{
    m_densityData->setInterval(axis, interval);
    m_highlightData->setInterval(axis, interval);
    invalidateRasters();
}

bool SpectroPlot::labelHit(const SpectroLabel &label, const QPointF &pos)
{
    const QPointF p = label.position;
    return pos.x() >= p.x() && pos.x() <= p.x() + 15.0 && pos.y() >= p.y() - 10.0 &&
           pos.y() <= p.y();
}

QList<SpectroLabel> SpectroPlot::spectroLabels() const
{
    return m_labels.notes();
}

PlotNotes<SpectroLabel>::Rules SpectroPlot::labelRules()
{
    PlotNotes<SpectroLabel>::Rules rules;
    rules.hit = &SpectroPlot::labelHit;
    rules.written = [](const QPointF &pos, const QString &text) { return SpectroLabel(pos, text); };
    rules.rewritten = [](const SpectroLabel &old, const QString &text) {
        return SpectroLabel(old.position, text);
    };
    rules.rewrittenAt = [](const SpectroLabel &label, const QPointF &) { return label.position; };
    rules.draw = [this](const SpectroLabel &label, const QPointF &at) {
        return createLabelMarker(label, at);
    };
    rules.added = [this](const SpectroLabel &label) { emit spectroLabelAdded(label); };
    rules.removed = [this](const SpectroLabel &label) { emit spectroLabelRemoved(label); };
    rules.removeQuestion = tr("Do you want to remove the label?");
    return rules;
}

TnwPlotMarker *SpectroPlot::createLabelMarker(const SpectroLabel &label, const QPointF &at)
{
    auto *marker = new TnwPlotMarker;
    marker->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    marker->setLineStyle(QwtPlotMarker::NoLine);
    marker->setLinePen(QColor(255, 255, 255, 64), 2);
    QwtText text = NoteStyle::text(label.text, font());
    text.setRenderFlags(text.renderFlags() | Qt::TextWordWrap);
    marker->setLabel(text);
    marker->setLabelAlignment(Qt::AlignRight | Qt::AlignBottom);
    marker->setValue(at);
    marker->maxLabelWidth = 200.0;
    marker->attach(this);
    return marker;
}

void SpectroPlot::setSpectroLabels(const QList<SpectroLabel> &labels)
{
    for (const SpectroLabel &label : labels)
        m_labels.show(label, label.position);
    replot();
}

void SpectroPlot::clearSpectroLabels()
{
    m_labels.clear();
}

void SpectroPlot::onLeftClick(const QPointF &pos)
{
    if (m_labels.write(pos))
        replot();
}

void SpectroPlot::onRightClick(const QPointF &pos)
{
    if (m_labels.offerRemoval(pos))
        replot();
}

QwtPlotMarker *SpectroPlot::addQcPassLine()
{
    auto *line = new QwtPlotMarker;
    line->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    line->setLineStyle(QwtPlotMarker::HLine);
    line->setYValue(-40.0);
    line->setLinePen(Qt::white, 2, Qt::SolidLine);
    line->setLabel(NoteStyle::text(QStringLiteral("QC Pass Line"), font()));
    line->setLabelAlignment(Qt::AlignLeft | Qt::AlignBottom);
    line->attach(this);
    return line;
}

void SpectroPlot::setWifiZigBee(bool zigBee)
{
    if (zigBee) {
        setAxisTitle(QwtPlot::xTop, tr("ZigBee Channel"));
        setAxisScaleDraw(QwtPlot::xTop, new ZigBeeChannelsScaleDraw);
    } else {
        setAxisTitle(QwtPlot::xTop, tr("Wi-Fi Channel"));
        setAxisScaleDraw(QwtPlot::xTop, new WifiChannelsScaleDraw);
    }
    // The channel axis shows the same part of the band as the frequency axis.
    QwtScaleDiv div = zigBee ? m_zigBeeDiv : m_wifiDiv;
    const QwtInterval shown = axisScaleDiv(QwtPlot::xBottom).interval();
    if (shown.width() > 0.0 && shown.minValue() >= div.lowerBound() - 1e-9 &&
        shown.maxValue() <= div.upperBound() + 1e-9)
        div.setInterval(shown);
    setAxisScaleDiv(QwtPlot::xTop, div);
}

void SpectroPlot::setWifiData(QList<WifiApInfo> wifiData)
{
    const bool autoReplotWas = autoReplot();
    setAutoReplot(false);
    clearWifiData();
    int peak = -128;
    for (const WifiApInfo &ap : qAsConst(wifiData)) {
        auto *curve = new WifiCurve(ap);
        auto *marker = new WifiMarker(ap);
        m_wifiCurves.append(curve);
        m_wifiMarkers.append(marker);
        curve->attach(this);
        marker->attach(this);
        peak = qMax(peak, ap.rssi);
    }
    m_wifiPeak = peak;
    updateAxes(); // the axis may still wait to take a scale set since the last replot
    // Raised from what the axis shows when it follows the data.
    const int top = m_amplitudeRange.isValid() ? int(m_autoTop)
                                               : int(axisScaleDiv(QwtPlot::yLeft).upperBound());
    applyAmplitudeAxis(qMax(top, peak + 4));
    setAutoReplot(autoReplotWas);
}

void SpectroPlot::clearWifiData()
{
    qDeleteAll(m_wifiCurves); // deleting an item detaches it
    qDeleteAll(m_wifiMarkers);
    m_wifiCurves.clear();
    m_wifiMarkers.clear();
    m_wifiPeak = -128;
}
