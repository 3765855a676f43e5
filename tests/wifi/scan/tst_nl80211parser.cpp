#include "nl80211parser.h"
#include "wifiscanhelper.h"

#include <QtTest>

#include <linux/nl80211.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>

// Messages are built with libnl itself, as the kernel would send them.
class tst_Nl80211Parser : public QObject
{
    Q_OBJECT
private slots:
    void scanEntries_data();
    void scanEntries();
    void interfaces_data();
    void interfaces();
    void damagedMessages();
};

static QByteArray bytesOf(nl_msg *msg)
{
    const nlmsghdr *h = nlmsg_hdr(msg);
    QByteArray bytes(reinterpret_cast<const char *>(h), int(h->nlmsg_len));
    nlmsg_free(msg);
    return bytes;
}

static nl_msg *newMessage(int command)
{
    nl_msg *msg = nlmsg_alloc();
    genlmsg_put(msg, 1, 1, 28, 0, 0, quint8(command), 0);
    return msg;
}

// A scan-dump entry; an empty `mac` or `ies` leaves that attribute out.
static QByteArray scanEntry(const QByteArray &mac, quint32 freq, int mbm, const QByteArray &ies,
                            bool withMbm = true)
{
    nl_msg *msg = newMessage(NL80211_CMD_NEW_SCAN_RESULTS);
    nla_put_u32(msg, NL80211_ATTR_IFINDEX, 3);
    nlattr *bss = nla_nest_start(msg, NL80211_ATTR_BSS);
    if (!mac.isEmpty())
        nla_put(msg, NL80211_BSS_BSSID, mac.size(), mac.constData());
    nla_put_u32(msg, NL80211_BSS_FREQUENCY, freq);
    if (withMbm)
        nla_put_u32(msg, NL80211_BSS_SIGNAL_MBM, quint32(mbm));
    else
        nla_put_u8(msg, NL80211_BSS_SIGNAL_UNSPEC, 70);
    if (!ies.isEmpty())
        nla_put(msg, NL80211_BSS_INFORMATION_ELEMENTS, ies.size(), ies.constData());
    nla_nest_end(msg, bss);
    return bytesOf(msg);
}

void tst_Nl80211Parser::scanEntries_data()
{
    const QByteArray mac = QByteArray::fromHex("001122aabbcc");
    // Supported rates first, then the SSID, as access points send them.
    const QByteArray stage =
        QByteArray::fromHex("010482848b96") + QByteArray::fromHex("0005") + QByteArray("Stage");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("kept"); // a record, and inside the survey band
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("rssi");
    QTest::newRow("2412 MHz") << scanEntry(mac, 2412, -5234, stage) << true << "Stage" << 2412
                              << -52;
    QTest::newRow("5180 MHz dropped")
        << scanEntry(mac, 5180, -6000, stage) << false << "" << 0 << 0;
    QTest::newRow("2400 edge") << scanEntry(mac, 2400, -7000, stage) << true << "Stage" << 2400
                               << -70;
    QTest::newRow("2500 edge") << scanEntry(mac, 2500, -7000, stage) << true << "Stage" << 2500
                               << -70;
    QTest::newRow("hidden SSID") << scanEntry(mac, 2437, -6000, QByteArray::fromHex("0000")) << true
                                 << "" << 2437 << -60;
    QTest::newRow("SSID past the buffer")
        << scanEntry(mac, 2437, -6000, QByteArray::fromHex("0020") + "short") << true << "" << 2437
        << -60;
    QTest::newRow("SSID over 32 bytes")
        << scanEntry(mac, 2437, -6000, QByteArray::fromHex("0028") + QByteArray(40, 'x')) << true
        << QString(32, QLatin1Char('x')) << 2437 << -60;
    QTest::newRow("no BSSID") << scanEntry(QByteArray(), 2437, -6000, stage) << false << "" << 0
                              << 0;
    QTest::newRow("short BSSID") << scanEntry(mac.left(5), 2437, -6000, stage) << false << "" << 0
                                 << 0;
    QTest::newRow("unspecified signal only")
        << scanEntry(mac, 2437, 0, stage, false) << false << "" << 0 << 0;
}

void tst_Nl80211Parser::scanEntries()
{
    QFETCH(QByteArray, message);
    QFETCH(bool, kept);
    const Nl80211Message m = parseNl80211Message(message);
    QVERIFY(m.valid);
    QCOMPARE(m.command, int(NL80211_CMD_NEW_SCAN_RESULTS));
    QVERIFY(m.hasBss);
    QCOMPARE(m.bss.has_value() && WifiScanHelper::inSurveyBand(m.bss->frequency), kept);
    if (!kept)
        return;
    QTEST(m.bss->ssid, "ssid");
    QTEST(int(m.bss->frequency), "frequency");
    QTEST(int(m.bss->rssi), "rssi");
    QCOMPARE(m.bss->bssid, QStringLiteral("<00:11:22:aa:bb:cc>"));
    QCOMPARE(m.bss->width, 20);
}

void tst_Nl80211Parser::interfaces_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("chosen");
    auto iface = [](int type, bool withIndex) {
        nl_msg *msg = newMessage(NL80211_CMD_NEW_INTERFACE);
        if (withIndex)
            nla_put_u32(msg, NL80211_ATTR_IFINDEX, 3);
        nla_put_string(msg, NL80211_ATTR_IFNAME, "wlan0");
        nla_put_u32(msg, NL80211_ATTR_IFTYPE, quint32(type));
        return bytesOf(msg);
    };
    QTest::newRow("station") << iface(NL80211_IFTYPE_STATION, true) << true;
    QTest::newRow("P2P device") << iface(NL80211_IFTYPE_P2P_DEVICE, false) << false;
    QTest::newRow("monitor") << iface(NL80211_IFTYPE_MONITOR, true) << false;
    QTest::newRow("station without index") << iface(NL80211_IFTYPE_STATION, false) << false;
}

void tst_Nl80211Parser::interfaces()
{
    QFETCH(QByteArray, message);
    const Nl80211Message m = parseNl80211Message(message);
    QVERIFY(m.valid);
    QTEST(isScanInterface(m), "chosen");
    QCOMPARE(m.ifname, QStringLiteral("wlan0"));
}

void tst_Nl80211Parser::damagedMessages()
{
    const QByteArray good = scanEntry(QByteArray::fromHex("001122aabbcc"), 2412, -5000,
                                      QByteArray::fromHex("0001") + "A");
    // Every truncation and a header that claims more than the buffer holds.
    for (int n = 0; n < good.size(); ++n)
        QVERIFY(!parseNl80211Message(good.left(n)).bss.has_value());
    QByteArray longer = good;
    longer[0] = char(quint8(good.at(0)) + 4);
    QVERIFY(!parseNl80211Message(longer).valid);
    // An attribute length running past the message.
    QByteArray bad = good;
    bad[int(NLMSG_HDRLEN + GENL_HDRLEN)] = char(0xff);
    QVERIFY(!parseNl80211Message(bad).bss.has_value());
}

QTEST_GUILESS_MAIN(tst_Nl80211Parser)
#include "tst_nl80211parser.moc"
