#pragma once

#include "wifiapinfo.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Reading of single nl80211 generic-netlink messages, kept free of sockets so
// it can be tested and fuzzed on byte buffers. Every length comes from the
// buffer and is checked against it before anything is read.

//! What one nl80211 message says, as far as the Wi-Fi survey cares.
struct Nl80211Message
{
    bool valid = false;  //!< a complete generic-netlink message
    int command = -1;    //!< nl80211 command (NL80211_CMD_...)
    qint64 ifindex = -1; //!< NL80211_ATTR_IFINDEX, -1 when absent
    int iftype = -1;     //!< NL80211_ATTR_IFTYPE, -1 when absent
    QString ifname;      //!< NL80211_ATTR_IFNAME
    bool hasBss = false; //!< the message carries a NL80211_ATTR_BSS
    //! The access point of a scan-dump entry; absent when the entry has no
    //! 6-byte BSSID, no frequency or only a signal of unspecified unit.
    std::optional<WifiApInfo> bss;
};

//! Parses one message: the netlink header, the generic-netlink header and the
//! attributes. Bytes past the header's length are ignored.
Nl80211Message parseNl80211Message(const QByteArray &bytes);

//! The SSID element (id 0) of an information-element list: at most 32 bytes.
//! Empty when there is none or when an element's length runs past the list.
QByteArray ssidFromInformationElements(const QByteArray &elements);

//! True for the interface a scan is asked on: a station with an index
//! (P2P-device entries have none and are never chosen).
bool isScanInterface(const Nl80211Message &message);
