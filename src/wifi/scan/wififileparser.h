#pragma once

#include "wifiapinfo.h"

#include <QByteArray>
#include <QString>

// The Wi-Fi survey file stands in for a wireless adapter on machines without
// one (the demo, the tests):
//   {"scanDelayMs": 1500,
//    "networks": [{"ssid": "Stage", "bssid": "02:00:00:00:01:06",
//                  "frequencyMHz": 2437, "rssiDbm": -52}, ...]}
// "scanDelayMs" may be left out (1500).
struct WifiFileContents
{
    bool ok = false;
    QString error;          //!< why the file was refused, when !ok
    int scanDelayMs = 1500; //!< how long a scan takes
    WifiScan networks;      //!< in file order, records built as a scan builds them
};

//! Largest survey file read; anything bigger is refused unread.
inline constexpr qint64 MaxWifiFileBytes = 1 << 20;

//! Parses a survey file. Any fault refuses the whole file with a reason.
WifiFileContents parseWifiFile(const QByteArray &bytes);
