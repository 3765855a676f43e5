#include "bandhistory.h"

#include <QtTest>

namespace {

RfSpectrumSample sampleAt(qint64 t, int bins = 4, qint8 level = -70)
{
    return RfSpectrumSample(t, RfSpectrumScan(bins, level));
}

// Stands in for the page's time bar: applies updates the way the page does
// and answers its upper value.
struct Bar
{
    qint64 maximum = 0;
    qint64 lower = 0;
    qint64 upper = 100; // a fresh bar's upper value, before the first sample
    void apply(const TimeBarUpdate &u)
    {
        if (u.setsRange)
            maximum = u.rangeMaximum;
        if (u.movesView) {
            lower = qBound<qint64>(0, u.lowerValue, maximum);
            upper = qBound<qint64>(0, u.upperValue, maximum);
        }
    }
};

void append(BandHistory &h, Bar &bar, qint64 t)
{
    bar.apply(h.addNewSpectrumSample(sampleAt(t), bar.upper));
}

} // namespace

class tst_BandHistory : public QObject
{
    Q_OBJECT
private slots:
    void meanSampleInterval();
    void liveWindowKeepsTheLast120Seconds();
    void viewStaysWhenTheUpperHandleWasMovedBack();
    void fillMissingHistPadsTheGap();
    void fillMissingHistNeedsTwoSamples();
    void fillMissingHistNeverLoopsForever_data();
    void fillMissingHistNeverLoopsForever();
    void fillMissingHistAfterClockJump();
    void clearHistDropsSamplesAndLabels();
    void timeEventsAndLabels();
    void labelEquality_data();
    void labelEquality();
    void selectionIsClampedToTheHistory_data();
    void selectionIsClampedToTheHistory();
    void recordedViewShowsTheLastWindow();
    void wifiNetworksOfTheNewestSample();
    void storedSweepsCarryNoSpareCapacity();
};

void tst_BandHistory::meanSampleInterval()
{
    BandHistory h;
    Bar bar;
    append(h, bar, 0);
    QCOMPARE(h.meanSampleInterval(), 0.0);
    append(h, bar, 1000);
    QCOMPARE(h.meanSampleInterval(), 1000.0);
    append(h, bar, 3000);
    QCOMPARE(h.meanSampleInterval(), 1000.0 - 1000.0 / 3 + 2000.0 / 3);
    QVERIFY(qAbs(h.meanSampleInterval() - 1333.33) < 0.01);
}

void tst_BandHistory::liveWindowKeepsTheLast120Seconds()
{
    BandHistory h;
    Bar bar;
    for (int i = 0; i < 200; ++i) {
        append(h, bar, qint64(i) * 1000);
        QCOMPARE(bar.maximum, qint64(i + 1));
        QCOMPARE(bar.upper, qint64(i + 1));
    }
    // The sample exactly 120000 ms older than the newest stays in: 121 shown.
    QCOMPARE(bar.lower, qint64(79));
    QCOMPARE(bar.upper - bar.lower, qint64(121));
    QCOMPARE(h.liveWindowStart(), 79);
    QCOMPARE(h.selection(bar.lower, bar.upper).size(), 121);
}

void tst_BandHistory::viewStaysWhenTheUpperHandleWasMovedBack()
{
    BandHistory h;
    Bar bar;
    for (int i = 0; i < 10; ++i)
        append(h, bar, qint64(i) * 1000);
    bar.lower = 2;
    bar.upper = 6; // the user dragged the range back
    const TimeBarUpdate u = h.addNewSpectrumSample(sampleAt(10000), bar.upper);
    QVERIFY(u.setsRange);
    QCOMPARE(u.rangeMaximum, qint64(11));
    QVERIFY(!u.movesView);
    bar.apply(u);
    QCOMPARE(bar.lower, qint64(2));
    QCOMPARE(bar.upper, qint64(6));

    // Back at the end, the view follows again.
    bar.upper = 11;
    append(h, bar, 11000);
    QCOMPARE(bar.upper, qint64(12));
    QCOMPARE(bar.lower, qint64(0));
}

void tst_BandHistory::fillMissingHistPadsTheGap()
{
    BandHistory h;
    Bar bar;
    append(h, bar, 0);
    append(h, bar, 1000);
    bar.upper = 1; // wherever the handles are, filling shows the newest
    bar.lower = 0;
    const qint64 last = 1000;
    bar.apply(h.fillMissingHist(last + 5500));
    QCOMPARE(h.sampleCount(), 7);
    for (int i = 1; i <= 5; ++i) {
        const RfSpectrumSample &s = h.samples().at(1 + i);
        QCOMPARE(s.timeStamp, last + i * 1000);
        QCOMPARE(s.spectrum, RfSpectrumScan(4, -128));
        QVERIFY(s.wifiNetworks.isEmpty());
    }
    QCOMPARE(h.meanSampleInterval(), 1000.0); // fillers leave the mean alone
    QCOMPARE(bar.maximum, qint64(7));
    QCOMPARE(bar.upper, qint64(7));
    QCOMPARE(bar.lower, qint64(0));

    // Not later than one mean interval: nothing more to add.
    bar.apply(h.fillMissingHist(6000 + 1000));
    QCOMPARE(h.sampleCount(), 7);
}

