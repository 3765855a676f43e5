#include "burstsourcemodel.h"
#include "utilizationdock.h"

#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

namespace {

BurstSource source(BurstSource::Kind kind, double lowMHz, int peakDbm, qint64 seconds, int count)
{
    BurstSource s;
    s.kind = kind;
    s.lowMHz = lowMHz;
    s.highMHz = lowMHz + 5;
    s.peakDbm = peakDbm;
    s.startMs = 1765000000000;
    s.endMs = s.startMs + seconds * 1000;
    for (int i = 0; i < count; ++i) {
        Burst b;
        b.startMs = b.endMs = s.startMs + i * 1000;
        b.lowMHz = s.lowMHz;
        b.highMHz = s.highMHz;
        s.bursts.append(b);
    }
    return s;
}

} // namespace

class TstUtilizationDock : public QObject
{
    Q_OBJECT
private slots:
    void longHistoryCountedAside_data();
    void longHistoryCountedAside();
    void sourcesSortFilterRemove_data();
    void sourcesSortFilterRemove();
};

void TstUtilizationDock::longHistoryCountedAside_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("counted, then shown") << false;
    QTest::newRow("cancelled: the last result stays") << true;
}

void TstUtilizationDock::longHistoryCountedAside()
{
    QFETCH(bool, cancel);
    // Nine blocks: more than one batch of counting on up to eight threads,
    // so a cancel is seen between two of them.
    const QwtInterval band(2400, 2500);
    const RfSpectrumScan quiet(501, -95);
    RfSpectrumScan busy = quiet;
    std::fill(busy.begin() + 10, busy.begin() + 110, qint8(-40)); // Wi-Fi 1
    RfSpectrumSampleList history;
    for (int s = 0; s < 9 * LevelCountIndex::DefaultBlockSweeps; ++s)
        history.append(RfSpectrumSample(s * 50LL, s % 4 ? quiet : busy));

    UtilizationDock dock;
    // As the window does: the dock asks for the page's selection when it
    // holds none (it keeps none once analysed).
    RfSpectrumSampleList page = history.mid(0, 100);
    connect(&dock, &UtilizationDock::selectionWanted, this, [&] { dock.setSelection(page, band); });
    dock.setSelection(page, band); // hidden: asked for again once shown
    dock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dock)); // short: answered at once
    QCOMPARE(dock.result().sampleCount, 100);
    QVERIFY(!dock.isCounting());
    const QString first = dock.result().recommendationText();

    page = history;
    dock.setSelection(page, band);
    QVERIFY(dock.isCounting());
    if (cancel) {
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("counting cancelled after"));
        dock.countButton()->click();
        QTRY_VERIFY(!dock.isCounting());
        QCOMPARE(dock.result().sampleCount, 100);
        QCOMPARE(dock.result().recommendationText(), first);
        QCOMPARE(dock.countButton()->text(), QStringLiteral("Analyse"));
        dock.setSelection(page, band); // waits for the user
        QVERIFY(!dock.isCounting());
        dock.countButton()->click();
        QVERIFY(dock.isCounting());
    }
    QTRY_COMPARE_WITH_TIMEOUT(dock.result().sampleCount, history.size(), 30000);
    UtilizationAnalyzer direct;
    QCOMPARE(dock.result().recommendationText(), direct.update(history, band).recommendationText());
}

void TstUtilizationDock::sourcesSortFilterRemove_data()
{
    QTest::addColumn<int>("minDbm");
    QTest::addColumn<double>("minSeconds");
    QTest::addColumn<double>("lowMHz");
    QTest::addColumn<double>("highMHz");
    QTest::addColumn<QList<double>>("shown"); // sources by their low edge, strongest first
    QTest::addColumn<int>("events");
    QTest::newRow("all") << int(NoDataLevel) << 0.0 << 2400.0 << 2500.0
                         << QList<double>{2460, 2410, 2430, 2480} << 1 + 12 + 1 + 3;
    QTest::newRow("at least -60 dBm")
        << -60 << 0.0 << 2400.0 << 2500.0 << QList<double>{2460, 2410} << 1 + 12;
    QTest::newRow("lasting 10 s or more")
        << int(NoDataLevel) << 10.0 << 2400.0 << 2500.0 << QList<double>{2460, 2410} << 1 + 12;
    QTest::newRow("meeting 2434-2482 MHz: edges count")
        << int(NoDataLevel) << 0.0 << 2434.0 << 2482.0 << QList<double>{2460, 2430, 2480}
        << 1 + 1 + 3;
}

void TstUtilizationDock::sourcesSortFilterRemove()
{
    QFETCH(int, minDbm);
    QFETCH(double, minSeconds);
    QFETCH(double, lowMHz);
    QFETCH(double, highMHz);
    QFETCH(QList<double>, shown);
    QFETCH(int, events);
    const QVector<BurstSource> found{source(BurstSource::Intermittent, 2410, -55, 60, 12),
                                     source(BurstSource::Isolated, 2430, -70, 2, 1),
                                     source(BurstSource::Continuous, 2460, -40, 120, 1),
                                     source(BurstSource::Intermittent, 2480, -80, 5, 3)};
    UtilizationDock dock;
    dock.setBurstSources(found, 17, QwtInterval(2400, 2500));
    dock.findChild<QSpinBox *>(QStringLiteral("sbSourceLevel"))->setValue(minDbm);
    dock.findChild<QDoubleSpinBox *>(QStringLiteral("dsbSourceDuration"))->setValue(minSeconds);
    dock.findChild<QDoubleSpinBox *>(QStringLiteral("dsbSourceLow"))->setValue(lowMHz);
    dock.findChild<QDoubleSpinBox *>(QStringLiteral("dsbSourceHigh"))->setValue(highMHz);
    QTableView *view = dock.sourceView();
    view->sortByColumn(BurstSourceModel::PeakColumn, Qt::DescendingOrder);
    QAbstractItemModel *rows = view->model();
    QList<double> listed;
    for (int r = 0; r < rows->rowCount(); ++r)
        listed << rows->index(r, BurstSourceModel::RangeColumn).data(Qt::UserRole).toDouble();
    QCOMPARE(listed, shown);

    // What is shown is chosen at once: its events, then out of the list and
    // out of any report of the same findings, also when found again.
    view->selectAll();
    QSignalSpy added(&dock, &UtilizationDock::burstEventsAdded);
    dock.findChild<QPushButton *>(QStringLiteral("pbSourcesAsEvents"))->click();
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().first().value<QList<TimeEvent>>().size(), events);
    dock.findChild<QPushButton *>(QStringLiteral("pbSourcesRemove"))->click();
    QCOMPARE(dock.sourceModel()->rowCount(), found.size() - shown.size());
    const QVector<BurstSource> kept = dock.keptSources(found);
    QCOMPARE(kept.size(), found.size() - shown.size());
    for (const BurstSource &s : kept)
        QVERIFY(!shown.contains(s.lowMHz));
    dock.setBurstSources(found, 17, QwtInterval(2400, 2500));
    QCOMPARE(dock.sourceModel()->sources().size(), kept.size());
}

QTEST_MAIN(TstUtilizationDock)
#include "tst_utilizationdock.moc"
