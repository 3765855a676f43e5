#pragma once

#include <qwt_text.h>

#include <QBrush>
#include <QColor>
#include <QFont>

// The look shared by labels, time events and the QC pass line: white text
// on a faint white box, in a font a quarter larger than the plot's.
namespace NoteStyle {

inline QFont enlargedFont(QFont font)
{
    if (font.pointSize() > 0)
        font.setPointSize(int(font.pointSize() * 1.25));
    return font;
}

inline QwtText text(const QString &text, const QFont &plotFont)
{
    QwtText label(text);
    label.setBorderRadius(2);
    label.setColor(Qt::white);
    label.setBackgroundBrush(QBrush(QColor(255, 255, 255, 64)));
    label.setFont(enlargedFont(plotFont));
    return label;
}

} // namespace NoteStyle
