// The emulator's parts without a terminal: option parsing, the scene file,
// the sweep synthesiser and the device's protocol state.
#include "rfsaframe.h"
#include "rfscene.h"
#include "simdevice.h"
#include "simoptions.h"
#include "sweepsynth.h"

#include <QtTest>

namespace {

struct Exchange
{
    QList<SimReply> replies;
    QList<QByteArray> junk;
    QList<QByteArray> frames;

    void attach(SimDevice &d)
    {
        d.onReply = [this](const SimReply &r) { replies << r; };
        d.onJunk = [this](const QByteArray &j) { junk << j; };
        d.onFrame = [this](const QByteArray &f) { frames << f; };
    }
    RfsaFrame::Parsed at(int i) const { return RfsaFrame::parseFront(replies.at(i).frame); }
};

QByteArray cmd(quint8 code, const QByteArray &payload = QByteArray())
{
    return RfsaFrame::buildFrame(code, payload);
}

//! Sends a sweep request and returns the points of the reply.
QByteArray sweep(SimDevice &d, Exchange &x)
{
    x.replies.clear();
    d.receive(cmd(0x1F));
    QByteArray points;
    for (int i = 1; i + 1 < x.replies.size(); ++i)
        points += x.at(i).payload;
    return points;
}

void program(SimDevice &d, int setFBand, double fStart, double fStop, double stepKHz, int span)
{
    d.receive(cmd(0x14, QByteArray(1, char(setFBand))));
    d.receive(cmd(0x15, RfsaFrame::encodeFrequencyMHz(fStart)));
    d.receive(cmd(0x16, RfsaFrame::encodeFrequencyMHz(fStop)));
    d.receive(cmd(0x19, QByteArray(1, char(setFBand == 1 ? 36 : 41))));
    d.receive(cmd(0x18, RfsaFrame::encodeStepKHz(stepKHz)));
    d.receive(cmd(0x1A, RfsaFrame::u16(5)));
    d.receive(cmd(0x1B, RfsaFrame::u16(quint16(span))));
    d.receive(cmd(0x17, QByteArray(1, 9)));
}

} // namespace

class TestSimCore : public QObject
{
    Q_OBJECT
private slots:
    void goodOptions();
    void badOptions_data();
    void badOptions();
    void helpNamesEveryOption();
    void sceneErrors_data();
    void sceneErrors();
    void sceneFile();
    void synthIsDeterministic();
    void synthLevelsAreSane();
    void everyCommandIsAcknowledged_data();
    void everyCommandIsAcknowledged();
    void rfParamsTable();
    void sweepLengthFollowsProgramming_data();
    void sweepLengthFollowsProgramming();
    void sweepFramesAndClose();
    void programmedFrequencyMovesTheScene();
    void resynchronisesOnJunk();
    void noAckAndStall();
    void lastErrorReportsAndClears();
};

void TestSimCore::goodOptions()
{
    SimOptions o;
    QString error;
    QVERIFY2(o.parse({"--link", "/tmp/x",          "--seed",  "7",
                      "--fast", "--no-ack",        "1f",      "--no-ack",
                      "0x05",   "--delay-cmd",     "14=2500", "--bad-crc",
                      "3",      "--garbage",       "2",       "--stall-sweep",
                      "4",      "--hangup-after",  "5",       "--frame-delay",
                      "1.5",    "--rf-params-900", "1.5:2:3", "--sweep-count",
                      "65535",  "--outdated",      "--rate",  "50"},
                     &error),
             qPrintable(error));
    QCOMPARE(o.linkPath, QString("/tmp/x"));
    QCOMPARE(o.seed, quint64(7));
    QVERIFY(o.fast);
    QCOMPARE(o.noAck, (QSet<int>{0x1F, 0x05}));
    QCOMPARE(o.delayCmd.value(0x14), 2500.0);
    QCOMPARE(o.badCrcFrame, 3);
    QCOMPARE(o.garbageFrame, 2);
    QCOMPARE(o.stallSweep, 4);
    QCOMPARE(o.hangupAfter, 5);
    QCOMPARE(o.frameDelayMs, 1.5);
    QCOMPARE(o.rfParams900.size(), 1);
    QCOMPARE(o.rfParams900.at(0).rbw, 1.5);
    QCOMPARE(o.rfParams900.at(0).ifValue, quint16(2));
    QCOMPARE(o.rfParams900.at(0).setting, quint8(3));
    QCOMPARE(o.sweepCount, quint16(65535));
    QCOMPARE(o.radioVersion, QString("1.0.0.8.0.0"));
    QCOMPARE(o.hostVersion, QString("1.0.0.8.0.60"));
    QCOMPARE(o.rate, 50.0);

    SimOptions d;
    QCOMPARE(d.radioVersion, QString("1.0.0.9.0.0"));
    QCOMPARE(d.hostVersion, QString("1.0.0.9.0.69"));
    QVERIFY(d.rfParams900.size() >= 2);
    QVERIFY(d.rfParams2400.size() >= 2);
}

