#include "sweeprate.h"

#include <QtTest>

class tst_SweepRate : public QObject
{
    Q_OBJECT
private slots:
    void rate_data();
    void rate();
};

void tst_SweepRate::rate_data()
{
    QTest::addColumn<int>("count"); // sweeps, one every `everyMs` from t = 10 s
    QTest::addColumn<int>("everyMs");
    QTest::addColumn<int>("readAfter"); // ms after the last sweep
    QTest::addColumn<double>("rate");
    QTest::newRow("steady 20/s") << 200 << 50 << 0 << 20.0;
    QTest::newRow("only the last 2 s count") << 1000 << 10 << 0 << 100.0;
    QTest::newRow("new scan, 0.5 s in: one second") << 10 << 50 << 0 << 10.0;
    QTest::newRow("new scan, 1.5 s in") << 31 << 50 << 0 << 31 / 1.5;
    QTest::newRow("stopped 2 s ago") << 100 << 50 << 2000 << 0.0;
    QTest::newRow("none") << 0 << 50 << 0 << 0.0;
}

void tst_SweepRate::rate()
{
    QFETCH(int, count);
    QFETCH(int, everyMs);
    QFETCH(int, readAfter);
    QFETCH(double, rate);
    SweepRate meter;
    meter.addSweep(1000); // an earlier scan, forgotten by clear()
    meter.clear();
    qint64 t = 10000;
    for (int i = 0; i < count; ++i, t += everyMs)
        meter.addSweep(t);
    QCOMPARE(meter.perSecond(t - everyMs + readAfter), rate);
}

QTEST_GUILESS_MAIN(tst_SweepRate)
#include "tst_sweeprate.moc"
