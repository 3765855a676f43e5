#include "wifiapinfo.h"

#include <QCryptographicHash>

bool WifiApInfo::operator==(const WifiApInfo &other) const
{
    return bssid == other.bssid && ssid == other.ssid && rssi == other.rssi &&
           frequency == other.frequency && width == other.width && color == other.color;
}

int networkHue(const QString &bssid)
{
    const QByteArray digest =
        QCryptographicHash::hash(bssid.toLocal8Bit(), QCryptographicHash::Md5);
    quint32 t = 0;
    for (const char byte : digest) {
        // Each byte is sign-extended before it is added, so a negative byte
        // contributes 2^32 - |b| with wrap-around; keeps colours stable with
        // recordings made by earlier builds.
        t += static_cast<quint32>(static_cast<qint32>(static_cast<qint8>(byte)));
        t %= 300u;
    }
    return t < 220u ? int(t) : int(t) + 60;
}

QColor networkColorHue(const QString &bssid)
{
    return QColor::fromHsv(networkHue(bssid), 255, 255, 255);
}

QString formatBssid(const QByteArray &mac)
{
    if (mac.size() < 6)
        return QString();
    QString text = QStringLiteral("<");
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            text += QLatin1Char(':');
        text += QStringLiteral("%1").arg(quint8(mac.at(i)), 2, 16, QLatin1Char('0'));
    }
    text += QLatin1Char('>');
    return text;
}

QString decodeSsid(const QByteArray &ssidBytes, int length)
{
    const int n = qBound(0, length, qMin(32, ssidBytes.size()));
    return QString::fromLocal8Bit(ssidBytes.constData(), n);
}

WifiApInfo makeWifiApInfo(const QByteArray &mac, const QByteArray &ssidBytes, int ssidLength,
                          qint32 rssi, qint64 frequencyKHz)
{
    WifiApInfo info;
    info.bssid = formatBssid(mac);
    info.ssid = decodeSsid(ssidBytes, ssidLength);
    info.rssi = rssi;
    info.frequency = qint32(frequencyKHz / 1000);
    info.width = 20;
    info.color = networkColorHue(info.bssid);
    return info;
}

void registerWifiMetaTypes()
{
    qRegisterMetaType<WifiApInfo>("WifiApInfo");
    qRegisterMetaType<WifiScan>("WifiScan");
}
