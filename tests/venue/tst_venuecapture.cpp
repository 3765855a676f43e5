// A publishing node as a user runs it: the emulator over a pty, orvanel-capture
// recording and publishing at once, a real broker that goes away and comes
// back, and a watcher that decodes the sweeps.
#include "brokerprocess.h"
#include "recordingio.h"
#include "simprocess.h"
#include "venuesubscriber.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestVenueCapture : public QObject
{
    Q_OBJECT
private slots:
    void refusedOptions_data();
    void refusedOptions();
    void publishWhileRecording();
    void alarmsReachTheNodesTopic_data();
    void alarmsReachTheNodesTopic();
};

// What a node refuses before it touches a scanner or a broker: exit code 2
// and the reason, never an echo of a secret.
void TestVenueCapture::refusedOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");
    const QStringList port = {"--port", "/nonexistent"};
    QTest::newRow("password on the command line")
        << QStringList{"--mqtt-password", "hunter2", "--publish", "mqtt://h/v", "--node", "n"}
        << "use --mqtt-password-file or the environment variable ORVANEL_MQTT_PASSWORD";
    QTest::newRow("no node") << QStringList{"--publish", "mqtt://h/v"}
                             << "--publish needs --node NAME";
    QTest::newRow("wildcard node")
        << QStringList{"--publish", "mqtt://h/v", "--node", "a/#"} << "bad value for --node";
    QTest::newRow("not mqtt") << port + QStringList{"--publish", "http://h/v", "--node", "n"}
                              << "is not mqtt[s]://HOST[:PORT]/PREFIX";
    QTest::newRow("missing password file")
        << port + QStringList{"--publish", "mqtt://h/v",           "--node",
                              "n",         "--mqtt-password-file", "/nonexistent/pw"}
        << "cannot read /nonexistent/pw";
    QTest::newRow("metrics address")
        << port + QStringList{"--metrics", "localhost:http"} << "is not ADDRESS:PORT";
}

void TestVenueCapture::refusedOptions()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    const QString exe =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANEL_CAPTURE"));
    if (exe.isEmpty())
        QSKIP("ORVANEL_CAPTURE not set");
    QProcess capture;
    capture.start(exe, args);
    QVERIFY(capture.waitForFinished(20000));
    const QString err = QString::fromLocal8Bit(capture.readAllStandardError());
    QCOMPARE(capture.exitCode(), 2);
    QVERIFY2(err.contains(reason), qPrintable(err));
    QVERIFY(!err.contains(QLatin1String("hunter2")));
}

void TestVenueCapture::publishWhileRecording()
{
    const QString exe =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANEL_CAPTURE"));
    if (exe.isEmpty() || SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_CAPTURE or ORVANEL_SIM not set");
    BrokerProcess broker;
    if (!broker.start())
        QSKIP(qPrintable(broker.errorText()));
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--rate"), QStringLiteral("20")}),
             qPrintable(sim.errorText()));

    MqttSettings settings;
    QString error;
    QVERIFY(MqttSettings::parseUrl(broker.url(), &settings, &error));
    settings.reconnectMaxS = 2;
    VenueSubscriber watcher(settings);
    QHash<qint64, QVector<qint8>> received;
    connect(&watcher, &VenueSubscriber::sweepReceived,
            [&](const QString &node, const SweepPayload &sweep, qint64) {
                if (node == QLatin1String("north"))
                    received.insert(sweep.timeStamp, sweep.levels);
            });
    QVERIFY2(watcher.start(&error), qPrintable(error));

    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("north.vozi"));
    QProcess capture;
    capture.setProgram(exe);
    capture.setArguments(
        {"--port", sim.ptyPath(), "--out", out, "--publish", broker.url(), "--node", "north"});
    capture.start();
    QVERIFY(capture.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(received.size() >= 20, 20000);
    QCOMPARE(watcher.nodes().value(QStringLiteral("north")).state, NodeStatus::Scanning);
    QCOMPARE(watcher.nodes().value(QStringLiteral("north")).band, QStringLiteral("2400"));

    // The broker goes away for two seconds: the node keeps scanning and
    // recording, and publishes again once it is back.
    broker.stop();
    const qint64 gapFrom = QDateTime::currentMSecsSinceEpoch();
    QTest::qWait(2000);
    const qint64 gapTo = QDateTime::currentMSecsSinceEpoch();
    QVERIFY2(broker.start(), qPrintable(broker.errorText()));
    const int before = received.size();
    QTRY_VERIFY_WITH_TIMEOUT(received.size() >= before + 20, 20000);

    capture.terminate();
    QVERIFY(capture.waitForFinished(20000));
    QVERIFY2(capture.exitCode() == 0, capture.readAllStandardError().constData());
    QTRY_COMPARE_WITH_TIMEOUT(watcher.nodes().value(QStringLiteral("north")).state,
                              NodeStatus::Offline, 10000);

    // Every published sweep is the recorded one with the same time stamp, and
    // the recording has no hole where the broker was away.
    const RecordingIo::Recording r = RecordingIo::loadFile(out);
    QVERIFY(r.complete);
    int matched = 0;
    int duringGap = 0;
    for (const RfSpectrumSample &s : r.history.samples) {
        const auto it = received.constFind(s.timeStamp);
        if (it != received.constEnd()) {
            QCOMPARE(*it, s.spectrum);
            ++matched;
        }
        duringGap += s.timeStamp > gapFrom + 200 && s.timeStamp < gapTo - 200;
    }
    QCOMPARE(matched, received.size());
    QVERIFY2(duringGap >= 10, qPrintable(QString::number(duringGap)));
}

