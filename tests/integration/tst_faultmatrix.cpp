// Every fault the emulator can play, at each point of a session where it
// can strike, against the whole main window. Each cell checks the end state:
// what the user was told, the session down and idle, the actions as a
// disconnected window has them, and every sweep delivered before the fault
// still in the page's history and in the autosave journal.
//
// Cells left out: a hang-up and a stalled sweep need sweeps (the emulator
// counts them), so they strike only while scanning; outdated versions are
// seen at connect, where the update is offered; bootloader faults exist only
// during a firmware update. The update itself speaks the bootloader's
// protocol, whose own faults (spoilt checksum, NACK, bad status, silence)
// stand there for the scanner's bad CRC, garbage, hang-up and slow answers;
// only the scanner's refusal to enter the bootloader (no acknowledgement of
// the reset) is the scanner's own.

#include "devicecomms.h"
#include "dialogseam.h"
#include "fwupdatedialog.h"
#include "mainwindow.h"
#include "scanjournal.h"
#include "simprocess.h"
#include "tabpage2400.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
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
    if (QTest::currentTestFailed())
        qWarning() << "shown:" << m_shown;
    if (m_w) {
        m_w->deviceComms()->shutdown();
        m_w.reset();
    }
    m_sim.stop();
    m_shown.clear();
}

void tst_FaultMatrix::cleanupTestCase()
{
    qInfo().noquote() << "\n    ms | phase    | fault                    | sweeps | shown\n" +
                             m_table.join('\n');
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
    const QString noResponse = "Communication error! No response received";
    const QString crc = "Crc error on received data";
    const QString waiting = "(waiting for the device)";
    const QString save = "Do you want to save the recording?";
    const QString stopped = "The scanner stopped sending data.";
    const QString nack = "Bootloader Error! (NACK)";
    // Frames the emulator sends: 16 for the connect sequence, 8 answers to
    // the setup, then 4 per sweep; frame 66 is in the middle of sweep 11.
    const QString setupFrame = "20", scanFrame = "66";
    const struct
    {
        const char *phase, *fault;
        QStringList simArgs;
        QString shown;
        bool rides;
    } cells[] = {
        {"connect", "no acknowledgement", {"--no-ack", "01"}, silent, false},
        {"connect", "bad CRC", {"--bad-crc", "1"}, crc, false},
        {"connect", "garbage", {"--garbage", "1"}, silent, false},
        {"connect", "slow answers", {"--delay-cmd", "01=400", "--frame-delay", "5"}, save, true},
        {"connect",
         "outdated versions",
         {"--outdated", "--delay-cmd", "05=400"},
         "(update offered)",
         false},
        {"setup", "no acknowledgement", {"--no-ack", "14"}, noResponse, false},
        {"setup", "bad CRC", {"--bad-crc", setupFrame}, crc, false},
        {"setup", "garbage", {"--garbage", setupFrame}, noResponse, false},
        {"setup", "slow answers", {"--delay-cmd", "14=400"}, save, true},
        {"scan", "no acknowledgement", {"--no-ack", "1f"}, noResponse, false},
        {"scan", "bad CRC", {"--bad-crc", scanFrame}, crc, false},
        {"scan", "garbage", {"--garbage", scanFrame}, stopped, false},
        {"scan", "stalled sweep", {"--stall-sweep", "6"}, stopped, false},
        {"scan", "hang-up", {"--hangup-after", "6"}, waiting, false},
        {"scan", "slow answers", {"--frame-delay", "20"}, save, true},
        {"update", "no acknowledgement", {"--no-ack", "80"}, noResponse, false},
        {"update", "bad checksum once", {"--bl-bad-checksum", "3"}, "Update completed", true},
        {"update", "auto-baud NACKed", {"--bl-nack", "55"}, nack, false},
        {"update", "erase NACKed", {"--bl-nack", "26"}, nack, false},
        {"update", "flash failure", {"--bl-status", "24=44"}, "Flash Fail", false},
        {"update", "invalid address", {"--bl-status", "21=43"}, "Invalid Address", false},
        {"update", "bootloader silent", {"--bl-silent-after", "20"}, noResponse, false},
    };
    for (const auto &c : cells)
        QTest::addRow("%s: %s", c.phase, c.fault)
            << QString(c.phase) << c.simArgs << c.shown << c.rides;
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
    QElapsedTimer took;
    took.start();
    m_w->form()->actionConnect->trigger();

    if (phase == "update") {
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 15000);
        dialog->findChild<QAction *>("actionForce_Radio")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->running(), 60000);
        dialog->findChild<QAction *>("actionCancel")->trigger();
    } else if (shown == "(update offered)") {
        QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 15000);
        // The offer comes with the versions, while the connect still reads
        // the band parameters; once it ends, nothing scans under the offer.
        QTRY_VERIFY_WITH_TIMEOUT(!dc->busy(), 15000);
        QVERIFY(dc->connected());
        QVERIFY(!dc->scanning());
        QVERIFY(dialog->isVisible());
        m_shown << shown;
        dialog->findChild<QAction *>("actionCancel")->trigger();
        QVERIFY(QMetaObject::invokeMethod(m_w.data(), "on_actionDisconnect_triggered"));
    } else if (phase == "scan" && simArgs.contains("--garbage")) {
        // Whether garbage inside a sweep loses that sweep (the watchdog then
        // ends the scan) or only a frame the session resends depends on how
        // the bytes are split into reads; either end keeps every sweep
        // delivered. A scan that goes on is ended by the user.
        QTRY_VERIFY_WITH_TIMEOUT(!m_shown.isEmpty() || sweeps.count() >= 20, 30000);
        if (m_shown.isEmpty()) {
            shown = "Do you want to save the recording?";
            rides = true;
            QVERIFY(QMetaObject::invokeMethod(m_w.data(), "on_actionDisconnect_triggered"));
        }
    } else if (rides) {
        // Past the fault the scan goes on; the user ends it.
        QTRY_VERIFY_WITH_TIMEOUT(sweeps.count() >= (phase == "scan" ? 20 : 3), 20000);
        QVERIFY(dc->scanning());
        QVERIFY(m_shown.isEmpty());
        QVERIFY(QMetaObject::invokeMethod(m_w.data(), "on_actionDisconnect_triggered"));
    }
    // A pulled cable is waited for, without a message, until Stop.
    QTRY_VERIFY_WITH_TIMEOUT(!m_shown.isEmpty() || m_w->waitingForDevice(), 30000);
    if (m_shown.isEmpty() && m_w->waitingForDevice()) {
        m_shown << "(waiting for the device)";
        m_w->form()->actionStop->trigger();
    }
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 15000);
    // Each mid-scan fault struck a running scan.
    if (phase == "scan" && !rides && !simArgs.contains("1f"))
        QVERIFY(sweeps.count() >= 5);

    QVERIFY2(m_shown.first().startsWith(shown.contains("%1") ? shown.arg(m_sim.ptyPath()) : shown),
             qPrintable(m_shown.first()));
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
    if (phase != "update")
        QTRY_COMPARE_WITH_TIMEOUT(journalSweeps(), delivered, 10000);

    m_table << QStringLiteral("%5 | %1 | %2 | %3 | %4")
                   .arg(phase, -8)
                   .arg(QString(QTest::currentDataTag()).section(": ", 1), -24)
                   .arg(delivered, 6)
                   .arg(m_shown.join(" / ").replace('\n', ' ').left(80))
                   .arg(took.elapsed(), 6);
}

QTEST_MAIN(tst_FaultMatrix)
#include "tst_faultmatrix.moc"