void TestSimCore::badOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("unknown") << QStringList{"--frobnicate"} << "--frobnicate";
    QTest::newRow("missing value") << QStringList{"--seed"} << "--seed";
    QTest::newRow("seed text") << QStringList{"--seed", "abc"} << "--seed";
    QTest::newRow("negative seed") << QStringList{"--seed", "-1"} << "--seed";
    QTest::newRow("negative count") << QStringList{"--bad-crc", "-2"} << "--bad-crc";
    QTest::newRow("zero frame") << QStringList{"--garbage", "0"} << "--garbage";
    QTest::newRow("stall text") << QStringList{"--stall-sweep", "x"} << "--stall-sweep";
    QTest::newRow("hangup negative") << QStringList{"--hangup-after", "-1"} << "--hangup-after";
    QTest::newRow("code too big") << QStringList{"--no-ack", "123"} << "--no-ack";
    QTest::newRow("code not hex") << QStringList{"--no-ack", "zz"} << "--no-ack";
    QTest::newRow("delay no ms") << QStringList{"--delay-cmd", "14"} << "--delay-cmd";
    QTest::newRow("delay negative") << QStringList{"--delay-cmd", "14=-5"} << "--delay-cmd";
    QTest::newRow("frame delay nan") << QStringList{"--frame-delay", "nan"} << "--frame-delay";
    QTest::newRow("rate zero") << QStringList{"--rate", "0"} << "--rate";
    QTest::newRow("sweep time negative") << QStringList{"--sweep-time", "-1"} << "--sweep-time";
    QTest::newRow("params short") << QStringList{"--rf-params-2400", "1:2"} << "--rf-params-2400";
    QTest::newRow("params setting")
        << QStringList{"--rf-params-900", "1:2:256"} << "--rf-params-900";
    QTest::newRow("params if") << QStringList{"--rf-params-900", "1:70000:1"} << "--rf-params-900";
    QTest::newRow("sweep count") << QStringList{"--sweep-count", "65536"} << "--sweep-count";
    QStringList many;
    for (int i = 0; i < 128; ++i)
        many << "1:1:1";
    QTest::newRow("128 entries") << QStringList{"--rf-params-900", many.join(',')}
                                 << "--rf-params-900";
}

void TestSimCore::badOptions()
{
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    SimOptions o;
    QString error;
    QVERIFY(!o.parse(args, &error));
    QVERIFY2(error.contains(mentions), qPrintable(error));
}

void TestSimCore::helpNamesEveryOption()
{
    const QString help = SimOptions::helpText();
    for (const char *opt :
         {"--link",           "--log",         "--radio-version", "--host-version",
          "--device-version", "--outdated",    "--rf-params-900", "--rf-params-2400",
          "--sweep-count",    "--seed",        "--scene",         "--sweep-time",
          "--rate",           "--fast",        "--no-ack",        "--bad-crc",
          "--garbage",        "--stall-sweep", "--hangup-after",  "--frame-delay",
          "--delay-cmd",      "--help"})
        QVERIFY2(help.contains(QLatin1String(opt)), opt);
}

