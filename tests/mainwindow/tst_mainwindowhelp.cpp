#include "about.h"
#include "debuglogview.h"
#include "debugwindow.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "mainwindow.h"
#include "rfspectrumhistory.h"
#include "simprocess.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The main window's Help entries and "-debug" against the emulator: the
// debug window's place and wiring, and that none of these windows keeps the
// program running once the main window is closed.
class tst_MainWindowHelp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void debugWindowSendsByHand();
    void userManualWithoutViewer();
    void closingMainWindowEndsProgram();

private:
    QTemporaryDir m_home;
    SimProcess m_sim;
};

void tst_MainWindowHelp::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toLocal8Bit());
    QCoreApplication::setOrganizationName("Tarnwell");
    QCoreApplication::setApplicationName("Orvanel");
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    DialogSeam::setHandler([](const DialogSeam::Request &r) -> QVariant {
        qWarning() << "asked:" << r.title << r.text;
        return r.kind == DialogSeam::Request::Message ? QVariant(r.defaultButton) : QVariant();
    });
    if (!m_sim.start())
        QSKIP(qPrintable(m_sim.errorText()));
}

void tst_MainWindowHelp::debugWindowSendsByHand()
{
    MainWindow w(nullptr, false);
    w.setGeometry(40, 30, 700, 450);
    w.show();
    w.processArguments({"orvanel", "-debug", "-port", m_sim.ptyPath()});
    QPointer<DebugWindow> first = w.debugWindow();
    QVERIFY(first && first->isVisible() && !first->parent());
    QCOMPARE(first->height(), w.height()); // 500 wide unless its buttons need more
    QCOMPARE(first->pos(), QPoint(w.x() + w.width() + 5, w.y()));

    // A second "-debug" (as forwarded by a second start) adds a second window.
    w.processArguments({"orvanel", "-debug"});
    QVERIFY(w.debugWindow() && w.debugWindow() != first);
    delete w.debugWindow();

    QComboBox *ports = first->form()->cbSerialPort;
    ports->setFocus();
    const int pty = ports->findText(m_sim.ptyPath());
    QVERIFY(pty >= 0);
    while (ports->currentIndex() != pty)
        QTest::keyClick(ports, Qt::Key_Down);
    QCOMPARE(w.deviceComms()->currentPortName(), m_sim.ptyPath());

    first->form()->pbGetDevVer->click();
    QVERIFY(!first->form()->pbGetDevVer->isEnabled()); // busy while it runs
    DebugLogView *log = first->form()->logText;
    auto logText = [log] {
        log->selectAll();
        return log->selectedText();
    };
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(QStringLiteral("Device Version:")), 15000);
    QVERIFY(logText().contains(QStringLiteral(" << 2a")));
    QTRY_VERIFY_WITH_TIMEOUT(first->form()->pbGetDevVer->isEnabled(), 15000);
    w.deviceComms()->shutdown();
}

void tst_MainWindowHelp::userManualWithoutViewer()
{
    struct RootLauncher : ManualLauncher
    {
        QList<QUrl> *opened;
        ManualSource::EngineEnvironment environment() const override
        {
            ManualSource::EngineEnvironment e;
            e.root = true;
            return e;
        }
        bool openInBrowser(const QUrl &url) override
        {
            *opened << url;
            return true;
        }
    };
    QList<QUrl> opened;
    auto launcher = std::make_unique<RootLauncher>();
    launcher->opened = &opened;
    MainWindow w(nullptr, false);
    w.setManualLauncher(std::move(launcher));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("desktop browser.*root"));
    w.form()->actionUser_Manual->trigger();
    QCOMPARE(opened.size(), 1);
    QVERIFY(QFileInfo(opened.first().toLocalFile()).size() > 1000);
}

void tst_MainWindowHelp::closingMainWindowEndsProgram()
{
    QScopedPointer<MainWindow> w(new MainWindow(nullptr, false));
    connect(qApp, &QCoreApplication::aboutToQuit, w->deviceComms(), &DeviceComms::shutdown);
    w->show();
    w->processArguments({"orvanel", "-debug"});
    w->form()->actionAbout->trigger();
    w->form()->actionAbout->trigger();
    QList<QPointer<QWidget>> others;
    for (QWidget *t : QApplication::topLevelWidgets())
        if (t != w.data() && t->isVisible() &&
            (qobject_cast<About *>(t) || qobject_cast<DebugWindow *>(t)))
            others << t;
    QCOMPARE(others.size(), 3);

    QTimer::singleShot(0, w.data(), [&w] { w->close(); });
    QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(2); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!w->deviceComms()->workThread()->isRunning());
    w.reset();
    for (const QPointer<QWidget> &o : others)
        QVERIFY(o.isNull());
}

QTEST_MAIN(tst_MainWindowHelp)
#include "tst_mainwindowhelp.moc"