// A node that only publishes (no --out) evaluates its limit file all the
// same; each alarm start and end reaches PREFIX/NODE/alarms, the end of one
// still on coming with the node's own end.
void TestVenueCapture::alarmsReachTheNodesTopic_data()
{
    QTest::addColumn<QByteArray>("limitFile");
    QTest::addColumn<QString>("source");
    QTest::newRow("watch without --out")
        << QByteArray(R"({"watches": [{"name": "Wi-Fi 6", "wifiChannel": 6, "percent": 40,
                      "levelDbm": -60, "holdSeconds": 0.3}]})")
        << "watch";
}

void TestVenueCapture::alarmsReachTheNodesTopic()
{
    QFETCH(QByteArray, limitFile);
    QFETCH(QString, source);
    const QString exe =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANEL_CAPTURE"));
    if (exe.isEmpty() || SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_CAPTURE or ORVANEL_SIM not set");
    BrokerProcess broker;
    if (!broker.start())
        QSKIP(qPrintable(broker.errorText()));
    QTemporaryDir dir;
    const QString scene = dir.filePath(QStringLiteral("scene.json"));
    const QString limits = dir.filePath(QStringLiteral("limits.json"));
    for (const auto &f : {qMakePair(scene, QByteArray(R"({"emitters": [{"type": "carrier",
                              "centreMHz": 2437, "levelDbm": -45}]})")),
                          qMakePair(limits, limitFile)}) {
        QFile file(f.first);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(f.second);
    }
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--rate"), QStringLiteral("20"), QStringLiteral("--scene"),
                        scene}),
             qPrintable(sim.errorText()));

    MqttSettings settings;
    QString error;
    QVERIFY(MqttSettings::parseUrl(broker.url(), &settings, &error));
    VenueSubscriber watcher(settings);
    QStringList states;
    connect(&watcher, &VenueSubscriber::alarmReceived,
            [&](const QString &node, const QByteArray &json) {
                const QJsonObject o = QJsonDocument::fromJson(json).object();
                QCOMPARE(node, QStringLiteral("south"));
                QCOMPARE(o.value(QStringLiteral("source")).toString(), source);
                states << o.value(QStringLiteral("state")).toString();
            });
    QVERIFY2(watcher.start(&error), qPrintable(error));

    QProcess capture;
    capture.setProgram(exe);
    capture.setArguments({"--port", sim.ptyPath(), "--limits", limits, "--publish", broker.url(),
                          "--node", "south"});
    capture.start();
    QVERIFY(capture.waitForStarted(10000));
    QTRY_COMPARE_WITH_TIMEOUT(states, QStringList{QStringLiteral("start")}, 20000);
    capture.terminate();
    QVERIFY(capture.waitForFinished(20000));
    QVERIFY2(capture.exitCode() == 0, capture.readAllStandardError().constData());
    QTRY_COMPARE_WITH_TIMEOUT(states, (QStringList{QStringLiteral("start"), QStringLiteral("end")}),
                              10000);
}

QTEST_GUILESS_MAIN(TestVenueCapture)
#include "tst_venuecapture.moc"
