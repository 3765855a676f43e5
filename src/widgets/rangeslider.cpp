#include "rangeslider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr int TrackHeight = 9;
constexpr int BlockExtra = 15;    //!< the block is this much wider than its value span
constexpr int PositionSlack = 17; //!< W - 17 pixels carry the value span
constexpr int EdgeGrip = 4;       //!< pixels either side of an edge that take it
} // namespace

RangeSlider::RangeSlider(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

QSize RangeSlider::minimumSizeHint() const
{
    return QSize(32, 15);
}

int RangeSlider::valuePosition(qlonglong value) const
{
    // Every page starts with setRange(0, 0): until the first sweep the
    // interval is 0 and the division would yield NaN or infinity, whose
    // conversion to int is undefined. Draw the block at the start instead.
    if (m_interval <= 0)
        return 1;
    const double p = double(value - m_minimum) / double(m_interval) * (width() - PositionSlack);
    // setRange() does not clamp the values, so a value may lie far outside
    // the limits for a moment; keep its position convertible to int.
    constexpr double Far = 1 << 24;
    return int(std::trunc(qBound(-Far, p, Far))) + 1;
}

QRectF RangeSlider::trackRect() const
{
    return QRectF(1, (height() - TrackHeight) / 2, width() - 2, TrackHeight);
}

QRectF RangeSlider::rangeRect() const
{
    const QRectF track = trackRect();
    const double left = valuePosition(m_lowerValue) + 0.5;
    const double right = valuePosition(m_upperValue) + BlockExtra - 0.5;
    return QRectF(QPointF(left, track.top()), QPointF(right, track.bottom()));
}

void RangeSlider::paintEvent(QPaintEvent *)
{
    m_paintedRange = rangeRect();
    QPainter painter(this);
    painter.setPen(QPen(Qt::gray, 0.8, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setRenderHint(QPainter::Qt4CompatiblePainting);
    painter.setBrush(QColor(208, 208, 208));
    painter.drawRoundedRect(trackRect(), 1, 1);

    painter.setPen(QPen(Qt::darkGray, 0.5));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(m_rangeColor);
    painter.drawRect(rangeRect());
}

qlonglong RangeSlider::valueAt(int x) const
{
    const int span = width() - PositionSlack;
    if (span <= 0)
        return m_minimum;
    return std::llround(double(x - 1) / double(span) * double(m_interval) + double(m_minimum));
}

int RangeSlider::edgeAt(int x) const
{
    const QRectF range = rangeRect();
    // The block is BlockExtra wider than its values: its right edge is the
    // upper value's position plus that.
    if (std::abs(x - range.right()) <= EdgeGrip)
        return 1;
    if (std::abs(x - range.left()) <= EdgeGrip)
        return -1;
    return 0;
}

void RangeSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QRectF range = rangeRect();
    m_edgePressed = m_interval > 0 ? edgeAt(event->pos().x()) : 0;
    m_rangePressed = m_edgePressed == 0 && range.contains(event->pos());
    if (m_rangePressed)
        m_dragOffset = event->pos().x() - qRound(range.left());
}

void RangeSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        setCursor(edgeAt(event->pos().x()) != 0        ? Qt::SplitHCursor
                  : rangeRect().contains(event->pos()) ? Qt::SizeHorCursor
                                                       : Qt::ArrowCursor);
        return;
    }
    if (m_edgePressed != 0) {
        // At least one value wide, so the block never vanishes.
        if (m_edgePressed < 0) {
            setLowerValue(qBound(m_minimum, valueAt(event->pos().x()), m_upperValue - 1));
        } else {
            const qlonglong upper = valueAt(event->pos().x() - BlockExtra + 1);
            setUpperValue(qBound(m_lowerValue + 1, upper, m_maximum));
        }
        emit userResized();
        emit userMoved(m_upperValue >= m_maximum);
        return;
    }
    if (!m_rangePressed)
        return;
    const int span = width() - PositionSlack;
    if (span <= 0)
        return; // a bar too narrow to carry any position: nothing to drag over
    userMoveTo(valueAt(event->pos().x() - m_dragOffset));
}

void RangeSlider::mouseReleaseEvent(QMouseEvent *)
{
    m_rangePressed = false;
    m_edgePressed = 0;
}

void RangeSlider::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    moveRange(m_minimum, m_maximum);
    emit userResized();
    emit userMoved(true);
}

void RangeSlider::wheelEvent(QWheelEvent *event)
{
    const qlonglong magnitude = m_interval / 20;
    const qlonglong step = event->angleDelta().y() > 0 ? magnitude : -magnitude;
    userMoveTo(m_lowerValue + step);
    event->accept();
}

