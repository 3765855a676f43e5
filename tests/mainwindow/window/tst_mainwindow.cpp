#include "devicecomms.h"
#include "dialogseam.h"
#include "instancechannel.h"
#include "mainwindow.h"
#include "rangeslider.h"
#include "recordingio.h"
#include "simprocess.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

// The main window against the scanner emulator: the action states, what a
// scan sends (the emulator's frame log is the evidence), the tab switch with
// its delayed restart, and the routing of sweeps.
class tst_MainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startState();
    void scanSendsOverridesAndStates();
    void tabSwitchRestartsOtherBand();
    void spaceDuringRestartStops();
    void oneConnectSequence();
    void qcThroughSecondInstance();
    void geometryIsKept();
    void scanWithRecordingTabCurrent();
    void scanEndedWithoutStop_data();
    void scanEndedWithoutStop();
    void silentDeviceOnGivenPort();
    void leavingAsksOnlyForUnsaved_data();
    void leavingAsksOnlyForUnsaved();
    void replugResumesScan();

private:
    bool startWindow(const QStringList &options, const QStringList &simOptions = {});
    bool connectAndScan();
    QStringList payloads(const QString &command) const; //!< RX payloads of one command
    int questionsAsked(const QString &title) const;
    QString sessionState() const;

    QTemporaryDir m_home;
    SimProcess m_sim;
    QScopedPointer<MainWindow> m_w;
    QList<DialogSeam::Request> m_asked;
    QString m_saveAs;                       //!< answer to a save dialog (none: cancel)
    int m_quitAnswer = QMessageBox::Cancel; //!< answer to the question on leaving
};

void tst_MainWindow::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", (m_home.path() + "/state").toLocal8Bit()); // autosave journals
    QCoreApplication::setOrganizationName("Tarnwell");
    QCoreApplication::setApplicationName("Orvanel");
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    DialogSeam::setHandler([this](const DialogSeam::Request &r) -> QVariant {
        m_asked.append(r);
        if (r.kind == DialogSeam::Request::Message && r.title == QLatin1String("Quit"))
            return m_quitAnswer;
        if (r.kind == DialogSeam::Request::Message)
            return r.buttons & QMessageBox::No ? int(QMessageBox::No) : r.defaultButton;
        if (r.kind == DialogSeam::Request::SaveFileName && !m_saveAs.isEmpty())
            return m_saveAs;
        return QVariant(); // every other dialog is cancelled
    });
}

void tst_MainWindow::init()
{
    m_asked.clear();
    m_saveAs.clear();
}

void tst_MainWindow::cleanup()
{
    if (QTest::currentTestFailed()) {
        for (const auto &r : m_asked)
            qWarning() << "asked:" << r.title << r.text;
        const QStringList log = m_sim.logLines();
        for (const QString &line : log.mid(qMax(0, log.size() - 40)))
            qWarning().noquote() << "sim:" << line.left(120);
    }
    if (m_w) {
        // What quitting does: the session ends its thread, with a disconnect.
        m_w->deviceComms()->shutdown();
        m_w.reset();
    }
    m_sim.stop();
}

bool tst_MainWindow::startWindow(const QStringList &options, const QStringList &simOptions)
{
    if (!m_sim.start(simOptions))
        return false;
    m_w.reset(new MainWindow(nullptr, false));
    m_w->processArguments(QStringList{"orvanel", "-port", m_sim.ptyPath()} + options);
    m_w->resize(900, 600);
    m_w->show();
    return true;
}

bool tst_MainWindow::connectAndScan()
{
    m_w->form()->actionConnect->trigger();
    QDeadlineTimer deadline(15000);
    while (!m_w->deviceComms()->scanning() && !deadline.hasExpired())
        QTest::qWait(10);
    return m_w->deviceComms()->scanning();
}

QStringList tst_MainWindow::payloads(const QString &command) const
{
    QStringList out;
    for (const QString &hex : m_sim.logLines("RX"))
        if (hex.size() >= 10 && hex.mid(4, 2) == command)
            out << hex.mid(6, hex.size() - 10);
    return out;
}

