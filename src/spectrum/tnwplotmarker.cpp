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

    painter->translate(alignPos.x(), alignPos.y());
    if (vertical)
        painter->rotate(-90.0);
    text.draw(painter, QRectF(0, 0, textSize.width(), textSize.height()));
}
