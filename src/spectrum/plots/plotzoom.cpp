#include "plotzoom.h"

#include "spectroplot.h"
#include "waterfallplot.h"

#include <qwt_plot.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace ZoomMath {

QwtInterval zoomAbout(const QwtInterval &view, double anchor, double factor,
                      const QwtInterval &limits, double minWidth)
{
    const QwtInterval v = view.normalized();
    const QwtInterval lim = limits.normalized();
    if (!v.isValid() || !lim.isValid() || !(factor > 0.0) || !std::isfinite(factor))
        return view;
    const double width = qBound(qMin(minWidth, lim.width()), v.width() * factor, lim.width());
    const double a = v.width() > 0.0 ? qBound(0.0, (anchor - v.minValue()) / v.width(), 1.0) : 0.5;
    const double low = anchor - a * width;
    return panBy(QwtInterval(low, low + width), 0.0, lim);
}

QwtInterval panBy(const QwtInterval &view, double delta, const QwtInterval &limits)
{
    const QwtInterval v = view.normalized();
    const QwtInterval lim = limits.normalized();
    const double width = qMin(v.width(), lim.width());
    double low = qBound(lim.minValue(), v.minValue() + delta, lim.maxValue() - width);
    return QwtInterval(low, low + width);
}

double wheelFactor(int angleDelta)
{
    return std::pow(StepFactor, angleDelta / 120.0);
}

} // namespace ZoomMath

PlotWheelMagnifier::PlotWheelMagnifier(QWidget *canvas, PlotZoom *zoom)
    : QwtPlotMagnifier(canvas), m_zoom(zoom)
{
    // The right button places and removes notes; it never zooms.
    setMouseButton(Qt::NoButton);
    setKeyFactor(ZoomMath::StepFactor);
    setZoomInKey(Qt::Key_Plus, Qt::NoModifier);
    setZoomOutKey(Qt::Key_Minus, Qt::NoModifier);
}

int PlotWheelMagnifier::zoomKeyDirection(int key, Qt::KeyboardModifiers modifiers,
                                         const QString &text)
{
    // Ctrl or Alt with the key is someone else's shortcut.
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return 0;
    if (text == QLatin1String("+") || key == Qt::Key_Plus)
        return 1;
    if (text == QLatin1String("-") || key == Qt::Key_Minus)
        return -1;
    return 0;
}

void PlotWheelMagnifier::widgetKeyPressEvent(QKeyEvent *event)
{
    const int direction = zoomKeyDirection(event->key(), event->modifiers(), event->text());
    if (direction == 0) {
        QwtPlotMagnifier::widgetKeyPressEvent(event);
        return;
    }
    rescale(direction > 0 ? keyFactor() : 1.0 / keyFactor());
    event->accept();
}

void PlotWheelMagnifier::rescale(double factor)
{
    const QwtInterval view = m_zoom->frequencyView();
    m_zoom->zoomFrequency(view.minValue() + view.width() / 2.0, factor);
}

void PlotWheelMagnifier::widgetWheelEvent(QWheelEvent *event)
{
    // Some systems turn Shift+wheel into a horizontal turn.
    const QPoint turn = event->angleDelta();
    const int delta = turn.y() != 0 ? turn.y() : turn.x();
    if (delta == 0)
        return;
    const double factor = ZoomMath::wheelFactor(delta);
    const QPointF at = event->position();
    QwtPlot *p = plot();
    if (event->modifiers() & Qt::ShiftModifier)
        m_zoom->zoomSecondAxis(p, p->invTransform(QwtPlot::yLeft, int(at.y())), factor);
    else
        m_zoom->zoomFrequency(p->invTransform(QwtPlot::xBottom, int(at.x())), factor);
    event->accept();
}

PlotDragPanner::PlotDragPanner(QWidget *canvas, PlotZoom *zoom)
    : QwtPlotPanner(canvas), m_zoom(zoom)
{
    setMouseButton(Qt::MiddleButton);
    setOrientations(Qt::Horizontal);
}

void PlotDragPanner::moveCanvas(int dx, int)
{
    if (dx == 0)
        return;
    const QwtScaleMap map = plot()->canvasMap(QwtPlot::xBottom);
    m_zoom->panFrequency(map.invTransform(0.0) - map.invTransform(dx));
}

