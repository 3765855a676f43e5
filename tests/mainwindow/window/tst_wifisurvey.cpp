#include "devicetypes.h"
#include "mainwindow.h"
#include "recordingio.h"
#include "spectroplot.h"
#include "tabpage2400.h"
#include "tnwtabwidget.h"
#include "wifilist.h"
#include "wifimodel.h"
#include "wifiscanhelper.h"

#include <QAction>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <qwt_scale_draw.h>

// The Wi-Fi survey on the 2.4 GHz pages, with the survey file standing in for
// the wireless adapter: cadence, failures, recordings and the shared list.
class TestWifiSurvey : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cadence_data();
    void cadence();
    void liveSurveyIsRecorded();
    void failedScanRearms();
    void staleSampleKeepsItsNetworks();
    void recordingWithoutNetworksOffersNoWifi();
    void toggleChannelsTwice();

private:
    QString writeFile(const QString &name, const QByteArray &contents);
    void useWifiFile(const QByteArray &contents);
    void sweep();

    QTemporaryDir m_home;
    QScopedPointer<MainWindow> m_w;
};

static const QByteArray twoNetworks =
    R"({"scanDelayMs": 100, "networks": [)"
    R"({"ssid": "Stage", "bssid": "02:00:00:00:01:06", "frequencyMHz": 2437, "rssiDbm": -52},)"
    R"({"ssid": "Bar", "bssid": "02:00:00:00:01:0b", "frequencyMHz": 2462, "rssiDbm": -67}]})";

QString TestWifiSurvey::writeFile(const QString &name, const QByteArray &contents)
{
    const QString path = m_home.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestWifiSurvey::useWifiFile(const QByteArray &contents)
{
    qputenv("ORVANEL_WIFI_FILE", writeFile(QStringLiteral("wifi.json"), contents).toLocal8Bit());
    m_w.reset(new MainWindow(nullptr, false));
    m_w->resize(1000, 700);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.data()));
    m_w->form()->tabWidget->setCurrentIndex(0);
    QVERIFY(m_w->page2400()->isVisible());
}

void TestWifiSurvey::sweep()
{
    m_w->page2400()->onNewSpecScan(QDateTime::currentMSecsSinceEpoch(),
                                   RfSpectrumScan(501, qint8(-90)));
}

void TestWifiSurvey::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("OrvanelWifiTest"));
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
}

void TestWifiSurvey::init()
{
    QSettings().clear();
}

void TestWifiSurvey::cleanup()
{
    m_w.reset();
    qunsetenv("ORVANEL_WIFI_FILE");
}

void TestWifiSurvey::cadence_data()
{
    QTest::addColumn<int>("elapsed");
    QTest::addColumn<int>("delay");
    QTest::newRow("result after 1500 ms") << 1500 << 2500;
    QTest::newRow("just before") << 3999 << 1;
    QTest::newRow("at 4000 ms") << 4000 << 0;
    QTest::newRow("timer scan answered at 5500 ms") << 5500 << 0;
}

void TestWifiSurvey::cadence()
{
    QFETCH(int, elapsed);
    QTEST(TabPage2400::nextScanDelayMs(elapsed), "delay");
}

void TestWifiSurvey::liveSurveyIsRecorded()
{
    useWifiFile(twoNetworks);
    TabPage2400 *live = m_w->page2400();
    QVERIFY(live->hasWifiActions());
    QElapsedTimer scanTime;
    scanTime.start();
    m_w->form()->actionShow_Wifi->trigger();
    QSignalSpy done(live->wifiScanHelper(), &WifiScanHelper::scanDone);
    QVERIFY(done.wait(10000));
    // A short scan leaves the rest of the 4 s to wait (on a loaded machine the
    // scan itself may take that long; the delay rule has its own table above).
    if (scanTime.elapsed() < 3000) {
        QVERIFY(live->scanTimer().isActive());
        QVERIFY(live->scanTimer().interval() <= 3900);
    }
    // Sweeps keep coming, so the next result finds a sample newer than its request.
    QTimer sweeper;
    connect(&sweeper, &QTimer::timeout, this, &TestWifiSurvey::sweep);
    sweeper.start(100);
    QTRY_COMPARE_WITH_TIMEOUT(live->bandHistory().lastWifiNetworks().size(), 2, 15000);
    auto *list = qobject_cast<WifiList *>(m_w->form()->dockWidgetContentsWifiList);
    QVERIFY(list);
    QTRY_COMPARE(list->model()->rowCount(), 2);
    QTRY_COMPARE(live->spectroPlot()->wifiCurves().size(), 2);
    QVERIFY(live->spectroPlot()->axisEnabled(QwtPlot::xTop));
    sweeper.stop();

    const QString path = m_home.filePath(QStringLiteral("survey.vozi"));
    QString error;
    QVERIFY2(RecordingIo::saveFile(path, live->history(), &error), qPrintable(error));
    // Opened behind the live page, the recording leaves the live list alone.
    const RecordingIo::Recording rec = RecordingIo::loadFile(path);
    TabPage2400 background(rec.history, m_w->form()->pageActions());
    QCOMPARE(list->model()->rowCount(), 2);
    emit list->newNetworksToDraw({});
    QVERIFY(background.spectroPlot()->wifiCurves().isEmpty());

    QVERIFY(m_w->openRecordingFile(path));
    auto *opened = qobject_cast<TabPage2400 *>(m_w->form()->tabWidget->currentWidget());
    QVERIFY(opened && opened != live);
    QVERIFY(opened->hasWifiActions());
    QCOMPARE(opened->bandHistory().lastWifiNetworks(), live->bandHistory().lastWifiNetworks());
    QTRY_COMPARE(list->model()->rowCount(), 2);
    QTRY_COMPARE(opened->spectroPlot()->wifiCurves().size(), 2);
}

