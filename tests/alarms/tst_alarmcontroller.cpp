#include "alarmcontroller.h"
#include "alarmsdock.h"
#include "desktopnotifier.h"
#include "limitsdialog.h"
#include "spectroplot.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "windowtesthome.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_item.h>

#include <QDBusConnection>
#include <QMainWindow>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

// Stands in for the desktop's notification service on a private session bus,
// receiving the calls exactly as a desktop would.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &,
                const QStringList &, const QVariantMap &, int)
    {
        summaries << summary;
        return uint(summaries.size());
    }
};

class tst_AlarmController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sweepsRaiseAndClear_data();
    void sweepsRaiseAndClear();
    void limitTable_data();
    void limitTable();
    void recordedPageShowsLines();

private:
    QTemporaryDir m_home;
    QProcess m_bus;
    FakeNotifications m_service;
};

void tst_AlarmController::initTestCase()
{
    useWindowTestHome(m_home.path(), QStringLiteral("tst_alarmcontroller"));
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        QSKIP("dbus-daemon is not installed");
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
    QVERIFY(m_bus.waitForReadyRead(5000));
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.isConnected());
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                               QDBusConnection::ExportAllSlots));
}

void tst_AlarmController::cleanupTestCase()
{
    m_bus.kill();
    m_bus.waitForFinished(2000);
}

void tst_AlarmController::sweepsRaiseAndClear_data()
{
    // Each character is one sweep, 500 ms apart: '+' an emitter at -40 dBm
    // in the band's middle, '-' noise at -90 dBm. The limit holds and clears
    // for 1 s, so an alarm starts on the third sweep above it.
    QTest::addColumn<bool>("page900");
    QTest::addColumn<QString>("node");   //!< a remote node's page, or empty for ours
    QTest::addColumn<QString>("limits"); //!< a limit file
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected"); //!< dock rows: S start, E end

    const QString mask = QStringLiteral(
        R"({"limits": [{"name": "Mask", "band": "%1", "points": [[%2, -50], [%3, -50]],
             "trace": "current", "holdSeconds": 1, "clearSeconds": 1}]})");
    QTest::newRow("2.4 GHz start and end")
        << false << "" << mask.arg(QStringLiteral("2400")).arg(2400).arg(2500) << "--+++++---"
        << "S E";
    QTest::newRow("900 MHz") << true << "" << mask.arg(QStringLiteral("900")).arg(902).arg(928)
                             << "+++-+++---"
                             << "S E";
    QTest::newRow("too short") << false << ""
                               << mask.arg(QStringLiteral("2400")).arg(2400).arg(2500)
                               << "-++-++-++-"
                               << "";
    QTest::newRow("other band's line")
        << true << "" << mask.arg(QStringLiteral("2400")).arg(2400).arg(2500) << "+++++-----"
        << "";
    QTest::newRow("line above the emitter")
        << false << ""
        << QString(mask)
               .replace(QStringLiteral("-50"), QStringLiteral("-30"))
               .arg(QStringLiteral("2400"))
               .arg(2400)
               .arg(2500)
        << "+++++-----"
        << "";
    QTest::newRow("still on") << false << "" << mask.arg(QStringLiteral("2400")).arg(2400).arg(2500)
                              << "-+++++++++"
                              << "S";
    // '|': the scan stops, which ends the alarms still on.
    QTest::newRow("ended by the scan's stop")
        << false << "" << mask.arg(QStringLiteral("2400")).arg(2400).arg(2500) << "-++++|--"
        << "S E";
    // A remote node's page: alarms of its own, named after the node. Our
    // scan's stop leaves them on; 'o' the node goes offline, 'x' its page
    // closes, and either ends them.
    QTest::newRow("remote node") << false << "north"
                                 << mask.arg(QStringLiteral("2400")).arg(2400).arg(2500)
                                 << "--+++++---"
                                 << "S E";
    QTest::newRow("remote node, our scan stops")
        << false << "north" << mask.arg(QStringLiteral("2400")).arg(2400).arg(2500) << "-++++|++"
        << "S";
    QTest::newRow("remote node offline")
        << true << "north" << mask.arg(QStringLiteral("900")).arg(902).arg(928) << "-++++o--"
        << "S E";
    QTest::newRow("remote page closed")
        << true << "north" << mask.arg(QStringLiteral("900")).arg(902).arg(928) << "-++++x"
        << "S E";
    // Busy in 5 of the last 10 sweeps is over 40 %: on until the stop.
    const QString watch = QStringLiteral(
        R"({"watches": [{"name": "Mask", "kivoId": 9120, "percent": 40, "levelDbm": -60,
             "holdSeconds": 1, "clearSeconds": 1}]})");
    QTest::newRow("KiVo ID watch") << true << "" << watch << "+++++-----|"
                                   << "S E";
    QTest::newRow("KiVo ID watch, other band") << false << "" << watch << "+++++-----|"
                                               << "";
    QTest::newRow("KiVo ID watch, remote node") << true << "south" << watch << "+++++-----o"
                                                << "S E";
}

