#include "referencestatistics.h"
#include "spectrumstatistics.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

const QwtInterval DefaultRange(-100, -30);

RfSpectrumScan sweep(int bins, std::initializer_list<std::pair<int, int>> levels)
{
    RfSpectrumScan s(bins, -128);
    for (const auto &[bin, level] : levels)
        s[bin] = qint8(level);
    return s;
}

RfSpectrumSampleList samplesOf(const QList<RfSpectrumScan> &sweeps)
{
    RfSpectrumSampleList list;
    qint64 t = 0;
    for (const RfSpectrumScan &s : sweeps)
        list.append(RfSpectrumSample(t += 50, s));
    return list;
}

double cell(const SpectrumStatistics &s, const QVector<double> &m, int row, int bin)
{
    return m.at(bin + row * s.columns);
}

// Levels spread like a real band: mostly noise, some signals, some no-data
// bins and a few levels above the top of the range.
RfSpectrumScan randomSweep(QRandomGenerator &rng, int bins)
{
    RfSpectrumScan s(bins);
    for (int i = 0; i < bins; ++i) {
        const quint32 kind = rng.bounded(20);
        if (kind == 0)
            s[i] = -128;
        else if (kind == 1)
            s[i] = qint8(rng.bounded(-128, 128));
        else if (kind < 5)
            s[i] = qint8(rng.bounded(-75, -20));
        else
            s[i] = qint8(rng.bounded(-105, -85));
    }
    return s;
}

void compareWithReference(const SpectrumStatistics &got, const SpectrumStatistics &want,
                          const char *where)
{
    const QByteArray context(where);
    QVERIFY2(got.sampleCount == want.sampleCount, context);
    QVERIFY2(got.columns == want.columns, context);
    QVERIFY2(got.rows == want.rows, context);
    QVERIFY2(got.lowLevel == want.lowLevel, context);
    QVERIFY2(got.highLevel == want.highLevel, context);
    QVERIFY2(got.densityMatrix.size() == want.densityMatrix.size(), context);
    for (int c = 0; c < want.densityMatrix.size(); ++c) {
        QVERIFY2(qAbs(got.densityMatrix.at(c) - want.densityMatrix.at(c)) <= 1e-9,
                 context + " density cell " + QByteArray::number(c));
    }
    QCOMPARE(got.hitMatrix, want.hitMatrix); // powers of two: exact
    QVERIFY2(got.averageTrace.size() == want.averageTrace.size(), context);
    for (int i = 0; i < want.averageTrace.size(); ++i) {
        QVERIFY2(qAbs(got.averageTrace.at(i) - want.averageTrace.at(i)) <= 1e-9,
                 context + " average bin " + QByteArray::number(i));
    }
    QCOMPARE(got.maxHoldTrace, want.maxHoldTrace);
    QCOMPARE(got.currentTrace, want.currentTrace);
    QCOMPARE(got.peak, want.peak);
}

} // namespace

class tst_SpectrumStatistics : public QObject
{
    Q_OBJECT
private slots:
    void twoSweepWorkedExample();
    void repeatedHitsHalve();
    void levelsAtTheEdgesOfTheRange_data();
    void levelsAtTheEdgesOfTheRange();
    void emptySelectionChangesNothing();
    void invalidOrAbsurdIntervalsStayBounded_data();
    void invalidOrAbsurdIntervalsStayBounded();
    void absurdSpanKeepsTheReachableRows();
    void shorterSweepsAreNotReadPastTheirEnd();
    void manyHitsFadeToZero();
    void randomSelectionsMatchReference_data();
    void randomSelectionsMatchReference();
    void slidingLiveWindowIsIncremental();
    void longSelectionMatchesReference();
    void sharedFillerSweepsMatchReference();
    void heldResultsStayUntouched();
};

