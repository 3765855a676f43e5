#include "tabpage.h"

#include "clock.h"
#include "heldtraces.h"
#include "plotaids.h"
#include "rangeslider.h"
#include "spectroplot.h"
#include "sweepmarker.h"
#include "waterfallplot.h"

#include <QAction>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <qwt_plot_canvas.h>

#include <ctime>
#include <limits>

namespace {

// A label whose text changes every second while sweeps come in: a label that
// may change its size makes the page lay out again with every new text, and
// the tab widget around the page then repaints the whole window. Fixed at the
// size of its widest text (every digit tried in every place, with a margin
// for a longer zone name), it repaints only itself.
void fixToWidestText(QLabel *label, const QStringList &samples)
{
    label->ensurePolished(); // the style sheet's font
    const QString text = label->text();
    QSize widest;
    for (const QString &sample : samples) {
        for (char digit = '0'; digit <= '9'; ++digit) {
            QString shown = sample;
            for (QChar &c : shown)
                if (c.isDigit())
                    c = QLatin1Char(digit);
            label->setText(shown);
            widest = widest.expandedTo(label->sizeHint());
        }
    }
    label->setText(text);
    label->setFixedSize(widest.width() + 2 * label->fontMetrics().averageCharWidth(),
                        widest.height());
}

} // namespace

TabPage::TabPage(const PageActions &actions, QWidget *parent) : QWidget(parent), m_actions(actions)
{
    m_redrawTimer.setSingleShot(true);
    connect(&m_redrawTimer, &QTimer::timeout, this, &TabPage::redraw);
    m_streamIdle.setSingleShot(true);
    connect(&m_streamIdle, &QTimer::timeout, this, &TabPage::onStreamIdle);
    m_sideTimer.setSingleShot(true);
    connect(&m_sideTimer, &QTimer::timeout, this, &TabPage::syncSide);
    m_sinceRedraw.start();
    m_overloadClock.start();
    m_overloadTimer.setSingleShot(true);
    connect(&m_overloadTimer, &QTimer::timeout, this, [this] {
        const qint64 now = m_overloadClock.elapsed();
        if (m_overload.expire(now))
            showOverload();
        else if (m_overload.active())
            m_overloadTimer.start(int(m_overload.remainingMs(now)) + 1);
    });
}

TabPage::~TabPage() = default;