void TestSimCore::sceneErrors_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("not json") << QByteArray("{\"emitters\": [") << "JSON";
    QTest::newRow("array root") << QByteArray("[]") << "object";
    QTest::newRow("unknown root key") << QByteArray(R"({"noise": -90})") << "noise";
    QTest::newRow("floor too high") << QByteArray(R"({"noiseFloorDbm": 5})") << "noiseFloorDbm";
    QTest::newRow("emitters not array") << QByteArray(R"({"emitters": {}})") << "emitters";
    QTest::newRow("unknown type") << QByteArray(
                                         R"({"emitters": [{"type": "radar", "centreMHz": 2400}]})")
                                  << "type";
    QTest::newRow("wifi channel 15")
        << QByteArray(R"({"emitters": [{"type": "wifi", "channel": 15, "levelDbm": -50}]})")
        << "channel";
    QTest::newRow("wifi both")
        << QByteArray(
               R"({"emitters": [{"type": "wifi", "channel": 1, "centreMHz": 2412, "levelDbm": -50}]})")
        << "either";
    QTest::newRow("duty above 1")
        << QByteArray(
               R"({"emitters": [{"type": "wifi", "channel": 1, "levelDbm": -50, "duty": 2}]})")
        << "duty";
    QTest::newRow("level text")
        << QByteArray(
               R"({"emitters": [{"type": "carrier", "centreMHz": 915, "levelDbm": "loud"}]})")
        << "levelDbm";
    QTest::newRow("missing level")
        << QByteArray(R"({"emitters": [{"type": "carrier", "centreMHz": 915}]})") << "levelDbm";
    QTest::newRow("off sweeps fraction")
        << QByteArray(
               R"({"emitters": [{"type": "carrier", "centreMHz": 915, "levelDbm": -60, "offSweeps": 1.5}]})")
        << "offSweeps";
    QTest::newRow("no on sweeps")
        << QByteArray(
               R"({"emitters": [{"type": "narrow", "centreMHz": 915, "widthMHz": 1, "levelDbm": -60, "onSweeps": 0}]})")
        << "onSweeps";
    QTest::newRow("typo key")
        << QByteArray(R"({"emitters": [{"type": "carrier", "centerMHz": 915, "levelDbm": -60}]})")
        << "centerMHz";
    QTest::newRow("hopper reversed")
        << QByteArray(
               R"({"emitters": [{"type": "hopper", "startMHz": 928, "stopMHz": 902, "widthMHz": 1, "levelDbm": -60, "hopsPerSweep": 2}]})")
        << "stopMHz";
    QTest::newRow("hops fraction")
        << QByteArray(
               R"({"emitters": [{"type": "hopper", "startMHz": 902, "stopMHz": 928, "widthMHz": 1, "levelDbm": -60, "hopsPerSweep": 2.5}]})")
        << "hopsPerSweep";
    QTest::newRow("hops huge")
        << QByteArray(
               R"({"emitters": [{"type": "hopper", "startMHz": 902, "stopMHz": 928, "widthMHz": 1, "levelDbm": -60, "hopsPerSweep": 1e9}]})")
        << "hopsPerSweep";
    QTest::newRow("narrow width zero")
        << QByteArray(
               R"({"emitters": [{"type": "narrow", "centreMHz": 2425, "widthMHz": 0, "levelDbm": -60}]})")
        << "widthMHz";
}

void TestSimCore::sceneErrors()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, mentions);
    RfScene s;
    QString error;
    QVERIFY(!RfScene::fromJson(json, &s, &error));
    QVERIFY2(error.contains(mentions), qPrintable(error));
}

void TestSimCore::sceneFile()
{
    RfScene s;
    QString error;
    QVERIFY2(RfScene::fromJson(R"({"noiseFloorDbm": -96, "emitters": [
        {"type": "wifi", "channel": 14, "levelDbm": -40, "duty": 1},
        {"type": "wifi", "centreMHz": 2442, "widthMHz": 40, "levelDbm": -45},
        {"type": "narrow", "centreMHz": 2425, "widthMHz": 2, "levelDbm": -60, "duty": 0.5},
        {"type": "hopper", "startMHz": 902, "stopMHz": 928, "widthMHz": 0.5, "levelDbm": -60, "hopsPerSweep": 3},
        {"type": "carrier", "centreMHz": 915.5, "levelDbm": -70}]})",
                               &s, &error),
             qPrintable(error));
    QCOMPARE(s.noiseFloorDbm, -96.0);
    QCOMPARE(s.emitters.size(), 5);
    QCOMPARE(s.emitters.at(0).centreMHz, 2484.0);
    QCOMPARE(s.emitters.at(0).widthMHz, 20.0);
    QCOMPARE(s.emitters.at(1).widthMHz, 40.0);
    QCOMPARE(s.emitters.at(3).hopsPerSweep, 3);
    QCOMPARE(RfScene::wifiChannelMHz(6), 2437.0);

    QVERIFY(!RfScene::fromFile("/nonexistent/scene.json", &s, &error));
    QVERIFY(error.contains("/nonexistent/scene.json"));
}

