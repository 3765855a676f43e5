#include "rangeslider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr int TrackHeight = 9;
constexpr int BlockExtra = 15;    //!< the block is this much wider than its value span
constexpr int PositionSlack = 17; //!< W - 17 pixels carry the value span
} // namespace

RangeSlider::RangeSlider(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
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

void RangeSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QRectF range = rangeRect();
    m_rangePressed = range.contains(event->pos());
    if (m_rangePressed)
        m_dragOffset = event->pos().x() - qRound(range.left());
}

void RangeSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        setCursor(rangeRect().contains(event->pos()) ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    if (!m_rangePressed)
        return;
    const int span = width() - PositionSlack;
    if (span <= 0)
        return; // a bar too narrow to carry any position: nothing to drag over
    const qlonglong width = m_upperValue - m_lowerValue;
    const qlonglong newLower = std::llround(double(event->pos().x() - m_dragOffset - 1) /
                                                double(span) * double(m_interval) +
                                            double(m_minimum));
    if (newLower < m_minimum)
        moveRange(m_minimum, m_minimum + width);
    else if (newLower + width > m_maximum)
        moveRange(m_maximum - width, m_maximum);
    else
        moveRange(newLower, newLower + width);
}

void RangeSlider::mouseReleaseEvent(QMouseEvent *)
{
    m_rangePressed = false;
}

void RangeSlider::wheelEvent(QWheelEvent *event)
{
    const qlonglong magnitude = m_interval / 20;
    const qlonglong step = event->angleDelta().y() > 0 ? magnitude : -magnitude;
    const qlonglong width = m_upperValue - m_lowerValue;
    if (m_lowerValue + step < m_minimum)
        moveRange(m_minimum, qMin(m_maximum, m_minimum + width));
    else if (m_upperValue + step > m_maximum)
        moveRange(qMax(m_maximum - width, m_minimum), m_maximum);
    else
        moveRange(m_lowerValue + step, m_upperValue + step);
    event->accept();
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
    update();
}

void RangeSlider::setUpperValue(qlonglong upperValue)
{
    const qlonglong v = qBound(m_minimum, upperValue, m_maximum);
    if (v != m_upperValue) {
        m_upperValue = v;
        emit upperValueChanged(v);
    }
    update();
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
    update();
    clampValues();
    emit rangeChanged(m_minimum, m_maximum);
}

void RangeSlider::setMaximum(qlonglong maximum)
{
    if (maximum == m_maximum)
        return;
    setMaximumInternal(maximum);
    update();
    clampValues();
    emit rangeChanged(m_minimum, m_maximum);
}

void RangeSlider::setRange(qlonglong minimum, qlonglong maximum)
{
    setMinimumInternal(minimum);
    setMaximumInternal(maximum);
    update();
}