void TabPage::buildLayout(bool live)
{
    m_live = live;
    m_layout = new QVBoxLayout(this);
    m_toolBar = new QToolBar(this);
    // The trace buttons' colour swatches say nothing on their own.
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_layout->setMenuBar(m_toolBar);

    m_stack = new QStackedWidget(this);
    m_spectroPlot = new SpectroPlot(this);
    m_kivoIdOverlay.setPlot(m_spectroPlot);
    m_waterfallPlot = new WaterfallPlot(this);
    m_stack->addWidget(m_spectroPlot);
    m_stack->addWidget(m_waterfallPlot);
    m_aids = new PlotAids(m_spectroPlot, m_waterfallPlot, this);
    m_held = new HeldTraces(m_spectroPlot, this);
    m_held->setWindowTraces(m_aids->traces());
    m_sweepMarker = new SweepMarker(m_spectroPlot, m_waterfallPlot, &m_history, this);
    m_lblOverload = new QLabel(this);
    m_lblOverload->setObjectName(QStringLiteral("lblOverload"));
    m_lblOverload->setStyleSheet(QStringLiteral(
        "QLabel { background-color: #b00020; color: white; font-weight: bold; padding: 4px; }"));
    m_lblOverload->setAlignment(Qt::AlignCenter);
    m_lblOverload->hide();
    m_layout->addWidget(m_lblOverload);
    m_layout->addWidget(m_stack);

    auto *bottom = new QHBoxLayout;
    m_tbStop = new QToolButton(this);
    m_tbRecord = new QToolButton(this);
    if (m_actions.stop)
        m_tbStop->setDefaultAction(m_actions.stop);
    if (m_actions.record)
        m_tbRecord->setDefaultAction(m_actions.record);
    // A page fed from elsewhere has no scan of its own to start or stop.
    m_tbStop->setVisible(m_actions.stop != nullptr);
    m_tbRecord->setVisible(m_actions.record != nullptr);
    m_timeBar = new RangeSlider(this);
    m_timeBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_timeBar->setRange(0, 0);
    m_timeBar->setLowerValue(0);
    m_timeBar->setUpperValue(0);
    auto *labels = new QVBoxLayout;
    m_lblElapsed = new QLabel(QStringLiteral("00:00:00"), this);
    m_lblClock =
        new QLabel(QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat), this);
    fixToWidestText(m_lblElapsed, {elapsedText(0)});
    const QLocale locale = QLocale::system();
    fixToWidestText(m_lblClock, {locale.toString(QTime(1, 0, 0), QLocale::LongFormat),
                                 locale.toString(QTime(13, 0, 0), QLocale::LongFormat)});
    labels->addWidget(m_lblElapsed);
    labels->addWidget(m_lblClock);
    m_lblScanSettings = new QLabel(this);
    m_lblScanSettings->setObjectName(QStringLiteral("lblScanSettings"));
    m_lblScanSettings->setToolTip(tr("Resolution bandwidth, frequency step, points per sweep "
                                     "and sweep time of the running scan"));
    m_lblScanSettings->hide();
    m_tbLive = new QToolButton(this);
    m_tbLive->setObjectName(QStringLiteral("tbLive"));
    auto *goLiveAction = new QAction(tr("Live"), m_tbLive);
    goLiveAction->setToolTip(tr("Back to the live view: follow the newest sweeps (End)"));
    goLiveAction->setShortcut(QKeySequence(Qt::Key_End));
    goLiveAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_tbLive->setDefaultAction(goLiveAction);
    addAction(goLiveAction);
    connect(goLiveAction, &QAction::triggered, this, &TabPage::goLive);
    m_lblLive = new QLabel(this);
    m_lblLive->setObjectName(QStringLiteral("lblLive"));
    m_lblLive->setMinimumWidth(m_lblLive->fontMetrics().horizontalAdvance(
        tr("PAUSED, %1 behind").arg(QStringLiteral("00:00:00"))));
    bottom->addWidget(m_tbStop);
    bottom->addWidget(m_tbRecord);
    bottom->addWidget(m_timeBar);
    bottom->addWidget(m_tbLive);
    bottom->addWidget(m_lblLive);
    bottom->addWidget(m_lblScanSettings);
    bottom->addLayout(labels);
    m_layout->addLayout(bottom);

    if (m_actions.snapshot)
        m_toolBar->addAction(m_actions.snapshot);
    if (live && m_actions.save)
        m_toolBar->addAction(m_actions.save);
    m_toolBar->addSeparator();
    if (m_actions.toggleView)
        m_toolBar->addAction(m_actions.toggleView);
    m_toolBar->addSeparator();
    if (m_actions.kivoIds)
        m_toolBar->addAction(m_actions.kivoIds);
    m_aids->addActions(m_toolBar);
    m_held->addActions(m_toolBar);
    if (m_actions.markers)
        m_toolBar->addAction(m_actions.markers);
    if (!live) {
        m_tbStop->hide();
        m_tbRecord->hide();
        m_tbLive->hide();
        m_lblLive->hide();
        m_follow = false;
    }
    updateLiveState();

    // Only the upper handle follows the data; the lower one alone redraws
    // nothing.
    connect(m_timeBar, &RangeSlider::upperValueChanged, this, &TabPage::onTimeBarMoved);
    connect(m_timeBar, &RangeSlider::lowerValueChanged, this, [this](qlonglong lower) {
        if (!m_syncingBar)
            m_bar.lower = lower;
    });
    connect(m_timeBar, &RangeSlider::userResized, this, [this] {
        m_rangeChosen = true;
        m_followWidth = m_bar.lower == 0 ? -1 : m_bar.upper - m_bar.lower;
    });
    connect(m_timeBar, &RangeSlider::userMoved, this, &TabPage::onUserMovedBar);
}

