#include "tabpage.h"

#include "plotaids.h"
#include "rangeslider.h"
#include "spectroplot.h"
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

TabPage::TabPage(const PageActions &actions, QWidget *parent) : QWidget(parent), m_actions(actions)
{
    m_redrawTimer.setSingleShot(true);
    connect(&m_redrawTimer, &QTimer::timeout, this, &TabPage::redraw);
    m_streamIdle.setSingleShot(true);
    connect(&m_streamIdle, &QTimer::timeout, this, &TabPage::onStreamIdle);
    m_sinceRedraw.start();
}

TabPage::~TabPage() = default;

void TabPage::buildLayout(bool live)
{
    m_live = live;
    m_layout = new QVBoxLayout(this);
    m_toolBar = new QToolBar(this);
    m_layout->setMenuBar(m_toolBar);

    m_stack = new QStackedWidget(this);
    m_spectroPlot = new SpectroPlot(this);
    m_kivoIdOverlay.setPlot(m_spectroPlot);
    m_waterfallPlot = new WaterfallPlot(this);
    m_stack->addWidget(m_spectroPlot);
    m_stack->addWidget(m_waterfallPlot);
    m_aids = new PlotAids(m_spectroPlot, m_waterfallPlot, this);
    m_layout->addWidget(m_stack);

    auto *bottom = new QHBoxLayout;
    m_tbStop = new QToolButton(this);
    m_tbRecord = new QToolButton(this);
    if (m_actions.stop)
        m_tbStop->setDefaultAction(m_actions.stop);
    if (m_actions.record)
        m_tbRecord->setDefaultAction(m_actions.record);
    m_timeBar = new RangeSlider(this);
    m_timeBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_timeBar->setRange(0, 0);
    m_timeBar->setLowerValue(0);
    m_timeBar->setUpperValue(0);
    auto *labels = new QVBoxLayout;
    m_lblElapsed = new QLabel(QStringLiteral("00:00:00"), this);
    m_lblClock =
        new QLabel(QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat), this);
    labels->addWidget(m_lblElapsed);
    labels->addWidget(m_lblClock);
    bottom->addWidget(m_tbStop);
    bottom->addWidget(m_tbRecord);
    bottom->addWidget(m_timeBar);
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
    if (m_actions.markers)
        m_toolBar->addAction(m_actions.markers);
    if (!live) {
        m_tbStop->hide();
        m_tbRecord->hide();
    }

    // Only the upper handle follows the data; the lower one alone redraws
    // nothing.
    connect(m_timeBar, &RangeSlider::upperValueChanged, this, &TabPage::onTimeBarMoved);
    connect(m_timeBar, &RangeSlider::lowerValueChanged, this, [this](qlonglong lower) {
        if (!m_syncingBar)
            m_bar.lower = lower;
    });
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
    const TimeBarUpdate update = m_history.addNewSpectrumSample(spectrumSample, m_bar.upper);
    m_streaming = true;
    m_streamIdle.start(qMax(StreamIdleMs, int(qMin(4 * m_history.meanSampleInterval(), 60000.0))));
    applyTimeBar(update);
}

bool TabPage::followsLiveSweeps() const
{
    return m_live && m_streaming && m_bar.upper >= m_bar.maximum;
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
    applyTimeBar(m_history.fillMissingHist());
}

void TabPage::clearHist()
{
    m_history.clearHist();
    m_spectroPlot->clearSpectroLabels();
    // Nothing of the old capture may stay on screen until the first sweep of
    // the new one: the bar, the labels and both plots show the empty state now.
    m_bar.maximum = m_bar.lower = m_bar.upper = 0;
    pushBar();
    m_labelsStale = false;
    m_staleView[0] = m_staleView[1] = false;
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
    m_lblElapsed->setText(elapsedText(timeSpanMs(last, samples.constFirst().timeStamp)));
    m_lblClock->setText(QLocale::system().toString(
        QDateTime::fromMSecsSinceEpoch(last).toLocalTime().time(), QLocale::LongFormat));
}

void TabPage::onTimeBarMoved()
{
    if (m_syncingBar)
        return; // the page itself moved the bar
    m_bar.lower = m_timeBar->lowerValue();
    m_bar.upper = m_timeBar->upperValue();
    updateLabels();
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
    const qint64 frame = qMax<qint64>(gap, 1000 / MaxLiveFramesPerSecond);
    return qBound<qint64>(frame, qint64(lastDrawMs * 100 / LiveDrawSharePercent),
                          qMax<qint64>(frame, MaxLiveRedrawIntervalMs));
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
    if (m_barPending)
        pushBar();
    if (m_labelsStale)
        updateLabels();
    const int view = m_stack->currentIndex();
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
        emit selectionDrawn(selection);
    }
    // The render threads work beside this one: the processor time tells the
    // drawing's cost better than the clock (the device thread's share of it
    // while drawing is small).
    m_lastDrawMs = qMax(drawing.nsecsElapsed() / 1e6, processCpuMs() - cpuBefore);
    m_sinceRedraw.restart();
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
