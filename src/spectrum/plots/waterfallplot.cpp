#include "waterfallplot.h"

#include "clock.h"
#include "deferredclick.h"
#include "frequencyscaledraw.h"
#include "notestyle.h"
#include "plotcanvas.h"
#include "plotcolorbar.h"
#include "rightclickmachine.h"
#include "timescaledraw.h"
#include "tnwplotmarker.h"
#include "waterfallcolormap.h"
#include "waterfalldata.h"
#include "waterfallspectrogram.h"
#include "wftrackpicker.h"
#include "wifiapinfo.h"
#include "wifichannelsscaledraw.h"

#include <qwt_picker_machine.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>

#include <QDateTime>

#include <qwt_thermo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

WaterfallPlot::WaterfallPlot(QWidget *parent) : QwtPlot(parent), m_events(eventRules())
{
    setAutoReplot(false);
    setCanvas(new OpaqueCanvas(this));
    // The dark style sheet paints the canvas; only a canvas style sheet makes it black.
    canvas()->setStyleSheet(QStringLiteral("* { background-color: black }"));
    configureLiveCanvas(canvas());
    // Opaque to Qt only: the canvas paints all of itself (not Qwt's opaque
    // painting, which would fill it twice first).
    canvas()->setAttribute(Qt::WA_OpaquePaintEvent, true);

    m_raster = new WaterfallSpectrogram;
    m_raster->setOpaqueOnBlack(true); // the canvas is black (the style sheet above)
    m_spectrogram = m_raster;
    m_spectrogram->setRenderThreadCount(0);
    // Replots without new data or geometry draw the kept picture again.
    m_raster->setRenderCacheEnabled(true);
    m_raster->setColorTableEnabled(true);
    m_spectrogram->setColorMap(new WaterfallColorMap);
    m_data = new WaterfallData;
    m_spectrogram->setData(m_data);
    m_spectrogram->attach(this);
    m_raster->setMatrixPreparer([this] { ensureMatrix(); });
    // The picture paints the canvas's black itself (the scrolling one covers
    // all of it): no whole-canvas fill under it.
    m_raster->setFillsCanvas(true);

    setAxisTitle(QwtPlot::xBottom, tr("Frequency [MHz]"));
    setAxisScaleDraw(QwtPlot::xBottom, new FrequencyScaleDraw);

    setAxisTitle(QwtPlot::yLeft, QStringLiteral("Time [h:m:s]"));
    setAxisScaleDraw(QwtPlot::yLeft, new TimeScaleDraw);
    const qint64 now = Clock::nowMs();
    setAxisScale(QwtPlot::yLeft, double(now - TimeAxisSpanMs), double(now));
    setAxisLabelRotation(QwtPlot::yLeft, -45.0);
    setAxisLabelAlignment(QwtPlot::yLeft, Qt::AlignLeft | Qt::AlignBottom);

    m_colorBar = installColorBar(this, tr("Amplitude [dBm]"), new WaterfallColorMap, -100.0, -30.0);

    // The top axis carries the channel scale on the 2.4 GHz band; it stays
    // hidden until the page enables it.
    setWifiZigBee(false);

    m_tracker = new WfTrackPicker(canvas());
    m_tracker->setStateMachine(new QwtPickerTrackerMachine);
    m_tracker->setRubberBandPen(QPen(Qt::gray, 1, Qt::DotLine));
    m_tracker->setRubberBand(QwtPicker::CrossRubberBand);
    m_tracker->setTrackerMode(QwtPicker::AlwaysOn);
    m_tracker->setTrackerPen(QPen(Qt::gray));

    m_leftPicker = new QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, canvas());
    m_leftPicker->setStateMachine(new QwtPickerClickPointMachine);
    m_leftPicker->setTrackerPen(QPen(Qt::white));
    // The prompt waits until the click cannot be the first half of a double
    // click, which returns to the whole band instead.
    m_leftClick = new DeferredClick(canvas(), [this](const QPointF &pos) { onLeftClick(pos); });
    connect(m_leftPicker, qOverload<const QPointF &>(&QwtPlotPicker::selected), m_leftClick,
            &DeferredClick::post);

    m_rightPicker = new QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, canvas());
    m_rightPicker->setStateMachine(new RightClickMachine);
    m_rightPicker->setTrackerPen(QPen(Qt::white));
    connect(m_rightPicker, qOverload<const QPointF &>(&QwtPlotPicker::selected), this,
            &WaterfallPlot::onRightClick);

    // The rotated time labels hang below the canvas, so the left axis widget
    // reaches into the corner where the first frequency label sits. Both
    // axes are drawn without a background there (see updateLayout).
    for (int axis : {int(QwtPlot::yLeft), int(QwtPlot::xBottom), int(QwtPlot::xTop)})
        axisWidget(axis)->setStyleSheet(QStringLiteral("background: transparent"));

    plotLayout()->setAlignCanvasToScales(true);
    setAutoReplot(true);
}