void TestWifiSurvey::failedScanRearms()
{
    useWifiFile(R"({"scanDelayMs": 50, "networks": [{"bssid": 7}]})");
    TabPage2400 *live = m_w->page2400();
    QSignalSpy started(live->wifiScanHelper(), &WifiScanHelper::scanStarted);
    QSignalSpy done(live->wifiScanHelper(), &WifiScanHelper::scanDone);
    QVERIFY(started.wait(15000)); // the first failure is followed by a new scan
    QCOMPARE(done.count(), 0);
}

void TestWifiSurvey::staleSampleKeepsItsNetworks()
{
    // A slow first scan: the sweep below must come before its result, even
    // when the window takes long to show on a loaded machine.
    useWifiFile(QByteArray(twoNetworks).replace(R"("scanDelayMs": 100)", R"("scanDelayMs": 1500)"));
    TabPage2400 *live = m_w->page2400();
    // A sweep from before the request, as after Stop.
    live->onNewSpecScan(1000, RfSpectrumScan(501, qint8(-90)));
    QSignalSpy done(live->wifiScanHelper(), &WifiScanHelper::scanDone);
    QVERIFY(done.wait(10000));
    QVERIFY(live->bandHistory().lastWifiNetworks().isEmpty());
    // The next sweep starts out with the result.
    sweep();
    QCOMPARE(live->bandHistory().lastWifiNetworks().size(), 2);
    QVERIFY(live->bandHistory().samples().constFirst().wifiNetworks.isEmpty());
}

void TestWifiSurvey::recordingWithoutNetworksOffersNoWifi()
{
    useWifiFile(twoNetworks);
    RfSpectrumHistory h = m_w->page2400()->history();
    h.samples << RfSpectrumSample(1000, RfSpectrumScan(501, -70),
                                  WifiScan{makeWifiApInfo(QByteArray::fromHex("020000000106"),
                                                          "Stage", 5, -52, 2437000)})
              << RfSpectrumSample(1050, RfSpectrumScan(501, -70));
    TabPage2400 without(h, m_w->form()->pageActions());
    QVERIFY(!without.hasWifiActions());
    QVERIFY(!without.findChildren<QToolBar *>().at(0)->actions().contains(
        m_w->form()->actionShow_Wifi));
    h.samples.clear();
    TabPage2400 empty(h, m_w->form()->pageActions());
    QVERIFY(!empty.hasWifiActions());
}

void TestWifiSurvey::toggleChannelsTwice()
{
    useWifiFile(twoNetworks);
    QAction *toggle = m_w->form()->actionToggle_Channels;
    SpectroPlot *plot = m_w->page2400()->spectroPlot();
    toggle->trigger();
    QCOMPARE(toggle->text(), QStringLiteral("ZigBee Chan."));
    QCOMPARE(plot->axisScaleDraw(QwtPlot::xTop)->label(2405).text(), QStringLiteral("11"));
    toggle->trigger();
    QCOMPARE(toggle->text(), QStringLiteral("Wi-Fi Chan."));
    QCOMPARE(plot->axisScaleDraw(QwtPlot::xTop)->label(2437).text(), QStringLiteral("6"));
}

QTEST_MAIN(TestWifiSurvey)
#include "tst_wifisurvey.moc"