TimeBarUpdate TabPage::followed(TimeBarUpdate update) const
{
    if (update.movesView && m_followWidth != 0)
        update.lowerValue =
            m_followWidth < 0 ? 0 : qMax<qint64>(0, update.upperValue - m_followWidth);
    return update;
}

void TabPage::onUserMovedBar(bool atEnd)
{
    if (!m_live)
        return;
    m_follow = atEnd;
    if (!atEnd) {
        updateLiveState();
        return;
    }
    // The bar on screen may lag the history by the sweeps of one drawing:
    // its end is the newest sweep, wherever the slider's maximum still is.
    if (!m_rangeChosen)
        m_followWidth = 0;
    else if (m_followWidth > 0)
        m_followWidth = m_bar.upper - m_bar.lower;
    TimeBarUpdate update;
    update.setsRange = true;
    update.rangeMaximum = m_history.sampleCount();
    update.movesView = true;
    update.upperValue = update.rangeMaximum;
    update.lowerValue =
        BandHistory::liveWindowStartFor(m_history.samples(), m_history.liveWindowStart());
    applyTimeBar(followed(update));
    scheduleRedraw();
}

void TabPage::goLive()
{
    if (!m_live)
        return;
    m_rangeChosen = false;
    m_followWidth = 0;
    onUserMovedBar(true);
    // The survey's range went back to the whole history.
    m_staleView[0] = m_staleView[1] = true;
    scheduleRedraw();
}

void TabPage::updateLiveState()
{
    if (!m_live)
        return;
    QString text;
    QString style;
    const RfSpectrumSampleList &samples = m_history.samples();
    if (m_follow) {
        text = tr("LIVE");
        style = QStringLiteral("QLabel { color: #1a9c3c; font-weight: bold; }");
    } else {
        const qint64 upper = qBound<qint64>(1, m_bar.upper, samples.size());
        const qint64 behind = samples.isEmpty() ? 0
                                                : timeSpanMs(samples.constLast().timeStamp,
                                                             samples.at(int(upper - 1)).timeStamp);
        text = tr("PAUSED, %1 behind").arg(elapsedText(behind));
        style = QStringLiteral("QLabel { color: #d08000; font-weight: bold; }");
    }
    if (m_lblLive->text() != text)
        m_lblLive->setText(text);
    if (m_lblLive->styleSheet() != style)
        m_lblLive->setStyleSheet(style);
    m_tbLive->setEnabled(!m_follow);
}

void TabPage::setIntervals(const QwtInterval &frequency, const QwtInterval &amplitude)
{
    m_spectroPlot->setAxisScale(QwtPlot::xBottom, frequency.minValue(), frequency.maxValue());
    m_spectroPlot->setAxisScale(QwtPlot::yLeft, -100, -30);
    m_spectroPlot->setDataInterval(Qt::XAxis, frequency);
    m_spectroPlot->setDataInterval(Qt::YAxis, amplitude);
    m_waterfallPlot->setAxisScale(QwtPlot::xBottom, frequency.minValue(), frequency.maxValue());
    m_waterfallPlot->setDataInterval(Qt::XAxis, frequency);
    m_waterfallPlot->setDataInterval(Qt::ZAxis, amplitude);
    m_aids->setBand(frequency);
    m_held->setBand(frequency);
    m_sweepMarker->setBand(frequency);
    m_spectroPlot->updateAxes();
    m_waterfallPlot->updateAxes();
}