int tst_MainWindow::questionsAsked(const QString &title) const
{
    int n = 0;
    for (const auto &r : m_asked)
        n += r.title == title;
    return n;
}

QString tst_MainWindow::sessionState() const
{
    auto *label = m_w->findChild<QLabel *>("lblSessionState");
    return label ? label->text() : QString("(no state label)");
}

struct ActionStates
{
    bool connect, disconnect, scan, stop, open, bandTabs;
};

static void checkStates(MainWindow *w, const ActionStates &s, int line)
{
    const MainWindowForm *f = w->form();
    const QString where = QString("line %1").arg(line);
    QVERIFY2(f->actionConnect->isEnabled() == s.connect, qPrintable(where + " Connect"));
    QVERIFY2(f->actionDisconnect->isEnabled() == s.disconnect, qPrintable(where + " Disconnect"));
    QVERIFY2(f->actionRecord->isEnabled() == s.scan, qPrintable(where + " Scan"));
    QVERIFY2(f->actionStop->isEnabled() == s.stop, qPrintable(where + " Stop"));
    QVERIFY2(f->actionOpen->isEnabled() == s.open, qPrintable(where + " Open"));
    QVERIFY2(f->tabWidget->isTabEnabled(0) == s.bandTabs, qPrintable(where + " tab 0"));
    QVERIFY2(f->tabWidget->isTabEnabled(1) == s.bandTabs, qPrintable(where + " tab 1"));
}
#define CHECK_STATES(...)                                                                          \
    do {                                                                                           \
        checkStates(m_w.data(), ActionStates{__VA_ARGS__}, __LINE__);                              \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (0)

void tst_MainWindow::startState()
{
    MainWindow w(nullptr, false);
    m_w.reset(); // checkStates below works on `w`
    const MainWindowForm *f = w.form();
    QCOMPARE(w.objectName(), QString("MainWindow"));
    QCOMPARE(f->tabWidget->count(), 2);
    QCOMPARE(f->tabWidget->tabText(0), QString("2.4 GHz"));
    QCOMPARE(f->tabWidget->tabText(1), QString("900 MHz"));
    QVERIFY(qobject_cast<TabPage2400 *>(f->tabWidget->widget(0)));
    QVERIFY(qobject_cast<TabPage900 *>(f->tabWidget->widget(1)));
    QVERIFY(!f->tabWidget->tabBar()->tabButton(0, QTabBar::RightSide));
    checkStates(&w, ActionStates{true, false, true, false, true, false}, __LINE__);
    QVERIFY(!f->toolBar->toggleViewAction()->isEnabled());
    QCOMPARE(f->actionRecord->shortcut(), QKeySequence(Qt::Key_Space));
    QCOMPARE(f->actionStop->shortcut(), QKeySequence(Qt::Key_Space));
    QVERIFY(f->dockWidgetWifiList->isHidden());
    QVERIFY(f->dockWidgetKivoIds->isHidden());
    QCOMPARE(w.findChild<QLabel *>("lblSessionState")->text(), QString("Not connected"));
}

void tst_MainWindow::scanSendsOverridesAndStates()
{
    if (!startWindow({"-rbw", "40", "-fstep", "100", "-ampl", "3"}))
        QSKIP(qPrintable(m_sim.errorText()));
    QCOMPARE(m_w->amplitudeOffset(), 3);
    CHECK_STATES(true, false, true, false, true, false);
    QVERIFY(connectAndScan());
    CHECK_STATES(false, false, false, true, false, true);

    // 2.4 GHz, with both overrides: RBW 40 and a 100 kHz step (16.16 MHz).
    QCOMPARE(payloads("14").value(0), QString("02"));
    QCOMPARE(payloads("19").value(0), QString("28"));
    QCOMPARE(payloads("18").value(0), QString("0000199a"));

    // A 100 kHz step over 100 MHz gives 1001 points, and they are taken.
    TabPage2400 *page = m_w->page2400();
    QTRY_VERIFY_WITH_TIMEOUT(page->bandHistory().sampleCount() >= 3, 10000);
    QCOMPARE(page->history().samples.last().spectrum.size(), 1001);
    QCOMPARE(m_w->page900()->bandHistory().sampleCount(), 0);

    m_w->form()->actionStop->trigger();
    QCOMPARE(questionsAsked("Recording stopped"), 1);
    QTRY_VERIFY(!m_w->deviceComms()->scanning());
    CHECK_STATES(false, true, true, false, true, true);

    // Scan again: the histories start afresh.
    const int before = page->bandHistory().sampleCount();
    QVERIFY(before >= 3);
    m_w->form()->actionRecord->trigger();
    QCOMPARE(page->bandHistory().sampleCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_w->deviceComms()->scanning(), 10000);
}

void tst_MainWindow::tabSwitchRestartsOtherBand()
{
    if (!startWindow({"-rbw", "40", "-fstep", "100"}))
        QSKIP(qPrintable(m_sim.errorText()));
    QVERIFY(connectAndScan());
    QTRY_VERIFY_WITH_TIMEOUT(m_w->page2400()->bandHistory().sampleCount() >= 2, 10000);
    const int setups = payloads("14").size();
    QList<bool> tab0AtScanStart, tab0AtScanEnd;
    QObject listening; // ends the connection with this function
    connect(m_w->deviceComms(), &DeviceComms::scanningChanged, &listening, [&](bool scanning) {
        (scanning ? tab0AtScanStart : tab0AtScanEnd) << m_w->form()->tabWidget->isTabEnabled(0);
    });

    m_w->form()->tabWidget->setCurrentIndex(1);
    QVERIFY(m_w->restartPending());
    QVERIFY(!m_w->form()->tabWidget->isTabEnabled(0));
    QVERIFY(m_w->form()->tabWidget->isTabEnabled(1));
    QVERIFY(!m_w->form()->actionRecord->isEnabled());
    QVERIFY(m_w->form()->actionStop->isEnabled());
    // Nothing is sent before the pause is over (the restart is 750 ms away).
    QTest::qWait(300);
    QCOMPARE(payloads("14").size(), setups);
    // The old scan has ended; the 2.4 GHz tab stays off until a 900 MHz sweep.
    // (Read as it ends: on a slow machine the first 900 MHz sweep may follow
    // before a poll would look.)
    QTRY_VERIFY_WITH_TIMEOUT(!tab0AtScanEnd.isEmpty(), 10000);
    QCOMPARE(tab0AtScanEnd.first(), false);

    QTRY_VERIFY_WITH_TIMEOUT(m_w->page900()->bandHistory().sampleCount() >= 1, 10000);
    QCOMPARE(tab0AtScanStart, QList<bool>({false}));
    QCOMPARE(payloads("14").size(), setups + 1);
    QCOMPARE(payloads("14").last(), QString("01"));       // 900 MHz
    QCOMPARE(payloads("19").last(), QString("24"));       // its own RBW 36, no override
    QCOMPARE(payloads("18").last(), QString("00001a6f")); // 103.25 kHz, no override
    QCOMPARE(m_w->page900()->history().samples.last().spectrum.size(), 252);
    QVERIFY(m_w->form()->tabWidget->isTabEnabled(0)); // back with the first sweep
    QTRY_VERIFY(sessionState().startsWith("Scanning 900 MHz on " + m_sim.ptyPath() + ", "));

    // Back to 2.4 GHz: the time it spent in the background is padded.
    const int had = m_w->page2400()->bandHistory().sampleCount();
    QTest::qWait(500);
    m_w->form()->tabWidget->setCurrentIndex(0);
    const RfSpectrumSampleList samples = m_w->page2400()->history().samples;
    QVERIFY(samples.size() > had);
    QCOMPARE(samples.last().spectrum, RfSpectrumScan(1001, qint8(-128)));
    QTRY_VERIFY_WITH_TIMEOUT(payloads("14").size() == setups + 2, 10000);
    QCOMPARE(payloads("14").last(), QString("02"));
    // The step goes out after the band: wait for it rather than read too early.
    QTRY_COMPARE_WITH_TIMEOUT(payloads("18").size(), setups + 2, 10000);
    QCOMPARE(payloads("18").last(), QString("00003333")); // 200 kHz: the band's own step
}

void tst_MainWindow::spaceDuringRestartStops()
{
    if (!startWindow({}))
        QSKIP(qPrintable(m_sim.errorText()));
    QVERIFY(connectAndScan());
    QTRY_VERIFY_WITH_TIMEOUT(m_w->page2400()->bandHistory().sampleCount() >= 2, 10000);
    m_w->form()->tabWidget->setCurrentIndex(1);
    QVERIFY(m_w->restartPending());
    const int kept = m_w->page2400()->bandHistory().sampleCount();
    const int setups = payloads("14").size();

    QApplication::setActiveWindow(m_w.data());
    QTest::keyClick(m_w.data(), Qt::Key_Space);
    QVERIFY(!m_w->restartPending());
    QVERIFY(!m_w->scanWanted());
    QCOMPARE(questionsAsked("Recording stopped"), 1);
    QTest::qWait(1200);
    QCOMPARE(payloads("14").size(), setups); // no scan of either band follows
    QVERIFY(!m_w->deviceComms()->scanning());
    QVERIFY(m_w->page2400()->bandHistory().sampleCount() >= kept); // nothing cleared
    QVERIFY(m_w->form()->actionRecord->isEnabled());
    QVERIFY(m_w->form()->tabWidget->isTabEnabled(0));
}

void tst_MainWindow::oneConnectSequence()
{
    if (!startWindow({}))
        QSKIP(qPrintable(m_sim.errorText()));
    // The automatic connect plus an impatient click.
    m_w->form()->actionConnect->trigger();
    m_w->form()->actionConnect->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(m_w->deviceComms()->scanning(), 15000);
    QCOMPARE(payloads("01").size(), 1);
    // Scan while the session scans starts nothing either.
    m_w->form()->actionRecord->trigger();
    QTest::qWait(200);
    QCOMPARE(payloads("14").size(), 1);
}

void tst_MainWindow::qcThroughSecondInstance()
{
    if (!startWindow({}))
        QSKIP(qPrintable(m_sim.errorText()));
    QVERIFY(!m_w->qcMode());
    QVERIFY(InstanceChannel::forwardArguments({"/usr/bin/orvanel", "-qc"}));
    QTRY_VERIFY(m_w->qcMode());
    QVERIFY(m_w->page2400()->hasQcPassLine());
    QVERIFY(m_w->page900()->hasQcPassLine());
    QVERIFY(m_w->deviceComms()->connected() == false); // forwarded lines never connect

    QVERIFY(connectAndScan());
    m_w->form()->actionStop->trigger();
    QCOMPARE(questionsAsked("Recording stopped"), 0);
}

void tst_MainWindow::geometryIsKept()
{
    const QRect rect(30, 40, 900, 640); // above the minimum size
    {
        MainWindow w(nullptr, false);
        w.setGeometry(rect);
        w.saveWindowGeometry();
    }
    QSettings settings;
    QCOMPARE(settings.value("WindowGeometry").toRect(), rect);
    QCOMPARE(settings.value("WindowMaximized").toBool(), false);
    MainWindow again(nullptr, false);
    QCOMPARE(again.geometry(), rect);
}

void tst_MainWindow::scanWithRecordingTabCurrent()
{
    // A 2.4 GHz recording of three sweeps.
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.amplitudeInterval = QwtInterval(-100, -30);
    for (int i = 0; i < 3; ++i)
        h.samples.append(RfSpectrumSample(1000 * i, RfSpectrumScan(501, -70)));
    const QString file = m_home.filePath("site.vozi");
    QString error;
    QVERIFY2(RecordingIo::saveFile(file, h, &error), qPrintable(error));

    if (!startWindow({}))
        QSKIP(qPrintable(m_sim.errorText()));
    QTabWidget *tabs = m_w->form()->tabWidget;
    QVERIFY(connectAndScan());
    m_w->form()->actionStop->trigger();
    QTRY_VERIFY(!m_w->deviceComms()->scanning());
    tabs->setCurrentIndex(1); // 900 MHz is the band last shown
    bool opened = false;
    m_w->processArguments({"orvanel", file}, &opened);
    QVERIFY(opened);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->currentIndex(), 2);
    auto *recording = qobject_cast<TabPage *>(tabs->widget(2));
    QVERIFY(recording && !recording->isLive());

    // Scan programs that band and shows it; live sweeps never reach the
    // recording, whose tab stays disabled until Stop.
    m_w->form()->actionRecord->trigger();
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(!tabs->isTabEnabled(2));
    QTRY_VERIFY_WITH_TIMEOUT(payloads("14").size() == 2, 10000);
    QCOMPARE(payloads("14").last(), QString("01"));
    QTRY_VERIFY_WITH_TIMEOUT(m_w->page900()->bandHistory().sampleCount() >= 2, 10000);
    QCOMPARE(recording->bandHistory().sampleCount(), 3);
    m_w->form()->actionStop->trigger();
    QVERIFY(tabs->isTabEnabled(2));
    QCOMPARE(recording->history(), h);
}

