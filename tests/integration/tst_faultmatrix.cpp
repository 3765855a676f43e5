// Every fault the emulator can play, at each point of a session where it
// can strike, against the whole main window. Each cell checks the end state:
// what the user was told, the session down and idle, the actions as a
// disconnected window has them, and every sweep delivered before the fault
// still in the page's history and in the autosave journal.
//
// Cells left out: a hang-up and a stalled sweep need sweeps (the emulator
// counts them), so they strike only while scanning; outdated versions are
// seen at connect, where the update is offered; bootloader faults exist only
// during a firmware update, and the update starts from a connected session,
// so the scan-side faults have no firmware-update cell.

#include "devicecomms.h"
#include "dialogseam.h"
#include "fwupdatedialog.h"
#include "mainwindow.h"
#include "scanjournal.h"
#include "simprocess.h"
#include "tabpage2400.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class tst_FaultMatrix : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void cell_data();
    void cell();

private:
    int journalSweeps() const;

    QTemporaryDir m_home;
    SimProcess m_sim;
    QScopedPointer<MainWindow> m_w;
    QStringList m_shown;
    QStringList m_table;
    int m_cells = 0;
};

void tst_FaultMatrix::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toLocal8Bit());
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    DialogSeam::setHandler([this](const DialogSeam::Request &r) -> QVariant {
        m_shown << r.text;
        // Neither saved nor discarded: the journal stays for the check.
        if (r.title == QLatin1String("Recording stopped"))
            return int(QMessageBox::Cancel);
        return r.kind == DialogSeam::Request::Message ? QVariant(r.defaultButton) : QVariant();
    });
    if (SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_SIM not set: the scanner emulator is needed");
    QProcess make;
    make.start(SimProcess::executable(), {"--make-test-images", m_home.path()});
    QVERIFY(make.waitForFinished(30000));
    QCOMPARE(make.exitCode(), 0);
    qputenv("ORVANEL_FIRMWARE_DIR", m_home.path().toLocal8Bit());
}

void tst_FaultMatrix::cleanup()
{
    if (QTest::currentTestFailed()) {
        qWarning() << "shown:" << m_shown;
        const QStringList log = m_sim.logLines();
        for (const QString &line : log.mid(qMax(0, log.size() - 20)))
            qWarning().noquote() << "sim:" << line.left(100);
    }
    if (m_w) {
        m_w->deviceComms()->shutdown();
        m_w.reset();
    }
    m_sim.stop();
    m_shown.clear();
}

void tst_FaultMatrix::cleanupTestCase()
{
    qInfo().noquote() << QStringLiteral("\n%1 | %2 | %3 | %4\n")
                             .arg("phase", -8)
                             .arg("fault", -24)
                             .arg("sweeps", 6)
                             .arg("shown")
                      << m_table.join('\n');
}

int tst_FaultMatrix::journalSweeps() const
{
    const QDir dir(ScanJournal::directory());
    int n = 0;
    for (const QString &name : dir.entryList({"*" + ScanJournal::FileSuffix}, QDir::Files))
        n += ScanJournal::readFile(dir.filePath(name)).history.samples.size();
    return n;
}

void tst_FaultMatrix::cell_data()
{
    QTest::addColumn<QString>("phase");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("shown"); // the start of the first message
    QTest::addColumn<bool>("rides");    // the session rides out the fault

    const QString silent = "The device on %1 did not answer.";
    const QString lost = "The connection to the device was lost.";
    const QString save = "Do you want to save the recording?";
    // The emulator's frames up to the end of the connect sequence, and
    // up to the first sweep once scanning: setup faults land in between.
    const QString setupFrame = "9", scanFrame = "30";

    QTest::newRow("connect: no acknowledgement")
        << "connect" << QStringList{"--no-ack", "01"} << silent << false;
    QTest::newRow("connect: bad CRC") << "connect" << QStringList{"--bad-crc", "1"} << save << true;
    QTest::newRow("connect: garbage") << "connect" << QStringList{"--garbage", "1"} << save << true;
    QTest::newRow("connect: slow answers")
        << "connect" << QStringList{"--delay-cmd", "01=400", "--frame-delay", "5"} << save << true;
    QTest::newRow("connect: outdated versions")
        << "connect" << QStringList{"--outdated"} << "(update offered)" << false;

    QTest::newRow("setup: no acknowledgement")
        << "setup" << QStringList{"--no-ack", "14"} << silent << false;
    QTest::newRow("setup: bad CRC")
        << "setup" << QStringList{"--bad-crc", setupFrame} << save << true;
    QTest::newRow("setup: garbage")
        << "setup" << QStringList{"--garbage", setupFrame} << save << true;
    QTest::newRow("setup: slow answers")
        << "setup" << QStringList{"--delay-cmd", "14=400"} << save << true;

    QTest::newRow("scan: no acknowledgement")
        << "scan" << QStringList{"--no-ack", "1f"} << lost << false;
    QTest::newRow("scan: bad CRC") << "scan" << QStringList{"--bad-crc", scanFrame} << save << true;
    QTest::newRow("scan: garbage") << "scan" << QStringList{"--garbage", scanFrame} << save << true;
    QTest::newRow("scan: stalled sweep")
        << "scan" << QStringList{"--stall-sweep", "6"} << lost << false;
    QTest::newRow("scan: hang-up") << "scan" << QStringList{"--hangup-after", "6"} << lost << false;
    QTest::newRow("scan: slow answers")
        << "scan" << QStringList{"--frame-delay", "20"} << save << true;

    const QString failed = "Error while updating the radio firmware";
    QTest::newRow("update: no acknowledgement")
        << "update" << QStringList{"--no-ack", "80"} << failed << false;
    QTest::newRow("update: bad checksum once") << "update" << QStringList{"--bl-bad-checksum", "3"}
                                               << "Update completed successfully!" << true;
    QTest::newRow("update: auto-baud NACKed")
        << "update" << QStringList{"--bl-nack", "55"} << failed << false;
    QTest::newRow("update: erase NACKed")
        << "update" << QStringList{"--bl-nack", "26"} << failed << false;
    QTest::newRow("update: flash failure")
        << "update" << QStringList{"--bl-status", "24=44"} << failed << false;
    QTest::newRow("update: invalid address")
        << "update" << QStringList{"--bl-status", "21=43"} << failed << false;
    QTest::newRow("update: bootloader silent")
        << "update" << QStringList{"--bl-silent-after", "20"} << failed << false;
}

