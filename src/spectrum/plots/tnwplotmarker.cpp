#include "tnwplotmarker.h"

#include <qwt_symbol.h>
#include <qwt_text.h>

#include <QPainter>

TnwPlotMarker::TnwPlotMarker(const QString &title) : QwtPlotMarker(title) {}

QSizeF TnwPlotMarker::wrappedSize(const QSizeF &textSize, double maxWidth)
{
    if (maxWidth > 0.0 && textSize.width() > maxWidth)
        return QSizeF(maxWidth, textSize.height() * int(textSize.width() / maxWidth + 1));
    return textSize;
}

static double inwardShift1(double low, double high, double min, double max)
{
    if (high > max)
        return qMax(max - high, min - low); // a box larger than the canvas keeps its start
    if (low < min)
        return min - low;
    return 0.0;
}

QPointF TnwPlotMarker::inwardShift(const QRectF &box, const QRectF &canvas)
{
    return QPointF(inwardShift1(box.left(), box.right(), canvas.left(), canvas.right()),
                   inwardShift1(box.top(), box.bottom(), canvas.top(), canvas.bottom()));
}

// QwtPlotMarker::drawLabel, except that the measured text size is limited to
// maxLabelWidth; the label's word wrap then breaks the text inside that box.
void TnwPlotMarker::drawLabel(QPainter *painter, const QRectF &canvasRect, const QPointF &pos) const
{
    const QwtText text = label();
    if (text.isEmpty())
        return;

    Qt::Alignment align = labelAlignment();
    QPointF alignPos = pos;
    QSizeF symbolOff(0, 0);

    switch (lineStyle()) {
    case QwtPlotMarker::VLine:
        if (labelAlignment() & Qt::AlignTop) {
            alignPos.setY(canvasRect.top());
            align &= ~Qt::AlignTop;
            align |= Qt::AlignBottom;
        } else if (labelAlignment() & Qt::AlignBottom) {
            alignPos.setY(canvasRect.bottom() - 1);
            align &= ~Qt::AlignBottom;
            align |= Qt::AlignTop;
        } else {
            alignPos.setY(canvasRect.center().y());
        }
        break;
    case QwtPlotMarker::HLine:
        if (labelAlignment() & Qt::AlignLeft) {
            alignPos.setX(canvasRect.left());
            align &= ~Qt::AlignLeft;
            align |= Qt::AlignRight;
        } else if (labelAlignment() & Qt::AlignRight) {
            alignPos.setX(canvasRect.right() - 1);
            align &= ~Qt::AlignRight;
            align |= Qt::AlignLeft;
        } else {
            alignPos.setX(canvasRect.center().x());
        }
        break;
    default:
        if (symbol() && symbol()->style() != QwtSymbol::NoSymbol) {
            symbolOff = symbol()->size() + QSizeF(1, 1);
            symbolOff /= 2;
        }
    }

    qreal pw2 = linePen().widthF() / 2.0;
    if (pw2 == 0.0)
        pw2 = 0.5;
    const int gap = spacing();
    const qreal xOff = qMax(pw2, symbolOff.width());
    const qreal yOff = qMax(pw2, symbolOff.height());
    const bool vertical = labelOrientation() == Qt::Vertical;

    const QSizeF textSize = wrappedSize(text.textSize(painter->font()), maxLabelWidth);

    if (align & Qt::AlignLeft) {
        alignPos.rx() -= xOff + gap;
        alignPos.rx() -= vertical ? textSize.height() : textSize.width();
    } else if (align & Qt::AlignRight) {
        alignPos.rx() += xOff + gap;
    } else {
        alignPos.rx() -= (vertical ? textSize.height() : textSize.width()) / 2;
    }

    if (align & Qt::AlignTop) {
        alignPos.ry() -= yOff + gap;
        if (!vertical)
            alignPos.ry() -= textSize.height();
    } else if (align & Qt::AlignBottom) {
        alignPos.ry() += yOff + gap;
        if (vertical)
            alignPos.ry() += textSize.width();
    } else {
        if (vertical)
            alignPos.ry() += textSize.width() / 2;
        else
            alignPos.ry() -= textSize.height() / 2;
    }

    // A note placed near the canvas edge is shifted inward as a whole so it
    // stays readable; its anchor (point or line) stays where it is. A note
    // whose anchor has scrolled out of view is left where it falls.
    const QRectF box = vertical ? QRectF(alignPos.x(), alignPos.y() - textSize.width(),
                                         textSize.height(), textSize.width())
                                : QRectF(alignPos, textSize);
    const bool xAnchored = lineStyle() == QwtPlotMarker::HLine ||
                           (pos.x() >= canvasRect.left() && pos.x() <= canvasRect.right());
    const bool yAnchored = lineStyle() == QwtPlotMarker::VLine ||
                           (pos.y() >= canvasRect.top() && pos.y() <= canvasRect.bottom());
    const QPointF shift = inwardShift(box, canvasRect);
    alignPos += QPointF(xAnchored ? shift.x() : 0.0, yAnchored ? shift.y() : 0.0);

    painter->translate(alignPos.x(), alignPos.y());
    if (vertical)
        painter->rotate(-90.0);
    text.draw(painter, QRectF(0, 0, textSize.width(), textSize.height()));
}
