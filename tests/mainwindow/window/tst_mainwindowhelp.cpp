#include "about.h"
#include "debuglogview.h"
#include "debugwindow.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "mainwindow.h"
#include "rfspectrumhistory.h"
#include "simprocess.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolButton>

// The main window's Help entries and "-debug" against the emulator: the
// debug window's place and wiring, and that none of these windows keeps the
// program running once the main window is closed.
class tst_MainWindowHelp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void debugWindowSendsByHand();
    void userManualWithoutViewer_data();
    void userManualWithoutViewer();
    void manualNamesWhatExists();
    void windowsBesideStayOnScreen_data();
    void windowsBesideStayOnScreen();
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
    QVERIFY(first->screen()->availableGeometry().contains(first->geometry()));

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

void tst_MainWindowHelp::userManualWithoutViewer_data()
{
    QTest::addColumn<bool>("root");
    QTest::addColumn<bool>("browserTakes");
    QTest::addColumn<bool>("fileReadable");
    QTest::addColumn<QString>("shown"); // what the user gets
    QTest::newRow("browser") << false << true << true << "browser";
    QTest::newRow("no browser") << false << false << true << "plain viewer";
    QTest::newRow("root") << true << true << true << "plain viewer";
    QTest::newRow("nothing works") << false << false << false << "box";
}

// Where the web view cannot run, Help > User Manual still shows something.
void tst_MainWindowHelp::userManualWithoutViewer()
{
    QFETCH(bool, root);
    QFETCH(bool, browserTakes);
    QFETCH(bool, fileReadable);
    QFETCH(QString, shown);
    struct Launcher : ManualLauncher
    {
        bool root, browserTakes, fileReadable;
        QStringList got;
        ManualSource::EngineEnvironment environment() const override
        {
            ManualSource::EngineEnvironment e;
            e.builtWithEngine = false;
            e.root = root;
            return e;
        }
        bool openInBrowser(const QUrl &url) override
        {
            if (QFileInfo(url.toLocalFile()).size() > 1000 && browserTakes)
                got << "browser";
            return browserTakes;
        }
        QWidget *openPlainViewer(const QUrl &url, QWidget *near) override
        {
            if (!fileReadable)
                return nullptr;
            got << "plain viewer";
            return ManualLauncher::openPlainViewer(url, near);
        }
        void showWhereItIs(const QString &place, const QString &) override
        {
            got << (place.endsWith("index.html") ? "box" : place);
        }
    };
    auto launcher = std::make_unique<Launcher>();
    launcher->root = root;
    launcher->browserTakes = browserTakes;
    launcher->fileReadable = fileReadable;
    Launcher *l = launcher.get();
    MainWindow w(nullptr, false);
    w.setManualLauncher(std::move(launcher));
    w.form()->actionUser_Manual->trigger();
    QCOMPARE(l->got, QStringList{shown});
    if (shown == "plain viewer") {
        auto *viewer = qobject_cast<QTextBrowser *>(QApplication::topLevelWidgets().last());
        for (QWidget *t : QApplication::topLevelWidgets())
            if (t->objectName() == "manualPlainViewer")
                viewer = qobject_cast<QTextBrowser *>(t);
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(viewer->toPlainText().contains("Troubleshooting"));
    }
}

// Every key, menu entry and control the manual names in bold exists in the
// program (whatever sections the manual has).
void tst_MainWindowHelp::manualNamesWhatExists()
{
    QFile file(":/manual/index.html");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const auto plain = [](const QString &h) {
        return QTextDocumentFragment::fromHtml(h).toPlainText().simplified();
    };
    MainWindow w(nullptr, false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSet<QString> texts, keys;
    const auto collect = [&] {
        for (QAction *a : w.findChildren<QAction *>()) {
            texts << a->text().remove('&');
            for (const QKeySequence &k : a->shortcuts())
                keys << k.toString();
        }
        for (QAbstractButton *b : w.findChildren<QAbstractButton *>())
            texts << b->text().remove('&').trimmed();
    };
    collect(); // the two toggles name the state they show: see both
    w.form()->actionToggle_View->trigger();
    w.form()->actionToggle_Channels->trigger();
    collect();
    // Keys the plots handle in their own event code (tst_tabpage sends them).
    keys += QSet<QString>{"Wheel",
                          "Shift+wheel",
                          "+",
                          "\u2212",
                          "Left",
                          "Right",
                          "Middle-button drag",
                          "double click on a plot or an axis",
                          "Ctrl+click"};

    QStringList missing;
    // Bold names, except the words that open a paragraph (or line) as its heading.
    QRegularExpression bold("(<p>|\\n)?<b>(.*?)</b>");
    for (auto m = bold.globalMatch(html); m.hasNext();) {
        const auto match = m.next();
        const QString name = plain(match.captured(2));
        if (match.captured(1).isEmpty() && !texts.contains(name) &&
            std::none_of(texts.begin(), texts.end(),
                         [&](const QString &t) { return t.startsWith(name + "\u2026"); }))
            missing << "control " + name;
    }
    QRegularExpression help("Help &rarr; ([A-Z][a-z]+(?: [A-Z][a-z]+)*)");
    const QList<QAction *> helpMenu = w.form()->helpButton->menu()->actions();
    for (auto m = help.globalMatch(html); m.hasNext();) {
        const QString name = m.next().captured(1);
        if (std::none_of(helpMenu.begin(), helpMenu.end(),
                         [&](QAction *a) { return a->text() == name; }))
            missing << "Help menu " + name;
    }
    // The key table, and every Ctrl+ key in the text.
    const int table = html.indexOf("Key (plot or page focused)");
    QVERIFY(table > 0);
    QRegularExpression row("<tr><td>(.*?)</td>");
    QStringList named;
    for (auto m = row.globalMatch(html.mid(table, html.indexOf("</table>", table) - table));
         m.hasNext();) {
        QString cell = plain(m.next().captured(1));
        cell.replace(" to ", " / ").replace(", ", " / ");
        named += cell.split(" / ");
    }
    for (auto m = QRegularExpression("\\((Ctrl\\+[A-Z])\\)").globalMatch(html); m.hasNext();)
        named << m.next().captured(1);
    for (const QString &k : qAsConst(named))
        if (!keys.contains(k) && !keys.contains(QKeySequence::fromString(k).toString()))
            missing << "key " + k;
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
}

void tst_MainWindowHelp::windowsBesideStayOnScreen_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("placed");
    QTest::newRow("room on the right") << QRect(40, 30, 700, 450) << QRect(745, 30, 500, 450);
    QTest::newRow("full width") << QRect(0, 0, 1920, 1050) << QRect(1420, 0, 500, 1050);
    QTest::newRow("room on the left") << QRect(1000, 100, 900, 600) << QRect(494, 100, 500, 600);
}

// The debug window beside the main window, never off the screen.
void tst_MainWindowHelp::windowsBesideStayOnScreen()
{
    QFETCH(QRect, window);
    QFETCH(QRect, placed);
    QCOMPARE(MainWindow::placeBeside(window, QSize(500, window.height()), QRect(0, 0, 1920, 1050)),
             placed);
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