void tst_AlarmController::sweepsRaiseAndClear()
{
    QFETCH(bool, page900);
    QFETCH(QString, node);
    QFETCH(QString, limits);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);

    QMainWindow window;
    auto *p2400 = new TabPage2400(PageActions(), &window);
    auto *p900 = new TabPage900(PageActions(), &window);
    AlarmController alarms(&window, p2400, p900);
    QVector<LimitLine> lines;
    QVector<ChannelWatch> watches;
    QString error;
    QVERIFY2(LimitFile::fromJson(limits.toUtf8(), &lines, &watches, &error), qPrintable(error));
    alarms.setLimits(lines);
    alarms.setChannelWatches(watches);
    m_service.summaries.clear();

    TabPage *local = page900 ? static_cast<TabPage *>(p900) : p2400;
    QPointer<TabPage> page = local;
    if (!node.isEmpty()) {
        // As the remote pages are made.
        page = page900 ? static_cast<TabPage *>(new TabPage900(PageActions(), &window))
                       : new TabPage2400(PageActions(), TabPage2400::FedRemotely(), &window);
        alarms.watchRemotePage(page, node);
    }
    const int bins = page900 ? 261 : 501;
    RfSpectrumScan sweep(bins);
    const qint64 t0 = 1765000000000;
    for (int i = 0; i < pattern.size(); ++i) {
        if (pattern.at(i) == QLatin1Char('|')) {
            alarms.endAlarms();
            continue;
        }
        if (pattern.at(i) == QLatin1Char('o')) {
            alarms.endRemoteAlarms(page);
            continue;
        }
        if (pattern.at(i) == QLatin1Char('x')) {
            delete page;
            continue;
        }
        sweep.fill(-90);
        if (pattern.at(i) == QLatin1Char('+'))
            sweep[bins / 2] = -40;
        page->onNewSpecScan(t0 + i * 500, sweep);
        alarms.onSweep(page, t0 + i * 500, sweep);
    }
    QCoreApplication::processEvents();

    QStringList rows;
    for (const AlarmEvent &e : alarms.alarmsDock()->events()) {
        rows << (e.state == AlarmEvent::Start ? QStringLiteral("S") : QStringLiteral("E"));
        QCOMPARE(e.name, QStringLiteral("Mask"));
        QCOMPARE(e.node, node);
        QCOMPARE(e.levelDbm, -40.0);
    }
    QCOMPARE(rows.join(QLatin1Char(' ')), expected);
    if (page != local)
        QVERIFY(local->history().timeEvents.isEmpty());
    if (page) {
        // Each start and end is an event on the page's waterfall, saved with it.
        const QList<TimeEvent> events = page->history().timeEvents;
        QCOMPARE(events.size(), rows.size());
        for (int i = 0; i < events.size(); ++i)
            QCOMPARE(events.at(i).time.toMSecsSinceEpoch(),
                     alarms.alarmsDock()->events().at(i).timeMs);
        // The lines are drawn where they apply.
        int drawn = 0;
        for (const QwtPlotItem *item : page->spectroPlot()->itemList(QwtPlotItem::Rtti_PlotCurve))
            drawn += item->title().text() == QLatin1String("Mask");
        QCOMPARE(drawn == 1,
                 limits.contains(page900 ? QStringLiteral("\"900\"") : QStringLiteral("\"2400\"")));
    }
    QCOMPARE(alarms.alarmsDock()->table()->rowCount(), rows.size());
    // The notifications arrive over the bus without anyone waiting for them.
    QTRY_COMPARE(m_service.summaries.size(), rows.size());
    QTRY_COMPARE(alarms.notifier()->pending(), 0);
    for (const QString &summary : qAsConst(m_service.summaries))
        QCOMPARE(summary.endsWith(QStringLiteral(" @ ") + node), !node.isEmpty());

    // The CSV export carries every row with its node, and the limit set
    // survives a restart.
    const QByteArray csv = AlarmsDock::toCsv(alarms.alarmsDock()->events());
    QCOMPARE(csv.count('\n'), rows.size() + 1);
    QCOMPARE(csv.count("," + node.toUtf8() + '\n'), rows.size());
    AlarmController restarted(&window, nullptr, nullptr);
    QCOMPARE(restarted.limits(), lines);
    QCOMPARE(restarted.channelWatches(), watches);
}