WaterfallPlot::~WaterfallPlot() = default;

void WaterfallPlot::invalidateRaster()
{
    m_raster->invalidateRows();
}

void WaterfallPlot::setIncrementalRendering(bool on)
{
    m_incremental = on;
    m_raster->setRowCacheEnabled(on);
    m_shown.clear();
}

void WaterfallPlot::updateLayout()
{
    QwtPlot::updateLayout();
    // The layout masks the part of the frequency axis that overlaps the left
    // axis, which cut the first frequency label to "00". The two overlap only
    // in the corner and neither paints a background, so both stay whole.
    axisWidget(QwtPlot::xBottom)->clearMask();
    axisWidget(QwtPlot::xTop)->clearMask();
}

// The number of samples `data` is the shown selection moved on by, or 0.
// The overlap is recognised by the time stamps and the identity of the
// (implicitly shared) sweeps, row by row but never level by level: a
// history hands out the same sweeps every time, and a sweep that differs
// anywhere is another sweep.
int WaterfallPlot::slideOf(const RfSpectrumSampleList &data, int columns) const
{
    const int rows = data.size();
    if (!m_incremental || m_shown.size() != rows || rows < 2 || columns != m_columns)
        return 0;
    auto same = [](const RfSpectrumSample &a, const RfSpectrumSample &b) {
        return a.timeStamp == b.timeStamp && a.spectrum.size() == b.spectrum.size() &&
               a.spectrum.constData() == b.spectrum.constData();
    };
    int k = 1;
    while (k < rows && !same(m_shown.at(k), data.first()))
        ++k;
    if (k >= rows)
        return 0;
    for (int i = 1; i < rows - k; ++i)
        if (!same(m_shown.at(i + k), data.at(i)))
            return 0;
    return k;
}

// Rows [from, to) of the selection, every stride-th, into the matrix at
// `cell`.
void WaterfallPlot::fillRows(const RfSpectrumSampleList &data, int from, int to, int stride,
                             int columns, double *cell)
{
    for (int r = from; r < to; r += stride) {
        const RfSpectrumScan &spectrum = data.at(r).spectrum;
        const int n = qMin(columns, spectrum.size());
        const qint8 *bins = spectrum.constData();
        for (int i = 0; i < n; ++i)
            cell[i] = bins[i];
        std::fill(cell + n, cell + columns, double(NoDataLevel));
        cell += columns;
    }
}

void WaterfallPlot::countLevels(const RfSpectrumScan &spectrum, int columns, bool add)
{
    const qint8 *bins = spectrum.constData();
    for (int i = 0, n = qMin(columns, spectrum.size()); i < n; ++i) {
        if (add)
            m_levels.add(bins[i]);
        else
            m_levels.remove(bins[i]);
    }
}