void tst_BandHistory::fillMissingHistNeedsTwoSamples()
{
    BandHistory h;
    QVERIFY(!h.fillMissingHist(1000000).setsRange);
    Bar bar;
    append(h, bar, 0);
    const TimeBarUpdate u = h.fillMissingHist(1000000);
    QVERIFY(!u.setsRange);
    QVERIFY(!u.movesView);
    QCOMPARE(h.sampleCount(), 1);
}

void tst_BandHistory::fillMissingHistNeverLoopsForever_data()
{
    QTest::addColumn<QList<qint64>>("stamps");
    QTest::addColumn<double>("mean");
    QTest::newRow("equal stamps: mean 0") << QList<qint64>{5000, 5000} << 0.0;
    QTest::newRow("stamps going back: negative mean") << QList<qint64>{5000, 4000} << -1000.0;
    QTest::newRow("mean below one ms") << QList<qint64>{5000, 5000, 5001} << 1.0 / 3;
}

void tst_BandHistory::fillMissingHistNeverLoopsForever()
{
    QFETCH(QList<qint64>, stamps);
    QFETCH(double, mean);
    BandHistory h;
    Bar bar;
    for (qint64 t : stamps)
        append(h, bar, t);
    QCOMPARE(h.meanSampleInterval(), mean);
    const TimeBarUpdate u = h.fillMissingHist(stamps.last() + 60000);
    QCOMPARE(h.sampleCount(), stamps.size());
    QVERIFY(u.movesView); // the view still goes to the newest sample
    QCOMPARE(u.upperValue, qint64(stamps.size()));
}

// A clock that jumped years ahead must not try to pad billions of fillers.
void tst_BandHistory::fillMissingHistAfterClockJump()
{
    BandHistory h;
    Bar bar;
    append(h, bar, 0);
    append(h, bar, 1);
    h.fillMissingHist(qint64(40) * 365 * 24 * 3600 * 1000);
    QVERIFY(h.sampleCount() > 1000000);
    QVERIFY(h.sampleCount() <= 2000002);
    QCOMPARE(h.history().samples.last().spectrum.first(), qint8(-128));
}

void tst_BandHistory::clearHistDropsSamplesAndLabels()
{
    BandHistory h;
    Bar bar;
    for (int i = 0; i < 300; ++i)
        append(h, bar, qint64(i) * 1000);
    QVERIFY(h.liveWindowStart() > 0);
    const TimeEvent event(QDateTime::fromMSecsSinceEpoch(5000, Qt::UTC), "start");
    h.addTimeEvent(event);
    h.addSpectroLabel(SpectroLabel(QPointF(2437, -60), "router"));
    h.clearHist();
    QCOMPARE(h.sampleCount(), 0);
    QCOMPARE(h.liveWindowStart(), 0);
    // The plot loses its label markers with the samples; the history's list
    // must go too, or the next recording carries invisible labels.
    QVERIFY(h.history().spectroLabels.isEmpty());
    QCOMPARE(h.history().timeEvents, QList<TimeEvent>{event});
    QVERIFY(h.selection(0, 300).isEmpty());

    // The next sample starts a fresh live window.
    append(h, bar, 900000);
    QCOMPARE(h.meanSampleInterval(), 0.0);
    QCOMPARE(bar.lower, qint64(0));
    QCOMPARE(bar.upper, qint64(1));
}

void tst_BandHistory::timeEventsAndLabels()
{
    BandHistory h;
    const TimeEvent a(QDateTime::fromMSecsSinceEpoch(1000, Qt::UTC), "a");
    const TimeEvent b(QDateTime::fromMSecsSinceEpoch(2000, Qt::UTC), "a");
    h.addTimeEvent(a);
    h.addTimeEvent(b);
    h.addTimeEvent(a);
    QVERIFY(!h.removeTimeEvent(TimeEvent(QDateTime::fromMSecsSinceEpoch(1000, Qt::UTC), "b")));
    QCOMPARE(h.history().timeEvents.size(), 3);
    QVERIFY(h.removeTimeEvent(a));
    QCOMPARE(h.history().timeEvents, (QList<TimeEvent>{b, a}));

    const SpectroLabel first(QPointF(2437.5, -60), "same");
    const SpectroLabel other(QPointF(2412, -70), "other");
    const SpectroLabel second(QPointF(2437.5, -60), "same");
    h.addSpectroLabel(first);
    h.addSpectroLabel(other);
    h.addSpectroLabel(second);
    QVERIFY(!h.removeSpectroLabel(SpectroLabel(QPointF(2437.5, -61), "same")));
    QCOMPARE(h.history().spectroLabels.size(), 3);
    QVERIFY(h.removeSpectroLabel(SpectroLabel(QPointF(2437.5, -60), "same")));
    QCOMPARE(h.history().spectroLabels.size(), 2);
    QCOMPARE(h.history().spectroLabels.at(0).text, QStringLiteral("other"));

    ProjectInfoData info{"Site", "42", "Hall B", "Kim"};
    h.setProjectInfo(info);
    QCOMPARE(h.history().projectInfo, info);
}