void tst_SpectrumStatistics::twoSweepWorkedExample()
{
    const auto selection = samplesOf({sweep(5, {{3, -60}}), sweep(5, {{3, -80}})});
    const SpectrumStatistics s = computeSpectrumStatistics(selection, DefaultRange);
    QCOMPARE(s.rows, 70);
    QCOMPARE(s.columns, 5);
    QCOMPARE(s.densityMatrix.size(), 70 * 5);
    for (int r = 0; r < 70; ++r) {
        const double expected = r < 20 ? 1.0 : r < 40 ? 0.5 : 0.0;
        QCOMPARE(cell(s, s.densityMatrix, r, 3), expected);
        const double hit = (r == 19 || r == 39) ? 1.0 : 0.0;
        QCOMPARE(cell(s, s.hitMatrix, r, 3), hit);
        QCOMPARE(cell(s, s.densityMatrix, r, 2), 0.0); // -128 adds nothing
    }
    QCOMPARE(s.averageTrace.at(3), -70.0);
    QCOMPARE(s.averageTrace.at(0), -128.0); // no data counts like any level
    QCOMPARE(int(s.maxHoldTrace.at(3)), -60);
    QCOMPARE(int(s.peak), -60);
    QCOMPARE(s.currentTrace, selection.last().spectrum);
}

void tst_SpectrumStatistics::repeatedHitsHalve()
{
    const RfSpectrumScan level = sweep(4, {{1, -70}});
    const SpectrumStatistics s =
        computeSpectrumStatistics(samplesOf({level, level, level}), DefaultRange);
    QCOMPARE(cell(s, s.hitMatrix, 29, 1), 0.25);
}

void tst_SpectrumStatistics::levelsAtTheEdgesOfTheRange_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("densityRows");
    QTest::addColumn<int>("hitRow"); // -1: none

    QTest::newRow("inside") << -31 << 69 << 68;
    QTest::newRow("at top: no hit") << -30 << 70 << -1;
    QTest::newRow("above top is reflected") << -25 << 65 << -1;
    QTest::newRow("far above top") << 127 << 0 << -1;
    QTest::newRow("at bottom: nothing") << -100 << 0 << -1;
    QTest::newRow("below bottom") << -110 << 0 << -1;
    QTest::newRow("no data") << -128 << 0 << -1;
    QTest::newRow("just above bottom") << -99 << 1 << 0;
}

void tst_SpectrumStatistics::levelsAtTheEdgesOfTheRange()
{
    QFETCH(int, level);
    QFETCH(int, densityRows);
    QFETCH(int, hitRow);
    const SpectrumStatistics s =
        computeSpectrumStatistics(samplesOf({sweep(1, {{0, level}})}), DefaultRange);
    for (int r = 0; r < s.rows; ++r) {
        QCOMPARE(cell(s, s.densityMatrix, r, 0), r < densityRows ? 1.0 : 0.0);
        QCOMPARE(cell(s, s.hitMatrix, r, 0), r == hitRow ? 1.0 : 0.0);
    }
}

void tst_SpectrumStatistics::emptySelectionChangesNothing()
{
    SpectrumStatisticsAccumulator acc;
    QVERIFY(!acc.computeSpectrumStatistics({}, DefaultRange));
    QVERIFY(acc.statistics().isEmpty());
    QVERIFY(acc.computeSpectrumStatistics(samplesOf({sweep(3, {{0, -50}})}), DefaultRange));
    const SpectrumStatistics before = acc.statistics();
    QVERIFY(!acc.computeSpectrumStatistics({}, DefaultRange));
    QCOMPARE(acc.lastUpdate(), SpectrumStatisticsAccumulator::Update::None);
    QCOMPARE(acc.statistics().densityMatrix, before.densityMatrix);
    QCOMPARE(acc.statistics().sampleCount, 1);
}

void tst_SpectrumStatistics::invalidOrAbsurdIntervalsStayBounded_data()
{
    QTest::addColumn<QwtInterval>("interval");
    QTest::addColumn<int>("rows");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("default invalid") << QwtInterval() << 0;
    QTest::newRow("max equals min") << QwtInterval(-50, -50) << 0;
    QTest::newRow("max below min") << QwtInterval(-30, -100) << 0;
    QTest::newRow("millions of dB") << QwtInterval(-5e6, 5e6) << 256;
    QTest::newRow("beyond int range") << QwtInterval(-1e300, 1e300) << 256;
    QTest::newRow("reversed huge") << QwtInterval(1e300, -1e300) << 0;
    QTest::newRow("infinite") << QwtInterval(-inf, inf) << 0;
    QTest::newRow("nan") << QwtInterval(std::nan(""), 10) << 0;
    QTest::newRow("all above levels") << QwtInterval(500, 5e6) << 0;
    QTest::newRow("wide but sane") << QwtInterval(-200, 50) << 250;
}