void tst_AlarmController::limitTable_data()
{
    // A row of the table as typed: band, trace, hold, clear, points.
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QString>("problem"); //!< empty: the row is read back as written
    QTest::newRow("mask") << QStringList{"2400", "current", "2", "2",
                                         "2400 -50; 2450 -60; 2500 -50"}
                          << "";
    QTest::newRow("max trace, step")
        << QStringList{"900", "max 5", "0.5", "10", "902 -70; 915 -70; 915 -40; 928 -40"} << "";
    QTest::newRow("point without level")
        << QStringList{"2400", "current", "2", "2", "2400 -50; 2500"} << "\"2500\"";
    QTest::newRow("hold not a number")
        << QStringList{"2400", "current", "soon", "2", "2400 -50; 2500 -50"} << "seconds";
    QTest::newRow("point outside the band")
        << QStringList{"900", "current", "2", "2", "2400 -50; 2500 -50"} << "points";
    QTest::newRow("unknown trace")
        << QStringList{"2400", "peak", "2", "2", "2400 -50; 2500 -50"} << "trace";
}

void tst_AlarmController::limitTable()
{
    QFETCH(QStringList, row);
    QFETCH(QString, problem);
    LimitsDialog dialog;
    dialog.addRow();
    for (int c = 0; c < row.size(); ++c)
        dialog.table()->item(0, 2 + c)->setText(row.at(c));
    QVector<LimitLine> lines;
    QString error;
    QCOMPARE(dialog.limits(&lines, &error), problem.isEmpty());
    if (!problem.isEmpty()) {
        QVERIFY2(error.contains(problem), qPrintable(error));
        return;
    }
    // What the table shows of the line it read is what was typed.
    dialog.setLimits(lines);
    QStringList shown;
    for (int c = 2; c < 7; ++c)
        shown << dialog.table()->item(0, c)->text();
    QCOMPARE(shown, row);
}

// A recording's page draws its band's lines, follows changes of them, and
// does not let them be dragged.
void tst_AlarmController::recordedPageShowsLines()
{
    QMainWindow window;
    AlarmController alarms(&window, nullptr, nullptr);
    RfSpectrumHistory recorded;
    recorded.frequencyInterval = QwtInterval(902, 928);
    recorded.samples << RfSpectrumSample(1765000000000, RfSpectrumScan(261, -90));
    auto *page = new TabPage900(recorded, PageActions(), &window);
    LimitLine mask;
    mask.name = QStringLiteral("Mask");
    mask.band = LimitBand::Band900;
    mask.points = {{902, -50}, {915, -50}, {928, -50}};
    LimitLine other = mask;
    other.name = QStringLiteral("Other band");
    other.band = LimitBand::Band2400;
    other.points = {{2400, -50}, {2500, -50}};
    alarms.setLimits({mask, other});
    alarms.showOnRecordedPage(page);
    const auto curves = [page] {
        QStringList titles;
        for (const QwtPlotItem *item : page->spectroPlot()->itemList(QwtPlotItem::Rtti_PlotCurve))
            if (item->title().text().contains(QLatin1String("Mask")) && item->isVisible())
                titles << item->title().text();
        return titles;
    };
    QCOMPARE(curves(), QStringList{QStringLiteral("Mask")});
    window.setCentralWidget(page);
    window.resize(1200, 800);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    page->spectroPlot()->replot();
    const QPoint point(qRound(page->spectroPlot()->transform(QwtPlot::xBottom, 915)),
                       qRound(page->spectroPlot()->transform(QwtPlot::yLeft, -50)));
    QTest::mousePress(page->spectroPlot()->canvas(), Qt::LeftButton, {}, point);
    QTest::mouseMove(page->spectroPlot()->canvas(), point + QPoint(0, 40));
    QTest::mouseRelease(page->spectroPlot()->canvas(), Qt::LeftButton, {}, point + QPoint(0, 40));
    QCoreApplication::processEvents();
    QCOMPARE(alarms.limits().first(), mask);
    for (const QwtPlotItem *item : page->spectroPlot()->itemList(QwtPlotItem::Rtti_PlotCurve))
        if (item->title().text() == QLatin1String("Mask"))
            QCOMPARE(static_cast<const QwtPlotCurve *>(item)->sample(1).y(), -50.0);
    alarms.setLimits({other});
    QVERIFY(curves().isEmpty());
}

QTEST_MAIN(tst_AlarmController)
#include "tst_alarmcontroller.moc"
