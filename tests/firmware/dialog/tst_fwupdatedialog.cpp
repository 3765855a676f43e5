// The update dialog end to end: the host flow against a device stand-in on a
// pty and a stand-in dfu-util that prints the real progress stream; the
// radio flow against the scanner emulator's bootloader.

#include "devicecomms.h"
#include "dfuutilrunner.h"
#include "dialogseam.h"
#include "fwupdatedialog.h"
#include "ptypair.h"
#include "rfsaframe.h"
#include "simprocess.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int Wait = 30000; // two shared cores, several builds at once

QAction *action(FwUpdateDialog &d, const char *name)
{
    return d.findChild<QAction *>(QLatin1String(name));
}

QString info(FwUpdateDialog &d)
{
    return d.findChild<QLabel *>(QStringLiteral("lblInfo"))->text();
}

} // namespace

class TestFwUpdateDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void withoutImages();
    void hostFlow_data();
    void hostFlow();
    void radioFlow_data();
    void radioFlow();
    void recovery_data();
    void recovery();

private:
    //! Writes the emulator's images; returns the radio image's version.
    QString makeRadioImages();
    void verifyRadioVersion(const QString &version);
    void makeDialog(const QString &port);
    //! Runs Start (or a Force action) and waits for the end; false on no end.
    bool runUpdate(const char *actionName);
    void verifyUsableAfterwards(bool ok);

    QTemporaryDir dir;
    QString imageDir;
    std::unique_ptr<DeviceComms> dc;
    std::unique_ptr<FwUpdateDialog> dialog;
    QList<QVariantList> ends;
    QStringList boxes;
};

