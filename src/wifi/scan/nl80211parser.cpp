#include "nl80211parser.h"

#include <QHash>

#include <cstring>
#include <linux/nl80211.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>

#include <vector>

QByteArray ssidFromInformationElements(const QByteArray &elements)
{
    const int size = elements.size();
    int pos = 0;
    while (pos + 2 <= size) {
        const int id = quint8(elements.at(pos));
        const int length = quint8(elements.at(pos + 1));
        if (pos + 2 + length > size)
            return QByteArray(); // truncated list: trust nothing in it
        if (id == 0)
            return elements.mid(pos + 2, qMin(length, 32));
        pos += 2 + length;
    }
    return QByteArray();
}

static QByteArray attributeBytes(const nlattr *attr)
{
    return QByteArray(static_cast<const char *>(nla_data(attr)), nla_len(attr));
}

// A hidden network's SSID comes as zero bytes of the real name's length, and
// a name is never shown with NUL characters in it.
static QByteArray visibleSsid(QByteArray ssid)
{
    ssid.replace('\0', QByteArray());
    return ssid;
}

static std::optional<WifiApInfo> parseBss(nlattr *bssAttr, qint64 *seenMsAgo)
{
    nla_policy policy[NL80211_BSS_MAX + 1] = {};
    policy[NL80211_BSS_FREQUENCY].type = NLA_U32;
    policy[NL80211_BSS_SIGNAL_MBM].type = NLA_U32;
    policy[NL80211_BSS_SEEN_MS_AGO].type = NLA_U32;
    nlattr *bss[NL80211_BSS_MAX + 1] = {};
    if (nla_parse_nested(bss, NL80211_BSS_MAX, bssAttr, policy) < 0)
        return std::nullopt;
    if (bss[NL80211_BSS_SEEN_MS_AGO])
        *seenMsAgo = nla_get_u32(bss[NL80211_BSS_SEEN_MS_AGO]);
    if (!bss[NL80211_BSS_BSSID] || nla_len(bss[NL80211_BSS_BSSID]) != 6)
        return std::nullopt;
    // Only dBm readings are comparable; an entry with a signal of unspecified
    // unit alone says nothing a level axis can show.
    if (!bss[NL80211_BSS_FREQUENCY] || !bss[NL80211_BSS_SIGNAL_MBM])
        return std::nullopt;
    const qint64 frequencyMHz = nla_get_u32(bss[NL80211_BSS_FREQUENCY]);
    const qint32 rssi = qint32(nla_get_u32(bss[NL80211_BSS_SIGNAL_MBM])) / 100;
    nlattr *ies = bss[NL80211_BSS_INFORMATION_ELEMENTS] ? bss[NL80211_BSS_INFORMATION_ELEMENTS]
                                                        : bss[NL80211_BSS_BEACON_IES];
    const QByteArray ssid =
        ies ? visibleSsid(ssidFromInformationElements(attributeBytes(ies))) : QByteArray();
    return makeWifiApInfo(attributeBytes(bss[NL80211_BSS_BSSID]), ssid, ssid.size(), rssi,
                          frequencyMHz * 1000);
}

Nl80211Message parseNl80211Message(const QByteArray &bytes)
{
    Nl80211Message result;
    const int size = bytes.size();
    if (size < int(NLMSG_HDRLEN + GENL_HDRLEN))
        return result;
    // libnl reads the header and attributes in place: give it aligned storage.
    std::vector<quint32> storage((size_t(size) + 3) / 4);
    memcpy(storage.data(), bytes.constData(), size_t(size));
    auto *header = reinterpret_cast<nlmsghdr *>(storage.data());
    if (header->nlmsg_len < NLMSG_HDRLEN + GENL_HDRLEN || header->nlmsg_len > quint32(size))
        return result;

    nla_policy policy[NL80211_ATTR_MAX + 1] = {};
    policy[NL80211_ATTR_IFINDEX].type = NLA_U32;
    policy[NL80211_ATTR_IFTYPE].type = NLA_U32;
    policy[NL80211_ATTR_BSS].type = NLA_NESTED;
    nlattr *attrs[NL80211_ATTR_MAX + 1] = {};
    if (genlmsg_parse(header, 0, attrs, NL80211_ATTR_MAX, policy) < 0)
        return result;

    result.valid = true;
    result.command = static_cast<const genlmsghdr *>(nlmsg_data(header))->cmd;
    if (attrs[NL80211_ATTR_IFINDEX])
        result.ifindex = nla_get_u32(attrs[NL80211_ATTR_IFINDEX]);
    if (attrs[NL80211_ATTR_IFTYPE])
        result.iftype = int(nla_get_u32(attrs[NL80211_ATTR_IFTYPE]));
    if (attrs[NL80211_ATTR_IFNAME]) {
        const QByteArray name = attributeBytes(attrs[NL80211_ATTR_IFNAME]);
        const int end = name.indexOf('\0');
        result.ifname = QString::fromLocal8Bit(end >= 0 ? name.left(end) : name);
    }
    if (attrs[NL80211_ATTR_BSS]) {
        result.hasBss = true;
        result.bss = parseBss(attrs[NL80211_ATTR_BSS], &result.bssSeenMsAgo);
    }
    return result;
}

bool isScanInterface(const Nl80211Message &message)
{
    return message.valid && message.ifindex > 0 && message.iftype == NL80211_IFTYPE_STATION;
}

WifiScan surveyFromScanDump(const QList<Nl80211Message> &entries)
{
    WifiScan survey;
    QHash<QString, int> indexOfBssid;
    for (const Nl80211Message &e : entries) {
        if (!e.bss || e.bssSeenMsAgo > MaxScanEntryAgeMs)
            continue;
        const WifiApInfo &ap = *e.bss;
        const auto known = indexOfBssid.constFind(ap.bssid);
        if (known == indexOfBssid.constEnd()) {
            indexOfBssid.insert(ap.bssid, survey.size());
            survey.append(ap);
            continue;
        }
        WifiApInfo &kept = survey[*known];
        if (ap.rssi > kept.rssi) {
            const QString name = kept.ssid;
            kept = ap;
            if (kept.ssid.isEmpty())
                kept.ssid = name;
        } else if (kept.ssid.isEmpty()) {
            kept.ssid = ap.ssid;
        }
    }
    return survey;
}

int chooseScanInterface(const QList<Nl80211Message> &interfaces, const QString &preferred,
                        const std::function<bool(const QString &)> &isUp)
{
    int first = -1;
    int up = -1;
    for (int i = 0; i < interfaces.size(); ++i) {
        const Nl80211Message &m = interfaces.at(i);
        if (!isScanInterface(m))
            continue;
        if (!preferred.isEmpty() && m.ifname == preferred)
            return i;
        if (first < 0)
            first = i;
        if (up < 0 && isUp && isUp(m.ifname))
            up = i;
    }
    return up >= 0 ? up : first;
}