void TabPage::initLive(const QVariantMap &bandDefaults)
{
    buildLayout(true);
    const double fStart = bandDefaults.value(QStringLiteral("FStart")).toDouble();
    const double span = bandDefaults.value(QStringLiteral("Span")).toDouble();
    const QwtInterval frequency(fStart, fStart + span);
    const QwtInterval amplitude(-100, -30);
    m_history.setFrequencyInterval(frequency);
    m_history.setAmplitudeInterval(amplitude);
    setIntervals(frequency, amplitude);
    connect(m_waterfallPlot, &WaterfallPlot::timeEventAdded, this, &TabPage::onTimeEventAdded);
    connect(m_waterfallPlot, &WaterfallPlot::timeEventRemoved, this, &TabPage::onTimeEventRemoved);
    connect(m_spectroPlot, &SpectroPlot::spectroLabelAdded, this, &TabPage::onSpectroLabelAdded);
    connect(m_spectroPlot, &SpectroPlot::spectroLabelRemoved, this,
            &TabPage::onSpectroLabelRemoved);
}

void TabPage::initRecorded(const RfSpectrumHistory &recorded)
{
    buildLayout(false);
    m_history = BandHistory(recorded);
    setIntervals(recorded.frequencyInterval, recorded.amplitudeInterval);
    for (const RfSpectrumSample &sample : recorded.samples)
        m_held->add(sample.spectrum);

    // The range is drawn once, below.
    applyTimeBar(m_history.recordedView());
    pushBar();
    if (m_history.sampleCount() > 0)
        updateLabels();
    m_staleView[0] = m_staleView[1] = false;

    const RfSpectrumSampleList selection = m_history.selection(m_bar.lower, m_bar.upper);
    if (!selection.isEmpty()) {
        m_spectroPlot->setData(selection);
        m_waterfallPlot->setData(selection);
    }
    m_waterfallPlot->setTimeEvents(recorded.timeEvents);
    m_spectroPlot->setSpectroLabels(recorded.spectroLabels);
    m_spectroPlot->replot();
    m_waterfallPlot->replot();

    // Connected after loading, so the loaded notes are not added twice.
    connect(m_waterfallPlot, &WaterfallPlot::timeEventAdded, this, &TabPage::onTimeEventAdded);
    connect(m_waterfallPlot, &WaterfallPlot::timeEventRemoved, this, &TabPage::onTimeEventRemoved);
    connect(m_spectroPlot, &SpectroPlot::spectroLabelAdded, this, &TabPage::onSpectroLabelAdded);
    connect(m_spectroPlot, &SpectroPlot::spectroLabelRemoved, this,
            &TabPage::onSpectroLabelRemoved);
}

int TabPage::currentView() const
{
    return m_stack->currentIndex();
}

void TabPage::applyTimeBar(const TimeBarUpdate &update)
{
    if (update.setsRange)
        m_bar.maximum = update.rangeMaximum;
    if (update.movesView) {
        m_bar.lower = qBound<qint64>(0, update.lowerValue, m_bar.maximum);
        m_bar.upper = qBound<qint64>(0, update.upperValue, m_bar.maximum);
        m_labelsStale = true;
        m_staleView[0] = m_staleView[1] = true;
    }
    if (!isVisible()) {
        // Nothing is painted for a page out of sight: the bar and labels
        // can follow at once.
        pushBar();
        if (m_labelsStale)
            updateLabels();
        return;
    }
    // On screen, every widget touched would be repainted once per sweep;
    // the bar and the labels follow with the next drawing instead.
    m_barPending = true;
    scheduleRedraw(true);
}

void TabPage::pushBar()
{
    m_syncingBar = true;
    m_timeBar->setRange(0, m_bar.maximum);
    m_timeBar->setLowerValue(m_bar.lower);
    m_timeBar->setUpperValue(m_bar.upper);
    m_syncingBar = false;
    m_barPending = false;
}

void TabPage::addNewSpectrumSample(RfSpectrumSample spectrumSample)
{
    // The view follows by the page's own state, not by where the slider
    // happens to be: the slider catches up only with the next drawing.
    const TimeBarUpdate update = m_history.addNewSpectrumSample(
        spectrumSample, m_follow ? std::numeric_limits<qint64>::max() : -1);
    m_streaming = true;
    m_streamIdle.start(qMax(StreamIdleMs, int(qMin(4 * m_history.meanSampleInterval(), 60000.0))));
    applyTimeBar(followed(update));
    watchOverload(spectrumSample.spectrum);
    m_held->add(spectrumSample.spectrum);
}