void TestSimCore::synthIsDeterministic()
{
    const RfScene scene = RfScene::defaultScene();
    SweepSynth a(scene, 1), b(scene, 1), c(scene, 2);
    SweepGrid grid; // 2.4 GHz
    QByteArray sa, sb, sc;
    for (quint64 i = 0; i < 5; ++i) {
        a.render(grid, i, &sa);
        b.render(grid, i, &sb);
        c.render(grid, i, &sc);
        QCOMPARE(sa.size(), 501);
        QCOMPARE(sa, sb);
        QVERIFY(sa != sc);
    }
    // The moment matters too: successive sweeps differ.
    QByteArray s0, s1;
    a.render(grid, 0, &s0);
    a.render(grid, 1, &s1);
    QVERIFY(s0 != s1);
    // Switching grids and back gives the same sweep again.
    SweepGrid g900{902, 0.10325, 252};
    QByteArray t;
    a.render(g900, 0, &t);
    QCOMPARE(t.size(), 252);
    a.render(grid, 0, &t);
    QCOMPARE(t, s0);
}

void TestSimCore::synthLevelsAreSane()
{
    SweepSynth synth(RfScene::defaultScene(), 3);
    SweepGrid grid;
    QByteArray s;
    int floorPoints = 0;
    int wifiMax = -128;
    int sum = 0;
    const int sweeps = 200;
    for (int k = 0; k < sweeps; ++k) {
        synth.render(grid, quint64(k), &s);
        for (int i = 0; i < s.size(); ++i) {
            const int v = static_cast<qint8>(s.at(i));
            QVERIFY(v >= -127 && v <= 127);
            const double f = 2400 + 0.2 * i;
            if (f > 2490) { // nothing transmits up there
                ++floorPoints;
                sum += v;
            }
            if (f > 2405 && f < 2419)
                wifiMax = std::max(wifiMax, v);
        }
    }
    const double floorMean = double(sum) / floorPoints;
    QVERIFY2(floorMean > -101 && floorMean < -94, qPrintable(QString::number(floorMean)));
    QVERIFY2(wifiMax > -58 && wifiMax < -45, qPrintable(QString::number(wifiMax)));
}

void TestSimCore::everyCommandIsAcknowledged_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("replyFrames"); // after the acknowledgement
    QTest::newRow("connect") << 0x01 << QByteArray() << 0;
    QTest::newRow("disconnect") << 0x02 << QByteArray() << 0;
    QTest::newRow("device version") << 0x03 << QByteArray() << 1;
    QTest::newRow("firmware version") << 0x04 << QByteArray() << 1;
    QTest::newRow("rf params 900") << 0x05 << QByteArray(1, 0) << 4;
    QTest::newRow("rf params 2400") << 0x05 << QByteArray(1, 1) << 5;
    QTest::newRow("last error") << 0x06 << QByteArray() << 1;
    QTest::newRow("sync") << 0x07 << QByteArray() << 0;
    QTest::newRow("set band") << 0x14 << QByteArray(1, 2) << 0;
    QTest::newRow("set start") << 0x15 << RfsaFrame::encodeFrequencyMHz(2400) << 0;
    QTest::newRow("set stop") << 0x16 << RfsaFrame::encodeFrequencyMHz(2500) << 0;
    QTest::newRow("set span index") << 0x17 << QByteArray(1, 9) << 0;
    QTest::newRow("set step") << 0x18 << RfsaFrame::encodeStepKHz(200) << 0;
    QTest::newRow("set rbw") << 0x19 << QByteArray(1, 41) << 0;
    QTest::newRow("set step count") << 0x1A << RfsaFrame::u16(5) << 0;
    QTest::newRow("set span") << 0x1B << RfsaFrame::u16(100) << 0;
    QTest::newRow("sweep") << 0x1F << QByteArray() << 3;
    QTest::newRow("reset to bootloader") << 0x80 << QByteArray() << 0;
    QTest::newRow("host bootloader") << 0x81 << QByteArray() << 0;
    QTest::newRow("info string") << 0x82 << QByteArray::fromHex("0100") << 1;
    QTest::newRow("calibration") << 0x83 << QByteArray() << 3;
    QTest::newRow("unknown") << 0x42 << QByteArray() << 0;
    QTest::newRow("short payload") << 0x15 << QByteArray(1, 9) << 0;
}

