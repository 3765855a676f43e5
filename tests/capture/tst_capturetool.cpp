// orvanel-capture against the emulator, as a user runs it: a timed capture,
// an interrupted one, a device lost mid-capture, a second capture on a port
// in use, and a scanner reached over TCP.
#include "recordingio.h"
#include "simprocess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QString captureExe()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANEL_CAPTURE"));
}

} // namespace

class TestCaptureTool : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    void startCapture(QProcess &p, const QStringList &args)
    {
        p.setProgram(captureExe());
        p.setArguments(args);
        p.start();
        QVERIFY(p.waitForStarted(10000));
    }
    //! The file written, opened as the program opens it.
    static RecordingIo::Recording opened(const QString &path)
    {
        return RecordingIo::loadFile(path);
    }

private slots:
    void initTestCase()
    {
        if (captureExe().isEmpty() || SimProcess::executable().isEmpty())
            QSKIP("ORVANEL_CAPTURE or ORVANEL_SIM not set");
    }

    // End by duration, by SIGINT, or by the device going away; and over TCP.
    void capture_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<QStringList>("captureArgs");
        QTest::addColumn<bool>("interrupt");
        QTest::addColumn<bool>("overTcp");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("minSweeps");
        QTest::addColumn<int>("maxSweeps");
        const QStringList rate = {QStringLiteral("--rate"), QStringLiteral("20")};
        QTest::newRow("3 s") << rate << QStringList{"--duration", "3s", "--survey"} << false
                             << false << 0 << 40 << 64;
        QTest::newRow("SIGINT") << rate << QStringList() << true << false << 0 << 10 << 1000;
        QTest::newRow("lost device") << QStringList{"--rate", "20", "--hangup-after", "30"}
                                     << QStringList() << false << false << 1 << 28 << 30;
        QTest::newRow("900 MHz over TCP")
            << QStringList{"--rate", "20", "--tcp", "0"}
            << QStringList{"--duration", "2s", "--band", "900"} << false << true << 0 << 20 << 44;
    }
    void capture()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(QStringList, captureArgs);
        QFETCH(bool, interrupt);
        QFETCH(bool, overTcp);
        QFETCH(int, exitCode);
        QFETCH(int, minSweeps);
        QFETCH(int, maxSweeps);
        SimProcess sim;
        if (!sim.start(simArgs))
            QFAIL(qPrintable(sim.errorText()));
        QString port = sim.ptyPath();
        if (overTcp) {
            QTRY_VERIFY_WITH_TIMEOUT(sim.process().canReadLine(), 10000);
            port = QString::fromLatin1(sim.process().readLine()).trimmed();
            QVERIFY(port.startsWith(QLatin1String("tcp://")));
        }
        const QString out = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        const QString csv = out + QStringLiteral(".csv");
        QProcess capture;
        startCapture(capture, QStringList{"--port", port, "--out", out, "--csv", csv, "--project",
                                          "Hall B"} +
                                  captureArgs);
        if (interrupt) {
            QTest::qWait(3000);
            ::kill(pid_t(capture.processId()), SIGINT);
        }
        QVERIFY(capture.waitForFinished(60000));
        const QString err = QString::fromLocal8Bit(capture.readAllStandardError());
        QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
        QVERIFY2(capture.exitCode() == exitCode, qPrintable(err));
        if (exitCode != 0)
            QVERIFY2(!err.isEmpty(), "a failure is reported on stderr");
        const RecordingIo::Recording r = opened(out + RecordingIo::RecordingSuffix);
        QVERIFY(r.complete);
        QVERIFY(r.band != RecordingIo::PageBand::None);
        QCOMPARE(r.history.projectInfo.projectName, QStringLiteral("Hall B"));
        const int n = r.history.samples.size();
        QVERIFY2(n >= minSweeps && n <= maxSweeps, qPrintable(QString::number(n)));
        QCOMPARE(r.history.samples.constFirst().spectrum.size(), overTcp ? 252 : 501);
        QVERIFY(QFile::exists(csv));
        // The emulator's Wi-Fi 11 is on air least of 1, 6 and 11.
        if (captureArgs.contains(QStringLiteral("--survey")))
            QVERIFY(capture.readAllStandardOutput().contains("\nUse Wi-Fi 11;"));
    }

    // A file surveyed without a device: a recording with a carrier planted
    // in the quietest channel, a CSV, and files that cannot be read.
    void surveyOfAFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents"); //!< empty: a planted recording
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("recording") << "site.vozi" << QByteArray() << 0
                                   << "avoid Wi-Fi 11: carrier at 2458.0 MHz, \u221212 dBm";
        QTest::newRow("hackrf_sweep CSV")
            << "sweep.csv"
            << QByteArray("2019-01-03, 11:57:34.967805, 2400000000, 2405000000, 1000000.00, 20, "
                          "-64.72, -63.36, -60.91, -61.74, -58.58\n")
            << 0 << "1 sweeps";
        QTest::newRow("missing") << "none.vozi" << QByteArray() << 1 << "";
        QTest::newRow("garbage CSV") << "bad.csv" << QByteArray("not,a\nsweep\n") << 1 << "";
    }
    void surveyOfAFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const QString path = m_dir.filePath(name);
        if (!contents.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(contents);
        } else if (exitCode == 0) {
            // Noise everywhere, Wi-Fi 1 and 6 busy, a carrier at 2458 MHz.
            RfSpectrumHistory h;
            h.frequencyInterval = QwtInterval(2400, 2500);
            h.amplitudeInterval = QwtInterval(-100, -30);
            for (int s = 0; s < 100; ++s) {
                RfSpectrumScan scan(501, -95);
                for (int i = 0; i < 501; ++i)
                    if ((i >= 10 && i <= 110 && s % 3 == 0) || (i >= 135 && i <= 235 && s % 2))
                        scan[i] = -60;
                scan[290] = -12;
                h.samples.append(RfSpectrumSample(1765000000000 + s * 50, scan));
            }
            QString error;
            QVERIFY2(RecordingIo::saveFile(path, h, &error), qPrintable(error));
        }
        const QString report = path + QStringLiteral(".html");
        QProcess p;
        startCapture(p, {"--survey", "--report", report, path});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(p.exitCode() == exitCode, qPrintable(out + err));
        QCOMPARE(QFile::exists(report), exitCode == 0);
        QVERIFY2(out.contains(says), qPrintable(out));
        if (exitCode != 0)
            QVERIFY(err.contains(QStringLiteral("cannot read")));
    }

    // A limit over an emitter that comes and goes, and a channel watch whose
    // channel stays busy until the capture ends: every alarm start and end
    // is a log line and runs the command with the facts in its environment.
    void alarms_data()
    {
        QTest::addColumn<QByteArray>("emitter");
        QTest::addColumn<QByteArray>("limitFile");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("frequency");
        QTest::newRow("limit") << QByteArray(
                                      R"("centreMHz": 2441, "onSweeps": 20, "offSweeps": 40)")
                               << QByteArray(R"({"limits": [{"name": "Stage mask", "band": "2400",
                         "points": [[2400, -60], [2500, -60]], "trace": "current",
                         "holdSeconds": 0.3, "clearSeconds": 0.3}]})")
                               << "Stage mask"
                               << "2441.";
        // Still on when the capture ends: the end comes with the capture's.
        QTest::newRow("watch ended by the capture's end")
            << QByteArray(R"("centreMHz": 2437)")
            << QByteArray(R"({"watches": [{"name": "Wi-Fi 6", "band": "2400", "wifiChannel": 6,
                         "percent": 40, "levelDbm": -60, "holdSeconds": 0.3}]})")
            << "Wi-Fi 6"
            << "2437.";
    }

    void alarms()
    {
        QFETCH(QByteArray, emitter);
        QFETCH(QByteArray, limitFile);
        QFETCH(QString, name);
        QFETCH(QString, frequency);
        const QString scene = m_dir.filePath(QStringLiteral("alarm-scene.json"));
        const QString limits = m_dir.filePath(QStringLiteral("alarm-limits.json"));
        const QString script = m_dir.filePath(QStringLiteral("on-alarm.sh"));
        const QString seen = m_dir.filePath(QStringLiteral("alarms.txt"));
        QFile::remove(seen);
        const QList<QPair<QString, QByteArray>> files = {
            {scene, R"({"emitters": [{"type": "carrier", "levelDbm": -45, )" + emitter + "}]}"},
            {limits, limitFile},
            {script, "#!/bin/sh\necho \"$ORVANEL_ALARM_STATE $ORVANEL_ALARM_LIMIT "
                     "$ORVANEL_ALARM_FREQUENCY_MHZ\" >> \"$1\"\n"}};
        for (const auto &f : files) {
            QFile file(f.first);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(f.second);
        }
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SimProcess sim;
        if (!sim.start(
                {QStringLiteral("--rate"), QStringLiteral("20"), QStringLiteral("--scene"), scene}))
            QFAIL(qPrintable(sim.errorText()));
        QProcess capture;
        startCapture(capture, {"--port", sim.ptyPath(), "--out", m_dir.filePath("alarms"),
                               "--duration", "5s", "--limits", limits, "--on-alarm",
                               QStringLiteral("\"%1\" \"%2\"").arg(script, seen)});
        QVERIFY(capture.waitForFinished(60000));
        QCOMPARE(capture.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(capture.readAllStandardOutput());
        const QString facts = QStringLiteral("\"%1\" %2").arg(name, frequency);
        QVERIFY2(out.contains(QLatin1String("alarm start ") + facts), qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("alarm end ") + facts), qPrintable(out));
        QCOMPARE(out.count(QLatin1String("alarm start")), out.count(QLatin1String("alarm end")));
        // The end's command ran before the program went.
        QFile file(seen);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray lines = file.readAll();
        const QByteArray said = QStringLiteral("%1 %2").arg(name, frequency).toUtf8();
        QVERIFY2(lines.startsWith("start " + said) && lines.contains("\nend " + said),
                 lines.constData());
    }

    void secondUserOfAPortIsRefused()
    {
        SimProcess sim;
        if (!sim.start({"--rate", "20"}))
            QFAIL(qPrintable(sim.errorText()));
        QProcess first, second;
        startCapture(first, {"--port", sim.ptyPath(), "--out", m_dir.filePath("first")});
        QVERIFY(sim.waitForLog("TX", 20, 20000)); // the first one scans
        startCapture(second, {"--port", sim.ptyPath(), "--out", m_dir.filePath("second")});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("in use by process %1").arg(first.processId())),
                 qPrintable(err));
        QVERIFY(!QFile::exists(m_dir.filePath("second.vozi")));
        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCaptureTool)
#include "tst_capturetool.moc"
