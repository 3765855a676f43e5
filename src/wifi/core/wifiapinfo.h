#pragma once

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QString>

#include <array>

//! One access point heard in one Wi-Fi scan. The field order is also the order
//! in which recordings store the fields.
struct WifiApInfo
{
    QString bssid;        //!< "<0a:1b:2c:3d:4e:5f>", brackets included, lower-case hex
    QString ssid;         //!< network name; empty for a hidden network
    qint32 rssi = 0;      //!< dBm
    qint32 frequency = 0; //!< channel centre, MHz
    qint32 width = 20;    //!< channel width, MHz; the survey always reports 20
    QColor color;         //!< networkColorHue(bssid)

    bool operator==(const WifiApInfo &other) const;
    bool operator!=(const WifiApInfo &other) const { return !(*this == other); }
};
Q_DECLARE_TYPEINFO(WifiApInfo, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(WifiApInfo)

//! One scan: the access points in the order the operating system listed them.
//! Implicitly shared, so every spectrum sample can carry the latest scan for
//! the price of a pointer.
using WifiScan = QList<WifiApInfo>;

//! 2.4 GHz Wi-Fi channel centres in MHz: index n (1..14) is channel n, index 0
//! and 15 are the band edges. Networks outside [front, back] are not kept.
inline constexpr std::array<double, 16> wifiChannelFrequencies{
    2400, 2412, 2417, 2422, 2427, 2432, 2437, 2442, 2447, 2452, 2457, 2462, 2467, 2472, 2484, 2500};

//! Display colour of an access point, derived from its bssid text alone so the
//! same network keeps its colour across scans and recordings. Hues 220..279
//! (the blues of the density picture) are never used.
QColor networkColorHue(const QString &bssid);

//! The hue networkColorHue() uses, exposed for tests and legends.
int networkHue(const QString &bssid);

//! "<%1:%2:%3:%4:%5:%6>" from six MAC bytes; fewer bytes than six yield an
//! empty text rather than a read past the buffer.
QString formatBssid(const QByteArray &mac);

//! SSID bytes decoded with the local 8-bit code page: at most `length` bytes,
//! at most 32, and never more than the buffer holds.
QString decodeSsid(const QByteArray &ssidBytes, int length);

//! A complete record as the scanner builds it: frequency from kHz (remainder
//! dropped), width 20 MHz, colour from the bssid.
WifiApInfo makeWifiApInfo(const QByteArray &mac, const QByteArray &ssidBytes, int ssidLength,
                          qint32 rssi, qint64 frequencyKHz);

//! Registers "WifiApInfo" and "WifiScan" so scans can travel in queued signals.
//! Safe to call more than once.
void registerWifiMetaTypes();
