#include "devicecomms.h"
#include "dfuutilrunner.h"
#include "dialogseam.h"
#include "fwupdatedialog.h"
#include "mainwindow.h"
#include "rfspectrumhistory.h"
#include "signalwatcher.h"
#include "simprocess.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <csignal>

// The main window's side of the firmware update against the emulator: the
// offer when the reported versions differ, no scan under the open dialog,
// and an update run from the offer to the new version after reconnecting.
class tst_MainWindowFirmware : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void offer_data();
    void offer();
    void quitDuringUpdate_data();
    void quitDuringUpdate();
    void finishHostUpdateAtConnect();

private:
    QStringList labels() const;

    QTemporaryDir m_home;
    SimProcess m_sim;
    QScopedPointer<MainWindow> m_w;
    QStringList m_boxes;
};

void tst_MainWindowFirmware::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toLocal8Bit());
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    DialogSeam::setHandler([this](const DialogSeam::Request &r) -> QVariant {
        m_boxes << r.text;
        // Leaving after an update lets the sweeps taken before it go.
        if (r.text.endsWith("Do you want to save the recording?"))
            return QVariant(int(QMessageBox::No));
        return r.kind == DialogSeam::Request::Message ? QVariant(r.defaultButton) : QVariant();
    });
    if (SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_SIM not set: the scanner emulator is needed");
    QProcess make;
    make.start(SimProcess::executable(), {"--make-test-images", m_home.path()});
    QVERIFY(make.waitForFinished(30000));
    if (make.exitCode() == 0)
        qputenv("ORVANEL_FIRMWARE_DIR", m_home.path().toLocal8Bit());
}

void tst_MainWindowFirmware::cleanup()
{
    if (m_w) {
        m_w->deviceComms()->shutdown();
        m_w.reset();
    }
    m_sim.stop();
    m_boxes.clear();
}

QStringList tst_MainWindowFirmware::labels() const
{
    QStringList texts;
    for (QLabel *l : m_w->statusBar()->findChildren<QLabel *>())
        if (l->text().startsWith("R: ") || l->text().startsWith("H: "))
            texts << l->text();
    texts.sort();
    return texts;
}

void tst_MainWindowFirmware::offer_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<bool>("radio");
    QTest::addColumn<bool>("host");
    QTest::newRow("carried versions") << QStringList{} << false << false;
    QTest::newRow("radio differs")
        << QStringList{"--radio-version", "1.0.0.9.0.1"} << true << false;
    QTest::newRow("both older, radio updated") << QStringList{"--outdated"} << true << true;
}

void tst_MainWindowFirmware::offer()
{
    QFETCH(QStringList, simArgs);
    QFETCH(bool, radio);
    QFETCH(bool, host);
    QVERIFY2(m_sim.start(simArgs << "--fast"), qPrintable(m_sim.errorText()));
    m_w.reset(new MainWindow(nullptr, false));
    m_w->processArguments({"orvanel", "-port", m_sim.ptyPath()});
    m_w->show();
    DeviceComms *dc = m_w->deviceComms();
    FwUpdateDialog *dialog = m_w->fwUpdateDialog();
    m_w->form()->actionConnect->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(dc->connected(), 15000);
    if (!radio && !host) {
        QTRY_VERIFY_WITH_TIMEOUT(dc->scanning(), 15000);
        QVERIFY(!dialog->isVisible());
        return;
    }
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->updRadio(), radio);
    QCOMPARE(dialog->updHost(), host);
    QTest::qWait(500);
    QVERIFY(!dc->scanning()); // no scan under the offer
    QVERIFY(!dc->busy());
    if (!host) {
        // "Remind me later": not offered again at the next connect.
        QCOMPARE(dialog->findChild<QAction *>("actionCancel")->text(), "Remind me later");
        dialog->findChild<QAction *>("actionCancel")->trigger();
        dc->disconnectFromDevice();
        QTRY_VERIFY_WITH_TIMEOUT(!dc->connected() && !dc->busy(), 15000);
        m_w->form()->actionConnect->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(dc->connected(), 15000);
        QTest::qWait(500);
        QVERIFY(!dialog->isVisible());
        return;
    }
    if (qEnvironmentVariableIsEmpty("ORVANEL_FIRMWARE_DIR"))
        QSKIP("This emulator makes no test images");

    // The radio update from the offer; the window offers nothing that would
    // use the port meanwhile.
    dialog->findChild<QAction *>("actionForce_Radio")->trigger();
    QVERIFY(dc->updateLocked());
    QVERIFY(!m_w->form()->actionConnect->isEnabled());
    QVERIFY(!m_w->form()->actionRecord->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->running(), 60000);
    QVERIFY2(m_boxes.contains("Update completed successfully!"), qPrintable(m_boxes.join('|')));
    QVERIFY(m_w->form()->actionConnect->isEnabled());
    dialog->findChild<QAction *>("actionCancel")->trigger();
    QVERIFY(!dialog->isVisible());

    // The window reconnects by itself: the radio shows the version of the
    // flashed image, and the host, still old, is offered again.
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 15000);
    QVERIFY(dialog->updHost());
    QFile file(m_home.filePath("7140_orvanel_radio.bin"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray image = file.readAll();
    const QByteArray tag("ORVANEL-RADIO-VERSION:");
    const int at = image.indexOf(tag) + tag.size();
    const QString version = QString::fromLatin1(image.mid(at, image.indexOf('\0', at) - at));
    QVERIFY2(labels().contains("R: v" + version), qPrintable(labels().join(' ')));
}

void tst_MainWindowFirmware::quitDuringUpdate_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Quit") << "quit";
    QTest::newRow("closing the window") << "close";
    QTest::newRow("SIGTERM") << "term";
    QTest::newRow("SIGINT") << "int";
}

