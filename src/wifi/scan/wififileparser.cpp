#include "wififileparser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

static bool parseMac(const QString &text, QByteArray *mac)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 6)
        return false;
    mac->clear();
    for (const QString &part : parts) {
        bool ok = false;
        const uint byte = part.toUInt(&ok, 16);
        if (!ok || part.size() != 2)
            return false;
        mac->append(char(byte));
    }
    return true;
}

// A JSON number as an integer within [low, high]; fractions are refused.
static bool integerIn(const QJsonValue &value, int low, int high, int *out)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (d < low || d > high || d != double(int(d)))
        return false;
    *out = int(d);
    return true;
}

static WifiFileContents refuse(const QString &why)
{
    WifiFileContents c;
    c.error = why;
    return c;
}

WifiFileContents parseWifiFile(const QByteArray &bytes)
{
    if (bytes.size() > MaxWifiFileBytes)
        return refuse(QStringLiteral("larger than %1 bytes").arg(MaxWifiFileBytes));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return refuse(QStringLiteral("not JSON: %1 at offset %2")
                          .arg(parseError.errorString())
                          .arg(parseError.offset));
    if (!doc.isObject())
        return refuse(QStringLiteral("the top level is not an object"));
    const QJsonObject root = doc.object();

    WifiFileContents c;
    if (root.contains(QLatin1String("scanDelayMs")) &&
        !integerIn(root.value(QLatin1String("scanDelayMs")), 0, 60000, &c.scanDelayMs))
        return refuse(QStringLiteral("\"scanDelayMs\" is not a whole number of 0..60000"));
    const QJsonValue list = root.value(QLatin1String("networks"));
    if (!list.isArray())
        return refuse(QStringLiteral("\"networks\" is not a list"));

    const QJsonArray networks = list.toArray();
    for (int i = 0; i < networks.size(); ++i) {
        const QJsonObject n = networks.at(i).toObject();
        const QString where = QStringLiteral("network %1: ").arg(i);
        QByteArray mac;
        if (!parseMac(n.value(QLatin1String("bssid")).toString(), &mac))
            return refuse(where + QStringLiteral("\"bssid\" is not six hex bytes a:b:c:d:e:f"));
        const QJsonValue ssid = n.value(QLatin1String("ssid"));
        if (!ssid.isString() && !ssid.isUndefined())
            return refuse(where + QStringLiteral("\"ssid\" is not a text"));
        int frequency = 0;
        int rssi = 0;
        if (!integerIn(n.value(QLatin1String("frequencyMHz")), 1, 100000, &frequency))
            return refuse(where + QStringLiteral("\"frequencyMHz\" is not a whole number"));
        if (!integerIn(n.value(QLatin1String("rssiDbm")), -200, 50, &rssi))
            return refuse(where + QStringLiteral("\"rssiDbm\" is not a whole number"));
        const QByteArray ssidBytes = ssid.toString().toLocal8Bit();
        c.networks.append(
            makeWifiApInfo(mac, ssidBytes, ssidBytes.size(), rssi, qint64(frequency) * 1000));
    }
    c.ok = true;
    return c;
}
