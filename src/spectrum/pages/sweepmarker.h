#pragma once

#include "rfspectrumhistory.h"

#include <qwt_interval.h>

#include <QObject>

class BandHistory;
class QAction;
class QwtPlotCurve;
class QwtPlotMarker;
class SpectroPlot;
class WaterfallPlot;

//! A marker on the waterfall: Ctrl+click a row to mark its sweep, which the
//! spectrum plot then draws as the "Marked sweep" curve, and the waterfall
//! as a line at its time, until cleared (Shift+M) or another is marked. The
//! curve is the sweep as taken; new sweeps cost nothing.
class SweepMarker : public QObject
{
    Q_OBJECT
public:
    SweepMarker(SpectroPlot *spectro, WaterfallPlot *waterfall, const BandHistory *history,
                QWidget *page);
    ~SweepMarker() override;

    void setBand(const QwtInterval &frequency) { m_band = frequency; }
    //! Marks the sweep of the history nearest to `timeMs`; false when the
    //! history has none.
    bool place(qint64 timeMs);
    void clear();

    bool isPlaced() const;
    const RfSpectrumSample &marked() const { return m_sample; }
    QwtPlotCurve *curve() const { return m_curve; }
    QwtPlotMarker *line() const { return m_line; }
    QAction *clearAction() const { return m_clear; }
    //! "Marked sweep" and its time, empty when none is marked.
    QString text() const;

signals:
    //! A sweep was marked or the mark cleared.
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    SpectroPlot *m_spectro;
    WaterfallPlot *m_waterfall;
    const BandHistory *m_history;
    QwtInterval m_band;
    RfSpectrumSample m_sample;
    QwtPlotCurve *m_curve = nullptr; //!< owned by the spectrum plot
    QwtPlotMarker *m_line = nullptr; //!< owned by the waterfall
    QAction *m_clear = nullptr;
    QString m_text;
};