// The levels of the rows shown, for the automatic colour range; counted
// even while the range is fixed, so "auto" returns at once. A selection
// that is the last one moved on counts only the sweeps that came and went.
void WaterfallPlot::countSelection(const RfSpectrumSampleList &data, int stride, int columns)
{
    const RfSpectrumSampleList &old = m_counted;
    auto same = [](const RfSpectrumSample &a, const RfSpectrumSample &b) {
        return a.timeStamp == b.timeStamp && a.spectrum.constData() == b.spectrum.constData() &&
               a.spectrum.size() == b.spectrum.size();
    };
    int left = -1; // sweeps of the old selection before the new one's first
    if (stride == 1 && m_countedStride == 1 && m_countedColumns == columns && !old.isEmpty()) {
        constexpr int MaxLeft = 64;
        for (int q = 0; q < qMin(old.size(), MaxLeft) && left < 0; ++q)
            if (same(old.at(q), data.first()))
                left = q;
        const int kept = old.size() - left;
        if (left >= 0 && (kept > data.size() || !same(data.at(kept - 1), old.last())))
            left = -1;
    }
    if (left >= 0) {
        for (int q = 0; q < left; ++q)
            countLevels(old.at(q).spectrum, columns, false);
        for (int r = old.size() - left; r < data.size(); ++r)
            countLevels(data.at(r).spectrum, columns, true);
    } else {
        m_levels.clear();
        for (int r = 0; r < data.size(); r += stride)
            countLevels(data.at(r).spectrum, columns, true);
    }
    m_counted = data;
    m_countedStride = stride;
    m_countedColumns = columns;
}

// The matrix of the selection, every stride-th sample.
void WaterfallPlot::buildMatrix(const RfSpectrumSampleList &data, int stride, int columns)
{
    // The raster lets go of the matrix first so that it is rewritten in
    // place instead of allocated anew for every update.
    m_data->setValueMatrix(QVector<double>(1, double(NoDataLevel)), 1);
    const int rows = data.size();
    const int shownRows = (rows + stride - 1) / stride;
    QVector<double> &matrix = m_matrix;
    const int slide = stride == 1 ? slideOf(data, columns) : 0;
    m_lastSlide = slide;
    if (slide > 0) {
        // The oldest rows leave, the rest move down, the new ones are
        // written on top: the cost of the new rows, not of the selection.
        double *cells = matrix.data();
        std::memmove(cells, cells + qsizetype(slide) * columns,
                     sizeof(double) * qsizetype(rows - slide) * columns);
        fillRows(data, rows - slide, rows, 1, columns, cells + qsizetype(rows - slide) * columns);
        m_raster->rowsSlid(slide);
    } else {
        matrix.resize(shownRows * columns);
        fillRows(data, 0, rows, stride, columns, matrix.data());
        m_raster->invalidateRows();
    }
    // Only an unthinned selection can slide row by row.
    m_shown = stride == 1 && m_incremental ? data : RfSpectrumSampleList();
    m_columns = columns;
    m_data->setValueMatrix(matrix, columns);
}

void WaterfallPlot::ensureMatrix()
{
    if (!m_matrixStale || m_selection.isEmpty())
        return;
    m_matrixStale = false;
    buildMatrix(m_selection, 1, m_selection.first().spectrum.size());
}

void WaterfallPlot::setLiveScrolling(bool on)
{
    if (on == m_liveScrolling)
        return;
    m_liveScrolling = on;
    if (on || !m_raster->isLive())
        return;
    // The faithful picture of the selection shown, at its own time.
    ensureMatrix();
    m_raster->leaveLive();
    const bool autoReplotWas = autoReplot();
    setAutoReplot(false);
    applyTimeAxis();
    setAutoReplot(autoReplotWas);
}

bool WaterfallPlot::isScrolling() const
{
    return m_raster->isLive();
}

