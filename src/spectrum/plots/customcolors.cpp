#include "customcolors.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace CustomColors {

namespace {
QColor stopColor(const QJsonObject &element)
{
    QColor c;
    c.setNamedColor(element.value(QStringLiteral("color")).toString());
    // An unknown name stays invalid; the alpha is applied all the same.
    c.setAlpha(element.value(QStringLiteral("alpha")).toInt());
    return c;
}
} // namespace

QString filePath()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) +
                            QStringLiteral("/customColors.txt");
    if (QFile::exists(desktop))
        return desktop;
    return QStringLiteral(":/customColors.txt");
}

std::optional<CustomColorList> parse(const QByteArray &json, const QString &key)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    const QJsonArray list = doc.object().value(key).toArray();
    if (list.isEmpty())
        return std::nullopt;

    CustomColorList out;
    // The list runs from the top of the map down: first element at 1, last at 0,
    // whatever their "value" says.
    out.colorAt1 = stopColor(list.first().toObject());
    out.colorAt0 = stopColor(list.last().toObject());
    out.stops.reserve(list.size());
    for (const QJsonValue &v : list) {
        const QJsonObject element = v.toObject();
        out.stops.append({element.value(QStringLiteral("value")).toDouble(), stopColor(element)});
    }
    return out;
}

std::optional<CustomColorList> load(const QString &key)
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(file.readAll(), key);
}

} // namespace CustomColors
