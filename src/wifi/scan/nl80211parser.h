#pragma once

#include "wifiapinfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
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
    qint64 bssSeenMsAgo = -1; //!< NL80211_BSS_SEEN_MS_AGO, -1 when absent
};

//! Parses one message: the netlink header, the generic-netlink header and the
//! attributes. Bytes past the header's length are ignored.
Nl80211Message parseNl80211Message(const QByteArray &bytes);

//! An entry the kernel last heard longer ago than this is no longer present:
//! the scan cache keeps entries for about 30 s after their last beacon.
constexpr qint64 MaxScanEntryAgeMs = 10000;

//! The networks of one GET_SCAN dump as the survey shows them: stale entries
//! dropped, and one record per BSSID (the kernel lists a hidden network's
//! beacon and probe-response entries apart) with the strongest signal and
//! the name that is not empty. Order of first appearance.
WifiScan surveyFromScanDump(const QList<Nl80211Message> &entries);

//! Index in `interfaces` of the station to scan on: the one named `preferred`
//! when listed, else the first that is up, else the first; -1 when none.
int chooseScanInterface(const QList<Nl80211Message> &interfaces, const QString &preferred,
                        const std::function<bool(const QString &)> &isUp);

//! The SSID element (id 0) of an information-element list: at most 32 bytes.
//! Empty when there is none or when an element's length runs past the list.
QByteArray ssidFromInformationElements(const QByteArray &elements);

//! True for the interface a scan is asked on: a station with an index
//! (P2P-device entries have none and are never chosen).
bool isScanInterface(const Nl80211Message &message);
