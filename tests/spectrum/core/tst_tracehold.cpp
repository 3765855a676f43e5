#include "tracehold.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>

// The held traces against a plain recomputation from all the sweeps: random
// sweeps with no-data bins, the average over the last N, a clear part way.
class tst_TraceHold : public QObject
{
    Q_OBJECT

private slots:
    void againstReference_data();
    void againstReference();
};

void tst_TraceHold::againstReference_data()
{
    QTest::addColumn<int>("sweeps");
    QTest::addColumn<int>("averageCount");
    QTest::addColumn<int>("clearAfter"); //!< -1: never
    QTest::addColumn<int>("noDataPercent");

    QTest::newRow("fewer sweeps than N") << 3 << 10 << -1 << 0;
    QTest::newRow("ring wrapped") << 57 << 10 << -1 << 10;
    QTest::newRow("N = 1 is the current sweep") << 20 << 1 << -1 << 0;
    QTest::newRow("cleared holds") << 40 << 5 << 25 << 5;
    QTest::newRow("cleared by the last sweep") << 12 << 4 << 12 << 0;
    QTest::newRow("mostly no data") << 30 << 8 << -1 << 90;
    QTest::newRow("N clamped") << 150 << 1000 << -1 << 0;
}

void tst_TraceHold::againstReference()
{
    QFETCH(int, sweeps);
    QFETCH(int, averageCount);
    QFETCH(int, clearAfter);
    QFETCH(int, noDataPercent);

    constexpr int bins = 37;
    QRandomGenerator rng(uint(sweeps * 131 + averageCount));
    TraceHold hold;
    hold.setAverageCount(averageCount);
    QVector<RfSpectrumScan> all;
    for (int s = 0; s < sweeps; ++s) {
        RfSpectrumScan sweep(bins);
        for (qint8 &v : sweep)
            v = int(rng.bounded(100)) < noDataPercent ? NoDataLevel
                                                      : qint8(-110 + int(rng.bounded(90)));
        all.append(sweep);
        hold.add(sweep);
        if (s + 1 == clearAfter)
            hold.clearHolds();
    }

    const int n = qMin(averageCount, int(TraceHold::MaxAverageCount));
    const int holdFrom = clearAfter > 0 ? clearAfter : 0;
    const QVector<double> average = hold.average();
    QCOMPARE(hold.columns(), bins);
    QCOMPARE(hold.sweeps(), qint64(sweeps - holdFrom));
    for (int i = 0; i < bins; ++i) {
        int max = NoDataLevel, min = NoDataLevel, count = 0;
        double sum = 0;
        for (int s = 0; s < sweeps; ++s) {
            const int v = all.at(s).at(i);
            if (v == NoDataLevel)
                continue;
            if (s >= holdFrom) {
                max = max == NoDataLevel ? v : qMax(max, v);
                min = min == NoDataLevel ? v : qMin(min, v);
            }
            if (s >= sweeps - n) {
                sum += v;
                ++count;
            }
        }
        QCOMPARE(int(hold.maxHold().at(i)), max);
        QCOMPARE(int(hold.minHold().at(i)), min);
        if (count == 0)
            QVERIFY(std::isnan(average.at(i)));
        else
            QCOMPARE(average.at(i), sum / count);
    }
}

QTEST_GUILESS_MAIN(tst_TraceHold)
#include "tst_tracehold.moc"
