#include "wifiapinfo.h"

#include <QRandomGenerator>
#include <QtTest>

class tst_WifiApInfo : public QObject
{
    Q_OBJECT
private slots:
    void bssidText_data();
    void bssidText();
    void workedHues_data();
    void workedHues();
    void huesAvoidTheExcludedRange();
    void ssidDecoding_data();
    void ssidDecoding();
    void recordFromScanResult();
    void channelTable();
    void scanTravelsAsMetaType();
};

void tst_WifiApInfo::bssidText_data()
{
    QTest::addColumn<QByteArray>("mac");
    QTest::addColumn<QString>("text");
    QTest::newRow("leading zeros, lower case")
        << QByteArray::fromHex("001122aabbcc") << QStringLiteral("<00:11:22:aa:bb:cc>");
    QTest::newRow("mixed") << QByteArray::fromHex("0a1b2c3d4e5f")
                           << QStringLiteral("<0a:1b:2c:3d:4e:5f>");
    QTest::newRow("extra bytes ignored")
        << QByteArray::fromHex("ffffffffffff01") << QStringLiteral("<ff:ff:ff:ff:ff:ff>");
    QTest::newRow("too short") << QByteArray::fromHex("0011") << QString();
}

void tst_WifiApInfo::bssidText()
{
    QFETCH(QByteArray, mac);
    QFETCH(QString, text);
    QCOMPARE(formatBssid(mac), text);
}

void tst_WifiApInfo::workedHues_data()
{
    QTest::addColumn<QString>("bssid");
    QTest::addColumn<int>("hue");
    QTest::newRow("sum 163") << "<00:11:22:aa:bb:cc>" << 163;
    QTest::newRow("sum 276 moves past the gap") << "<00:11:22:aa:bb:00>" << 336;
}

void tst_WifiApInfo::workedHues()
{
    QFETCH(QString, bssid);
    QFETCH(int, hue);
    QCOMPARE(networkHue(bssid), hue);
    const QColor c = networkColorHue(bssid);
    QCOMPARE(c.spec(), QColor::Hsv);
    QCOMPARE(c.hsvHue(), hue);
    QCOMPARE(c.hsvSaturation(), 255);
    QCOMPARE(c.value(), 255);
    QCOMPARE(c.alpha(), 255);
}

void tst_WifiApInfo::huesAvoidTheExcludedRange()
{
    QRandomGenerator rng(3);
    QSet<int> seen;
    for (int i = 0; i < 3000; ++i) {
        QByteArray mac(6, 0);
        for (char &b : mac)
            b = char(rng.bounded(256));
        const QString bssid = formatBssid(mac);
        const int hue = networkHue(bssid);
        QVERIFY2(hue < 220 || (hue >= 280 && hue < 360), qPrintable(bssid));
        QCOMPARE(networkColorHue(bssid), networkColorHue(QString(bssid))); // stable
        seen.insert(hue);
    }
    QVERIFY(seen.size() > 250); // the colours do spread over the wheel
}

void tst_WifiApInfo::ssidDecoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("ssid");
    QTest::newRow("hidden") << QByteArray(32, 0) << 0 << QString();
    QTest::newRow("plain") << QByteArray("Hall-AP\0\0\0", 10) << 7 << "Hall-AP";
    QTest::newRow("at most 32") << QByteArray(40, 'x') << 40 << QString(32, 'x');
    QTest::newRow("length past buffer") << QByteArray("abc") << 20 << "abc";
    QTest::newRow("negative length") << QByteArray("abc") << -1 << QString();
}

void tst_WifiApInfo::ssidDecoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, length);
    QFETCH(QString, ssid);
    QCOMPARE(decodeSsid(bytes, length), ssid);
}

void tst_WifiApInfo::recordFromScanResult()
{
    const WifiApInfo ap =
        makeWifiApInfo(QByteArray::fromHex("001122aabbcc"), "Stage", 5, -67, 2437999);
    QCOMPARE(ap.bssid, QStringLiteral("<00:11:22:aa:bb:cc>"));
    QCOMPARE(ap.ssid, QStringLiteral("Stage"));
    QCOMPARE(ap.rssi, -67);
    QCOMPARE(ap.frequency, 2437); // kHz / 1000, remainder dropped
    QCOMPARE(ap.width, 20);
    QCOMPARE(ap.color.hsvHue(), 163);
    WifiApInfo other = ap;
    QVERIFY(other == ap);
    other.rssi = -60;
    QVERIFY(other != ap);
}

void tst_WifiApInfo::channelTable()
{
    QCOMPARE(int(wifiChannelFrequencies.size()), 16);
    QCOMPARE(wifiChannelFrequencies.front(), 2400.0);
    QCOMPARE(wifiChannelFrequencies[1], 2412.0);
    QCOMPARE(wifiChannelFrequencies[6], 2437.0);
    QCOMPARE(wifiChannelFrequencies[13], 2472.0);
    QCOMPARE(wifiChannelFrequencies[14], 2484.0);
    QCOMPARE(wifiChannelFrequencies.back(), 2500.0);
    for (int n = 2; n <= 13; ++n)
        QCOMPARE(wifiChannelFrequencies[n] - wifiChannelFrequencies[n - 1], 5.0);
}

void tst_WifiApInfo::scanTravelsAsMetaType()
{
    registerWifiMetaTypes();
    registerWifiMetaTypes(); // twice is harmless
    const int id = QMetaType::type("WifiScan");
    QVERIFY(id != QMetaType::UnknownType);
    QCOMPARE(id, qMetaTypeId<WifiScan>());
    const WifiScan scan{makeWifiApInfo(QByteArray::fromHex("0a1b2c3d4e5f"), "x", 1, -40, 2412000)};
    const QVariant v = QVariant::fromValue(scan);
    QCOMPARE(v.value<WifiScan>(), scan);
}

QTEST_GUILESS_MAIN(tst_WifiApInfo)
#include "tst_wifiapinfo.moc"
