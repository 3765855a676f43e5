#pragma once

#include "bandhistory.h"
#include "kivoidoverlay.h"
#include "overloadwatch.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>

class HeldTraces;
class SweepMarker;
class PlotAids;
class QAction;
class QLabel;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class RangeSlider;
class SpectroPlot;
class WaterfallPlot;
class WifiList;

//! The main window's actions a band page shows in its tool bar and time bar.
struct PageActions
{
    QAction *snapshot = nullptr;
    QAction *save = nullptr;
    QAction *record = nullptr;
    QAction *stop = nullptr;
    QAction *toggleView = nullptr;
    QAction *kivoIds = nullptr;
    QAction *toggleChannels = nullptr;
    QAction *showWifi = nullptr;
    QAction *wifiList = nullptr;
    QAction *markers = nullptr;         //!< shows the window's marker table
    WifiList *wifiListWidget = nullptr; //!< the Wi-Fi dock's list, shared by the 2.4 GHz pages
};

// One tab of the main window: a band's history shown as a spectrum plot or a
// waterfall over the range chosen on the time bar. Live pages receive sweeps;
// pages built from a recording never do.
//
// Taking a sweep must stay cheap (the device thread waits for it), so
// appending never draws, not even the time bar or the labels of a page on
// screen: it marks them stale, and a single-shot timer redraws from the range
// at that moment, which is what a redraw per sweep would have ended with.
// New sweeps are drawn as they come at the scanner's own rate; only a flood
// of them (an unpaced device) or slow drawings space the redraws further.
// While the page follows live sweeps the waterfall scrolls; once they stop
// coming it draws its faithful picture again.
class TabPage : public QWidget
{
    Q_OBJECT
public:
    //! Shortest spacing between two redraws, ms (longer after slow drawings).
    static constexpr int MinRedrawIntervalMs = 16;
    //! New sweeps are drawn as they come, but at most this many times a
    //! second: every sweep at the scanner's rate, and a smooth picture under
    //! a flood that leaves the sweeps most of the time.
    static constexpr int MaxLiveFramesPerSecond = 30;
    //! While sweeps arrive, drawing takes at most this share of the time
    //! (processor time, or the clock where that is longer), percent: a
    //! large canvas on a slow machine is refreshed less often rather than
    //! kept busy. A third, as for a user's request: twice the drawing's
    //! time stays free, which still draws every sweep of a 4K canvas (whose
    //! render threads count twice) at the scanner's rate.
    static constexpr int LiveDrawSharePercent = 33;
    //! ... but a live view is refreshed at least this often, ms.
    static constexpr int MaxLiveRedrawIntervalMs = 500;
    //! Sweeps have stopped when none came for this long (or for four mean
    //! intervals, when longer), ms.
    static constexpr int StreamIdleMs = 300;
    //! While the page follows live sweeps, what only tells where the view
    //! is (the time bar, the clock labels, the LIVE state) and the survey of
    //! the drawn selection follow the pictures at most this often, ms: they
    //! change little from one sweep to the next, and their own drawing would
    //! cost more than the picture's.
    static constexpr int SideUpdateIntervalMs = 250;
    //! Spacing between the end of a drawing that took `lastDrawMs` and the
    //! next one, for new sweeps (`live`) or for a user's request.
    static qint64 redrawGapMs(double lastDrawMs, bool live);

    ~TabPage() override;

    enum class Band
    {
        Band2400,
        Band900
    };
    //! The band the page shows, live or recorded.
    virtual Band band() const = 0;

    //! A copy of the history, for saving and for the Wi-Fi list.
    RfSpectrumHistory history() const { return m_history.history(); }
    const BandHistory &bandHistory() const { return m_history; }
    bool isLive() const { return m_live; }

    //! The plot shown, grabbed, with the watermark in its canvas corner.
    QPixmap snapshotPixmap();
    //! The QC pass line on the spectrum plot (once, however often asked).
    void addQcPassLine();
    bool hasQcPassLine() const { return m_hasQcLine; }

