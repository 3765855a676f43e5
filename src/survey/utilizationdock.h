#pragma once

#include "bursts.h"
#include "utilization.h"

#include <QWidget>

#include <atomic>
#include <thread>

class BurstSourceFilter;
class BurstSourceModel;
class QCheckBox;
class QProgressBar;
class QPushButton;
class QTimer;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QSortFilterProxyModel;
class QTableView;
class UtilizationModel;

// The Utilization dock's contents: how much of the time each channel of the
// shown band was on air over the page's selection, and which channels to
// use. It follows the selection the plots draw; the work per update is a
// pass over the per-bin histograms, never over the samples. The history's
// counts are kept as sweeps arrive; counting a long history the dock has
// not seen yet (an opened recording of hours) runs on other threads with a
// progress bar and a Cancel button, the last result staying meanwhile.
class UtilizationDock : public QWidget
{
    Q_OBJECT
public:
    explicit UtilizationDock(QWidget *parent = nullptr);
    ~UtilizationDock() override;

    UtilizationModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    //! NaN while the threshold follows the noise floor.
    double thresholdDbm() const;
    const UtilizationResult &result() const;
    //! What "Find bursts" looks for, as set in the dock.
    BurstOptions burstOptions() const;
    //! The sources of the last Find bursts, less those removed; sortable,
    //! and filtered by level, duration and span.
    BurstSourceModel *sourceModel() const { return m_sources; }
    BurstSourceFilter *sourceFilter() const { return m_sourceFilter; }
    QTableView *sourceView() const { return m_sourceView; }
    //! `sources` less the ones the user removed from the list: what a
    //! report of the same findings lists.
    QVector<BurstSource> keptSources(const QVector<BurstSource> &sources) const;
    //! True while a long history is being counted.
    bool isCounting() const { return m_counting; }
    QProgressBar *progressBar() const { return m_progress; }
    //! "Cancel" while counting; "Analyse" once a count was cancelled.
    QPushButton *countButton() const { return m_pbCount; }
    //! Histories with at least this many sweeps not counted yet are counted
    //! on other threads.
    static constexpr int BackgroundSweeps = 2 * LevelCountIndex::DefaultBlockSweeps;
    //! How long counting runs before the progress bar is shown.
    static constexpr int ProgressDelayMs = 500;

signals:
    void kivoIdTicked(int kivoId, bool ticked);
    //! A new result is shown.
    void analysed();
    //! The dock needs the page's selection again (shown, threshold changed,
    //! Analyse pressed): answer with setSelection().
    void selectionWanted();
    //! "Add as events": the chosen sources' events for the page.
    void burstEventsAdded(const QList<TimeEvent> &events);

public slots:
    //! The page's selection over its swept span; analysed now when the dock
    //! is on screen, else asked for again (selectionWanted) when it is shown.
    //! `whole`: the selection is the page's whole history (else a range the
    //! user chose); the dock says which. `history`: the page's whole history
    //! a range was taken from, so its counts serve the range too.
    void setSelection(const RfSpectrumSampleList &selection, const QwtInterval &frequencyInterval,
                      bool whole = true,
                      const RfSpectrumSampleList &history = RfSpectrumSampleList());
    //! Stops counting; the last result stays.
    void cancelCounting();
    //! Lists what Find bursts found (`bursts` bursts over `band`); sources
    //! removed before stay out.
    void setBurstSources(const QVector<BurstSource> &sources, int bursts, const QwtInterval &band);
    //! The selected rows of the sources list become events, or leave it.
    void addSelectedSourcesAsEvents();
    void removeSelectedSources();
    //! Forget the old page: a new one is about to be shown.
    void clear();
    void setKivoIdTicked(int kivoId, bool ticked);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void analyse();
    //! The history the selection belongs to; empty when unknown.
    const RfSpectrumSampleList &history() const { return m_whole ? m_selection : m_history; }
    void releaseSelection();
    void startCounting();
    void countingEnded(int generation, bool complete);
    void stopWorker();
    QWidget *buildSourcesPanel();
    QList<int> selectedSourceRows() const;

    QCheckBox *m_cbAutoThreshold = nullptr;
    QDoubleSpinBox *m_dsbThreshold = nullptr;
    QLabel *m_lblFloor = nullptr;
    QLabel *m_lblRange = nullptr;
    QLabel *m_lblRecommendation = nullptr;
    QDoubleSpinBox *m_dsbBurstMargin = nullptr;
    QSpinBox *m_sbBurstBins = nullptr;
    QSpinBox *m_sbBurstSweeps = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_pbCount = nullptr;
    QLabel *m_lblCounting = nullptr;
    QTimer *m_progressTimer = nullptr;
    QTableView *m_view = nullptr;
    BurstSourceModel *m_sources = nullptr;
    BurstSourceFilter *m_sourceFilter = nullptr;
    QTableView *m_sourceView = nullptr;
    QLabel *m_lblSources = nullptr;
    QSpinBox *m_sbMinLevel = nullptr;
    QDoubleSpinBox *m_dsbMinDuration = nullptr;
    QDoubleSpinBox *m_dsbSpanLow = nullptr;
    QDoubleSpinBox *m_dsbSpanHigh = nullptr;
    QVector<BurstSource> m_removed; //!< sources the user took out of the list
    UtilizationModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    UtilizationAnalyzer m_analyzer;
    RfSpectrumSampleList m_selection;
    RfSpectrumSampleList m_history;
    QwtInterval m_band;
    bool m_whole = true;
    bool m_stale = false;
    bool m_counting = false;
    bool m_paused = false; //!< counting was cancelled: wait for the user
    bool m_wanting = false;
    int m_generation = 0; //!< counts started; an ended one of an older generation is stale
    qint64 m_countStartMs = 0;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_done{0};
    std::atomic<int> m_total{0};
};
