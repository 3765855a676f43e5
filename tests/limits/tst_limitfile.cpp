#include "channelwatch.h"
#include "limitline.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

class tst_LimitFile : public QObject
{
    Q_OBJECT

private slots:
    void levelAt_data();
    void levelAt();
    void readsTheSharedFormat();
    void roundTrip();
    void damagedFileRefused_data();
    void damagedFileRefused();
};

void tst_LimitFile::levelAt_data()
{
    QTest::addColumn<double>("frequency");
    QTest::addColumn<double>("expected"); // NaN: the line does not check there
    // -50 at 2410, -60 at 2430, a step down to -70 at 2450, -70 at 2490.
    QTest::newRow("below the first point") << 2409.9 << double(NAN);
    QTest::newRow("on the first point") << 2410.0 << -50.0;
    QTest::newRow("between two points") << 2425.0 << -57.5;
    QTest::newRow("on a step the lower side") << 2450.0 << -70.0;
    QTest::newRow("just before the step") << 2449.0 << -55.25;
    QTest::newRow("on the last point") << 2490.0 << -70.0;
    QTest::newRow("above the last point") << 2490.1 << double(NAN);
}

void tst_LimitFile::levelAt()
{
    QFETCH(double, frequency);
    QFETCH(double, expected);
    LimitLine line;
    line.points = {{2410, -50}, {2430, -60}, {2450, -55}, {2450, -70}, {2490, -70}};
    const std::optional<double> level = line.levelAt(frequency);
    QCOMPARE(level.has_value(), !std::isnan(expected));
    if (level)
        QVERIFY(qFuzzyCompare(*level, expected));
}

void tst_LimitFile::readsTheSharedFormat()
{
    // As another tool writes it: unknown keys, points out of order, no
    // optional keys.
    const QByteArray json = R"({"version": 3, "limits": [{"name": "Stage mask", "band": "2400",
        "points": [[2500.0, -50.0], [2400.0, -50.0]], "trace": "current", "holdSeconds": 2,
        "clearSeconds": 2, "colour": "red"}]})";
    QVector<LimitLine> limits;
    QString error;
    QVERIFY2(LimitFile::fromJson(json, &limits, &error), qPrintable(error));
    QCOMPARE(limits.size(), 1);
    LimitLine expected;
    expected.name = QStringLiteral("Stage mask");
    expected.points = {{2400, -50}, {2500, -50}};
    QCOMPARE(limits.first(), expected);
    // A file of watches alone, as the watches' example is written.
    const QByteArray watchesOnly = R"({"watches": [{"name": "Wi-Fi 6", "band": "2400",
        "wifiChannel": 6, "percent": 40, "holdSeconds": 5, "colour": "red"}]})";
    QVector<ChannelWatch> watches;
    QVERIFY2(LimitFile::fromJson(watchesOnly, &limits, &watches, &error), qPrintable(error));
    QVERIFY(limits.isEmpty());
    QCOMPARE(watches.size(), 1);
    QCOMPARE(watches.first().lowMHz, 2427.0);
    QCOMPARE(watches.first().highMHz, 2447.0);
    QCOMPARE(watches.first().holdSeconds, 5.0);
}

void tst_LimitFile::roundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("limits.json"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::WriteOther);
    old.close();

    LimitLine mask;
    mask.name = QStringLiteral("Stage mask \"main\"");
    mask.points = {{2400, -50.5}, {2450, -62}, {2450, -70}, {2500, -70}};
    LimitLine channel;
    channel.name = QStringLiteral("KiVo 12");
    channel.band = LimitBand::Band900;
    channel.points = {{910.25, -80}, {911.75, -80}};
    channel.trace = LimitTrace::Max;
    channel.maxSweeps = 25;
    channel.holdSeconds = 0.5;
    channel.clearSeconds = 10;
    channel.enabled = false;
    const QVector<LimitLine> written{mask, channel};
    ChannelWatch wifi;
    wifi.label = QStringLiteral("Wi-Fi 6 busy");
    QVERIFY(wifi.setTarget(ChannelWatch::WifiChannel, 6));
    ChannelWatch kivo;
    kivo.label = QStringLiteral("KiVo 9110");
    QVERIFY(kivo.setTarget(ChannelWatch::KivoId, 9110));
    kivo.levelDbm = -80.5;
    kivo.dutyPercent = 12.5;
    kivo.enabled = false;
    ChannelWatch range{QStringLiteral("ZigBee 15"), LimitBand::Band2400, 2424, 2426};
    const QVector<ChannelWatch> writtenWatches{wifi, kivo, range};
    QString error;
    QVERIFY2(LimitFile::save(path, written, writtenWatches, &error), qPrintable(error));
    QVector<LimitLine> read;
    QVector<ChannelWatch> readWatches;
    QVERIFY2(LimitFile::load(path, &read, &readWatches, &error), qPrintable(error));
    QCOMPARE(read, written);
    QCOMPARE(readWatches, writtenWatches);
    QCOMPARE(kivo.band, LimitBand::Band900);
    // A reader that knows only lines still reads the file.
    QVERIFY2(LimitFile::load(path, &read, &error), qPrintable(error));
    QCOMPARE(read, written);
    QCOMPARE(QFile::permissions(path) & (QFileDevice::WriteGroup | QFileDevice::WriteOther),
             QFileDevice::Permissions());
}