void tst_MainWindow::scanEndedWithoutStop_data()
{
    QTest::addColumn<bool>("cablePulled");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("state");
    QTest::newRow("Disconnect") << false << "Do you want to save the recording?"
                                << "Not connected";
    QTest::newRow("cable pulled, Stop while waiting")
        << true << "Do you want to save the recording?"
        << "Device lost";
}

void tst_MainWindow::scanEndedWithoutStop()
{
    QFETCH(bool, cablePulled);
    QFETCH(QString, question);
    QFETCH(QString, state);
    if (!startWindow({}, cablePulled ? QStringList{"--hangup-after", "20", "--rate", "50"}
                                     : QStringList{"--rate", "50"}))
        QSKIP(qPrintable(m_sim.errorText()));
    QVERIFY(connectAndScan());
    QTRY_VERIFY_WITH_TIMEOUT(m_w->page2400()->bandHistory().sampleCount() >= 3, 10000);
    if (!cablePulled) {
        QVERIFY(sessionState().startsWith("Scanning 2.4 GHz on " + m_sim.ptyPath() + ", "));
        QVERIFY(QMetaObject::invokeMethod(m_w.data(), "on_actionDisconnect_triggered"));
    } else {
        // The window waits for the scanner; Stop ends the wait.
        QTRY_VERIFY_WITH_TIMEOUT(m_w->waitingForDevice(), 15000);
        QVERIFY(m_asked.isEmpty());
        m_w->form()->actionStop->trigger();
        QVERIFY(!m_w->waitingForDevice());
    }
    QTRY_VERIFY_WITH_TIMEOUT(questionsAsked("Recording stopped") == 1, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_w->deviceComms()->connected() && !m_w->deviceComms()->busy(),
                             10000);
    QCOMPARE(m_asked.size(), 1); // one box, no error box before it
    QCOMPARE(m_asked.first().text, question);
    QCOMPARE(sessionState(), state);
    // The scanned page stays shown and usable, its band is still the one shown.
    QCOMPARE(m_w->form()->tabWidget->currentIndex(), 0);
    QCOMPARE(m_w->lastBandShown(), ScanPlan::Band2400);
    QVERIFY(m_w->page2400()->isEnabled());
    QVERIFY(m_w->page2400()->bandHistory().sampleCount() >= 3);

    // Reconnected, the scan resumes that band.
    if (cablePulled) {
        QVERIFY(m_sim.start({"--rate", "50"}));
        m_w->processArguments({"orvanel", "-port", m_sim.ptyPath()});
    }
    const int setups = payloads("14").size();
    m_w->form()->actionConnect->trigger();
    QCOMPARE(sessionState(), QString("Connecting…"));
    QTRY_VERIFY_WITH_TIMEOUT(payloads("14").size() > setups, 15000);
    QCOMPARE(payloads("14").last(), QString("02"));
}