    RangeSlider *timeBar() const { return m_timeBar; }
    SpectroPlot *spectroPlot() const { return m_spectroPlot; }
    WaterfallPlot *waterfallPlot() const { return m_waterfallPlot; }
    QLabel *elapsedLabel() const { return m_lblElapsed; }
    QLabel *clockLabel() const { return m_lblClock; }
    int currentView() const; //!< 0 spectrum, 1 waterfall
    const KivoIdOverlay &kivoIdOverlay() const { return m_kivoIdOverlay; }
    PlotAids *plotAids() const { return m_aids; }
    HeldTraces *heldTraces() const { return m_held; }
    SweepMarker *sweepMarker() const { return m_sweepMarker; }

    //! The samples of the time bar's range, as the plots show it.
    RfSpectrumSampleList currentSelection() const
    {
        return m_history.selection(m_bar.lower, m_bar.upper);
    }
    //! What the survey works on: the whole history, unless the user chose a
    //! range by the time bar's edges (or a double click), then that range.
    RfSpectrumSampleList analysisSelection() const
    {
        return m_rangeChosen ? currentSelection() : m_history.samples();
    }
    bool analysisIsWhole() const { return !m_rangeChosen; }
    //! The view follows the newest sweeps (a live page whose time bar sits at
    //! its end); false while the user looks back ("paused").
    bool isFollowingLive() const { return m_live && m_follow; }
    //! "LIVE", or "PAUSED, 03:12 behind": what the page shows beside the bar.
    QLabel *liveLabel() const { return m_lblLive; }
    QToolButton *liveButton() const { return m_tbLive; }
    //! Adds time events as if placed on the waterfall (saved with the page).
    void addTimeEvents(const QList<TimeEvent> &events);

    //! Draws now if a redraw is pending (benchmarks and tests).
    void flushRedraw();
    //! The plots were given other data (a report's pictures): both are drawn
    //! again from the time bar's range.
    void plotsChanged();
    int redrawCount() const { return m_redrawCount; }

    //! "hh:mm:ss" of an elapsed time, wrapping at 24 hours.
    static QString elapsedText(qint64 ms);

    //! Levels at or above `dbm` warn of an overloaded input.
    void setOverloadLimit(int dbm) { m_overload.setLimit(dbm); }
    const OverloadWatch &overloadWatch() const { return m_overload; }
    QLabel *overloadLabel() const { return m_lblOverload; }
    //! The settings of the scan feeding the page (empty: none).
    void setScanSettings(const QString &text);
    QLabel *scanSettingsLabel() const { return m_lblScanSettings; }

signals:
    //! A plot was drawn from `selection`; docks that follow the time bar
    //! redo their work from here, no more often than the plots, and while
    //! following live sweeps at most every SideUpdateIntervalMs (with the
    //! last selection drawn).
    void selectionDrawn(RfSpectrumSampleList selection);
    //! The overload warning came, moved or ended (`text` empty).
    void overloadChanged(const QString &text);

public slots:
    void toggleView();
    virtual void onNewSpecScan(qint64 timeStamp, RfSpectrumScan spectrum) = 0;
    void addNewSpectrumSample(RfSpectrumSample spectrumSample);
    void clearHist();
    void fillMissingHist();
    //! Pads the history up to just before `untilMs` (a sweep that comes
    //! after a silence), so the silence shows as a gap.
    void fillMissingHist(qint64 untilMs);
    void setProjectInfo(ProjectInfoData data);
    virtual void kivoIdSelection(QList<int> kivoIds) = 0;
    virtual void kivoIdSelected(int kivoId) = 0;
    virtual void kivoIdDeselected(int kivoId) = 0;
    void onTimeBarMoved();
    //! Back to the live view: the newest sweeps in the live window, followed
    //! as they come; the survey works on the whole history again.
    void goLive();
    void onTimeEventAdded(TimeEvent event);
    void onTimeEventRemoved(TimeEvent event);
    void onSpectroLabelAdded(SpectroLabel label);
    void onSpectroLabelRemoved(SpectroLabel label);

protected:
    TabPage(const PageActions &actions, QWidget *parent);

    //! Live page of the band whose default parameters are `bandDefaults`.
    void initLive(const QVariantMap &bandDefaults);
    //! Page showing `recorded`.
    void initRecorded(const RfSpectrumHistory &recorded);

    void showEvent(QShowEvent *event) override;
    QToolBar *toolBar() const { return m_toolBar; }

