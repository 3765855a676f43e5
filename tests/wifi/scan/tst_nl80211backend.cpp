#include "kerneldouble.h"
#include "nl80211backend.h"
#include "wifiscanhelper.h"

#include <QSignalSpy>
#include <QtTest>

#include <linux/nl80211.h>

// The backend's real sockets and libnl against a kernel double that speaks
// nl80211 as Linux does (see kerneldouble.h).
class tst_Nl80211Backend : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerWifiMetaTypes(); }
    void survey_data();
    void survey();
    void withoutPermission_data();
    void withoutPermission();
    void adapterComesAndGoes();
    void chooseAdapter_data();
    void chooseAdapter();
};

using BssList = QList<DoubleBss>;
Q_DECLARE_METATYPE(KernelDouble::Completion)

static DoubleBss bss(int id, const QByteArray &ssid, int mbm = -5000, quint32 frequency = 2437,
                     quint32 seenMsAgo = 100)
{
    return {QByteArray::fromHex("02aabbccdd") + char(id), ssid, frequency, mbm, seenMsAgo};
}

static QStringList describe(const WifiScan &scan)
{
    QStringList lines;
    for (const WifiApInfo &ap : scan)
        lines << QStringLiteral("%1 '%2' %3 %4")
                     .arg(ap.bssid, ap.ssid)
                     .arg(ap.rssi)
                     .arg(ap.frequency);
    return lines;
}

// Waits for the end of the scan asked for: the networks, or "failed".
static QStringList outcome(WifiScanHelper &helper)
{
    QSignalSpy done(&helper, &WifiScanHelper::scanDone);
    QSignalSpy failed(&helper, &WifiScanHelper::scanFailed);
    helper.startScan();
    if (!QTest::qWaitFor([&] { return !done.isEmpty() || !failed.isEmpty(); }, 3000))
        return {QStringLiteral("nothing")};
    if (!failed.isEmpty())
        return {QStringLiteral("failed")};
    return describe(done.first().first().value<WifiScan>());
}

void tst_Nl80211Backend::survey_data()
{
    QTest::addColumn<int>("triggerError");
    QTest::addColumn<KernelDouble::Completion>("completion");
    QTest::addColumn<BssList>("bss");
    QTest::addColumn<int>("interruptedDumps");
    QTest::addColumn<int>("dumpError");
    QTest::addColumn<bool>("errorAsMessage");
    QTest::addColumn<bool>("passive");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("dumps");

    const auto ok = KernelDouble::Completion::Results;
    const BssList two{bss(1, "Stage", -4500, 2412), bss(2, "FOH", -7000, 2462)};
    const QStringList both{"<02:aa:bb:cc:dd:01> 'Stage' -45 2412",
                           "<02:aa:bb:cc:dd:02> 'FOH' -70 2462"};
    const QStringList failed{"failed"};
    // The notifications carry sequence number 0; the results must still be read.
    QTest::newRow("results after notification")
        << 0 << ok << two << 0 << 0 << false << false << both << 1;
    QTest::newRow("passive trigger") << 0 << ok << two << 0 << 0 << false << true << both << 1;
    QTest::newRow("aborted") << 0 << KernelDouble::Completion::Aborted << two << 0 << 0 << false
                             << false << failed << 0;
    QTest::newRow("busy") << -EBUSY << ok << two << 0 << 0 << false << false << failed << 0;
    QTest::newRow("down") << -ENETDOWN << ok << two << 0 << 0 << false << false << failed << 0;
    // Three entries span two datagrams: the first one read must not end the request.
    QTest::newRow("interrupted dump read again")
        << 0 << ok << (two + BssList{bss(10, "Mon", -6000)}) << 2 << 0 << false << false
        << (both + QStringList{"<02:aa:bb:cc:dd:0a> 'Mon' -60 2437"}) << 3;
    QTest::newRow("always interrupted")
        << 0 << ok << two << 9 << 0 << false << false << failed << 4;
    QTest::newRow("failed read in NLMSG_DONE")
        << 0 << ok << two << 0 << -ENODEV << false << false << failed << 1;
    QTest::newRow("failed read as NLMSG_ERROR")
        << 0 << ok << two << 0 << -EBUSY << true << false << failed << 1;
    QTest::newRow("hidden zero-byte SSID")
        << 0 << ok << BssList{bss(3, QByteArray(8, '\0'), -6000)} << 0 << 0 << false << false
        << QStringList{"<02:aa:bb:cc:dd:03> '' -60 2437"} << 1;
    // A hidden network's beacon and probe-response entries share the BSSID.
    QTest::newRow("duplicate BSSID") << 0 << ok
                                     << BssList{bss(4, QByteArray(5, '\0'), -5000),
                                                bss(5, "Other", -8000), bss(4, "Truss", -6500)}
                                     << 0 << 0 << false << false
                                     << QStringList{"<02:aa:bb:cc:dd:04> 'Truss' -50 2437",
                                                    "<02:aa:bb:cc:dd:05> 'Other' -80 2437"}
                                     << 1;
    QTest::newRow("stale, 5 GHz and no dBm dropped")
        << 0 << ok
        << BssList{bss(6, "Old", -5000, 2437, 25000), bss(7, "Fast", -5000, 5180),
                   DoubleBss{QByteArray::fromHex("02aabbccdd08"), "Unit", 2437, {}, 100},
                   bss(9, "Kept", -5500, 2437, 9000)}
        << 0 << 0 << false << false << QStringList{"<02:aa:bb:cc:dd:09> 'Kept' -55 2437"} << 1;
}