void WaterfallPlot::setData(const RfSpectrumSampleList &data)
{
    if (data.isEmpty())
        return;
    const qint64 first = data.first().timeStamp;
    const qint64 last = data.last().timeStamp;
    const int rows = data.size();
    const int columns = data.first().spectrum.size();
    m_selection = data;

    if (columns < 1) {
        // A first sample without bins leaves nothing to lay out in columns.
        m_data->setValueMatrix(QVector<double>(1, double(NoDataLevel)), 1);
        m_tracker->clearTrackData();
        m_shown.clear();
        m_counted.clear();
        m_lastSlide = 0;
        m_matrixStale = false;
        m_raster->leaveLive();
        m_raster->invalidateRows();
    } else {
        // N comes from the first sample; every row is padded with no-data or
        // cut to N, so a damaged recording whose samples differ in length
        // never writes past the matrix.
        // A very long selection (hours of a recording) is thinned to every
        // stride-th sample: the screen shows far fewer rows than that anyway,
        // and the matrix stays a bounded size.
        const int stride = int((qint64(rows) * columns + MaxCells - 1) / MaxCells);
        const int shownRows = (rows + stride - 1) / stride;
        countSelection(data, stride, columns);
        if (m_liveScrolling && stride == 1) {
            // The picture scrolls from the sweeps themselves; the matrix
            // waits until a drawing needs it.
            m_matrixStale = true;
            m_lastSlide = 0;
            m_raster->setLiveSelection(data, columns);
        } else {
            m_matrixStale = false;
            if (m_raster->isLive())
                m_raster->leaveLive();
            buildMatrix(data, stride, columns);
        }

        // The columns span the raster, whatever part of it the axis shows.
        const QwtInterval xCells = m_data->interval(Qt::XAxis).normalized();
        const double cellWidth = xCells.width() / columns;
        const double cellHeight = double((last - first) / shownRows);
        m_tracker->setColumnOrigin(xCells.minValue());
        m_tracker->setTrackData(columns, data, stride, cellWidth, cellHeight);
        if (m_colorRangeAuto)
            applyColorRange(autoColorRange(m_levels));
    }

    // Samples that share one moment (always the first sweep of a scan) still
    // get a row of visible height at the top of the axis.
    if (last > first)
        m_data->setInterval(Qt::YAxis, QwtInterval(double(first), double(last)));
    else
        m_data->setInterval(Qt::YAxis, QwtInterval(double(last - SingleRowSpanMs), double(last)));

    m_first = first;
    m_last = last;
    m_hasSelection = true;
    const bool autoReplotWas = autoReplot();
    setAutoReplot(false);
    applyTimeAxis();
    setAutoReplot(autoReplotWas);
}

void WaterfallPlot::applyTimeAxis()
{
    if (!m_hasSelection)
        return;
    const double span =
        double(m_timeSpan > 0 ? m_timeSpan : qMax(TimeAxisSpanMs, m_last - m_first));
    double top = double(m_last);
    if (m_raster->isLive()) {
        // The scrolling picture moves in whole pixel lines, and the axis
        // with it: its top is the next whole line's time.
        const QwtScaleMap map = canvasMap(QwtPlot::yLeft);
        const double pixels = std::abs(map.p1() - map.p2());
        if (pixels >= 1.0) {
            const double line = span / pixels;
            top = std::ceil(top / line) * line;
        }
    }
    setAxisScale(QwtPlot::yLeft, top - span, top);
}

void WaterfallPlot::setTimeSpan(qint64 ms)
{
    m_timeSpan = qMax<qint64>(0, ms);
    applyTimeAxis();
}

void WaterfallPlot::applyColorRange(const ColorRange &range)
{
    if (range == m_colorRange)
        return;
    m_colorRange = range;
    m_data->setInterval(Qt::ZAxis, QwtInterval(range.low, range.high));
    m_colorBar->setScale(range.low, range.high);
    m_colorBar->setValue(range.high);
    emit colorRangeChanged(range.low, range.high);
}

void WaterfallPlot::setColorRange(double low, double high)
{
    if (!std::isfinite(low) || !std::isfinite(high) || low == high)
        return;
    m_colorRangeAuto = false;
    applyColorRange({qMin(low, high), qMax(low, high)});
    replot();
}

void WaterfallPlot::setAutoColorRange()
{
    m_colorRangeAuto = true;
    // The next selection brings its own range; until then the last one's.
    if (m_levels.total > 0)
        applyColorRange(autoColorRange(m_levels));
    replot();
}

void WaterfallPlot::clearData()
{
    m_raster->leaveLive();
    m_matrixStale = false;
    m_selection.clear();
    m_counted.clear();
    m_data->setValueMatrix(QVector<double>(1, 0.0), 1);
    // No Y interval: the raster draws nothing, as before the first sweep.
    m_data->setInterval(Qt::YAxis, QwtInterval());
    invalidateRaster();
    m_tracker->clearTrackData();
    m_hasSelection = false;
    m_shown.clear();
    m_levels.clear();
    const bool autoReplotWas = autoReplot();
    setAutoReplot(false);
    const qint64 now = Clock::nowMs();
    setAxisScale(QwtPlot::yLeft, double(now - TimeAxisSpanMs), double(now));
    setAutoReplot(autoReplotWas);
}

