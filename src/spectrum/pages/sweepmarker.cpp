#include "sweepmarker.h"

#include "bandhistory.h"
#include "spectroplot.h"
#include "waterfallplot.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_symbol.h>

#include <QAction>
#include <QDateTime>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>

namespace {
const QColor markedColor(255, 255, 255);
} // namespace

SweepMarker::SweepMarker(SpectroPlot *spectro, WaterfallPlot *waterfall, const BandHistory *history,
                         QWidget *page)
    : QObject(page), m_spectro(spectro), m_waterfall(waterfall), m_history(history)
{
    m_curve = new QwtPlotCurve(tr("Marked sweep"));
    QPen pen(markedColor, 0.0, Qt::DashLine);
    pen.setCosmetic(true);
    m_curve->setPen(pen);
    m_curve->setZ(32); // over the traces, under the notes
    m_curve->setItemAttribute(QwtPlotItem::Legend, false);
    m_curve->setVisible(false);
    m_curve->attach(spectro);

    m_line = new QwtPlotMarker;
    m_line->setLineStyle(QwtPlotMarker::HLine);
    m_line->setLinePen(markedColor, 0, Qt::DashLine);
    // The colour bar covers the right end and the events the left.
    m_line->setLabelAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    m_line->setZ(32);
    m_line->setVisible(false);
    m_line->attach(waterfall);

    m_clear = new QAction(tr("Clear marked sweep"), this);
    m_clear->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_M));
    m_clear->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_clear->setEnabled(false);
    connect(m_clear, &QAction::triggered, this, &SweepMarker::clear);
    page->addAction(m_clear);

    waterfall->canvas()->installEventFilter(this);
}

SweepMarker::~SweepMarker() = default;

bool SweepMarker::isPlaced() const
{
    return m_curve->isVisible();
}

bool SweepMarker::place(qint64 timeMs)
{
    const RfSpectrumSampleList &samples = m_history->samples();
    if (samples.isEmpty())
        return false;
    auto it = std::lower_bound(samples.cbegin(), samples.cend(), timeMs,
                               [](const RfSpectrumSample &s, qint64 t) { return s.timeStamp < t; });
    if (it == samples.cend() ||
        (it != samples.cbegin() && timeMs - (it - 1)->timeStamp < it->timeStamp - timeMs))
        --it;
    m_sample = *it;

    const int n = m_sample.spectrum.size();
    const double step = n > 0 ? m_band.width() / n : 0;
    QVector<QPointF> points;
    points.reserve(n);
    for (int i = 0; i < n; ++i)
        if (m_sample.spectrum.at(i) != NoDataLevel)
            points.append(QPointF(m_band.minValue() + (i + 0.5) * step, m_sample.spectrum.at(i)));
    m_curve->setSamples(points);
    m_curve->setVisible(true);

    const QString when = QDateTime::fromMSecsSinceEpoch(m_sample.timeStamp)
                             .time()
                             .toString(QStringLiteral("HH:mm:ss.zzz"));
    m_curve->setTitle(tr("Marked sweep %1").arg(when));
    m_text = m_curve->title().text();
    m_line->setYValue(double(m_sample.timeStamp));
    QwtText label(tr("Marked sweep %1").arg(when));
    label.setColor(markedColor);
    m_line->setLabel(label);
    m_line->setVisible(true);
    m_clear->setEnabled(true);
    m_spectro->replot();
    m_waterfall->replot();
    emit changed();
    return true;
}

QString SweepMarker::text() const
{
    return isPlaced() ? m_text : QString();
}

void SweepMarker::clear()
{
    if (!isPlaced())
        return;
    m_curve->setVisible(false);
    m_line->setVisible(false);
    m_clear->setEnabled(false);
    m_spectro->replot();
    m_waterfall->replot();
    emit changed();
}

bool SweepMarker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::ControlModifier) {
            place(qint64(m_waterfall->invTransform(QwtPlot::yLeft, mouse->pos().y())));
            return true; // not a note
        }
    }
    return QObject::eventFilter(watched, event);
}