void tst_MainWindowFirmware::quitDuringUpdate()
{
    QFETCH(QString, how);
    if (qEnvironmentVariableIsEmpty("ORVANEL_FIRMWARE_DIR"))
        QSKIP("This emulator makes no test images");
    // The radio stops answering at the chip id: the update runs for the
    // 2 s of its time-out.
    QVERIFY2(m_sim.start({"--fast", "--bl-silent-at", "28"}), qPrintable(m_sim.errorText()));
    m_w.reset(new MainWindow(nullptr, false));
    m_w->processArguments({"orvanel", "-port", m_sim.ptyPath()});
    m_w->show();
    m_w->form()->actionConnect->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(m_w->deviceComms()->connected(), 15000);
    // Wired as the program's entry function wires it.
    SignalWatcher signalWatcher({SIGINT, SIGTERM});
    connect(&signalWatcher, &SignalWatcher::received, m_w.data(), [this] { m_w->quitOnSignal(); });
    FwUpdateDialog *dialog = m_w->fwUpdateDialog();
    dialog->show();
    dialog->findChild<QAction *>("actionForce_Radio")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(dialog->running(), 5000);
    // What the dialog says while it runs, with every button but none usable.
    QVERIFY(dialog->findChild<QLabel *>("lblWarning")->isVisible());
    const QString versions = dialog->findChild<QLabel *>("lblVersions")->text();
    QVERIFY2(versions.contains("Radio processor: v1.0.0.9.0.0 \u2192 v1.0.0.9.0.0 \u2014 being "
                               "updated") &&
                 versions.contains("Host processor: v1.0.0.9.0.69 (no update)"),
             qPrintable(versions));
    QVERIFY(!dialog->findChild<QToolButton *>("tbExtra")->isEnabled());
    QVERIFY(!dialog->findChild<QAction *>("actionCancel")->isEnabled());
    m_boxes.clear();
    if (how == "quit")
        m_w->form()->actionQuit->trigger();
    else if (how == "close")
        QVERIFY(!m_w->close());
    else
        ::raise(how == "term" ? SIGTERM : SIGINT);
    QTRY_VERIFY_WITH_TIMEOUT(!m_boxes.isEmpty(), 5000);
    QVERIFY2(m_boxes.at(0).contains("The firmware update is still running"),
             qPrintable(m_boxes.join('|')));
    QVERIFY(m_w->isVisible());
    QVERIFY(dialog->running());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->running(), 30000);
    dialog->reject();
    if (how == "close")
        QVERIFY(m_w->close()); // once the update has ended
}

void tst_MainWindowFirmware::finishHostUpdateAtConnect()
{
    if (qEnvironmentVariableIsEmpty("ORVANEL_FIRMWARE_DIR"))
        QSKIP("This emulator makes no test images");
    // No serial scanner, but a stand-in dfu-util lists its host processor
    // in DFU mode and takes the download.
    const QString tool = m_home.filePath("dfu-util");
    QFile script(tool);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n[ \"$1\" = -l ] && echo 'Found DFU: [" +
                 DfuUtilRunner::deviceId().toLatin1() +
                 "] ver=2200, devnum=9, cfg=1, intf=0, path=\"1-1\", alt=0, name=\"x\", "
                 "serial=\"S\"' && exit 0\nprintf 'Download done.\\nFile downloaded "
                 "successfully\\n'\n");
    script.close();
    QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    qputenv("ORVANEL_DFU_UTIL", tool.toLocal8Bit());
    m_w.reset(new MainWindow(nullptr, false));
    m_w->show();
    m_w->form()->actionConnect->trigger();
    qunsetenv("ORVANEL_DFU_UTIL");
    QVERIFY2(m_boxes.value(0).endsWith("Finish the host update?"), qPrintable(m_boxes.join('|')));
    QTRY_VERIFY_WITH_TIMEOUT(m_boxes.contains("Update completed successfully!"), 30000);
}

QTEST_MAIN(tst_MainWindowFirmware)
#include "tst_mainwindowfirmware.moc"