void WaterfallPlot::setDataInterval(Qt::Axis axis, const QwtInterval &interval)
{
    m_data->setInterval(axis, interval);
    invalidateRaster();
}

bool WaterfallPlot::eventHit(const TimeEvent &event, const QPointF &pos)
{
    const double t = double(event.time.toMSecsSinceEpoch());
    return pos.y() < t && t < pos.y() + 5000.0;
}

QList<TimeEvent> WaterfallPlot::timeEvents() const
{
    return m_events.notes();
}

PlotNotes<TimeEvent>::Rules WaterfallPlot::eventRules()
{
    PlotNotes<TimeEvent>::Rules rules;
    rules.hit = &WaterfallPlot::eventHit;
    rules.written = [](const QPointF &pos, const QString &text) {
        return TimeEvent(QDateTime::fromMSecsSinceEpoch(qint64(pos.y())), text);
    };
    rules.rewritten = [](const TimeEvent &old, const QString &text) {
        return TimeEvent(old.time, text);
    };
    // The line stays at its moment; its note goes where the user clicked.
    rules.rewrittenAt = [](const TimeEvent &event, const QPointF &pos) {
        return QPointF(pos.x(), double(event.time.toMSecsSinceEpoch()));
    };
    rules.draw = [this](const TimeEvent &event, const QPointF &at) {
        return createEventMarker(at, event.text);
    };
    rules.added = [this](const TimeEvent &event) { emit timeEventAdded(event); };
    rules.removed = [this](const TimeEvent &event) { emit timeEventRemoved(event); };
    rules.removeQuestion = tr("Do you want to remove the event?");
    // Only the first match is examined, whatever the answer.
    rules.offerFirstHitOnly = true;
    return rules;
}

TnwPlotMarker *WaterfallPlot::createEventMarker(const QPointF &pos, const QString &text)
{
    auto *marker = new TnwPlotMarker; // kept inside the canvas; no wrapping
    marker->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    marker->setLineStyle(QwtPlotMarker::HLine);
    marker->setLinePen(QColor(255, 255, 255, 64), 2, Qt::SolidLine);
    marker->setLabel(NoteStyle::text(text, font()));
    marker->setLabelAlignment(Qt::AlignLeft | Qt::AlignBottom);
    marker->setValue(pos);
    marker->attach(this);
    return marker;
}

void WaterfallPlot::setTimeEvents(const QList<TimeEvent> &events)
{
    const double middle = m_data->interval(Qt::XAxis).normalized().minValue() +
                          m_data->interval(Qt::XAxis).normalized().width() / 2.0;
    for (const TimeEvent &event : events)
        m_events.show(event, QPointF(middle, double(event.time.toMSecsSinceEpoch())));
    replot();
}

void WaterfallPlot::onLeftClick(const QPointF &pos)
{
    if (m_events.write(pos))
        replot();
}

void WaterfallPlot::onRightClick(const QPointF &pos)
{
    if (m_events.offerRemoval(pos))
        replot();
}

void WaterfallPlot::setWifiZigBee(bool zigBee)
{
    setAxisTitle(QwtPlot::xTop, zigBee ? tr("ZigBee Channel") : tr("Wi-Fi Channel"));
    if (zigBee)
        setAxisScaleDraw(QwtPlot::xTop, new ZigBeeChannelsScaleDraw);
    else
        setAxisScaleDraw(QwtPlot::xTop, new WifiChannelsScaleDraw);
    // The channel axis shows the same part of the band as the frequency axis.
    QwtScaleDiv div = zigBee ? channelScaleDiv(zigBeeChannelFrequencies)
                             : channelScaleDiv(wifiChannelFrequencies);
    const QwtInterval shown = axisScaleDiv(QwtPlot::xBottom).interval();
    if (shown.width() > 0.0 && shown.minValue() >= div.lowerBound() - 1e-9 &&
        shown.maxValue() <= div.upperBound() + 1e-9)
        div.setInterval(shown);
    setAxisScaleDiv(QwtPlot::xTop, div);
}