void tst_FaultMatrix::cell()
{
    QFETCH(QString, phase);
    QFETCH(QStringList, simArgs);
    QFETCH(QString, shown);
    QFETCH(bool, rides);
    // A journal directory per cell: journals of one cell never count in the next.
    const QString state = m_home.filePath(QString("state%1").arg(++m_cells));
    qputenv("XDG_STATE_HOME", state.toLocal8Bit());

    if (phase == "update")
        simArgs << "--outdated"
                << "--fast";
    else
        simArgs << "--rate"
                << "50";
    QVERIFY2(m_sim.start(simArgs), qPrintable(m_sim.errorText()));
    m_w.reset(new MainWindow(nullptr, false));
    m_w->processArguments({"orvanel", "-port", m_sim.ptyPath()});
    m_w->show();
    DeviceComms *dc = m_w->deviceComms();
    QSignalSpy sweeps(dc, &DeviceComms::rfsaGetSpecNoInitDone);
    FwUpdateDialog *dialog = m_w->fwUpdateDialog();
    const auto idle = [dc] { return !dc->connected() && !dc->busy(); };
    m_w->form()->actionConnect->trigger();

    if (phase == "update") {
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 15000);
        dialog->findChild<QAction *>("actionForce_Radio")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->running(), 60000);
        dialog->findChild<QAction *>("actionCancel")->trigger();
    } else if (shown == "(update offered)") {
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 15000);
        QVERIFY(!dc->scanning()); // nothing scans under the offer
        QVERIFY(!dc->busy());
        m_shown << shown;
        dialog->findChild<QAction *>("actionCancel")->trigger();
        QVERIFY(QMetaObject::invokeMethod(m_w.data(), "on_actionDisconnect_triggered"));
    } else if (rides) {
        // Past the fault the scan goes on; the user ends it.
        QTRY_VERIFY_WITH_TIMEOUT(sweeps.count() >= (phase == "scan" ? 20 : 3), 20000);
        QVERIFY(dc->scanning());
        QVERIFY(m_shown.isEmpty());
        QVERIFY(QMetaObject::invokeMethod(m_w.data(), "on_actionDisconnect_triggered"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!m_shown.isEmpty(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 15000);
    if (phase == "scan" && !rides)
        QVERIFY(sweeps.count() >= 5); // the fault struck a running scan

    QVERIFY2(m_shown.first().startsWith(shown.arg(m_sim.ptyPath())), qPrintable(m_shown.first()));
    const MainWindowForm *f = m_w->form();
    QVERIFY(f->actionConnect->isEnabled());
    QVERIFY(!f->actionDisconnect->isEnabled());
    QVERIFY(f->actionRecord->isEnabled());
    QVERIFY(!f->actionStop->isEnabled());
    QVERIFY(f->actionOpen->isEnabled());
    // Nothing delivered is lost: the page holds every sweep, and so does
    // the journal once its last batch is written.
    const int delivered = sweeps.count();
    QCOMPARE(m_w->page2400()->bandHistory().sampleCount(), delivered);
    QTRY_COMPARE_WITH_TIMEOUT(journalSweeps(), delivered, 10000);

    m_table << QStringLiteral("%1 | %2 | %3 | %4")
                   .arg(phase, -8)
                   .arg(QString(QTest::currentDataTag()).section(": ", 1), -24)
                   .arg(delivered, 6)
                   .arg(m_shown.join(" / ").replace('\n', ' ').left(90));
}

QTEST_MAIN(tst_FaultMatrix)
#include "tst_faultmatrix.moc"