void TestFwUpdateDialog::initTestCase()
{
    registerDeviceMetaTypes();
    QVERIFY(dir.isValid());
    imageDir = dir.filePath("images");
    QVERIFY(QDir().mkpath(imageDir));
    // dfu-util 0.11 as the scanner's host processor meets it: "-l" lists the
    // devices on the "bus" (files the device side puts there), a download
    // prints the real progress stream and ends as ORVANEL_TEST_DFU says.
    QFile source(QStringLiteral(STAND_IN_DFU_UTIL));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QFile script(dir.filePath("dfu-util"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(source.readAll().replace("@ID@", DfuUtilRunner::deviceId().toLatin1()));
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(QDir().mkpath(dir.filePath("bus")));
    qputenv("ORVANEL_TEST_DIR", dir.path().toLocal8Bit());
    qputenv("ORVANEL_FIRMWARE_DIR", imageDir.toLocal8Bit());
}

void TestFwUpdateDialog::init()
{
    ends.clear();
    boxes.clear();
    DialogSeam::setHandler([this](const DialogSeam::Request &r) {
        boxes << r.title + QLatin1Char('|') + r.text;
        return QVariant(r.defaultButton);
    });
    QFile::remove(dir.filePath("runs"));
    QFile::remove(dir.filePath("modes"));
    QDir(dir.filePath("bus")).removeRecursively();
    QVERIFY(QDir().mkpath(dir.filePath("bus")));
    qputenv("ORVANEL_DFU_UTIL", dir.filePath("dfu-util").toLocal8Bit());
}

void TestFwUpdateDialog::cleanup()
{
    dialog.reset();
    dc.reset();
    DialogSeam::setHandler(nullptr);
    for (const QString &name : QDir(imageDir).entryList(QDir::Files))
        QFile::remove(QDir(imageDir).filePath(name));
}

void TestFwUpdateDialog::makeDialog(const QString &port)
{
    dc.reset(new DeviceComms);
    dc->setPortName(port);
    dialog.reset(new FwUpdateDialog(dc.get()));
    FwUpdateDialog::Timings t;
    t.dfuStartDelayMs = 50;
    t.dfuSearchWindowMs = 1500;
    t.dfuRetryDelayMs = 200;
    t.dfuRunTimeoutMs = 3000;
    dialog->setTimings(t);
    connect(dialog.get(), &FwUpdateDialog::updateFinished, this,
            [this](bool ok, const QString &message) {
                ends << QVariantList{ok, message};
            });
}

bool TestFwUpdateDialog::runUpdate(const char *actionName)
{
    dialog->show();
    action(*dialog, actionName)->trigger();
    if (dialog->running()) {
        // Nothing closes it, and nothing else reaches the device, while the
        // update runs (the flows below fail or see extra frames otherwise).
        dialog->reject();
        dc->rfsaSync();
        dc->connectToDevice(false);
        dc->sendRfSetupAndScan({});
        if (!dialog->isVisible() || action(*dialog, "actionForce_Radio")->isEnabled() ||
            action(*dialog, "actionCancel")->isEnabled())
            return false;
    }
    return QTest::qWaitFor([this] { return !ends.isEmpty(); }, Wait);
}

void TestFwUpdateDialog::verifyUsableAfterwards(bool ok)
{
    QVERIFY(!dialog->running());
    QVERIFY(!dc->updateLocked());
    QVERIFY(action(*dialog, "actionCancel")->isEnabled());
    if (!ok)
        QVERIFY(action(*dialog, "actionStart")->isEnabled());
    dialog->reject();
    QVERIFY(!dialog->isVisible());
}

void TestFwUpdateDialog::withoutImages()
{
    makeDialog(QStringLiteral("/nonexistent"));
    dialog->setUpdRadio(true);
    dialog->show();
    QVERIFY(info(*dialog).contains("carries no firmware images"));
    QVERIFY(!action(*dialog, "actionStart")->isEnabled());
    QVERIFY(!action(*dialog, "actionForce_Radio")->isEnabled());

    // An empty radio image is refused before the device is touched (the
    // port does not even exist).
    QFile empty(QDir(imageDir).filePath("7140_orvanel_radio.bin"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    dialog->hide();
    dialog->show();
    QVERIFY(action(*dialog, "actionStart")->isEnabled());
    QVERIFY(runUpdate("actionStart"));
    QCOMPARE(ends.at(0).at(0).toBool(), false);
    QVERIFY(ends.at(0).at(1).toString().contains("is empty"));
    QVERIFY(!dc->busy());
    verifyUsableAfterwards(false);
}

void TestFwUpdateDialog::hostFlow_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("devices"); // DFU devices with the scanner's id that show up
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("phases");
    QTest::newRow("exit 0") << "ok" << 1 << true << ""
                            << "Erase,Download";
    // -1: the emulator, whose port goes away and which shows up as a DFU device.
    QTest::newRow("emulator re-enumerates in DFU mode") << "ok" << -1 << true << ""
                                                        << "Erase,Download";
    QTest::newRow("get_status error after the download") << "getstatus" << 1 << true << ""
                                                         << "Erase,Download";
    QTest::newRow("74, no device")
        << "74" << 1 << false << "exited with code 74: dfu-util: No DFU capable"
        << "";
    QTest::newRow("74, I/O error during the download")
        << "ioerror" << 1 << false << "code 74: dfu-util: Error during special command"
        << "Erase,Download";
    QTest::newRow("none shows up") << "ok" << 0 << false << "did not show up in DFU mode"
                                   << "";
    QTest::newRow("two devices") << "ok" << 2 << false << "More than one device"
                                 << "";
    QTest::newRow("killed") << "killed" << 1 << false << "dfu-util crashed"
                            << "Erase,Download";
    QTest::newRow("hang") << "hang" << 1 << false << "did not finish within 3 s"
                          << "";
    QTest::newRow("not installed") << "missing" << 1 << false << "dfu-util not found"
                                   << "";
}

void TestFwUpdateDialog::hostFlow()
{
    QFETCH(QString, mode);
    QFETCH(int, devices);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QString, phases);
    qputenv("ORVANEL_TEST_DFU", mode.toLocal8Bit());
    if (mode == "missing")
        qputenv("ORVANEL_DFU_UTIL", "/nonexistent/dfu-util");
    QFile image(QDir(imageDir).filePath("7140_orvanel_host.dfu"));
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write(QByteArray(1000, 'h'));
    image.close();

    // The host processor: acknowledges every scanner command; the second
    // host-bootloader command (the update's) puts it on the bus in DFU mode.
    PtyPair pty;
    QVERIFY(pty.isValid());
    QByteArray in;
    QList<int> commands;
    QTimer device;
    connect(&device, &QTimer::timeout, this, [&] {
        in += pty.readAvailable();
        for (auto f = RfsaFrame::parseFront(in); f.status == RfsaFrame::Scan::Frame;
             f = RfsaFrame::parseFront(in)) {
            commands << f.command;
            in.remove(0, f.size);
            pty.write(RfsaFrame::buildFrame(f.command));
            if (commands.count(RfsaFrame::CmdHostBL) != 2)
                continue;
            for (int i = 0; i < devices; ++i) {
                QFile dev(dir.filePath(QStringLiteral("bus/%1.dev").arg(i)));
                QVERIFY(dev.open(QIODevice::WriteOnly));
                dev.write(QStringLiteral("Found DFU: [%1] ver=2200, devnum=%2, cfg=1, intf=0, "
                                         "path=\"1-%2\", alt=0, name=\"@Internal Flash\", "
                                         "serial=\"S%2\"\n")
                              .arg(DfuUtilRunner::deviceId())
                              .arg(i + 1)
                              .toLatin1());
            }
        }
    });
    device.start(2);

    SimProcess sim;
    if (devices < 0) {
        if (SimProcess::executable().isEmpty())
            QSKIP("ORVANEL_SIM not set: the scanner emulator is needed");
        QVERIFY2(sim.start({"--fast", "--dfu-dir", dir.filePath("bus")}),
                 qPrintable(sim.errorText()));
    }
    makeDialog(devices < 0 ? sim.ptyPath() : pty.slavePath());
    QStringList seen;
    connect(dialog->dfuUtil(), &DfuUtilRunner::progress, this,
            [&](DfuOutputParser::Phase phase, int) {
                const QString name = DfuOutputParser::phaseName(phase);
                if (!seen.contains(name))
                    seen << name;
            });
    if (devices >= 0) {
        // A hand-sent host-bootloader command never starts dfu-util.
        dc->rfsaHostBL();
        QTRY_VERIFY_WITH_TIMEOUT(!dc->busy(), Wait);
        QTest::qWait(200);
        QVERIFY(!dialog->dfuUtil()->isRunning());
        QVERIFY(!QFile::exists(dir.filePath("runs")));
    }

    QVERIFY(runUpdate("actionForce_Host"));
    QCOMPARE(ends.at(0).at(0).toBool(), ok);
    QVERIFY2(ends.at(0).at(1).toString().contains(message),
             qPrintable(ends.at(0).at(1).toString()));
    QCOMPARE(seen.join(','), phases);
    if (devices < 0) {
        QTRY_VERIFY_WITH_TIMEOUT(!sim.running(), Wait); // gone from the serial side
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(sim.logLines("RX").filter(QRegularExpression("^2a..81")).size(), 1);
        QVERIFY(!boxes.join('|').contains("lost")); // and nobody complains
    } else {
        QCOMPARE(commands, (QList<int>{RfsaFrame::CmdHostBL, RfsaFrame::CmdHostBL}));
    }
    // Only ever written to the one device with the scanner's id, named by its path.
    const QStringList args = dialog->dfuUtil()->arguments();
    if (mode != "missing" && devices == 1)
        QCOMPARE(args.mid(0, 6),
                 (QStringList{"-d", DfuUtilRunner::deviceId(), "-p", "1-1", "-S", "S1"}));
    if (devices < 0)
        QCOMPARE(args.mid(0, 4), (QStringList{"-d", DfuUtilRunner::deviceId(), "-p", "1-1.3"}));
    const int runs = [this] {
        QFile f(dir.filePath("runs"));
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
    }();
    QVERIFY(devices == 1 || devices < 0 || runs == 0); // refused before any download
    if (mode == "74")
        QVERIFY(runs >= 2); // tried again while it did not show
    if (runs > 0) {
        // Only the user may touch the image dfu-util writes into the device.
        QFile modes(dir.filePath("modes"));
        QVERIFY(modes.open(QIODevice::ReadOnly));
        QCOMPARE(modes.readAll().trimmed(), QByteArray("600 700"));
    }
    if (ok) {
        QVERIFY(boxes.contains("Update completed|Update completed successfully!"));
        QVERIFY(!dialog->isVisible());
    } else {
        QVERIFY(boxes.last().startsWith("Error|Error while updating the host firmware"));
        verifyUsableAfterwards(false);
    }
}

void TestFwUpdateDialog::radioFlow_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("message"); // empty: success
    QTest::addColumn<bool>("erased");     // the emulator saw a sector erase
    QTest::addColumn<bool>("reset");      // ... and the final reset
    QTest::newRow("flashed and verified") << QStringList{"--outdated"} << "" << true << true;
    QTest::newRow("response checksum spoilt once")
        << QStringList{"--bl-bad-checksum", "3"} << "" << true << true;
    QTest::newRow("auto-baud NACKed")
        << QStringList{"--bl-nack", "55"} << "(NACK)" << false << false;
    QTest::newRow("erase NACKed") << QStringList{"--bl-nack", "26"} << "(NACK)" << true << false;
    QTest::newRow("flash failure")
        << QStringList{"--bl-status", "24=44"} << "Flash Fail" << true << false;
    QTest::newRow("invalid address")
        << QStringList{"--bl-status", "21=43"} << "Invalid Address" << true << false;
    QTest::newRow("goes silent") << QStringList{"--bl-silent-after", "20"} << "No response received"
                                 << true << false;
    QTest::newRow("another chip") << QStringList{"--bl-chip-id", "0000b9be"}
                                  << "not the scanner's radio" << false << true;
    QTest::newRow("smaller flash")
        << QStringList{"--bl-flash-sectors", "16"} << "does not fit" << false << true;
    // The radio stays in its bootloader: no reset may start a wrong image.
    QTest::newRow("read-back CRC differs")
        << QStringList{"--bl-bad-crc"} << "Verification failed" << true << false;
}

QString TestFwUpdateDialog::makeRadioImages()
{
    QProcess make;
    make.start(SimProcess::executable(), {"--make-test-images", imageDir});
    if (!make.waitForFinished(Wait) || make.exitCode() != 0)
        return QString();
    QFile imageFile(QDir(imageDir).filePath("7140_orvanel_radio.bin"));
    if (!imageFile.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray image = imageFile.readAll();
    const QByteArray tag("ORVANEL-RADIO-VERSION:");
    const int at = image.indexOf(tag) + tag.size();
    return QString::fromLatin1(image.mid(at, image.indexOf('\0', at) - at));
}

void TestFwUpdateDialog::verifyRadioVersion(const QString &version)
{
    // Back in the scanner, the radio reports the version its new image carries.
    QSignalSpy versions(dc.get(), &DeviceComms::rfsaGetInfoStrDone);
    dc->rfsaGetInfoString(0, 0);
    QVERIFY(versions.wait(Wait));
    QCOMPARE(versions.at(0).at(2).toString(), version);
}

void TestFwUpdateDialog::radioFlow()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, message);
    QFETCH(bool, erased);
    QFETCH(bool, reset);
    if (SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_SIM not set: the scanner emulator is needed");
    const QString version = makeRadioImages();
    QVERIFY(!version.isEmpty());

    SimProcess sim;
    QVERIFY2(sim.start(simArgs << "--fast"), qPrintable(sim.errorText()));
    makeDialog(sim.ptyPath());
    QProgressBar *bar = dialog->findChild<QProgressBar *>(QStringLiteral("pbProgress"));
    dialog->setUpdRadio(true);
    QVERIFY(runUpdate("actionStart"));
    const QString got = ends.at(0).at(1).toString();
    QVERIFY2(ends.at(0).at(0).toBool() == message.isEmpty(), qPrintable(got));
    QVERIFY2(got.contains(message), qPrintable(got));
    QTest::qWait(100);    // the refusals' reset
    QStringList commands; // the bootloader's command bytes, as it received them
    for (const QString &packet : sim.logLines("BL-RX"))
        commands << (packet.size() >= 6 && packet != "5555" ? packet.mid(4, 2) : packet);
    QCOMPARE(commands.contains("26"), erased);
    QCOMPARE(commands.contains("25"), reset);
    if (erased) // the last sector, which marks the image valid, goes first
        QVERIFY(sim.logLines("BL-RX")
                    .filter(QRegularExpression("^07..26"))
                    .value(0)
                    .endsWith("0001f000"));
    if (message.isEmpty()) {
        QCOMPARE(bar->maximum(), 1);
        QCOMPARE(info(*dialog), QStringLiteral("Update completed"));
        QVERIFY(boxes.contains("Update completed|Update completed successfully!"));
        verifyUsableAfterwards(true);
        verifyRadioVersion(version);
        // Auto-baud comes at least the 100 ms the bootloader asks for after
        // the reset-to-bootloader command.
        QStringList lines = sim.logLines();
        const int autoBaud = lines.indexOf(QRegularExpression("^\\S+ BL-RX 5555$"));
        const int command = lines.lastIndexOf(QRegularExpression("^\\S+ RX 2a..80.*"), autoBaud);
        QVERIFY(autoBaud > 0 && command >= 0);
        QVERIFY(lines.at(autoBaud).section(' ', 0, 0).toDouble() -
                    lines.at(command).section(' ', 0, 0).toDouble() >=
                0.1);
    } else {
        verifyUsableAfterwards(false);
    }
    // Every bootloader answer was acknowledged: the emulator fails the run otherwise.
    QVERIFY(sim.stop());
    QVERIFY2(sim.exitCode() == 0, qPrintable(sim.standardError()));
}

void TestFwUpdateDialog::recovery_data()
{
    QTest::addColumn<QStringList>("simArgs"); // where the first update is cut off
    QTest::addColumn<bool>("atConnect");      // found by connect, or by Start
    QTest::newRow("erase") << QStringList{"--bl-silent-at", "26:5"} << true;
    QTest::newRow("write") << QStringList{"--bl-silent-at", "24:100"} << false;
    QTest::newRow("verify") << QStringList{"--bl-silent-at", "27"} << true;
    QTest::newRow("reset") << QStringList{"--bl-silent-at", "25"} << false;
    QTest::newRow("half-written image at connect") << QStringList{"--bl-half-written"} << true;
    QTest::newRow("half-written image at Start") << QStringList{"--bl-half-written"} << false;
}

void TestFwUpdateDialog::recovery()
{
    QFETCH(QStringList, simArgs);
    QFETCH(bool, atConnect);
    if (SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_SIM not set: the scanner emulator is needed");
    const QString version = makeRadioImages();
    QVERIFY(!version.isEmpty());
    SimProcess sim;
    QVERIFY2(sim.start(simArgs << "--fast"), qPrintable(sim.errorText()));
    if (!simArgs.contains("--bl-half-written")) {
        makeDialog(sim.ptyPath());
        dialog->setUpdRadio(true);
        QVERIFY(runUpdate("actionStart"));
        QVERIFY(!ends.at(0).at(0).toBool());
        // The program ends with the radio left in its bootloader.
        dialog.reset();
        dc.reset();
        ends.clear();
    }
    makeDialog(sim.ptyPath());
    if (atConnect) {
        QSignalSpy waiting(dc.get(), &DeviceComms::radioInBootloader);
        dc->connectToDevice(false);
        QVERIFY(waiting.wait(Wait));
        dialog->finishRadioUpdate();
    } else {
        dialog->setUpdRadio(true);
        dialog->show();
        action(*dialog, "actionStart")->trigger();
    }
    QVERIFY(QTest::qWaitFor([this] { return !ends.isEmpty(); }, Wait));
    QVERIFY2(ends.at(0).at(0).toBool(), qPrintable(ends.at(0).at(1).toString()));
    verifyRadioVersion(version);
    QVERIFY(sim.stop());
    QVERIFY2(sim.exitCode() == 0, qPrintable(sim.standardError()));
}

QTEST_MAIN(TestFwUpdateDialog)
#include "tst_fwupdatedialog.moc"
