#include "devicecomms.h"
#include "dialogseam.h"
#include "fwupdatedialog.h"
#include "mainwindow.h"
#include "rfspectrumhistory.h"
#include "simprocess.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

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
    if (!host)
        return;
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

    // Reconnecting shows the version of the flashed image, and the host,
    // still old, is offered again.
    m_w->form()->actionConnect->trigger();
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

QTEST_MAIN(tst_MainWindowFirmware)
#include "tst_mainwindowfirmware.moc"