    BandHistory m_history;
    PageActions m_actions;
    KivoIdOverlay m_kivoIdOverlay; //!< on the spectrum plot, IDs of the page's band

private:
    void buildLayout(bool live);
    void setIntervals(const QwtInterval &frequency, const QwtInterval &amplitude);
    void applyTimeBar(const TimeBarUpdate &update);
    void pushBar();
    //! Brings the bar, the labels and the LIVE state up to date and reports
    //! the last drawn selection if that is still unreported.
    void syncSide();
    void updateLabels();
    void updateLiveState();
    //! The user moved the bar; at its end the view follows the sweeps again.
    void onUserMovedBar(bool atEnd);
    //! The live view's update, with the width the user gave the bar.
    TimeBarUpdate followed(TimeBarUpdate update) const;
    //! `live`: asked for by a new sweep, which the draw budget spaces; a
    //! user's move of the time bar or view is answered as soon as it can be.
    void scheduleRedraw(bool live = false);
    void redraw();
    void drawPlot(int index, const RfSpectrumSampleList &selection);
    void watchOverload(const RfSpectrumScan &scan);
    void showOverload();
    //! No sweep came for a while: the waterfall leaves live scrolling.
    void onStreamIdle();
    //! New sweeps keep coming and the view shows the newest of them.
    bool followsLiveSweeps() const;

    bool m_live = true;
    QVBoxLayout *m_layout = nullptr;
    QToolBar *m_toolBar = nullptr;
    QStackedWidget *m_stack = nullptr;
    SpectroPlot *m_spectroPlot = nullptr;
    WaterfallPlot *m_waterfallPlot = nullptr;
    PlotAids *m_aids = nullptr;           //!< zoom, traces, grids, scales
    HeldTraces *m_held = nullptr;         //!< traces over every sweep taken
    SweepMarker *m_sweepMarker = nullptr; //!< a waterfall row drawn on the spectrum
    QToolButton *m_tbStop = nullptr;
    QToolButton *m_tbRecord = nullptr;
    RangeSlider *m_timeBar = nullptr;
    QLabel *m_lblElapsed = nullptr;
    QLabel *m_lblClock = nullptr;
    QLabel *m_lblLive = nullptr;
    QToolButton *m_tbLive = nullptr;
    bool m_hasQcLine = false;
    QLabel *m_lblOverload = nullptr;
    QLabel *m_lblScanSettings = nullptr;
    OverloadWatch m_overload;
    QTimer m_overloadTimer; //!< ends the warning when no overload follows
    QElapsedTimer m_overloadClock;
    bool m_follow = true;       //!< the view follows the newest sweep
    bool m_rangeChosen = false; //!< the user set the bar's width: the survey's range
    //! While following: 0 the live window, > 0 that many sweeps, < 0 all.
    qint64 m_followWidth = 0;

    QTimer m_redrawTimer;
    QTimer m_streamIdle; //!< restarted by every sweep
    bool m_streaming = false;
    QElapsedTimer m_sinceRedraw; //!< since the end of the last drawing
    double m_lastDrawMs = 0.0;
    bool m_staleView[2] = {false, false}; //!< plot shows an older range than the bar
    //! The time bar's values as the history sees them. While the page is on
    //! screen the RangeSlider catches up with them at the next drawing.
    struct
    {
        qint64 maximum = 0;
        qint64 lower = 0;
        qint64 upper = 0;
    } m_bar;
    bool m_barPending = false;  //!< m_bar not yet shown by the slider
    bool m_labelsStale = false; //!< labels not yet showing m_bar.upper
    struct
    {
        bool valid = false;
        qint64 elapsed = 0; //!< whole seconds the elapsed label shows
        qint64 clock = 0;   //!< the clock label's second since the epoch
    } m_labelSeconds;
    bool m_syncingBar = false; //!< the page is moving the slider itself
    int m_redrawCount = 0;
    QTimer m_sideTimer;        //!< a coalesced syncSide() is due
    QElapsedTimer m_sinceSide; //!< since the last syncSide()
    bool m_drawnUnreported = false;
    RfSpectrumSampleList m_drawn; //!< the last selection drawn, until reported
};
