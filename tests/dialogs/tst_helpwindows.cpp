#include "about.h"
#include "manuallauncher.h"
#include "manualsource.h"
#ifdef ORVANEL_HAVE_WEBENGINE
#include "manualviewer.h"
#endif

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <qwt_global.h>

// The About box, where the manual comes from, when the program's own viewer
// is used, and the viewer's title while it loads the bundled manual.
class tst_HelpWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void aboutTexts();
    void engineDecision_data();
    void engineDecision();
    void browserGetsPrivateCopy();
    void manualAddress();
    void viewerTitle();

private:
    QTemporaryDir m_data;
};

namespace {
// Records what would go to the browser instead of starting one.
struct FakeLauncher : ManualLauncher
{
    ManualSource::EngineEnvironment env;
    QList<QUrl> opened;
    ManualSource::EngineEnvironment environment() const override { return env; }
    bool openInBrowser(const QUrl &url) override
    {
        opened << url;
        return true;
    }
};
} // namespace

void tst_HelpWindows::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Orvanel"));
    qunsetenv("ORVANEL_MANUAL_URL");
    QVERIFY(m_data.isValid()); // no installed copy there
    qputenv("XDG_DATA_DIRS", m_data.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
}

void tst_HelpWindows::aboutTexts()
{
    QPointer<About> about = new About;
    QVERIFY(about->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!about->testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(!about->parent());
    QCOMPARE(about->size(), QSize(314, 185));
    QVERIFY(!(about->windowFlags() & Qt::WindowContextHelpButtonHint));
    const AboutForm *f = about->form();
    QCOMPARE(f->lblAppTitle->text(), QStringLiteral("Orvanel"));
    QCOMPARE(f->lblVersion->text(), QStringLiteral("Application Version: 1.0.0.9.0.281"));
    QVERIFY(f->lblQwt->text().startsWith(QStringLiteral("Based on Qwt ") + QWT_VERSION_STR + " ("));
    // The Qt that is loaded, not the headers'.
    QVERIFY(f->lblQt->text().startsWith(QStringLiteral("Based on Qt ") + qVersion() + " ("));
    QVERIFY(f->lblQt->openExternalLinks());
    QVERIFY(f->lblQtLicense->text().contains(QStringLiteral(">LGPL v3.0<")));
    QVERIFY(f->lblQtLicense->text().startsWith("Qt Libraries are distributed under the "));
    QVERIFY(f->lblQwt->text().contains(QStringLiteral("#1464a0")));
    QVERIFY(!f->lblAppIcon->pixmap(Qt::ReturnByValue).isNull());
    about->show();
    f->buttonBox->button(QDialogButtonBox::Close)->click();
    QTRY_VERIFY(about.isNull()); // deleted once closed
}

void tst_HelpWindows::engineDecision_data()
{
    QTest::addColumn<bool>("built");
    QTest::addColumn<bool>("root");
    QTest::addColumn<bool>("sandboxOff");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("quick");
    QTest::addColumn<bool>("helper");
    QTest::addColumn<bool>("usable");
    QTest::newRow("desktop user") << true << false << false << "xcb"
                                  << "" << true << true;
    QTest::newRow("root keeps sandbox") << true << true << false << "xcb"
                                        << "" << true << false;
    QTest::newRow("root, user switched it off") << true << true << true << "xcb"
                                                << "" << true << true;
    QTest::newRow("not built") << false << false << false << "xcb"
                               << "" << true << false;
    QTest::newRow("no helper") << true << false << false << "xcb"
                               << "" << false << false;
    QTest::newRow("offscreen, GL") << true << false << false << "offscreen"
                                   << "" << true << false;
    QTest::newRow("offscreen, software") << true << false << false << "offscreen"
                                         << "software" << true << true;
}

void tst_HelpWindows::engineDecision()
{
    ManualSource::EngineEnvironment e;
    QFETCH(bool, usable);
    QFETCH(bool, built);
    QFETCH(bool, root);
    QFETCH(bool, sandboxOff);
    QFETCH(bool, helper);
    e.builtWithEngine = built;
    e.root = root;
    e.sandboxSwitchedOff = sandboxOff;
    e.helperFound = helper;
    QFETCH(QString, platform);
    QFETCH(QString, quick);
    e.platform = platform;
    e.quickBackend = quick;
    QCOMPARE(ManualSource::engineRefusal(e).isEmpty(), usable);
}

void tst_HelpWindows::browserGetsPrivateCopy()
{
    FakeLauncher launcher;
    launcher.env.builtWithEngine = false; // no web view: the browser gets the manual
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("desktop browser.*web view"));
    QCOMPARE(launcher.open(nullptr), nullptr);
    QCOMPARE(launcher.opened.size(), 1);
    const QUrl url = launcher.opened.first();
    QVERIFY(url.isLocalFile());
    const QFileInfo page(url.toLocalFile());
    QVERIFY(page.fileName() == QLatin1String("index.html") && page.size() > 1000);
    QVERIFY(QFileInfo::exists(page.path() + QStringLiteral("/images/spectrum.png")));
    const QFile::Permissions others = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther |
                                      QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup;
    QCOMPARE(QFileInfo(page.path()).permissions() & others, QFile::Permissions());
    QCOMPARE(page.permissions() & others, QFile::Permissions());
}

