#pragma once

#include "tracehold.h"

#include <qwt_interval.h>

#include <QObject>

class QAction;
class QSpinBox;
class QToolBar;
class QWidget;
class QwtPlotCurve;
class SpectroPlot;
class TraceCurves;

//! The traces a page keeps over every sweep it took, beside the shown
//! range's traces: max-hold and min-hold over the whole capture (until
//! cleared) and the average of the last N sweeps. Taking a sweep only updates
//! the numbers; the curves follow when the plot draws. It also clears the
//! shown range's Max hold: from a clear on, that trace shows the highest
//! level of the shown sweeps taken since, until the range starts after it.
class HeldTraces : public QObject
{
    Q_OBJECT
public:
    enum Kind
    {
        MaxAll,
        Min,
        AverageN,
        KindCount
    };

    HeldTraces(SpectroPlot *plot, QWidget *page);
    ~HeldTraces() override;

    void addActions(QToolBar *toolBar);
    void setBand(const QwtInterval &frequency) { m_band = frequency; }
    void add(const RfSpectrumScan &levels);
    //! The shown range's traces, whose Max hold clearWindowMax() clears.
    void setWindowTraces(TraceCurves *traces) { m_window = traces; }
    void clear();

    const TraceHold &hold() const { return m_hold; }
    QAction *action(Kind kind) const { return m_actions[kind]; }
    QAction *clearAction() const { return m_clear; }
    QAction *clearWindowAction() const { return m_clearWindow; }
    bool isWindowMaxCleared() const { return m_windowCleared; }
    QSpinBox *countBox() const { return m_count; }
    QwtPlotCurve *curve(Kind kind) const { return m_curves[kind]; }

public slots:
    //! Forgets the held max and min; the next sweeps start them again.
    void clearHolds();
    //! Restarts the shown range's Max hold from the next sweep.
    void clearWindowMax();
    //! Gives the curves the held traces as they are now.
    void refresh();

private:
    void refreshWindowMax();

    SpectroPlot *m_plot;
    QwtInterval m_band;
    TraceHold m_hold;
    QwtPlotCurve *m_curves[KindCount] = {};
    QAction *m_actions[KindCount] = {};
    QAction *m_clear = nullptr;
    QAction *m_clearWindow = nullptr;
    TraceCurves *m_window = nullptr;
    bool m_windowCleared = false;
    RfSpectrumScan m_sinceClear; //!< highest level per bin since clearWindowMax()
    QSpinBox *m_count = nullptr; //!< the page's, then the tool bar's
};