void tst_LimitFile::damagedFileRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");
    const auto limit = [](const char *fields) {
        return QByteArray(R"({"limits": [{"name": "A", "band": "2400", "points": [[2400, -50]]},
                                         {"name": "B", "band": "2400", )") +
               fields + "}]}";
    };
    QByteArray manyLimits = R"({"limits": [)";
    for (int i = 0; i < 65; ++i)
        manyLimits += R"({"name": "x", "band": "900", "points": [[915, -50]]},)";
    manyLimits.chop(1);
    QByteArray manyPoints = R"("points": [)";
    for (int i = 0; i < 1025; ++i)
        manyPoints += "[2450, -50],";
    manyPoints.chop(1);

    QTest::newRow("not JSON") << QByteArray("{\"limits\": [") << "not valid JSON";
    QTest::newRow("no limits list") << QByteArray(R"({"limit": []})") << "no \"limits\" list";
    QTest::newRow("limit not an object")
        << QByteArray(R"({"limits": [3]})") << "limit 1 is not an object";
    QTest::newRow("no name") << QByteArray(R"({"limits": [{"band": "900"}]})")
                             << "limit 1: \"name\"";
    QTest::newRow("unknown band") << limit(R"("band": "5800")") << "limit 2 (\"B\"): \"band\"";
    QTest::newRow("unknown trace")
        << limit(R"("points": [[2400, -50]], "trace": "min")") << "limit 2 (\"B\"): \"trace\"";
    QTest::newRow("no points") << limit(R"("points": [])") << "\"points\" must be a list";
    QTest::newRow("too many points") << limit(manyPoints + "]") << "list of 1 to 1024 points";
    QTest::newRow("too many limits") << manyLimits + "]}"
                                     << "65 limits, at most 64";
    QTest::newRow("point not a pair") << limit(R"("points": [[2400, -50, 1]])")
                                      << "\"points\" item 1 must be [frequency MHz, level dBm]";
    QTest::newRow("level as text") << limit(R"("points": [[2400, "-50"]])") << "item 1 must be";
    QTest::newRow("infinite level") << limit(R"("points": [[2400, -1e999]])") << "illegal number";
    QTest::newRow("outside the band") << limit(R"("points": [[2450, -50], [2600, -50]])")
                                      << "item 2: 2600 MHz is outside the 2400 band";
    QTest::newRow("absurd level") << limit(R"("points": [[2450, -500]])") << "-500 dBm is outside";
    QTest::newRow("negative hold") << limit(R"("points": [[2450, -50]], "holdSeconds": -1)")
                                   << "limit 2 (\"B\"): \"holdSeconds\"";
    QTest::newRow("clear as text")
        << limit(R"("points": [[2450, -50]], "clearSeconds": "2")") << "\"clearSeconds\"";
    QTest::newRow("fractional sweeps")
        << limit(R"("points": [[2450, -50]], "maxSweeps": 1.5)") << "\"maxSweeps\"";
    QTest::newRow("enabled as text")
        << limit(R"("points": [[2450, -50]], "enabled": "yes")") << "\"enabled\"";
    QTest::newRow("oversized") << QByteArray(LimitFile::MaxFileBytes + 1, ' ')
                               << "larger than 1048576 bytes";

    const auto watch = [](const char *fields) {
        return QByteArray(R"({"limits": [], "watches": [
            {"name": "A", "wifiChannel": 1, "percent": 10}, {"name": "W", )") +
               fields + "}]}";
    };
    QTest::newRow("watches not a list")
        << QByteArray(R"({"limits": [], "watches": {}})") << "\"watches\" is not a list";
    QTest::newRow("watch without channel")
        << watch(R"("percent": 40)") << "watch 2 (\"W\"): give \"wifiChannel\" or \"kivoId\"";
    QTest::newRow("watch on both")
        << watch(R"("wifiChannel": 6, "kivoId": 9110, "percent": 40)") << "not both";
    QTest::newRow("Wi-Fi channel 15")
        << watch(R"("wifiChannel": 15, "percent": 40)") << "watch 2 (\"W\"): \"wifiChannel\"";
    QTest::newRow("unknown KiVo ID") << watch(R"("kivoId": 9999, "percent": 40)") << "\"kivoId\"";
    QTest::newRow("channel in the other band")
        << watch(R"("band": "900", "wifiChannel": 6, "percent": 40)")
        << "\"band\" must be \"2400\" for Wi-Fi 6";
    QTest::newRow("no percent") << watch(R"("wifiChannel": 6)") << "\"percent\" is missing";
    QTest::newRow("percent over 100")
        << watch(R"("wifiChannel": 6, "percent": 140)") << "\"percent\" must be a percentage";
    QTest::newRow("range outside the band")
        << watch(R"("band": "900", "lowMHz": 900, "highMHz": 910, "percent": 40)") << "\"lowMHz\"";
}

void tst_LimitFile::damagedFileRefused()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    LimitLine kept;
    kept.name = QStringLiteral("kept");
    QVector<LimitLine> limits{kept};
    ChannelWatch keptWatch;
    QVector<ChannelWatch> watches{keptWatch};
    QString error;
    QVERIFY(!LimitFile::fromJson(json, &limits, &watches, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(limits, QVector<LimitLine>{kept});
    QCOMPARE(watches, QVector<ChannelWatch>{keptWatch});
}

QTEST_GUILESS_MAIN(tst_LimitFile)
#include "tst_limitfile.moc"