void tst_MainWindow::silentDeviceOnGivenPort()
{
    // No answer to the connect sequence from the port given with -port.
    if (!startWindow({}, {"--no-ack", "82"}))
        QSKIP(qPrintable(m_sim.errorText()));
    m_w->form()->actionConnect->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!m_asked.isEmpty(), 15000);
    QCOMPARE(m_asked.first().text, "The device on " + m_sim.ptyPath() + " did not answer.");
    QTRY_VERIFY(!m_w->deviceComms()->busy());
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(sessionState(), QString("Not connected"));
}

void tst_MainWindow::leavingAsksOnlyForUnsaved_data()
{
    QTest::addColumn<bool>("saveFirst");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("stays");
    QTest::newRow("unsaved, Cancel") << false << int(QMessageBox::Cancel) << 1 << true;
    QTest::newRow("unsaved, No") << false << int(QMessageBox::No) << 1 << false;
    QTest::newRow("saved, then Stop") << true << int(QMessageBox::Cancel) << 0 << false;
}

void tst_MainWindow::leavingAsksOnlyForUnsaved()
{
    QFETCH(bool, saveFirst);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(bool, stays);
    if (!startWindow({}, {"--rate", "50"}))
        QSKIP(qPrintable(m_sim.errorText()));
    QVERIFY(connectAndScan());
    TabPage2400 *page = m_w->page2400();
    QTRY_VERIFY_WITH_TIMEOUT(page->bandHistory().sampleCount() >= 3, 10000);
    if (saveFirst) {
        m_saveAs = m_home.filePath("saved.vozi");
        m_w->form()->actionSave->trigger();
        m_w->form()->actionStop->trigger();
        // Sweeps taken between Save and Stop went into the file.
        QCOMPARE(RecordingIo::loadFile(m_saveAs).history.samples.size(),
                 page->bandHistory().sampleCount());
        QCOMPARE(questionsAsked("Recording stopped"), 0);
        QTRY_VERIFY(!m_w->deviceComms()->scanning());
    }
    m_quitAnswer = answer;
    QCOMPARE(!m_w->close(), stays); // the close button; Quit asks the same
    QCOMPARE(questionsAsked("Quit"), questions);
    if (questions)
        QVERIFY(m_asked.last().text.endsWith("Do you want to save the recording?"));
}