void tst_SpectrumStatistics::invalidOrAbsurdIntervalsStayBounded()
{
    QFETCH(QwtInterval, interval);
    QFETCH(int, rows);
    const auto selection = samplesOf({sweep(7, {{2, -40}}), sweep(7, {{2, 20}})});
    const SpectrumStatistics s = computeSpectrumStatistics(selection, interval);
    QCOMPARE(s.rows, rows);
    QVERIFY(s.rows <= MaxStatisticsRows);
    QCOMPARE(s.densityMatrix.size(), rows * 7);
    QCOMPARE(s.hitMatrix.size(), rows * 7);
    // The traces do not depend on the rows.
    QCOMPARE(s.averageTrace.at(2), -10.0);
    QCOMPARE(int(s.maxHoldTrace.at(2)), 20);
    QCOMPARE(int(s.peak), 20);
}

void tst_SpectrumStatistics::absurdSpanKeepsTheReachableRows()
{
    // A 600 dB span: the rows kept are the reference's rows -128..127 dBm,
    // cell for cell.
    QRandomGenerator rng(7);
    RfSpectrumSampleList selection;
    for (int i = 0; i < 40; ++i)
        selection.append(RfSpectrumSample(i, randomSweep(rng, 16)));
    const QwtInterval span(-300, 300);
    const SpectrumStatistics got = computeSpectrumStatistics(selection, span);
    const SpectrumStatistics want = reference::computeSpectrumStatistics(selection, span);
    QCOMPARE(got.lowLevel, -128);
    QCOMPARE(got.rows, 256);
    const int shift = got.lowLevel - want.lowLevel;
    for (int r = 0; r < got.rows; ++r) {
        for (int i = 0; i < got.columns; ++i) {
            QVERIFY(qAbs(cell(got, got.densityMatrix, r, i) -
                         cell(want, want.densityMatrix, r + shift, i)) <= 1e-9);
            QCOMPARE(cell(got, got.hitMatrix, r, i), cell(want, want.hitMatrix, r + shift, i));
        }
    }
}

void tst_SpectrumStatistics::shorterSweepsAreNotReadPastTheirEnd()
{
    const auto selection = samplesOf(
        {sweep(6, {{5, -50}}), sweep(3, {{1, -60}}), sweep(9, {{5, -40}, {8, -35}}), sweep(2, {})});
    SpectrumStatisticsAccumulator acc;
    QVERIFY(acc.computeSpectrumStatistics(selection, DefaultRange));
    const SpectrumStatistics &s = acc.statistics();
    QCOMPARE(s.columns, 6);
    QCOMPARE(int(s.maxHoldTrace.at(5)), -40);
    QCOMPARE(s.averageTrace.at(5), (-50 - 128 - 40 - 128) / 4.0);
    QCOMPARE(s.currentTrace, RfSpectrumScan(6, -128)); // padded, not read past
    compareWithReference(s, reference::computeSpectrumStatistics(selection, DefaultRange),
                         "mixed lengths");
    // Sliding over the short ones stays exact.
    QVERIFY(acc.computeSpectrumStatistics(selection.mid(0, 3), DefaultRange));
    compareWithReference(acc.statistics(),
                         reference::computeSpectrumStatistics(selection.mid(0, 3), DefaultRange),
                         "prefix");
}

