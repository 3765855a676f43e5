#include "wififilebackend.h"
#include "wififileparser.h"
#include "wifiscanhelper.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class tst_WifiScanHelper : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerWifiMetaTypes(); }
    void fileFormat_data();
    void fileFormat();
    void scanFromFile();
    void failedScansNeverReportEmpty_data();
    void failedScansNeverReportEmpty();

private:
    QString writeFile(const QByteArray &contents);
    QTemporaryDir m_dir;
    int m_files = 0;
};

QString tst_WifiScanHelper::writeFile(const QByteArray &contents)
{
    const QString path = m_dir.filePath(QStringLiteral("wifi%1.json").arg(m_files++));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void tst_WifiScanHelper::fileFormat_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("count");
    const QByteArray stage =
        R"({"ssid": "Stage", "bssid": "02:00:00:00:01:06", "frequencyMHz": 2437, "rssiDbm": -52})";
    QTest::newRow("full") << QByteArray(R"({"scanDelayMs": 200, "networks": [)" + stage + "]}")
                          << true << 200 << 1;
    QTest::newRow("default delay, no networks")
        << QByteArray(R"({"networks": []})") << true << 1500 << 0;
    QTest::newRow("not JSON") << QByteArray("{\"networks\": [") << false << 0 << 0;
    QTest::newRow("no list") << QByteArray(R"({"scanDelayMs": 10})") << false << 0 << 0;
    QTest::newRow("bad bssid")
        << QByteArray(R"({"networks": [{"bssid": "02:00:00:01:06", "frequencyMHz": 2437,)"
                      R"( "rssiDbm": -52}]})")
        << false << 0 << 0;
    QTest::newRow("fractional level")
        << QByteArray(R"({"networks": [{"bssid": "02:00:00:00:01:06", "frequencyMHz": 2437,)"
                      R"( "rssiDbm": -52.5}]})")
        << false << 0 << 0;
    QTest::newRow("negative delay")
        << QByteArray(R"({"scanDelayMs": -1, "networks": []})") << false << 0 << 0;
    QTest::newRow("oversized") << QByteArray(int(MaxWifiFileBytes) + 1, ' ') << false << 0 << 0;
}

void tst_WifiScanHelper::fileFormat()
{
    QFETCH(QByteArray, json);
    const WifiFileContents c = parseWifiFile(json);
    QTEST(c.ok, "ok");
    QCOMPARE(c.error.isEmpty(), c.ok);
    if (!c.ok)
        return;
    QTEST(c.scanDelayMs, "delay");
    QTEST(int(c.networks.size()), "count");
    if (!c.networks.isEmpty()) {
        QCOMPARE(c.networks.at(0).bssid, QStringLiteral("<02:00:00:00:01:06>"));
        QCOMPARE(c.networks.at(0).frequency, 2437);
        QCOMPARE(c.networks.at(0).color, networkColorHue(c.networks.at(0).bssid));
    }
}

void tst_WifiScanHelper::scanFromFile()
{
    const QString path = writeFile(
        R"({"scanDelayMs": 50, "networks": [)"
        R"({"ssid": "A", "bssid": "02:00:00:00:01:01", "frequencyMHz": 2412, "rssiDbm": -40},)"
        R"({"ssid": "Five", "bssid": "02:00:00:00:01:24", "frequencyMHz": 5180, "rssiDbm": -40},)"
        R"({"ssid": "B", "bssid": "02:00:00:00:01:0b", "frequencyMHz": 2462, "rssiDbm": -70}]})");
    WifiScanHelper helper(new WifiFileBackend(path));
    QVERIFY(helper.wifiAvailable());
    QSignalSpy done(&helper, &WifiScanHelper::scanDone);
    QVERIFY(done.isValid());
    helper.startScan();
    helper.startScan(); // one scan at a time: ignored
    QVERIFY(helper.scanPending());
    QVERIFY(done.wait(5000));
    const auto scan = done.takeFirst().at(0).value<WifiScan>();
    QCOMPARE(scan.size(), 2); // the 5 GHz network is not surveyed
    QCOMPARE(scan.at(0).ssid, QStringLiteral("A"));
    QCOMPARE(scan.at(1).ssid, QStringLiteral("B"));
    QVERIFY(!helper.scanPending());
    QTest::qWait(200);
    QCOMPARE(done.count(), 0);
}

void tst_WifiScanHelper::failedScansNeverReportEmpty_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("malformed file") << QByteArray("{\"scanDelayMs\": 50, \"net") << 10000;
    QTest::newRow("no result in time")
        << QByteArray(R"({"scanDelayMs": 60000, "networks": []})") << 100;
}

void tst_WifiScanHelper::failedScansNeverReportEmpty()
{
    QFETCH(QByteArray, json);
    QFETCH(int, timeoutMs);
    WifiScanHelper helper(new WifiFileBackend(writeFile(json)));
    helper.setScanTimeoutMs(timeoutMs);
    QSignalSpy done(&helper, &WifiScanHelper::scanDone);
    QSignalSpy failed(&helper, &WifiScanHelper::scanFailed);
    helper.startScan();
    QVERIFY(failed.wait(5000));
    QCOMPARE(done.count(), 0);
    QVERIFY(!helper.scanPending());
    // The next request is accepted again.
    QSignalSpy started(&helper, &WifiScanHelper::scanStarted);
    helper.startScan();
    QCOMPARE(started.count(), 1);
}

QTEST_GUILESS_MAIN(tst_WifiScanHelper)
#include "tst_wifiscanhelper.moc"