void tst_BandHistory::labelEquality_data()
{
    QTest::addColumn<QPointF>("a");
    QTest::addColumn<QPointF>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("identical") << QPointF(2437.5, -60) << QPointF(2437.5, -60) << true;
    QTest::newRow("within 1e-12 relative")
        << QPointF(2437.5, -60) << QPointF(2437.5 + 1e-10, -60) << true;
    QTest::newRow("beyond 1e-12 relative")
        << QPointF(2437.5, -60) << QPointF(2437.5 + 1e-8, -60) << false;
    QTest::newRow("zero and tiny") << QPointF(0, -60) << QPointF(1e-13, -60) << true;
    QTest::newRow("zero and small") << QPointF(0, -60) << QPointF(1e-11, -60) << false;
    QTest::newRow("y differs") << QPointF(2400, -60) << QPointF(2400, -61) << false;
}

void tst_BandHistory::labelEquality()
{
    QFETCH(QPointF, a);
    QFETCH(QPointF, b);
    QFETCH(bool, equal);
    QCOMPARE(SpectroLabel(a, "x") == SpectroLabel(b, "x"), equal);
    QVERIFY(!(SpectroLabel(a, "x") == SpectroLabel(a, "y")));
}

void tst_BandHistory::selectionIsClampedToTheHistory_data()
{
    QTest::addColumn<qint64>("lower");
    QTest::addColumn<qint64>("upper");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::newRow("inside") << qint64(2) << qint64(5) << 2 << 3;
    QTest::newRow("below start") << qint64(-5) << qint64(3) << 0 << 3;
    QTest::newRow("past end") << qint64(7) << qint64(100) << 7 << 3;
    QTest::newRow("empty") << qint64(4) << qint64(4) << 0 << 0;
    QTest::newRow("reversed") << qint64(6) << qint64(2) << 0 << 0;
}

void tst_BandHistory::selectionIsClampedToTheHistory()
{
    QFETCH(qint64, lower);
    QFETCH(qint64, upper);
    QFETCH(int, first);
    QFETCH(int, count);
    BandHistory h;
    Bar bar;
    for (int i = 0; i < 10; ++i)
        append(h, bar, qint64(i) * 10);
    const RfSpectrumSampleList s = h.selection(lower, upper);
    QCOMPARE(s.size(), count);
    if (count > 0)
        QCOMPARE(s.first().timeStamp, qint64(first) * 10);
}

void tst_BandHistory::recordedViewShowsTheLastWindow()
{
    RfSpectrumHistory recorded;
    for (int i = 0; i < 200; ++i)
        recorded.samples.append(sampleAt(qint64(i) * 1000));
    const BandHistory h(recorded);
    const TimeBarUpdate u = h.recordedView();
    QCOMPARE(u.rangeMaximum, qint64(200));
    QCOMPARE(u.lowerValue, qint64(79));
    QCOMPARE(u.upperValue, qint64(200));
    QCOMPARE(h.history(), recorded);

    const TimeBarUpdate empty = BandHistory(RfSpectrumHistory()).recordedView();
    QCOMPARE(empty.rangeMaximum, qint64(0));
    QCOMPARE(empty.lowerValue, qint64(0));
    QCOMPARE(empty.upperValue, qint64(0));
}

void tst_BandHistory::wifiNetworksOfTheNewestSample()
{
    BandHistory h;
    QVERIFY(h.lastWifiNetworks().isEmpty());
    h.setLastWifiNetworks(WifiScan{WifiApInfo()}); // no sample: nothing to attach to
    Bar bar;
    append(h, bar, 0);
    WifiApInfo ap;
    ap.bssid = "<00:11:22:aa:bb:cc>";
    h.setLastWifiNetworks(WifiScan{ap});
    QCOMPARE(h.lastWifiNetworks().size(), 1);
    // The 2.4 GHz page carries the networks into the next sample.
    bar.apply(h.addNewSpectrumSample(
        RfSpectrumSample(50, RfSpectrumScan(4, -60), h.lastWifiNetworks()), bar.upper));
    QCOMPARE(h.samples().at(1).wifiNetworks, WifiScan{ap});
}

void tst_BandHistory::storedSweepsCarryNoSpareCapacity()
{
    RfSpectrumScan grown;
    for (int i = 0; i < 501; ++i)
        grown.append(qint8(-90));
    QVERIFY(grown.capacity() > grown.size());
    BandHistory h;
    h.addNewSpectrumSample(RfSpectrumSample(0, grown), 0);
    QCOMPARE(h.samples().first().spectrum.capacity(), 501);
    QCOMPARE(h.samples().first().spectrum, grown);
}

QTEST_GUILESS_MAIN(tst_BandHistory)
#include "tst_bandhistory.moc"