void RangeSlider::keyPressEvent(QKeyEvent *event)
{
    const qlonglong width = m_upperValue - m_lowerValue;
    const qlonglong step = qMax<qlonglong>(1, m_interval / 20);
    switch (event->key()) {
    case Qt::Key_Home:
        userMoveTo(m_minimum);
        break;
    case Qt::Key_End:
        userMoveTo(m_maximum - width);
        break;
    case Qt::Key_Left:
    case Qt::Key_PageUp:
        userMoveTo(m_lowerValue - step);
        break;
    case Qt::Key_Right:
    case Qt::Key_PageDown:
        userMoveTo(m_lowerValue + step);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void RangeSlider::userMoveTo(qlonglong lower)
{
    // The block keeps its width; pushed against an end, it stops there.
    const qlonglong width = qMin(m_upperValue - m_lowerValue, m_interval);
    lower = qBound(m_minimum, lower, m_maximum - width);
    moveRange(lower, lower + width);
    emit userMoved(m_upperValue >= m_maximum);
}

void RangeSlider::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        m_rangeColor = isEnabled() ? m_enabledColor : m_disabledColor;
        update();
    }
    QWidget::changeEvent(event);
}

void RangeSlider::moveRange(qlonglong lower, qlonglong upper)
{
    setLowerValue(lower);
    setUpperValue(upper);
}

void RangeSlider::setLowerValue(qlonglong lowerValue)
{
    const qlonglong v = qBound(m_minimum, lowerValue, m_maximum);
    if (v != m_lowerValue) {
        m_lowerValue = v;
        emit lowerValueChanged(v);
    }
    updateIfMoved();
}

void RangeSlider::setUpperValue(qlonglong upperValue)
{
    const qlonglong v = qBound(m_minimum, upperValue, m_maximum);
    if (v != m_upperValue) {
        m_upperValue = v;
        emit upperValueChanged(v);
    }
    updateIfMoved();
}

void RangeSlider::setMinimumInternal(qlonglong minimum)
{
    if (minimum <= m_maximum) {
        m_minimum = minimum;
    } else {
        m_minimum = m_maximum;
        m_maximum = minimum;
    }
    m_interval = m_maximum - m_minimum;
}

void RangeSlider::setMaximumInternal(qlonglong maximum)
{
    if (maximum >= m_minimum) {
        m_maximum = maximum;
    } else {
        m_maximum = m_minimum;
        m_minimum = maximum;
    }
    m_interval = m_maximum - m_minimum;
}

void RangeSlider::clampValues()
{
    if (m_lowerValue < m_minimum)
        setLowerValue(m_minimum);
    if (m_upperValue > m_maximum)
        setUpperValue(qMax(m_maximum, m_minimum));
}

void RangeSlider::setMinimum(qlonglong minimum)
{
    if (minimum == m_minimum)
        return;
    setMinimumInternal(minimum);
    updateIfMoved();
    clampValues();
    emit rangeChanged(m_minimum, m_maximum);
}

void RangeSlider::setMaximum(qlonglong maximum)
{
    if (maximum == m_maximum)
        return;
    setMaximumInternal(maximum);
    updateIfMoved();
    clampValues();
    emit rangeChanged(m_minimum, m_maximum);
}

void RangeSlider::updateIfMoved()
{
    // A live page sets the range with every few sweeps while the block stays
    // where it is drawn; the bar is not opaque, so each repaint paints the
    // widgets below it too. When the block moves, mostly one edge while a
    // window fills, only what changed is painted again: around the edges
    // that moved, and the fill between where they were and are. Inside both
    // blocks, and beyond an edge that stayed, the pixels stay as they are.
    if (m_paintedRange.isNull()) {
        update();
        return;
    }
    const QRectF was = m_paintedRange, now = rangeRect();
    if (now == was)
        return;
    constexpr int Outline = 2; // the pen's half width and the rounding to pixels, with room
    const QRect all =
        was.united(now).toAlignedRect().adjusted(-Outline, -Outline, Outline, Outline);
    const QRect both = was.intersected(now).toAlignedRect();
    QRegion changed(all);
    if (both.isValid()) {
        const QRect kept(
            QPoint(was.left() == now.left() ? all.left() : both.left() + Outline,
                   was.top() == now.top() ? all.top() : both.top() + Outline),
            QPoint(was.right() == now.right() ? all.right() : both.right() - Outline,
                   was.bottom() == now.bottom() ? all.bottom() : both.bottom() - Outline));
        if (kept.isValid())
            changed -= kept;
    }
    update(changed);
}

void RangeSlider::setRange(qlonglong minimum, qlonglong maximum)
{
    setMinimumInternal(minimum);
    setMaximumInternal(maximum);
    updateIfMoved();
}