void TabPage::setScanSettings(const QString &text)
{
    if (text == m_lblScanSettings->text())
        return;
    m_lblScanSettings->setText(text);
    m_lblScanSettings->setVisible(!text.isEmpty());
    // The sweep time in it changes while scanning: the label only ever
    // grows, so a new text lays out (and repaints) the window only when
    // it needs more room.
    const QSize hint = m_lblScanSettings->sizeHint();
    if (hint.width() > m_lblScanSettings->maximumWidth() ||
        hint.height() != m_lblScanSettings->maximumHeight())
        m_lblScanSettings->setFixedSize(hint);
}

void TabPage::watchOverload(const RfSpectrumScan &scan)
{
    const qint64 now = m_overloadClock.elapsed();
    if (m_overload.addSweep(now, scan, m_history.frequencyInterval()))
        showOverload();
    if (m_overload.active() && !m_overloadTimer.isActive())
        m_overloadTimer.start(int(m_overload.remainingMs(now)) + 1);
}

void TabPage::showOverload()
{
    const QString text = m_overload.text();
    m_lblOverload->setText(text);
    m_lblOverload->setVisible(!text.isEmpty());
    emit overloadChanged(text);
}

bool TabPage::followsLiveSweeps() const
{
    return m_live && m_streaming && m_follow;
}

void TabPage::onStreamIdle()
{
    m_streaming = false;
    if (!m_waterfallPlot->isScrolling())
        return;
    // The scrolled picture becomes the faithful one.
    m_staleView[1] = true;
    if (isVisible() && m_stack->currentIndex() == 1)
        scheduleRedraw();
}

void TabPage::fillMissingHist()
{
    fillMissingHist(Clock::nowMs());
}

void TabPage::fillMissingHist(qint64 untilMs)
{
    TimeBarUpdate update = m_history.fillMissingHist(untilMs);
    if (!m_follow)
        update.movesView = false;
    applyTimeBar(followed(update));
}

void TabPage::clearHist()
{
    m_history.clearHist();
    m_spectroPlot->clearSpectroLabels();
    // Nothing of the old capture may stay on screen until the first sweep of
    // the new one: the bar, the labels and both plots show the empty state now.
    m_bar.maximum = m_bar.lower = m_bar.upper = 0;
    m_follow = m_live;
    m_rangeChosen = false;
    m_followWidth = 0;
    pushBar();
    updateLiveState();
    m_labelsStale = false;
    m_staleView[0] = m_staleView[1] = false;
    m_drawnUnreported = false;
    m_drawn.clear();
    m_labelSeconds.valid = false;
    m_lblElapsed->setText(elapsedText(0));
    m_lblClock->setText(QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat));
    m_spectroPlot->clearData();
    m_waterfallPlot->clearData();
    m_spectroPlot->replot();
    m_waterfallPlot->replot();
}

void TabPage::setProjectInfo(ProjectInfoData data)
{
    m_history.setProjectInfo(data);
}