void tst_SpectrumStatistics::manyHitsFadeToZero()
{
    // Halving a double 1076 times reaches 0, after which a plain "0 becomes 1"
    // would show a cell hit thousands of times like one hit once. The value
    // keeps following 2^-(h-1) instead.
    const RfSpectrumScan level = sweep(1, {{0, -70}});
    RfSpectrumSampleList selection;
    for (int i = 0; i < 1100; ++i)
        selection.append(RfSpectrumSample(i, level));
    SpectrumStatisticsAccumulator acc;
    QVERIFY(acc.computeSpectrumStatistics(selection.mid(0, 1075), DefaultRange));
    QCOMPARE(cell(acc.statistics(), acc.statistics().hitMatrix, 29, 0), std::ldexp(1.0, -1074));
    QVERIFY(acc.computeSpectrumStatistics(selection, DefaultRange));
    QCOMPARE(cell(acc.statistics(), acc.statistics().hitMatrix, 29, 0), 0.0);
}

void tst_SpectrumStatistics::randomSelectionsMatchReference_data()
{
    QTest::addColumn<QwtInterval>("interval");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("default range") << DefaultRange << 1u;
    QTest::newRow("fractional ends truncate") << QwtInterval(-100.7, -29.2) << 2u;
    QTest::newRow("range above zero") << QwtInterval(-120, 20) << 3u;
    QTest::newRow("narrow") << QwtInterval(-95, -90) << 4u;
    QTest::newRow("full byte range") << QwtInterval(-128, 127) << 5u;
}

void tst_SpectrumStatistics::randomSelectionsMatchReference()
{
    QFETCH(QwtInterval, interval);
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    RfSpectrumSampleList history;
    for (int i = 0; i < 300; ++i)
        history.append(RfSpectrumSample(i * 50, randomSweep(rng, 37)));

    SpectrumStatisticsAccumulator acc;
    int incremental = 0;
    int lower = 100;
    int upper = 160;
    for (int round = 0; round < 80; ++round) {
        if (round % 6 == 5) { // a jump anywhere, as a click elsewhere on the bar
            lower = int(rng.bounded(300));
            upper = int(rng.bounded(301));
            if (lower > upper)
                std::swap(lower, upper);
        } else { // drags and wheel steps: both ends move by up to 12 samples
            lower = qBound(0, lower + int(rng.bounded(25)) - 12, 299);
            upper = qBound(0, upper + int(rng.bounded(25)) - 12, 300);
        }
        if (upper <= lower)
            upper = lower + 1;
        const RfSpectrumSampleList selection = history.mid(lower, upper - lower);
        QVERIFY(acc.computeSpectrumStatistics(selection, interval));
        if (acc.lastUpdate() == SpectrumStatisticsAccumulator::Update::Incremental)
            ++incremental;
        compareWithReference(
            acc.statistics(), reference::computeSpectrumStatistics(selection, interval),
            qPrintable(QStringLiteral("round %1 [%2, %3)").arg(round).arg(lower).arg(upper)));
        if (QTest::currentTestFailed())
            return;
    }
    QVERIFY2(incremental > 40, qPrintable(QString::number(incremental)));
}

// Hours of sweeps are counted on several threads at once: the counts, sums
// and maxima come out as one plain pass's, short sweeps included.
void tst_SpectrumStatistics::longSelectionMatchesReference()
{
    QRandomGenerator rng(77);
    RfSpectrumSampleList history;
    constexpr int Bins = 37;
    for (int i = 0; i < 40000; ++i)
        history.append(RfSpectrumSample(i * 50, randomSweep(rng, i % 1000 == 7 ? 30 : Bins)));
    SpectrumStatisticsAccumulator acc;
    QVERIFY(acc.computeSpectrumStatistics(history, DefaultRange));
    QVector<qint32> counts(Bins * 256);
    for (const RfSpectrumSample &s : qAsConst(history))
        for (int i = 0; i < Bins; ++i)
            ++counts[i * 256 + 128 + (i < s.spectrum.size() ? s.spectrum.at(i) : -128)];
    QCOMPARE(acc.levelHistograms(), counts);
    const SpectrumStatistics want = reference::computeSpectrumStatistics(history, DefaultRange);
    QCOMPARE(acc.statistics().maxHoldTrace, want.maxHoldTrace);
    for (int i = 0; i < Bins; ++i)
        QVERIFY(qAbs(acc.statistics().averageTrace.at(i) - want.averageTrace.at(i)) <= 1e-9);
}