void tst_HelpWindows::manualAddress()
{
    QCOMPARE(ManualSource::manualUrl(), QUrl(QStringLiteral("qrc:/manual/index.html")));
    QTemporaryDir data;
    QVERIFY(QDir().mkpath(data.filePath("orvanel/manual")));
    QFile installed(data.filePath("orvanel/manual/index.html"));
    QVERIFY(installed.open(QIODevice::WriteOnly));
    installed.close();
    qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
    QCOMPARE(ManualSource::manualUrl(), QUrl::fromLocalFile(installed.fileName()));
    qputenv("ORVANEL_MANUAL_URL", "https://example.org/manual.pdf");
    QCOMPARE(ManualSource::manualUrl(), QUrl(QStringLiteral("https://example.org/manual.pdf")));
    qunsetenv("ORVANEL_MANUAL_URL");
    qputenv("XDG_DATA_DIRS", m_data.path().toLocal8Bit());
}

void tst_HelpWindows::viewerTitle()
{
#ifndef ORVANEL_HAVE_WEBENGINE
    QSKIP("built without the web view");
#else
    const QString refusal = ManualSource::engineRefusal(
        ManualSource::currentEnvironment(QGuiApplication::platformName()));
    if (!refusal.isEmpty())
        QSKIP(qPrintable(refusal));
    ManualViewer::prepareEngine();
    QPointer<ManualViewer> viewer = new ManualViewer;
    // The engine must let go of its page before the application ends.
    const auto cleanup = qScopeGuard([&viewer] { delete viewer.data(); });
    QVERIFY(!viewer->testAttribute(Qt::WA_QuitOnClose));
    QCOMPARE(viewer->size(), QSize(1024, 600));
    QStringList titles;
    connect(viewer, &QWidget::windowTitleChanged, this,
            [&titles](const QString &t) { titles << t; });
    QSignalSpy finished(viewer.data(), &QWebEngineView::loadFinished);
    viewer->load(ManualSource::localUrl(QUrl(QLatin1String(ManualSource::resourceUrl))));
    viewer->show();
    QVERIFY(finished.wait(60000));
    QVERIFY(finished.first().first().toBool());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Orvanel - User Manual"));
    QVERIFY2(titles.contains(QStringLiteral("Orvanel - User Manual - 0%")),
             qPrintable(titles.join('|')));
    for (const QString &t : titles.mid(0, titles.size() - 1))
        QVERIFY2(QRegularExpression("^Orvanel - User Manual - \\d{1,3}%$").match(t).hasMatch(),
                 qPrintable(t));
    viewer->close();
    QTRY_VERIFY(viewer.isNull());
#endif
}

QTEST_MAIN(tst_HelpWindows)
#include "tst_helpwindows.moc"