QString TabPage::elapsedText(qint64 e)
{
    const qint64 hours = e / 3600000 - (e / 86400000) * 24;
    const qint64 minutes = e / 60000 - (e / 3600000) * 60;
    const qint64 seconds = e / 1000 - (e / 60000) * 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

void TabPage::updateLabels()
{
    const RfSpectrumSampleList &samples = m_history.samples();
    m_labelsStale = false;
    const qint64 upper = qMin<qint64>(m_bar.upper, samples.size());
    // With nothing at upper - 1 (empty history, bar at 0) the labels keep
    // what they show.
    if (upper < 1)
        return;
    const qint64 last = samples.at(int(upper - 1)).timeStamp;
    const qint64 elapsed = timeSpanMs(last, samples.constFirst().timeStamp);
    // Both labels show whole seconds: a live page asks with every sweep, and
    // the clock's local time costs the C library a look at the zone file.
    const qint64 elapsedSecond = elapsed / 1000;
    const qint64 clockSecond = last / 1000 - (last % 1000 < 0 ? 1 : 0);
    if (m_labelSeconds.valid && elapsedSecond == m_labelSeconds.elapsed &&
        clockSecond == m_labelSeconds.clock)
        return;
    m_labelSeconds = {true, elapsedSecond, clockSecond};
    m_lblElapsed->setText(elapsedText(elapsed));
    m_lblClock->setText(QLocale::system().toString(
        QDateTime::fromMSecsSinceEpoch(last).toLocalTime().time(), QLocale::LongFormat));
}

void TabPage::onTimeBarMoved()
{
    if (m_syncingBar)
        return; // the page itself moved the bar
    m_bar.lower = m_timeBar->lowerValue();
    m_bar.upper = m_timeBar->upperValue();
    // Moved away from the end, the view stays where it was put.
    m_follow = m_live && m_bar.upper >= m_timeBar->maximum();
    updateLabels();
    updateLiveState();
    m_staleView[0] = m_staleView[1] = true;
    scheduleRedraw();
}

namespace {

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

} // namespace

qint64 TabPage::redrawGapMs(double lastDrawMs, bool live)
{
    // Drawing takes the GUI thread, and the device thread waits for that
    // thread with every sweep: keep at least twice the last drawing's time
    // free between two drawings. New sweeps are drawn within the budget.
    const qint64 gap = qMax<qint64>(MinRedrawIntervalMs, qint64(2 * lastDrawMs));
    if (!live)
        return gap;
    // The live limits are on the time from one drawing's start to the
    // next's, and the gap follows the drawing's end: the drawing's own time
    // counts. (Counted from the end, a 12 ms picture at 20 sweeps a second
    // was drawn for only four sweeps of five.)
    const qint64 drawn = qint64(lastDrawMs);
    const qint64 frame = qMax<qint64>(gap, 1000 / MaxLiveFramesPerSecond - drawn);
    const qint64 share = qint64(lastDrawMs * (100 - LiveDrawSharePercent) / LiveDrawSharePercent);
    return qBound<qint64>(frame, share, qMax<qint64>(frame, MaxLiveRedrawIntervalMs - drawn));
}

void TabPage::scheduleRedraw(bool live)
{
    const qint64 gap = redrawGapMs(m_lastDrawMs, live);
    const qint64 since = m_sinceRedraw.elapsed();
    const int wait = since >= gap ? 0 : int(gap - since);
    // A user's request may bring a waiting live redraw forward.
    if (m_redrawTimer.isActive() && m_redrawTimer.remainingTime() <= wait)
        return;
    m_redrawTimer.start(wait);
}

void TabPage::flushRedraw()
{
    if (m_redrawTimer.isActive() || m_barPending) {
        m_redrawTimer.stop();
        redraw();
    }
    if (m_sideTimer.isActive() || m_barPending || m_drawnUnreported)
        syncSide();
}

void TabPage::syncSide()
{
    m_sideTimer.stop();
    m_sinceSide.start();
    if (m_barPending)
        pushBar();
    if (m_labelsStale)
        updateLabels();
    updateLiveState(); // paused, the distance to the newest sweep grows
    if (m_drawnUnreported) {
        m_drawnUnreported = false;
        const RfSpectrumSampleList drawn = m_drawn;
        m_drawn.clear();
        emit selectionDrawn(drawn);
    }
}

void TabPage::plotsChanged()
{
    m_staleView[0] = m_staleView[1] = true;
    scheduleRedraw();
}

void TabPage::drawPlot(int index, const RfSpectrumSampleList &selection)
{
    if (index == 0) {
        m_spectroPlot->setData(selection);
        m_spectroPlot->replot();
    } else {
        m_waterfallPlot->setLiveScrolling(followsLiveSweeps());
        m_waterfallPlot->setData(selection);
        m_waterfallPlot->replot();
    }
    m_staleView[index] = false;
}

void TabPage::redraw()
{
    // A page out of sight keeps its plots stale; showEvent draws it.
    if (!isVisible())
        return;
    // Following live sweeps, the rest of the page catches up with the
    // pictures a few times a second; otherwise at once.
    const bool sideDue = !followsLiveSweeps() || !m_sinceSide.isValid() ||
                         m_sinceSide.elapsed() >= SideUpdateIntervalMs;
    const int view = m_stack->currentIndex();
    if (sideDue) {
        // A selection drawn now supersedes one not yet reported.
        if (m_staleView[view])
            m_drawnUnreported = false;
        syncSide();
    } else if (!m_sideTimer.isActive()) {
        m_sideTimer.start(int(qMax<qint64>(0, SideUpdateIntervalMs - m_sinceSide.elapsed())));
    }
    if (!m_staleView[view])
        return;
    QElapsedTimer drawing;
    drawing.start();
    const double cpuBefore = processCpuMs();
    const RfSpectrumSampleList selection = m_history.selection(m_bar.lower, m_bar.upper);
    if (!selection.isEmpty()) {
        ++m_redrawCount;
        // Only the plot on screen is drawn; the other catches up when shown.
        drawPlot(view, selection);
        m_drawn = selection;
        m_drawnUnreported = true;
    }
    // The render threads work beside this one: the processor time tells the
    // drawing's cost better than the clock (the device thread's share of it
    // while drawing is small).
    m_lastDrawMs = qMax(drawing.nsecsElapsed() / 1e6, processCpuMs() - cpuBefore);
    m_sinceRedraw.restart();
    // The survey's own work is not the picture's: it is spaced by its own
    // interval, not counted in the drawing's.
    if (sideDue)
        syncSide();
}

void TabPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_staleView[m_stack->currentIndex()] || m_barPending || m_labelsStale)
        scheduleRedraw();
}

