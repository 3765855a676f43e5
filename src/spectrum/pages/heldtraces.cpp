#include "heldtraces.h"

#include "spectroplot.h"

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
    m_clear->setToolTip(tr("Clear the max and min hold (X)"));
    connect(m_clear, &QAction::triggered, this, &HeldTraces::clearHolds);
    page->addAction(m_clear);

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
}

void HeldTraces::clear()
{
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
}
