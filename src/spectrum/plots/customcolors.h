#pragma once

#include <QColor>
#include <QPair>
#include <QString>
#include <QVector>

#include <optional>

class QByteArray;

// The colour stops of one plot's colour map, read from "customColors.txt".
// Kept apart from the Qwt colour maps so the file handling is tested without
// a display and without Qwt.
struct CustomColorList
{
    QColor colorAt0;                      //!< the list's last element
    QColor colorAt1;                      //!< the list's first element
    QVector<QPair<double, QColor>> stops; //!< every element in file order
};

namespace CustomColors {

//! The desktop copy when it exists, else the built-in resource.
QString filePath();

//! The stop list under `key` of a colour file's contents; nothing when the
//! text does not parse, lacks the key or holds an empty list.
std::optional<CustomColorList> parse(const QByteArray &json, const QString &key);

//! Reads the list under `key` from filePath(). Nothing when no file exists or
//! the file yields no usable list; the caller then uses its built-in stops.
std::optional<CustomColorList> load(const QString &key);

} // namespace CustomColors
