#include "overloadwatch.h"

#include <QTest>

// The overload warning over a run of sweeps: when it comes, where it points,
// and that it holds until two seconds after the last overloaded sweep.
class tst_OverloadWatch : public QObject
{
    Q_OBJECT
private slots:
    void warning_data();
    void warning();
};

using Sweeps = QList<QPair<qint64, QPair<int, int>>>; // time ms, (point, level dBm)

void tst_OverloadWatch::warning_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<Sweeps>("sweeps");
    QTest::addColumn<qint64>("askedAt");
    QTest::addColumn<QString>("text");
    const QString at2458 =
        "Input overload near 2458 MHz: move the scanner away or add an attenuator";
    QTest::newRow("carrier at -12 dBm") << -20 << Sweeps{{0, {290, -12}}} << qint64(0) << at2458;
    QTest::newRow("exactly at the limit") << -20 << Sweeps{{0, {290, -20}}} << qint64(0) << at2458;
    QTest::newRow("below the limit") << -20 << Sweeps{{0, {290, -21}}} << qint64(0) << QString();
    QTest::newRow("held 1.9 s after it ended")
        << -20 << Sweeps{{0, {290, -12}}, {1000, {290, -70}}} << qint64(1999) << at2458;
    QTest::newRow("gone 2 s after it ended")
        << -20 << Sweeps{{0, {290, -12}}, {1000, {290, -70}}} << qint64(2000) << QString();
    QTest::newRow("follows the carrier")
        << -20 << Sweeps{{0, {290, -12}}, {50, {50, -15}}} << qint64(50)
        << "Input overload near 2410 MHz: move the scanner away or add an attenuator";
    QTest::newRow("a lower limit") << -40 << Sweeps{{0, {290, -35}}} << qint64(0) << at2458;
}

void tst_OverloadWatch::warning()
{
    QFETCH(int, limit);
    QFETCH(Sweeps, sweeps);
    QFETCH(qint64, askedAt);
    QFETCH(QString, text);
    OverloadWatch watch;
    watch.setLimit(limit);
    const QwtInterval band(2400, 2500);
    for (const auto &s : sweeps) {
        RfSpectrumScan scan(501, -90);
        scan[0] = NoDataLevel;
        scan[s.second.first] = qint8(s.second.second);
        watch.addSweep(s.first, scan, band);
    }
    watch.expire(askedAt);
    QCOMPARE(watch.text(), text);
    QCOMPARE(watch.active(), !text.isEmpty());
}

QTEST_GUILESS_MAIN(tst_OverloadWatch)
#include "tst_overloadwatch.moc"
