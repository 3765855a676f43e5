#pragma once

#include "colorrange.h"
#include "plotnotes.h"
#include "rfspectrumhistory.h"

#include <qwt_interval.h>
#include <qwt_plot.h>

#include <QList>
#include <QPointF>
#include <QVector>

class QwtPlotMarker;
class DeferredClick;
class QwtPlotPicker;
class QwtPlotSpectrogram;
class QwtThermo;
class WaterfallData;
class WaterfallSpectrogram;
class WfTrackPicker;

// The frequency-versus-time view of a band page: one raster row per sample,
// newest at the top, coloured by level; the user's time events as
// horizontal lines with their notes.
//
// Event changes are reported through timeEventAdded/Removed so the page
// keeps its history's event list in step; an edited text is reported as the
// removal of the old event followed by the addition of the new one.
class WaterfallPlot : public QwtPlot
{
    Q_OBJECT
public:
    explicit WaterfallPlot(QWidget *parent = nullptr);
    ~WaterfallPlot() override;

    using EventEntry = PlotNotes<TimeEvent>::Entry;

    //! The time axis spans at least this much, so a short history sits at its top.
    static constexpr qint64 TimeAxisSpanMs = 120000;
    //! Height given to a selection whose samples share one moment (a single
    //! sweep): without it the raster has no height and shows nothing.
    static constexpr qint64 SingleRowSpanMs = 1000;
    //! At most this many cells in the raster (128 MB of levels); longer
    //! selections show every n-th sample.
    static constexpr qint64 MaxCells = 16 * 1024 * 1024;

    //! A click at `pos` hits the 5 s band just below an event's line.
    static bool eventHit(const TimeEvent &event, const QPointF &pos);

    QList<TimeEvent> timeEvents() const;
    const QList<EventEntry> &eventEntries() const { return m_events.entries(); }

    QwtPlotSpectrogram *spectrogram() const { return m_spectrogram; }
    WaterfallData *rasterData() const { return m_data; }
    WfTrackPicker *trackPicker() const { return m_tracker; }
    QwtThermo *colorBar() const { return m_colorBar; }

    void updateLayout() override;
    //! The top axis's channel numbers: ZigBee or Wi-Fi (2.4 GHz pages).
    void setWifiZigBee(bool zigBee);
    //! Drops the rendered picture; for whoever changes the raster or colour
    //! map other than through the slots below.
    void invalidateRaster();

    //! Levels mapped onto the colour map, dBm. A fixed range stays until
    //! setAutoColorRange(); the automatic one follows each selection (see
    //! autoColorRange()). Both replot and emit colorRangeChanged.
    void setColorRange(double low, double high);
    void setAutoColorRange();
    ColorRange colorRange() const { return m_colorRange; }
    bool isColorRangeAuto() const { return m_colorRangeAuto; }

    //! Time shown, ms back from the newest sweep; 0 follows the selection.
    void setTimeSpan(qint64 ms);
    qint64 timeSpan() const { return m_timeSpan; }

    //! On (the default), a selection that is the last one moved on by a few
    //! samples shifts the matrix and renders only the new rows; off, every
    //! selection is built and rendered whole (for comparison).
    void setIncrementalRendering(bool on);
    bool incrementalRendering() const { return m_incremental; }
    //! Samples the last selection moved the one before on by; 0 when it was
    //! built whole (or not built: see setLiveScrolling).
    int lastSlide() const { return m_lastSlide; }

    //! On while the page follows live sweeps: each selection that follows
    //! adds lines at the top of a scrolling picture, and the time axis moves
    //! on in whole pixel lines. Off (the default), and from the moment it is
    //! switched off, every drawing is the faithful picture of the selection.
    void setLiveScrolling(bool on);
    bool liveScrolling() const { return m_liveScrolling; }
    //! Whether the picture scrolls now (live scrolling with a selection).
    bool isScrolling() const;

public slots:
    void setData(const RfSpectrumSampleList &data);
    void setDataInterval(Qt::Axis axis, const QwtInterval &interval);
    void setTimeEvents(const QList<TimeEvent> &events);
    //! Back to the state before the first selection (events stay).
    void clearData();
    void onLeftClick(const QPointF &pos);
    void onRightClick(const QPointF &pos);

signals:
    void timeEventAdded(TimeEvent event);
    void timeEventRemoved(TimeEvent event);
    //! The colours now stand for other levels: rendered rows are stale.
    void colorRangeChanged(double low, double high);

private:
    void applyColorRange(const ColorRange &range);
    void applyTimeAxis();
    int slideOf(const RfSpectrumSampleList &data, int columns) const;
    void fillRows(const RfSpectrumSampleList &data, int from, int to, int stride, int columns,
                  double *cell);
    void countLevels(const RfSpectrumScan &spectrum, int columns, bool add);
    void countSelection(const RfSpectrumSampleList &data, int stride, int columns);
    void buildMatrix(const RfSpectrumSampleList &data, int stride, int columns);
    //! The matrix of the selection, when live scrolling left it behind.
    void ensureMatrix();
    PlotNotes<TimeEvent>::Rules eventRules();
    TnwPlotMarker *createEventMarker(const QPointF &pos, const QString &text);

    QwtPlotSpectrogram *m_spectrogram = nullptr;
    WaterfallSpectrogram *m_raster = nullptr; //!< m_spectrogram itself
    WaterfallData *m_data = nullptr;          //!< owned by m_spectrogram
    QwtThermo *m_colorBar = nullptr;
    WfTrackPicker *m_tracker = nullptr;
    QwtPlotPicker *m_leftPicker = nullptr;
    DeferredClick *m_leftClick = nullptr; //!< waits out a double click
    QwtPlotPicker *m_rightPicker = nullptr;
    PlotNotes<TimeEvent> m_events;
    QVector<double> m_matrix; //!< the levels shown, shared with the raster and the tracker
    LevelHistogram m_levels;  //!< of the rows shown, for the automatic colour range
    ColorRange m_colorRange;
    bool m_colorRangeAuto = true;
    qint64 m_timeSpan = 0;
    qint64 m_first = 0; //!< time stamps of the selection shown
    qint64 m_last = 0;
    bool m_hasSelection = false;
    bool m_incremental = true;
    //! The selection in the matrix, kept (implicitly shared) to recognise a
    //! slide; empty when the matrix was thinned or there is none.
    RfSpectrumSampleList m_shown;
    int m_columns = 0; //!< of m_shown
    int m_lastSlide = 0;
    bool m_liveScrolling = false;
    bool m_matrixStale = false;       //!< the matrix shows an older selection
    RfSpectrumSampleList m_selection; //!< the last setData
    RfSpectrumSampleList m_counted;   //!< whose levels m_levels counts
    int m_countedStride = 1;
    int m_countedColumns = 0;
};
