#pragma once

#include "bursts.h"
#include "utilization.h"

#include <QWidget>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QSortFilterProxyModel;
class QTableView;
class UtilizationModel;

// The Utilization dock's contents: how much of the time each channel of the
// shown band was on air over the page's selection, and which channels to
// use. It follows the selection the plots draw; the work per update is a
// pass over the per-bin histograms, never over the samples.
class UtilizationDock : public QWidget
{
    Q_OBJECT
public:
    explicit UtilizationDock(QWidget *parent = nullptr);

    UtilizationModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    //! NaN while the threshold follows the noise floor.
    double thresholdDbm() const;
    const UtilizationResult &result() const;
    //! What "Find bursts" looks for, as set in the dock.
    BurstOptions burstOptions() const;

signals:
    void kivoIdTicked(int kivoId, bool ticked);

public slots:
    //! The page's selection over its swept span; analysed now when the dock
    //! is on screen, else when it is shown.
    //! `whole`: the selection is the page's whole history (else a range the
    //! user chose); the dock says which.
    void setSelection(const RfSpectrumSampleList &selection, const QwtInterval &frequencyInterval,
                      bool whole = true);
    //! Forget the old page: a new one is about to be shown.
    void clear();
    void setKivoIdTicked(int kivoId, bool ticked);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void analyse();

    QCheckBox *m_cbAutoThreshold = nullptr;
    QDoubleSpinBox *m_dsbThreshold = nullptr;
    QLabel *m_lblFloor = nullptr;
    QLabel *m_lblRange = nullptr;
    QLabel *m_lblRecommendation = nullptr;
    QDoubleSpinBox *m_dsbBurstMargin = nullptr;
    QSpinBox *m_sbBurstBins = nullptr;
    QSpinBox *m_sbBurstSweeps = nullptr;
    QTableView *m_view = nullptr;
    UtilizationModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    UtilizationAnalyzer m_analyzer;
    RfSpectrumSampleList m_selection;
    QwtInterval m_band;
    bool m_whole = true;
    bool m_stale = false;
};
