#include "simprocess.h"
#include "xclose.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

// The real program, started twice: the second start hands its command line
// to the first and exits 0 without a window.
class tst_App : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void help();
    void secondInstanceForwardsFile();
    void closingMainWindowEndsProgram();
    void signalEndsAsQuit_data();
    void signalEndsAsQuit();

private:
    QProcessEnvironment environment() const;
    QString m_exe;
    QTemporaryDir m_dir;
};

void tst_App::initTestCase()
{
    m_exe = QProcessEnvironment::systemEnvironment().value("ORVANEL_APP");
    if (m_exe.isEmpty())
        QSKIP("ORVANEL_APP is not set");
    QVERIFY(m_dir.isValid());
}

QProcessEnvironment tst_App::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_dir.path());
    env.insert("XDG_CONFIG_HOME", m_dir.path() + "/config");
    // A scan journal left by an earlier run would ask "Recover the last scan?"
    // at start; the test's programs keep theirs apart from the user's.
    env.insert("XDG_STATE_HOME", m_dir.path() + "/state");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "orvanel.mainwindow.debug=true");
    return env;
}

void tst_App::help()
{
    // Without a display no platform plugin can start: the options print anyway.
    QProcessEnvironment env = environment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(name);
    for (const char *option : {"-h", "--help"}) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(m_exe, {option});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        for (const char *documented : {"-port", "-debug", "-rbw", "-fstep", "-ampl", "-qc"})
            QVERIFY2(out.contains(documented), documented);
    }
}

void tst_App::secondInstanceForwardsFile()
{
    // A recording named on the first command line: no automatic connect.
    const QString first = m_dir.filePath("first.vozi");
    QFile f(first);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QDir().mkpath(m_dir.filePath("sub"));
    QFile g(m_dir.filePath("sub/second.vozi"));
    QVERIFY(g.open(QIODevice::WriteOnly));
    g.close();

    QProcess running;
    running.setProcessEnvironment(environment());
    running.setProcessChannelMode(QProcess::SeparateChannels);
    running.start(m_exe, {first});
    QVERIFY(running.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath("Orvanel")), 15000);

    // Started elsewhere with a relative name: the path arrives absolute.
    QProcess second;
    second.setProcessEnvironment(environment());
    second.setWorkingDirectory(m_dir.filePath("sub"));
    second.start(m_exe, {"second.vozi", "-qc"});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    QString log;
    const QString expected = QDir::cleanPath(m_dir.filePath("sub/second.vozi"));
    QTRY_VERIFY_WITH_TIMEOUT(
        (log += QString::fromLocal8Bit(running.readAllStandardError())).contains(expected), 10000);
    QVERIFY(log.contains("-qc"));
    QVERIFY(running.state() == QProcess::Running);

    running.terminate();
    QVERIFY(running.waitForFinished(15000));

    // The socket of a crashed instance does not keep the next one out.
    QProcess crashed;
    crashed.setProcessEnvironment(environment());
    crashed.start(m_exe, {first});
    QVERIFY(crashed.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath("Orvanel")), 15000);
    crashed.kill();
    QVERIFY(crashed.waitForFinished(10000));
    QVERIFY(QFile::exists(m_dir.filePath("Orvanel"))); // left behind

    QProcess next;
    next.setProcessEnvironment(environment());
    next.start(m_exe, {first});
    QVERIFY(next.waitForStarted(10000));
    QTest::qWait(1500); // it probes the dead socket, then listens itself
    QVERIFY(next.state() == QProcess::Running);
    QProcess third;
    third.setProcessEnvironment(environment());
    third.start(m_exe, {first});
    QVERIFY(third.waitForFinished(15000));
    QCOMPARE(third.exitCode(), 0); // the new first instance answered
    next.terminate();
    QVERIFY(next.waitForFinished(15000));
}

void tst_App::closingMainWindowEndsProgram()
{
    // On a real display: a scan running, the debug window (free-standing like
    // About and the manual) open; the main window's close ends the program
    // and the session says goodbye to the scanner. (QC mode: the unsaved
    // scan is not asked about.)
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty())
        QSKIP("xvfb-run is not installed");
    SimProcess sim;
    if (!sim.start())
        QSKIP(qPrintable(sim.errorText()));
    QProcessEnvironment env = environment();
    env.remove("QT_QPA_PLATFORM");
    // Under the leak checker: on a real display the web engine loads the
    // software GL driver, unloaded at exit and without frame pointers. The
    // fast unwinder stops inside it, short of the web engine's frames that
    // the suppressions name, and a block the engine keeps would fail the
    // exit code. (Slower, so only here.)
    const QString lsan = env.value("LSAN_OPTIONS");
    if (!lsan.isEmpty())
        env.insert("LSAN_OPTIONS", lsan + ":fast_unwind_on_malloc=0");
    QProcess app;
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.setProcessEnvironment(env);
    app.start("xvfb-run", {"-a", "-s", "-screen 0 1280x800x24", "sh", "-c",
                           "echo \"$DISPLAY $XAUTHORITY $$\"; exec \"$0\" \"$@\"", m_exe, "-port",
                           sim.ptyPath(), "-debug", "-qc"});
    QVERIFY(app.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(app.canReadLine(), 20000);
    const QList<QByteArray> started = app.readLine().trimmed().split(' ');
    QCOMPARE(started.size(), 3);
    const QByteArray display = started.at(0);
    qputenv("XAUTHORITY", started.at(1));
    // On failure end the program itself: xvfb-run then takes its server down.
    const qint64 programPid = started.at(2).toLongLong();
    const auto stop = qScopeGuard([&app, programPid] {
        if (app.state() != QProcess::NotRunning) {
            ::kill(pid_t(programPid), SIGTERM);
            app.waitForFinished(15000);
        }
    });
    auto sweepRequests = [&sim] {
        return sim.logLines("RX").filter(QRegularExpression("^2a..1f")).size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(sweepRequests() > 3, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(sendWindowClose(display, "Debug Window", false), 10000);
    QVERIFY(sendWindowClose(display, "Orvanel"));
    QVERIFY(app.waitForFinished(30000));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    // The emulator may log the farewell a moment after the program ended.
    QStringList rx;
    (void)QTest::qWaitFor(
        [&] { return (rx = sim.logLines("RX")).filter(QRegularExpression("^2a..02")).size() > 0; },
        10000);
    QVERIFY2(rx.filter(QRegularExpression("^2a..02")).size() > 0,
             qPrintable(rx.mid(rx.size() - 5).join(' '))); // disconnect
}

void tst_App::signalEndsAsQuit_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_App::signalEndsAsQuit()
{
    // While scanning: the program ends as Quit ends it, saying goodbye to the
    // scanner, with exit code 0.
    QFETCH(int, signalNumber);
    SimProcess sim;
    if (!sim.start())
        QSKIP(qPrintable(sim.errorText()));
    QProcess app;
    QProcessEnvironment env = environment();
    // No scan journal of an earlier run may ask to be recovered.
    env.insert("XDG_STATE_HOME", m_dir.filePath(QString("state-") + QTest::currentDataTag()));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(m_exe, {"-port", sim.ptyPath()});
    QVERIFY(app.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(sim.logLines("RX").filter(QRegularExpression("^2a..1f")).size() > 3,
                             30000);
    ::kill(pid_t(app.processId()), signalNumber);
    QVERIFY(app.waitForFinished(30000));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(sim.logLines("RX").filter(QRegularExpression("^2a..02")).size() > 0,
                             10000);
}

QTEST_GUILESS_MAIN(tst_App)
#include "tst_app.moc"