void TestSimCore::everyCommandIsAcknowledged()
{
    QFETCH(int, code);
    QFETCH(QByteArray, payload);
    QFETCH(int, replyFrames);
    SimDevice d(SimOptions(), RfScene::defaultScene());
    Exchange x;
    x.attach(d);
    d.receive(cmd(quint8(code), payload));
    QCOMPARE(x.frames.size(), 1);
    QCOMPARE(x.replies.size(), 1 + replyFrames);
    QCOMPARE(x.replies.at(0).frame, cmd(quint8(code)));
    QCOMPARE(int(x.replies.at(0).kind),
             int(code == 0x81 ? SimReply::Kind::HostBlAck : SimReply::Kind::Ack));
    for (int i = 0; i < x.replies.size(); ++i)
        QCOMPARE(x.at(i).status, RfsaFrame::Scan::Frame);
}

void TestSimCore::rfParamsTable()
{
    SimOptions o;
    QString error;
    QVERIFY(
        o.parse({"--rf-params-2400", "812.5:1219:9,-0:0:0,0.25:65535:255", "--sweep-count", "300"},
                &error));
    SimDevice d(o, RfScene::defaultScene());
    Exchange x;
    x.attach(d);
    d.receive(cmd(0x05, QByteArray(1, 1)));
    QCOMPARE(x.replies.size(), 5);
    QCOMPARE(x.at(1).command, quint8(0x05));
    QCOMPARE(x.at(1).payload, QByteArray::fromHex("03012c"));
    QCOMPARE(x.at(2).payload, QByteArray::fromHex("4089640000000000"
                                                  "04c3"
                                                  "09"));
    QCOMPARE(x.at(4).payload, QByteArray::fromHex("3fd0000000000000"
                                                  "ffff"
                                                  "ff"));

    // Info strings: both versions, NUL-terminated; firmware bytes follow the radio version.
    x.replies.clear();
    d.receive(cmd(0x82, QByteArray::fromHex("0000")));
    d.receive(cmd(0x82, QByteArray::fromHex("0100")));
    d.receive(cmd(0x82, QByteArray::fromHex("0001")));
    d.receive(cmd(0x04));
    d.receive(cmd(0x03));
    QCOMPARE(x.at(1).payload, QByteArray("1.0.0.9.0.0", 12));
    QCOMPARE(x.at(3).payload, QByteArray("1.0.0.9.0.69", 13));
    QVERIFY(x.at(5).payload.size() > 1);
    QVERIFY(x.at(5).payload.endsWith('\0'));
    QCOMPARE(x.at(7).payload, QByteArray::fromHex("010000090000"));
    QCOMPARE(x.at(9).payload, QByteArray("Orvanel Scanner", 16));
}

void TestSimCore::sweepLengthFollowsProgramming_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<double>("fStart");
    QTest::addColumn<double>("fStop");
    QTest::addColumn<double>("stepKHz");
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("points");
    QTest::newRow("2.4 GHz") << 2 << 2400.0 << 2500.0 << 200.0 << 100 << 501;
    QTest::newRow("900 MHz") << 1 << 902.0 << 928.0 << 103.25 << 26 << 252;
    QTest::newRow("finer step") << 2 << 2400.0 << 2500.0 << 100.0 << 100 << 1001;
    QTest::newRow("exact division") << 1 << 902.0 << 928.0 << 65.0 << 26 << 401;
    QTest::newRow("zero step") << 2 << 2400.0 << 2500.0 << 0.0 << 100 << 1;
    QTest::newRow("capped") << 2 << 2400.0 << 2500.0 << 0.5 << 100 << SimDevice::MaxPoints;
}

void TestSimCore::sweepLengthFollowsProgramming()
{
    QFETCH(int, band);
    QFETCH(double, fStart);
    QFETCH(double, fStop);
    QFETCH(double, stepKHz);
    QFETCH(int, span);
    QFETCH(int, points);
    SimDevice d(SimOptions(), RfScene::defaultScene());
    Exchange x;
    x.attach(d);
    QCOMPARE(sweep(d, x).size(), 501); // 2.4 GHz before any programming
    program(d, band, fStart, fStop, stepKHz, span);
    QCOMPARE(sweep(d, x).size(), points);
    // Choosing the band alone loads its defaults.
    d.receive(cmd(0x14, QByteArray(1, 1)));
    QCOMPARE(sweep(d, x).size(), 252);
    d.receive(cmd(0x14, QByteArray(1, 2)));
    QCOMPARE(sweep(d, x).size(), 501);
}

