#pragma once

#include <qwt_interval.h>

#include <QObject>

class QAction;
class QToolBar;
class QWidget;
class QwtPlotGrid;
class PlotZoom;
class SpectrumMarkers;
class SpectroPlot;
class TraceCurves;
class WaterfallPlot;

// The measuring aids of a band page: zoom and pan, trace curves, grids and
// the scale menus and markers, with the page's tool bar actions and their
// keys. What the user switched on is kept in the settings for every page. The
// marker table is the window's: it follows the page on screen.
class PlotAids : public QObject
{
    Q_OBJECT
public:
    PlotAids(SpectroPlot *spectro, WaterfallPlot *waterfall, QWidget *page);

    //! The whole band, which zooming never leaves.
    void setBand(const QwtInterval &band);
    void addActions(QToolBar *toolBar);

    PlotZoom *zoom() const { return m_zoom; }
    TraceCurves *traces() const { return m_traces; }
    SpectrumMarkers *markers() const { return m_markers; }
    QAction *traceAction(int kind) const { return m_traceActions[kind]; }
    QAction *gridAction() const { return m_gridAction; }
    QAction *resetZoomAction() const { return m_resetZoom; }
    QAction *rangeAction() const { return m_rangeAction; }
    QAction *autoRangeAction() const { return m_autoRange; }

private:
    QAction *makeAction(const QString &text, const QKeySequence &key, const QString &setting);
    QAction *addKey(const QString &text, const QKeySequence &key);
    void addMarkerActions();

    SpectroPlot *m_spectro;
    WaterfallPlot *m_waterfall;
    QWidget *m_page;
    PlotZoom *m_zoom = nullptr;
    TraceCurves *m_traces = nullptr;
    SpectrumMarkers *m_markers = nullptr;
    QwtPlotGrid *m_grids[2] = {};
    QAction *m_traceActions[3] = {};
    QAction *m_gridAction = nullptr;
    QAction *m_resetZoom = nullptr;
    QAction *m_rangeAction = nullptr;
    QAction *m_autoRange = nullptr;
};