void tst_MainWindow::replugResumesScan()
{
    const QString link = m_home.filePath("ttyORV");
    if (!m_sim.start(
            {"--link", link, "--rate", "50", "--hangup-after", "30", "--reappear-after", "1500"}))
        QSKIP(qPrintable(m_sim.errorText()));
    m_w.reset(new MainWindow(nullptr, false));
    m_w->processArguments({"orvanel", "-port", link});
    m_w->show();
    QVERIFY(connectAndScan());
    QTRY_VERIFY_WITH_TIMEOUT(m_w->waitingForDevice(), 15000);
    QCOMPARE(sessionState(), QString("Device lost: waiting for it to come back"));
    QVERIFY(m_w->form()->actionStop->isEnabled());
    TabPage2400 *page = m_w->page2400();
    const int before = page->bandHistory().sampleCount();

    QTRY_VERIFY_WITH_TIMEOUT(sessionState().startsWith("Reconnected. Scanning 2.4 GHz on " + link),
                             15000);
    // The same page goes on, with the time away as a gap.
    const RfSpectrumScan gap(501, qint8(-128));
    QTRY_VERIFY_WITH_TIMEOUT(page->history().samples.last().spectrum != gap, 10000);
    QCOMPARE(page->history().samples.at(before).spectrum, gap);
    QVERIFY(m_asked.isEmpty()); // no box, no question
    QCOMPARE(payloads("14").last(), QString("02"));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