void tst_Nl80211Backend::survey()
{
    QFETCH(int, triggerError);
    QFETCH(KernelDouble::Completion, completion);
    QFETCH(BssList, bss);
    QFETCH(bool, passive);
    KernelDouble kernel;
    kernel.triggerError = triggerError;
    kernel.completion = completion;
    kernel.bss = bss;
    QFETCH(int, interruptedDumps);
    kernel.interruptedDumps = interruptedDumps;
    QFETCH(int, dumpError);
    kernel.scanDumpError = dumpError;
    QFETCH(bool, errorAsMessage);
    kernel.errorAsMessage = errorAsMessage;

    auto *backend = new Nl80211Backend;
    WifiScanHelper helper(backend);
    QVERIFY(helper.wifiAvailable());
    QCOMPARE(backend->surveyStatus(), QStringLiteral("Scanning (wlp2s0)"));
    backend->setPassiveScan(passive);
    QTEST(outcome(helper), "expected");
    QTEST(kernel.scanDumps, "dumps");
    // Only the 2.4 GHz channels, probing only when not passive.
    const QList<quint32> channels{2412, 2417, 2422, 2427, 2432, 2437, 2442,
                                  2447, 2452, 2457, 2462, 2467, 2472, 2484};
    QCOMPARE(kernel.triggerFrequencies, QList<QList<quint32>>{channels});
    QCOMPARE(kernel.triggerProbes, QList<bool>{!passive});
}

void tst_Nl80211Backend::withoutPermission_data()
{
    QTest::addColumn<QStringList>("answers"); // NetworkManager's, one a request
    QTest::addColumn<QStringList>("outcomes");
    QTest::addColumn<QString>("status");
    const QString notAllowed = "org.freedesktop.NetworkManager.Device.NotAllowed";
    const QString nm = "Scanning through NetworkManager";
    const QString passive = "Passive: networks update when the system scans";
    QTest::newRow("accepted") << QStringList{"", ""} << QStringList{"scan", "scan"} << nm;
    QTest::newRow("refusal that passes, retried")
        << QStringList{notAllowed, ""} << QStringList{"failed", "scan"} << nm;
    QTest::newRow("refused for good")
        << QStringList{"org.freedesktop.NetworkManager.PermissionDenied"}
        << QStringList{"failed", "failed"} << passive;
    QTest::newRow("no answer") << QStringList{"silence"} << QStringList{"failed", "failed"}
                               << passive;
}

