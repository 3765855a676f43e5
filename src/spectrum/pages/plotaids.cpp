#include "plotaids.h"

#include "plotzoom.h"
#include "scalemenus.h"
#include "spectroplot.h"
#include "spectrummarkers.h"
#include "tracecurves.h"
#include "waterfallplot.h"

#include <qwt_plot_grid.h>

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QPixmap>
#include <QSettings>
#include <QToolBar>

PlotAids::PlotAids(SpectroPlot *spectro, WaterfallPlot *waterfall, QWidget *page)
    : QObject(page), m_spectro(spectro), m_waterfall(waterfall), m_page(page)
{
    m_zoom = new PlotZoom(spectro, waterfall, this);
    m_traces = new TraceCurves(spectro);
    m_grids[0] = ScaleMenus::addGrid(spectro);
    m_grids[1] = ScaleMenus::addGrid(waterfall);
    ScaleMenus::install(spectro, waterfall);

    const char *traceKeys[] = {"plot/traceCurrent", "plot/traceAverage", "plot/traceMaxHold"};
    const QKeySequence traceShortcuts[] = {QKeySequence(Qt::Key_C), QKeySequence(Qt::Key_A),
                                           QKeySequence(Qt::Key_H)};
    for (int k = 0; k < TraceKindCount; ++k) {
        QAction *action = makeAction(TraceCurves::title(TraceKind(k)), traceShortcuts[k],
                                     QLatin1String(traceKeys[k]));
        const QColor c = TraceCurves::color(TraceKind(k));
        action->setToolTip(tr("%1 trace (%2)").arg(action->text(), traceShortcuts[k].toString()));
        QPixmap swatch(12, 12);
        swatch.fill(c);
        action->setIcon(QIcon(swatch));
        connect(action, &QAction::toggled, this,
                [this, k](bool on) { m_traces->setVisible(TraceKind(k), on); });
        m_traces->setVisible(TraceKind(k), action->isChecked());
        m_traceActions[k] = action;
    }

    m_gridAction = makeAction(tr("Grid"), QKeySequence(Qt::Key_G), QStringLiteral("plot/grid"));
    connect(m_gridAction, &QAction::toggled, this, [this](bool on) {
        for (QwtPlotGrid *grid : m_grids) {
            grid->setVisible(on);
            grid->plot()->replot();
        }
    });
    for (QwtPlotGrid *grid : m_grids)
        grid->setVisible(m_gridAction->isChecked());

    m_resetZoom = new QAction(tr("Whole band"), this);
    m_resetZoom->setShortcut(QKeySequence(Qt::Key_Home));
    m_resetZoom->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_resetZoom->setToolTip(tr("Back to the whole band and automatic scales (Home)"));
    connect(m_resetZoom, &QAction::triggered, m_zoom, &PlotZoom::reset);

    // The range of the view on screen: the level axis of the spectrum plot or
    // the colour range of the waterfall.
    m_rangeAction = new QAction(tr("Set range..."), this);
    m_rangeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_rangeAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_rangeAction, &QAction::triggered, this, [this] {
        if (m_waterfall->isVisible())
            ScaleMenus::askColorRange(m_waterfall);
        else
            ScaleMenus::askAmplitudeRange(m_spectro);
    });
    m_autoRange = new QAction(tr("Auto range"), this);
    m_autoRange->setShortcut(QKeySequence(Qt::Key_R));
    m_autoRange->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_autoRange, &QAction::triggered, this, [this] {
        m_spectro->setAmplitudeRange(QwtInterval());
        m_waterfall->setAutoColorRange();
    });
    for (QAction *a : {m_resetZoom, m_rangeAction, m_autoRange})
        page->addAction(a);
    addMarkerActions();
}

QAction *PlotAids::addKey(const QString &text, const QKeySequence &key)
{
    auto *action = new QAction(text, this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_page->addAction(action);
    return action;
}

void PlotAids::addMarkerActions()
{
    m_markers = new SpectrumMarkers(m_spectro, m_spectro);
    connect(addKey(tr("Add marker"), QKeySequence(Qt::Key_M)), &QAction::triggered, this, [this] {
        const QwtInterval view = m_zoom->frequencyView();
        m_markers->add(view.minValue() + view.width() / 2.0);
    });
    connect(addKey(tr("Remove marker"), QKeySequence(Qt::Key_Delete)), &QAction::triggered, this,
            [this] { m_markers->remove(m_markers->selected()); });
    connect(addKey(tr("Marker to peak"), QKeySequence(Qt::Key_P)), &QAction::triggered, m_markers,
            &SpectrumMarkers::toPeak);
    connect(addKey(tr("Marker to next peak"), QKeySequence(Qt::Key_N)), &QAction::triggered,
            m_markers, &SpectrumMarkers::toNextPeak);
    connect(addKey(tr("Marker as delta reference"), QKeySequence(Qt::Key_D)), &QAction::triggered,
            this, [this] { m_markers->setReference(m_markers->selected()); });
    for (int i = 0; i < SpectrumMarkers::MaxMarkers; ++i)
        connect(addKey(tr("Select marker %1").arg(i + 1), QKeySequence(Qt::Key_1 + i)),
                &QAction::triggered, this, [this, i] { m_markers->select(i); });
}

QAction *PlotAids::makeAction(const QString &text, const QKeySequence &key, const QString &setting)
{
    auto *action = new QAction(text, this);
    action->setCheckable(true);
    action->setShortcut(key);
    // Every page has its own; only the one holding the focus answers.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setChecked(QSettings().value(setting, false).toBool());
    connect(action, &QAction::toggled, this,
            [setting](bool on) { QSettings().setValue(setting, on); });
    m_page->addAction(action);
    return action;
}

void PlotAids::setBand(const QwtInterval &band)
{
    m_zoom->setBand(band);
    m_markers->setBandKey(QStringLiteral("markers/band%1").arg(qRound(band.minValue())));
}

void PlotAids::addActions(QToolBar *toolBar)
{
    toolBar->addSeparator();
    for (QAction *a : m_traceActions)
        toolBar->addAction(a);
    toolBar->addAction(m_gridAction);
    toolBar->addAction(m_resetZoom);
}