void tst_SpectrumStatistics::slidingLiveWindowIsIncremental()
{
    // A live window that grows to 120 samples and then slides; every step
    // after the first must be incremental and exact.
    QRandomGenerator rng(11);
    RfSpectrumSampleList history;
    SpectrumStatisticsAccumulator acc;
    for (int i = 0; i < 400; ++i) {
        history.append(RfSpectrumSample(i * 1000, randomSweep(rng, 25)));
        const int lower = qMax(0, history.size() - 121);
        const RfSpectrumSampleList window = history.mid(lower);
        QVERIFY(acc.computeSpectrumStatistics(window, DefaultRange));
        if (i > 1)
            QCOMPARE(acc.lastUpdate(), SpectrumStatisticsAccumulator::Update::Incremental);
        if (i % 7 == 0 || i == 399)
            compareWithReference(acc.statistics(),
                                 reference::computeSpectrumStatistics(window, DefaultRange),
                                 qPrintable(QStringLiteral("step %1").arg(i)));
        if (QTest::currentTestFailed())
            return;
    }
    // A selection made of other copies of equal sweeps shares no data with
    // the previous one: rebuilt, and still exact.
    RfSpectrumSampleList copies;
    for (const RfSpectrumSample &s : history.mid(10, 50))
        copies.append(
            RfSpectrumSample(s.timeStamp, RfSpectrumScan(s.spectrum.begin(), s.spectrum.end())));
    QVERIFY(acc.computeSpectrumStatistics(copies, DefaultRange));
    QCOMPARE(acc.lastUpdate(), SpectrumStatisticsAccumulator::Update::Rebuilt);
    compareWithReference(acc.statistics(),
                         reference::computeSpectrumStatistics(copies, DefaultRange), "copies");
}

void tst_SpectrumStatistics::sharedFillerSweepsMatchReference()
{
    // Gap filling shares one no-data sweep among many samples, so the same
    // levels appear at many positions; any alignment found must stay exact.
    QRandomGenerator rng(5);
    const RfSpectrumScan filler(20, -128);
    RfSpectrumSampleList history;
    for (int i = 0; i < 200; ++i) {
        const bool gap = (i / 30) % 2 == 1;
        history.append(RfSpectrumSample(i, gap ? filler : randomSweep(rng, 20)));
    }
    SpectrumStatisticsAccumulator acc;
    for (int lower = 0; lower + 40 <= 200; lower += 3) {
        const RfSpectrumSampleList window = history.mid(lower, 40 + (lower % 5));
        QVERIFY(acc.computeSpectrumStatistics(window, DefaultRange));
        compareWithReference(acc.statistics(),
                             reference::computeSpectrumStatistics(window, DefaultRange),
                             qPrintable(QStringLiteral("lower %1").arg(lower)));
        if (QTest::currentTestFailed())
            return;
    }
}

void tst_SpectrumStatistics::heldResultsStayUntouched()
{
    // A plot's raster keeps the matrices it was given while the next updates
    // are computed (render threads may read them): the accumulator reuses its
    // buffers, but never ones somebody still holds.
    QRandomGenerator rng(9);
    RfSpectrumSampleList history;
    for (int i = 0; i < 60; ++i)
        history.append(RfSpectrumSample(i, randomSweep(rng, 12)));
    SpectrumStatisticsAccumulator acc;
    QList<QPair<SpectrumStatistics, SpectrumStatistics>> held; // {held copy, its expected value}
    for (int step = 0; step < 30; ++step) {
        const RfSpectrumSampleList window = history.mid(step, 20 + step % 3);
        QVERIFY(acc.computeSpectrumStatistics(window, DefaultRange));
        const SpectrumStatistics expected =
            reference::computeSpectrumStatistics(window, DefaultRange);
        compareWithReference(acc.statistics(), expected, "update");
        for (const auto &h : held)
            compareWithReference(h.first, h.second, "held copy");
        if (QTest::currentTestFailed())
            return;
        held.append({acc.statistics(), expected});
        while (held.size() > 1 + int(rng.bounded(3)))
            held.removeFirst();
    }
}

QTEST_GUILESS_MAIN(tst_SpectrumStatistics)
#include "tst_spectrumstatistics.moc"
