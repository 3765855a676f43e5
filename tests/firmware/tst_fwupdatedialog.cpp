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
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int Wait = 30000; // two shared cores, several builds at once

// clang-format off
const char *const StandInDfuUtil = R"SH(#!/bin/sh
[ "$1 $2 $3 $5 $6" = "-a 0 -D -s :leave" ] || exit 64
[ -r "$4" ] || exit 66
echo run >> "$ORVANEL_TEST_DIR/runs"
stat -c '%a' "$4" "$(dirname "$4")" | tr '\n' ' ' > "$ORVANEL_TEST_DIR/modes"
case "$ORVANEL_TEST_DFU" in
74) echo "dfu-util: No DFU capable USB device available" >&2; exit 74 ;;
hang) exec sleep 60 ;;
esac
printf 'dfu-util 0.11\n\nOpening DFU capable USB device...\n'
for p in 0 40 100; do printf '\rErase   \t[=========                ] %3d%%        %d bytes' $p $p; done
printf '\n'
sleep 0.3
for p in 0 45 100; do printf '\rDownload\t[=========                ] %3d%%        %d bytes' $p $p; done
printf '\nDownload done.\n'
[ "$ORVANEL_TEST_DFU" = crash ] && kill -SEGV $$
exit 0
)SH";
// clang-format on

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

private:
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
    QFile script(dir.filePath("dfu-util"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(StandInDfuUtil);
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
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
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("phases");
    QTest::newRow("exit 0") << "ok" << true << ""
                            << "Erase,Download";
    QTest::newRow("no DFU device (74)")
        << "74" << false << "exited with code 74: dfu-util: No DFU capable"
        << "";
    QTest::newRow("crash") << "crash" << false << "dfu-util crashed"
                           << "Erase,Download";
    QTest::newRow("hang") << "hang" << false << "did not finish within 3 s"
                          << "";
    QTest::newRow("not installed") << "missing" << false << "dfu-util not found"
                                   << "";
}

void TestFwUpdateDialog::hostFlow()
{
    QFETCH(QString, mode);
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

    // The host processor: acknowledges every scanner command.
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
        }
    });
    device.start(2);

    makeDialog(pty.slavePath());
    QStringList seen;
    connect(dialog->dfuUtil(), &DfuUtilRunner::progress, this,
            [&](DfuOutputParser::Phase phase, int) {
                const QString name = DfuOutputParser::phaseName(phase);
                if (!seen.contains(name))
                    seen << name;
            });
    // A hand-sent host-bootloader command never starts dfu-util.
    dc->rfsaHostBL();
    QTRY_VERIFY_WITH_TIMEOUT(!dc->busy(), Wait);
    QTest::qWait(200);
    QVERIFY(!dialog->dfuUtil()->isRunning());
    QVERIFY(!QFile::exists(dir.filePath("runs")));

    QVERIFY(runUpdate("actionForce_Host"));
    QCOMPARE(ends.at(0).at(0).toBool(), ok);
    QVERIFY2(ends.at(0).at(1).toString().contains(message),
             qPrintable(ends.at(0).at(1).toString()));
    QCOMPARE(seen.join(','), phases);
    QCOMPARE(commands, (QList<int>{RfsaFrame::CmdHostBL, RfsaFrame::CmdHostBL}));
    if (mode == "74") {
        QFile runs(dir.filePath("runs"));
        QVERIFY(runs.open(QIODevice::ReadOnly));
        QVERIFY(runs.readAll().count('\n') >= 2); // tried again while no device showed
    }
    if (mode != "missing") {
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
    QTest::newRow("flashed and verified") << QStringList{"--outdated"} << "";
    QTest::newRow("response checksum spoilt once") << QStringList{"--bl-bad-checksum", "3"} << "";
    QTest::newRow("auto-baud NACKed") << QStringList{"--bl-nack", "55"} << "(NACK)";
    QTest::newRow("erase NACKed") << QStringList{"--bl-nack", "26"} << "(NACK)";
    QTest::newRow("flash failure") << QStringList{"--bl-status", "24=44"} << "Flash Fail";
    QTest::newRow("invalid address") << QStringList{"--bl-status", "21=43"} << "Invalid Address";
    QTest::newRow("goes silent") << QStringList{"--bl-silent-after", "20"} << "did not answer";
}

void TestFwUpdateDialog::radioFlow()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, message);
    if (SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_SIM not set: the scanner emulator is needed");
    QProcess make;
    make.start(SimProcess::executable(), {"--make-test-images", imageDir});
    QVERIFY(make.waitForFinished(Wait));
    if (make.exitCode() != 0)
        QSKIP("This emulator has no bootloader");
    QFile imageFile(QDir(imageDir).filePath("7140_orvanel_radio.bin"));
    QVERIFY(imageFile.open(QIODevice::ReadOnly));
    const QByteArray image = imageFile.readAll();
    QCOMPARE(image.size(), 131072);
    const QByteArray tag("ORVANEL-RADIO-VERSION:");
    const int at = image.indexOf(tag) + tag.size();
    const QString version = QString::fromLatin1(image.mid(at, image.indexOf('\0', at) - at));

    SimProcess sim;
    QVERIFY2(sim.start(simArgs << "--fast"), qPrintable(sim.errorText()));
    makeDialog(sim.ptyPath());
    QProgressBar *bar = dialog->findChild<QProgressBar *>(QStringLiteral("pbProgress"));
    dialog->setUpdRadio(true);
    QVERIFY(runUpdate("actionStart"));
    const QString got = ends.at(0).at(1).toString();
    QVERIFY2(ends.at(0).at(0).toBool() == message.isEmpty(), qPrintable(got));
    QVERIFY2(got.contains(message), qPrintable(got));
    if (!message.isEmpty()) {
        verifyUsableAfterwards(false);
        return;
    }
    QCOMPARE(bar->maximum(), 32);
    QCOMPARE(bar->value(), 32);
    QCOMPARE(info(*dialog), QStringLiteral("Update completed"));
    QVERIFY(boxes.contains("Update completed|Update completed successfully!"));
    verifyUsableAfterwards(true);

    // Back in the scanner, the radio reports the version its new image carries.
    QSignalSpy versions(dc.get(), &DeviceComms::rfsaGetInfoStrDone);
    dc->rfsaGetInfoString(0, 0);
    QVERIFY(versions.wait(Wait));
    QCOMPARE(versions.at(0).at(2).toString(), version);
}

QTEST_MAIN(TestFwUpdateDialog)
#include "tst_fwupdatedialog.moc"