void TabPage::toggleView()
{
    m_stack->setCurrentIndex(m_stack->currentIndex() == 0 ? 1 : 0);
    if (m_staleView[m_stack->currentIndex()])
        scheduleRedraw();
}

void TabPage::onTimeEventAdded(TimeEvent event)
{
    m_history.addTimeEvent(event);
}

void TabPage::addTimeEvents(const QList<TimeEvent> &events)
{
    for (const TimeEvent &event : events)
        m_history.addTimeEvent(event);
    m_waterfallPlot->setTimeEvents(events);
}

void TabPage::onTimeEventRemoved(TimeEvent event)
{
    m_history.removeTimeEvent(event);
}

void TabPage::onSpectroLabelAdded(SpectroLabel label)
{
    m_history.addSpectroLabel(label);
}

void TabPage::onSpectroLabelRemoved(SpectroLabel label)
{
    m_history.removeSpectroLabel(label);
}

void TabPage::addQcPassLine()
{
    if (m_hasQcLine)
        return;
    m_hasQcLine = true;
    m_spectroPlot->addQcPassLine();
    m_spectroPlot->replot();
}

QPixmap TabPage::snapshotPixmap()
{
    flushRedraw();
    QwtPlot *plot = m_stack->currentIndex() == 0 ? static_cast<QwtPlot *>(m_spectroPlot)
                                                 : static_cast<QwtPlot *>(m_waterfallPlot);
    const QPixmap grab = plot->grab();
    QPixmap pixmap(grab.size());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 0, grab);
    const QRect canvas = plot->canvas()->geometry();
    QPixmap watermark(QStringLiteral(":/Watermark.png"));
    if (!watermark.isNull() && canvas.height() >= 8) {
        watermark = watermark.scaledToHeight(canvas.height() / 8, Qt::SmoothTransformation);
        painter.setOpacity(0.15);
        painter.drawPixmap(canvas.x() + 5, canvas.y() + 5, watermark);
    }
    painter.end();
    return pixmap;
}
