#include "heldtraces.h"

#include "spectroplot.h"
#include "tracecurves.h"

#include <qwt_plot_curve.h>

#include <QAction>
#include <QIcon>
#include <QPixmap>
#include <QSettings>
#include <QSpinBox>
#include <QToolBar>
#include <QtMath>

#include <cmath>

namespace {
const char *const settingKeys[] = {"plot/traceMaxAll", "plot/traceMin", "plot/traceAverageN"};
const QString countKey = QStringLiteral("plot/traceAverageCount");
} // namespace

HeldTraces::HeldTraces(SpectroPlot *plot, QWidget *page) : QObject(page), m_plot(plot)
{
    const QString titles[] = {tr("Max all"), tr("Min hold"), tr("Avg N")};
    const QString tips[] = {tr("Max hold over every sweep since the start or the last clear"),
                            tr("Min hold over every sweep since the start or the last clear"),
                            tr("Average of the last N sweeps")};
    const QColor colors[] = {QColor(255, 140, 0), QColor(60, 200, 90), QColor(120, 160, 255)};
    const QKeySequence keys[] = {QKeySequence(Qt::SHIFT | Qt::Key_H), QKeySequence(Qt::Key_L),
                                 QKeySequence(Qt::Key_V)};
    for (int k = 0; k < KindCount; ++k) {
        auto *curve = new QwtPlotCurve(titles[k]);
        curve->setPen(colors[k], 1.5);
        curve->setZ(31); // beside the shown range's traces
        curve->setVisible(false);
        curve->attach(plot);
        m_curves[k] = curve;

        auto *action = new QAction(titles[k], this);
        action->setCheckable(true);
        action->setShortcut(keys[k]);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setToolTip(QStringLiteral("%1 (%2)").arg(tips[k], keys[k].toString()));
        QPixmap swatch(12, 12);
        swatch.fill(colors[k]);
        action->setIcon(QIcon(swatch));
        const QString key = QLatin1String(settingKeys[k]);
        action->setChecked(QSettings().value(key, false).toBool());
        curve->setVisible(action->isChecked());
        connect(action, &QAction::toggled, this, [this, k, key](bool on) {
            QSettings().setValue(key, on);
            m_curves[k]->setVisible(on);
            refresh();
        });
        page->addAction(action);
        m_actions[k] = action;
    }
    m_clear = new QAction(tr("Clear hold"), this);
    m_clear->setShortcut(QKeySequence(Qt::Key_X));
    m_clear->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_clear->setToolTip(tr("Clear the Max all and Min hold traces, over every sweep (X)"));
    connect(m_clear, &QAction::triggered, this, &HeldTraces::clearHolds);
    page->addAction(m_clear);
    m_clearWindow = new QAction(tr("Clear max"), this);
    m_clearWindow->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_X));
    m_clearWindow->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_clearWindow->setToolTip(
        tr("Clear the shown range's Max hold trace: it starts again from the next sweep "
           "(Shift+X)"));
    connect(m_clearWindow, &QAction::triggered, this, &HeldTraces::clearWindowMax);
    page->addAction(m_clearWindow);

    m_count = new QSpinBox(page);
    m_count->hide(); // until a tool bar shows it
    m_count->setRange(1, TraceHold::MaxAverageCount);
    m_count->setPrefix(tr("N "));
    m_count->setToolTip(tr("Sweeps the Avg N trace averages"));
    m_count->setValue(QSettings().value(countKey, 10).toInt());
    m_hold.setAverageCount(m_count->value());
    connect(m_count, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int n) {
        QSettings().setValue(countKey, n);
        m_hold.setAverageCount(n);
        refresh();
    });
    connect(plot, &SpectroPlot::statisticsChanged, this, &HeldTraces::refresh);
}

HeldTraces::~HeldTraces() = default;

void HeldTraces::addActions(QToolBar *toolBar)
{
    for (QAction *a : m_actions)
        toolBar->addAction(a);
    toolBar->addWidget(m_count);
    toolBar->addAction(m_clear);
    toolBar->addAction(m_clearWindow);
}

void HeldTraces::add(const RfSpectrumScan &levels)
{
    m_hold.add(levels);
    if (!m_windowCleared)
        return;
    if (m_sinceClear.size() != levels.size()) {
        // Another grid: the shown range starts over anyway.
        m_windowCleared = false;
        return;
    }
    qint8 *held = m_sinceClear.data();
    for (int i = 0; i < levels.size(); ++i)
        held[i] = qMax(held[i], levels.at(i));
}

void HeldTraces::clearWindowMax()
{
    m_windowCleared = true;
    m_sinceClear = RfSpectrumScan(m_plot->statistics().columns, qint8(NoDataLevel));
    refresh();
    m_plot->replot();
}

void HeldTraces::clear()
{
    m_windowCleared = false;
    m_hold.clear();
    refresh();
}

void HeldTraces::clearHolds()
{
    m_hold.clearHolds();
    refresh();
    m_plot->replot();
}

void HeldTraces::refresh()
{
    const int n = m_hold.columns();
    const double step = n > 0 ? m_band.width() / n : 0;
    const QVector<double> average =
        m_curves[AverageN]->isVisible() ? m_hold.average() : QVector<double>();
    for (int k = 0; k < KindCount; ++k) {
        if (!m_curves[k]->isVisible())
            continue;
        QVector<QPointF> points;
        points.reserve(n);
        for (int i = 0; i < n; ++i) {
            const double level =
                k == AverageN ? average.at(i)
                : k == MaxAll
                    ? (m_hold.maxHold().at(i) == NoDataLevel ? qQNaN()
                                                             : double(m_hold.maxHold().at(i)))
                    : (m_hold.minHold().at(i) == NoDataLevel ? qQNaN()
                                                             : double(m_hold.minHold().at(i)));
            if (!std::isnan(level))
                points.append(QPointF(m_band.minValue() + (i + 0.5) * step, level));
        }
        m_curves[k]->setSamples(points);
    }
    refreshWindowMax();
}

void HeldTraces::refreshWindowMax()
{
    QwtPlotCurve *curve = m_window ? m_window->curve(TraceKind::MaxHold) : nullptr;
    const SpectrumStatistics &s = m_plot->statistics();
    if (!m_windowCleared || !curve || !curve->isVisible() || s.columns != m_sinceClear.size() ||
        s.maxHoldTrace.size() != s.columns || s.currentTrace.size() != s.columns)
        return;
    // While following the newest sweep, the range's sweeps since the clear
    // are all in both the range and the sweeps since the clear: the lower of
    // the two maxima is theirs. The newest sweep counts even when the range
    // took it before this page did.
    const double step = m_band.width() / s.columns;
    QVector<QPointF> points;
    points.reserve(s.columns);
    for (int i = 0; i < s.columns; ++i) {
        const qint8 level =
            qMin(s.maxHoldTrace.at(i), qMax(m_sinceClear.at(i), s.currentTrace.at(i)));
        if (level != NoDataLevel)
            points.append(QPointF(m_band.minValue() + (i + 0.5) * step, level));
    }
    curve->setSamples(points);
}
