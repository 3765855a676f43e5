#include "devicetypes.h"
#include "dialogseam.h"
#include "mainwindow.h"
#include "projectinfodialog.h"
#include "recordingio.h"
#include "recordingtestdata.h"
#include "spectroplot.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"
#include "windowtesthome.h"

#include <QAction>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

// The window's Save, Open, Snapshot and Project Info as the user meets them,
// without a device: what is asked, what is written, which tab appears.
class TestMainWindowRecording : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openRecordingFile_data();
    void openRecordingFile();
    void openAction();
    void saveAction();
    void snapshotAction();
    void projectInfo();

private:
    QString writeRecording(const QString &name, const RfSpectrumHistory &h);
    void trigger(QAction *action);

    QTemporaryDir m_home;
    QScopedPointer<MainWindow> m_w;
    QList<DialogSeam::Request> m_asked;
    QVariantList m_answers;
};

void TestMainWindowRecording::initTestCase()
{
    QVERIFY(m_home.isValid());
    useWindowTestHome(m_home.path(), QStringLiteral("OrvanelRecordingTest"));
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    answerDialogsFromScript(&m_asked, &m_answers);
}

void TestMainWindowRecording::init()
{
    QSettings().clear();
    m_asked.clear();
    m_answers.clear();
    m_w.reset(new MainWindow(nullptr, false));
    m_w->resize(1000, 700);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.data()));
}

void TestMainWindowRecording::cleanup()
{
    m_w.reset();
}

QString TestMainWindowRecording::writeRecording(const QString &name, const RfSpectrumHistory &h)
{
    const QString path = m_home.filePath(name);
    QString error;
    if (!RecordingIo::saveFile(path, h, &error))
        qWarning() << error;
    return path;
}

void TestMainWindowRecording::trigger(QAction *action)
{
    QVERIFY(action);
    QVERIFY(action->isEnabled());
    action->trigger();
}

void TestMainWindowRecording::openRecordingFile_data()
{
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("pageClass");
    QTest::newRow("2.4 GHz") << 2400.0 << 2500.0 << "TabPage2400";
    QTest::newRow("900 MHz") << 902.0 << 928.0 << "TabPage900";
    QTest::newRow("300-400 MHz") << 300.0 << 400.0 << "";
}

void TestMainWindowRecording::openRecordingFile()
{
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(QString, pageClass);
    RfSpectrumHistory h = fullHistory();
    h.frequencyInterval = QwtInterval(minimum, maximum);
    const QString path = writeRecording(QStringLiteral("Site_2400MHz_2024-05-01T143005.vozi"), h);
    TnwTabWidget *tabs = m_w->form()->tabWidget;
    QCOMPARE(tabs->count(), 2);
    if (pageClass.isEmpty())
        QTest::ignoreMessage(QtCriticalMsg, "The file loaded has a wrong frequency interval");
    const bool opened = m_w->openRecordingFile(path);
    QCOMPARE(opened, !pageClass.isEmpty());
    if (!opened) {
        QCOMPARE(tabs->count(), 2);
        QVERIFY(m_asked.isEmpty()); // refused quietly
        return;
    }
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(QString::fromLatin1(tabs->widget(2)->metaObject()->className()), pageClass);
    QCOMPARE(tabs->tabText(2), QStringLiteral("Site_2400MHz_2024-05-01T143005"));
    QCOMPARE(tabs->tabToolTip(2), QStringLiteral("Site_2400MHz_2024-05-01T143005"));
    QVERIFY(tabs->tabBar()->tabButton(2, QTabBar::RightSide) ||
            tabs->tabBar()->tabButton(2, QTabBar::LeftSide));
    QCOMPARE(tabs->currentIndex(), 2);
    auto *page = qobject_cast<TabPage *>(tabs->widget(2));
    QVERIFY(page->history() == h);
}

void TestMainWindowRecording::openAction()
{
    const QString path = writeRecording(QStringLiteral("site.vozi"), fullHistory());
    m_answers << path;
    trigger(m_w->form()->actionOpen);
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(m_asked.first().kind, DialogSeam::Request::OpenFileName);
    QCOMPARE(m_asked.first().title, QStringLiteral("Open Recording"));
    QCOMPARE(m_w->form()->tabWidget->count(), 3);
    QCOMPARE(RecordingIo::recordingDirectory(), m_home.path());
}

