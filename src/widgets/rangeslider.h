#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

//! A handle-less horizontal range bar: the selected range is drawn as one
//! block that the user drags or scrolls as a whole, or widens and narrows by
//! dragging one of its edges; a double click selects everything, Home and
//! End move it to either end, the arrow keys step it. The band pages use it
//! as their time bar over the history's sample indices.
class RangeSlider : public QWidget
{
    Q_OBJECT
public:
    explicit RangeSlider(QWidget *parent = nullptr);

    qlonglong minimum() const { return m_minimum; }
    qlonglong maximum() const { return m_maximum; }
    qlonglong lowerValue() const { return m_lowerValue; }
    qlonglong upperValue() const { return m_upperValue; }
    qlonglong interval() const { return m_interval; }
    //! upperValue - lowerValue.
    qlonglong rangeWidth() const { return m_upperValue - m_lowerValue; }

    QSize minimumSizeHint() const override;

    //! x of a value in widget pixels; 1 while the interval is empty.
    int valuePosition(qlonglong value) const;
    //! The block that represents [lowerValue, upperValue].
    QRectF rangeRect() const;

signals:
    //! The user moved the block (drag, wheel, keys): the values changed or
    //! the block was pushed against an end. `atEnd`: it reached the maximum.
    void userMoved(bool atEnd);
    //! The user changed the block's width (an edge drag, a double click).
    void userResized();
    void lowerValueChanged(qlonglong aLowerValue);
    void upperValueChanged(qlonglong aUpperValue);
    void rangeChanged(qlonglong aMin, qlonglong aMax);

public slots:
    //! Sets both limits without clamping the values and without
    //! rangeChanged; callers set the values afterwards.
    void setRange(qlonglong minimum, qlonglong maximum);
    void setLowerValue(qlonglong lowerValue);
    void setUpperValue(qlonglong upperValue);
    void setMinimum(qlonglong minimum);
    void setMaximum(qlonglong maximum);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setMinimumInternal(qlonglong minimum);
    void setMaximumInternal(qlonglong maximum);
    void clampValues();
    void moveRange(qlonglong lower, qlonglong upper);
    void updateIfMoved();
    //! moveRange() by the user: clamped to the limits, then userMoved.
    void userMoveTo(qlonglong lower);
    QRectF trackRect() const;
    //! The value under pixel x.
    qlonglong valueAt(int x) const;
    //! Which edge of the block x lies on: -1 lower, 1 upper, 0 neither.
    int edgeAt(int x) const;

    qlonglong m_minimum = 0;
    qlonglong m_maximum = 100;
    qlonglong m_lowerValue = 0;
    qlonglong m_upperValue = 100;
    qlonglong m_interval = 100; //!< m_maximum - m_minimum, kept by every limit change
    bool m_rangePressed = false;
    int m_edgePressed = 0; //!< -1 lower edge, 1 upper edge being dragged
    int m_dragOffset = 0;  //!< pointer x minus the range block's left edge at the press
    QColor m_enabledColor = QColor(30, 144, 255);
    QColor m_disabledColor = QColor(Qt::darkGray);
    QColor m_rangeColor = m_enabledColor;
    QRectF m_paintedRange; //!< the block as last painted; null before the first paint
};