PlotZoom::PlotZoom(SpectroPlot *spectro, WaterfallPlot *waterfall, QObject *parent)
    : QObject(parent), m_spectro(spectro), m_waterfall(waterfall)
{
    watch(spectro);
    watch(waterfall);
}

void PlotZoom::watch(QwtPlot *plot)
{
    QWidget *canvas = plot->canvas();
    canvas->setFocusPolicy(Qt::WheelFocus);
    new PlotWheelMagnifier(canvas, this);
    new PlotDragPanner(canvas, this);
    canvas->installEventFilter(this);
    for (int axis : {int(QwtPlot::xBottom), int(QwtPlot::xTop), int(QwtPlot::yLeft)})
        plot->axisWidget(axis)->installEventFilter(this);
}

void PlotZoom::setBand(const QwtInterval &band)
{
    m_band = band.normalized();
    m_view = m_band;
    apply(m_spectro);
    apply(m_waterfall);
}

bool PlotZoom::isZoomed() const
{
    return m_view != m_band;
}

void PlotZoom::setFrequencyView(const QwtInterval &view)
{
    if (!m_band.isValid())
        return;
    const QwtInterval clamped =
        ZoomMath::zoomAbout(view, view.normalized().minValue(), 1.0, m_band, MinFrequencyWidth);
    if (clamped == m_view)
        return;
    m_view = clamped;
    apply(m_spectro);
    apply(m_waterfall);
    emit frequencyViewChanged(m_view);
}

void PlotZoom::zoomFrequency(double anchor, double factor)
{
    setFrequencyView(ZoomMath::zoomAbout(m_view, anchor, factor, m_band, MinFrequencyWidth));
}

void PlotZoom::panFrequency(double delta)
{
    setFrequencyView(ZoomMath::panBy(m_view, delta, m_band));
}

void PlotZoom::zoomSecondAxis(QwtPlot *plot, double anchor, double factor)
{
    if (plot == m_spectro) {
        const QwtInterval shown = m_spectro->axisScaleDiv(QwtPlot::yLeft).interval();
        m_spectro->setAmplitudeRange(
            ZoomMath::zoomAbout(shown, anchor, factor, QwtInterval(MinLevel, MaxLevel), 5.0));
    } else if (plot == m_waterfall) {
        const double shown = m_waterfall->axisScaleDiv(QwtPlot::yLeft).interval().width();
        m_waterfall->setTimeSpan(qint64(qMax(1000.0, shown * factor)));
    }
    plot->replot();
}

void PlotZoom::reset()
{
    m_spectro->setAmplitudeRange(QwtInterval());
    m_waterfall->setTimeSpan(0);
    const bool changed = m_view != m_band;
    m_view = m_band;
    apply(m_spectro);
    apply(m_waterfall);
    if (changed)
        emit frequencyViewChanged(m_view);
}

void PlotZoom::reapply()
{
    apply(m_spectro);
    apply(m_waterfall);
}

void PlotZoom::apply(QwtPlot *plot)
{
    if (!m_view.isValid())
        return;
    const bool autoReplotWas = plot->autoReplot();
    plot->setAutoReplot(false);
    plot->setAxisScale(QwtPlot::xBottom, m_view.minValue(), m_view.maxValue());
    // The channel ticks stay; only the ones inside the view are drawn.
    QwtScaleDiv top = plot->axisScaleDiv(QwtPlot::xTop);
    top.setInterval(m_view);
    plot->setAxisScaleDiv(QwtPlot::xTop, top);
    plot->setAutoReplot(autoReplotWas);
    plot->replot();
}

bool PlotZoom::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (qobject_cast<QwtScaleWidget *>(watched)) {
            reset();
            return true;
        }
        // On a canvas the double click is left to the others as well: the
        // note a single click would place waits for it and is cancelled.
        // Ctrl+clicks place markers, and two quick ones keep the zoom.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::NoModifier &&
            (watched == m_spectro->canvas() || watched == m_waterfall->canvas()))
            reset();
    } else if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const double step = m_view.width() / 10.0;
        switch (key->key()) {
        case Qt::Key_Home:
            reset();
            return true;
        case Qt::Key_Left:
            panFrequency(-step);
            return true;
        case Qt::Key_Right:
            panFrequency(step);
            return true;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