void TestMainWindowRecording::saveAction()
{
    m_w->form()->tabWidget->setCurrentIndex(0);
    const QString target = m_home.filePath(QStringLiteral("saved"));
    m_answers << target;
    trigger(m_w->form()->actionSave);
    QCOMPARE(m_asked.size(), 1);
    const DialogSeam::Request &r = m_asked.first();
    QCOMPARE(r.kind, DialogSeam::Request::SaveFileName);
    QCOMPARE(r.title, QStringLiteral("Save Recording"));
    QVERIFY2(QRegularExpression(QStringLiteral("/Orvanel_2400MHz_\\d{4}-\\d\\d-\\d\\dT\\d{6}$"))
                 .match(r.value)
                 .hasMatch(),
             qPrintable(r.value));
    const RecordingIo::Recording back = RecordingIo::loadFile(target + QStringLiteral(".vozi"));
    QVERIFY(back.complete);
    QVERIFY(back.history == m_w->page2400()->history());

    // a recording's own tab is proposed under its own band
    QVERIFY(m_w->openRecordingFile(target + QStringLiteral(".vozi")));
    m_asked.clear();
    trigger(m_w->form()->actionSave);
    QVERIFY2(m_asked.value(0).value.contains(QStringLiteral("_2400MHz_")),
             qPrintable(m_asked.value(0).value));
}

void TestMainWindowRecording::snapshotAction()
{
    m_w->form()->tabWidget->setCurrentIndex(1);
    const QString target = m_home.filePath(QStringLiteral("shot"));
    m_answers << target;
    trigger(m_w->form()->actionSnapshot);
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(m_asked.first().title, QStringLiteral("Save Snapshot"));
    QVERIFY2(QRegularExpression(QStringLiteral("/Orvanel_900MHz_\\d{4}-\\d\\d-\\d\\dT\\d{6}$"))
                 .match(m_asked.first().value)
                 .hasMatch(),
             qPrintable(m_asked.first().value));
    QImageReader reader(target + QStringLiteral(".png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), m_w->page900()->spectroPlot()->size());
    QCOMPARE(RecordingIo::snapshotDirectory(), m_home.path());
}

void TestMainWindowRecording::projectInfo()
{
    auto *dialog = m_w->findChild<ProjectInfoDialog *>();
    QVERIFY(dialog);
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("edtProjectName"));
    trigger(m_w->form()->actionProject_Info);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(name->text(), QString());

    // Save: the texts become the window's and go into both band pages
    name->setText(QStringLiteral("Site"));
    dialog->accept();
    QCOMPARE(m_w->projectInfo().projectName, QStringLiteral("Site"));
    QCOMPARE(m_w->page2400()->history().projectInfo.projectName, QStringLiteral("Site"));
    QCOMPARE(m_w->page900()->history().projectInfo.projectName, QStringLiteral("Site"));

    // Close changes nothing, and opening again shows the texts in force
    trigger(m_w->form()->actionProject_Info);
    QCOMPARE(name->text(), QStringLiteral("Site"));
    name->setText(QStringLiteral("Typed"));
    dialog->reject();
    QCOMPARE(m_w->projectInfo().projectName, QStringLiteral("Site"));
    QCOMPARE(m_w->page2400()->history().projectInfo.projectName, QStringLiteral("Site"));
    trigger(m_w->form()->actionProject_Info);
    QCOMPARE(name->text(), QStringLiteral("Site"));
    dialog->reject();

    // the proposed names now start with the page's project name
    m_w->form()->tabWidget->setCurrentIndex(0);
    trigger(m_w->form()->actionSave);
    QVERIFY2(m_asked.last().value.contains(QStringLiteral("/Site_2400MHz_")),
             qPrintable(m_asked.last().value));
}

QTEST_MAIN(TestMainWindowRecording)
#include "tst_mainwindowrecording.moc"