void TestSimCore::sweepFramesAndClose()
{
    SimDevice d(SimOptions(), RfScene::defaultScene());
    Exchange x;
    x.attach(d);
    const QByteArray points = sweep(d, x);
    QCOMPARE(x.replies.size(), 4);
    QCOMPARE(x.at(0).command, quint8(0x1F));
    QCOMPARE(x.at(0).payload.size(), 0);
    QCOMPARE(x.at(1).payload.size(), 255);
    QCOMPARE(x.at(2).payload.size(), 246);
    QCOMPARE(x.at(3).command, quint8(0x06));
    QCOMPARE(x.at(3).payload, QByteArray::fromHex("0000"));
    QCOMPARE(int(x.replies.at(1).kind), int(SimReply::Kind::SweepStart));
    QCOMPARE(int(x.replies.at(3).kind), int(SimReply::Kind::SweepEnd));
    QVERIFY(!points.contains(char(-128)));
}

void TestSimCore::programmedFrequencyMovesTheScene()
{
    // Wi-Fi channel 1 sits at the bottom of the default band; started 85 MHz
    // higher, the bottom of the sweep is quiet.
    SimOptions o;
    SimDevice d(o, RfScene::defaultScene());
    Exchange x;
    x.attach(d);
    auto bottomMax = [&] {
        int m = -128;
        for (int k = 0; k < 20; ++k) {
            const QByteArray s = sweep(d, x);
            for (int i = 40; i < 60; ++i) // 2408..2412 MHz by default
                m = std::max(m, int(static_cast<qint8>(s.at(i))));
        }
        return m;
    };
    QVERIFY(bottomMax() > -65);
    d.receive(cmd(0x15, RfsaFrame::encodeFrequencyMHz(2485)));
    QVERIFY(bottomMax() < -80);
}

void TestSimCore::resynchronisesOnJunk()
{
    SimDevice d(SimOptions(), RfScene::defaultScene());
    Exchange x;
    x.attach(d);
    QByteArray bad = cmd(0x07);
    bad[bad.size() - 1] = char(bad.at(bad.size() - 1) ^ 1);
    d.receive(QByteArray::fromHex("0011") + bad + cmd(0x01));
    QCOMPARE(x.frames.size(), 1);
    QCOMPARE(x.replies.size(), 1);
    QCOMPARE(x.at(0).command, quint8(0x01));
    QCOMPARE(x.junk.size(), 2);
    QCOMPARE(x.junk.at(0), QByteArray::fromHex("0011"));
    QCOMPARE(x.junk.at(1), bad);

    // A start byte whose frame never completes waits, then is dropped.
    x.replies.clear();
    d.receive(QByteArray::fromHex("2aff") + cmd(0x01).left(3));
    QVERIFY(d.hasPartial());
    QCOMPARE(x.replies.size(), 0);
    d.receive(cmd(0x01).mid(3));
    d.dropPartial();
    QVERIFY(!d.hasPartial());
    QCOMPARE(x.replies.size(), 1);
    QCOMPARE(x.junk.last(), QByteArray::fromHex("2aff"));

    // A frame split across reads is reassembled.
    x.replies.clear();
    const QByteArray f = cmd(0x1B, RfsaFrame::u16(26));
    for (char c : f)
        d.receive(QByteArray(1, c));
    QCOMPARE(x.replies.size(), 1);
    QCOMPARE(d.setup().spanMHz, 26);
}

void TestSimCore::noAckAndStall()
{
    SimOptions o;
    QString error;
    QVERIFY(o.parse({"--no-ack", "07", "--stall-sweep", "2"}, &error));
    SimDevice d(o, RfScene::defaultScene());
    Exchange x;
    x.attach(d);
    d.receive(cmd(0x07));
    QCOMPARE(x.replies.size(), 0);
    QCOMPARE(sweep(d, x).size(), 501);
    QCOMPARE(sweep(d, x).size(), 0);
    QCOMPARE(x.replies.size(), 1); // the acknowledgement only
    QCOMPARE(sweep(d, x).size(), 0);
}

void TestSimCore::lastErrorReportsAndClears()
{
    SimDevice d(SimOptions(), RfScene::defaultScene());
    Exchange x;
    x.attach(d);
    d.receive(cmd(0x42));
    d.receive(cmd(0x06));
    QCOMPARE(x.at(2).payload, RfsaFrame::u16(SimDevice::UnknownCommand));
    d.receive(cmd(0x06));
    QCOMPARE(x.at(4).payload, RfsaFrame::u16(SimDevice::NoError));
    d.receive(cmd(0x14)); // no payload
    d.receive(cmd(0x06));
    QCOMPARE(x.at(7).payload, RfsaFrame::u16(SimDevice::BadArgument));
}

QTEST_GUILESS_MAIN(TestSimCore)
#include "tst_simcore.moc"
