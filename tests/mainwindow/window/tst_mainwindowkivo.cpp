#include "dialogseam.h"
#include "kivoidpanel.h"
#include "kivoidtableview.h"
#include "mainwindow.h"
#include "recordingio.h"
#include "recordingtestdata.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include <QDockWidget>
#include <QItemSelectionModel>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The KiVo ID dock in the window: the panel's reports reach every page, the
// panel follows the band on screen, and a recording opened later draws the
// IDs the panel shows.
class tst_MainWindowKivo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void panelDrivesEveryPage();

private:
    QTemporaryDir m_home;
};

void tst_MainWindowKivo::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    QCoreApplication::setApplicationName(QStringLiteral("OrvanelKivoTest"));
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    DialogSeam::setHandler([](const DialogSeam::Request &r) -> QVariant {
        return r.kind == DialogSeam::Request::Message ? QVariant(r.defaultButton) : QVariant();
    });
}

void tst_MainWindowKivo::panelDrivesEveryPage()
{
    QSettings().clear();
    MainWindow w(nullptr, false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    KivoIdPanel *panel = w.kivoIdPanel();
    QCOMPARE(w.form()->dockWidgetKivoIds->widget(), panel);

    TnwTabWidget *tabs = w.form()->tabWidget;
    const auto shownBand = [&] {
        return qobject_cast<TabPage900 *>(tabs->currentWidget()) ? KivoIdModel::Band900
                                                                 : KivoIdModel::Band2400;
    };
    QCOMPARE(panel->model()->band(), shownBand());
    for (int i : {0, 1})
        tabs->setTabEnabled(i, true); // as when connected: disabled tabs cannot be chosen
    tabs->setCurrentIndex(0);
    QCOMPARE(panel->model()->band(), KivoIdModel::Band2400);

    QItemSelectionModel *selection = panel->view()->selectionModel();
    const auto select = [&](int row, int column) {
        selection->select(panel->model()->index(row, column), QItemSelectionModel::Select);
    };
    select(2, 2); // 24310
    QCOMPARE(w.page2400()->kivoIdOverlay().selection(), QList<int>{24310});
    QVERIFY(w.page900()->kivoIdOverlay().selection().isEmpty());

    tabs->setCurrentIndex(1);
    QCOMPARE(panel->model()->band(), KivoIdModel::Band900);
    // The 2.4 GHz selection stays on its plot while the other band is shown.
    QCOMPARE(w.page2400()->kivoIdOverlay().selection(), QList<int>{24310});
    select(2, 0); // 9110
    select(0, 0); // 9150
    QCOMPARE(w.page900()->kivoIdOverlay().selection(), (QList<int>{9150, 9110}));

    RfSpectrumHistory h = fullHistory();
    h.frequencyInterval = QwtInterval(902.0, 928.0);
    const QString path = m_home.filePath(QStringLiteral("site.vozi"));
    QVERIFY(RecordingIo::saveFile(path, h, nullptr));
    QVERIFY(w.openRecordingFile(path));
    QCOMPARE(tabs->currentIndex(), 2);
    auto *recorded = qobject_cast<TabPage900 *>(tabs->widget(2));
    QVERIFY(recorded);
    QCOMPARE(recorded->kivoIdOverlay().selection(), (QList<int>{9150, 9110}));
    QCOMPARE(selection->selectedIndexes().size(), 2); // same band: kept

    selection->select(panel->model()->index(2, 0), QItemSelectionModel::Deselect);
    QCOMPARE(recorded->kivoIdOverlay().selection(), QList<int>{9150});

    tabs->setCurrentIndex(0);
    QCOMPARE(panel->model()->band(), KivoIdModel::Band2400);
    QCOMPARE(panel->selectedKivoIds(), QList<int>{24310}); // restored with its band
    QCOMPARE(recorded->kivoIdOverlay().selection(), QList<int>{9150});
}

QTEST_MAIN(tst_MainWindowKivo)
#include "tst_mainwindowkivo.moc"
