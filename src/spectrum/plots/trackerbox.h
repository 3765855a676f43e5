#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

// The tracker text of both plots sits on a dark translucent box a little
// larger than the text, so it stays readable over any colour.
namespace TrackerBox {

inline QRect grow(const QRect &textRect)
{
    return textRect.isEmpty() ? textRect : textRect.adjusted(-2, -2, 2, 2);
}

inline void fill(QPainter *painter, const QRect &boxRect)
{
    painter->fillRect(boxRect.adjusted(0, 0, -1, -1), QColor(0, 0, 0, 192));
}

} // namespace TrackerBox