void tst_Nl80211Backend::withoutPermission()
{
    QFETCH(QStringList, answers);
    KernelDouble kernel;
    kernel.triggerError = -EPERM; // a normal user
    kernel.bss = {bss(1, "Stage")};
    auto *backend = new Nl80211Backend;
    int calls = 0;
    backend->setNetworkManagerTimeoutMs(200);
    backend->setNetworkManagerRequest(
        [&](const QString &ifname, const Nl80211Backend::NetworkManagerAnswer &answer) {
            QCOMPARE(ifname, QStringLiteral("wlp2s0"));
            const QString reply = answers.value(calls++, QStringLiteral("silence"));
            if (reply.isEmpty()) // NetworkManager's scan ends as every scan does
                kernel.notify(NL80211_CMD_NEW_SCAN_RESULTS, 3);
            if (reply != QLatin1String("silence"))
                answer(reply, reply.endsWith("NotAllowed")
                                  ? QStringLiteral("Scanning not allowed while unavailable")
                                  : QStringLiteral("Not authorized to request scans"));
        });
    WifiScanHelper helper(backend);
    // Shorter than the wait for NetworkManager: the second request comes
    // while the first call is open, and must not add another.
    helper.setScanTimeoutMs(100);
    QStringList outcomes;
    for (int cycle = 0; cycle < 2; ++cycle)
        outcomes << (outcome(helper) == QStringList{"failed"} ? "failed" : "scan");
    QTEST(outcomes, "outcomes");
    QFETCH(QString, status);
    QTRY_COMPARE(backend->surveyStatus(), status);
    QCOMPARE(calls, answers.size());
    QCOMPARE(kernel.triggerFrequencies.size(), 1); // EPERM is not asked again

    // Whatever the path, the system's own scans are read and shown.
    QSignalSpy spontaneous(&helper, &WifiScanHelper::scanDone);
    kernel.notify(NL80211_CMD_NEW_SCAN_RESULTS, 3);
    QTRY_COMPARE(spontaneous.count(), 1);
    QCOMPARE(describe(spontaneous.first().first().value<WifiScan>()),
             QStringList{"<02:aa:bb:cc:dd:01> 'Stage' -50 2437"});
}

void tst_Nl80211Backend::adapterComesAndGoes()
{
    KernelDouble kernel;
    kernel.bss = {bss(1, "Stage")};
    kernel.plug({12, "wlx0013ef"});
    auto *backend = new Nl80211Backend;
    WifiScanHelper helper(backend);
    QCOMPARE(backend->adapters(), (QStringList{"wlp2s0", "wlx0013ef"}));
    backend->setAdapter(QStringLiteral("wlx0013ef"));
    QCOMPARE(backend->surveyStatus(), QStringLiteral("Scanning (wlx0013ef)"));
    QCOMPARE(outcome(helper).size(), 1);

    kernel.unplug(12); // the USB adapter pulled: back to the built-in one
    QTRY_COMPARE(backend->adapter(), QStringLiteral("wlp2s0"));
    kernel.unplug(3);
    QTRY_COMPARE(backend->surveyStatus(), QStringLiteral("No Wi-Fi adapter"));
    QCOMPARE(outcome(helper), QStringList{"failed"});
    kernel.plug({13, "wlx0013ef"}); // plugged in again, with a new index
    QTRY_COMPARE(backend->surveyStatus(), QStringLiteral("Scanning (wlx0013ef)"));
    kernel.unknownFrequencies = {2484}; // an adapter without channel 14
    QCOMPARE(outcome(helper).size(), 1);
    QCOMPARE(kernel.triggerInterfaces, (QList<quint32>{12, 13, 13}));
    QCOMPARE(kernel.triggerFrequencies.last().size(), 13);
}

void tst_Nl80211Backend::chooseAdapter_data()
{
    QTest::addColumn<QString>("preferred");
    QTest::addColumn<QStringList>("up");
    QTest::addColumn<int>("chosen");
    QTest::newRow("first") << QString() << QStringList() << 0;
    QTest::newRow("first up") << QString() << QStringList{"wlan1"} << 1;
    QTest::newRow("the user's choice") << "wlan2" << QStringList{"wlan1"} << 2;
    QTest::newRow("the choice gone") << "wlan9" << QStringList{"wlan1"} << 1;
}

void tst_Nl80211Backend::chooseAdapter()
{
    QFETCH(QString, preferred);
    QFETCH(QStringList, up);
    QList<Nl80211Message> interfaces;
    for (int i = 0; i < 3; ++i) {
        Nl80211Message m;
        m.valid = true;
        m.ifindex = 3 + i;
        m.iftype = NL80211_IFTYPE_STATION;
        m.ifname = QStringLiteral("wlan%1").arg(i);
        interfaces << m;
    }
    QTEST(chooseScanInterface(interfaces, preferred,
                              [&](const QString &name) { return up.contains(name); }),
          "chosen");
}

QTEST_GUILESS_MAIN(tst_Nl80211Backend)
#include "tst_nl80211backend.moc"
