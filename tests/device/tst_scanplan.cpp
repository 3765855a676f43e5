#include "pointgrid.h"
#include "scanplan.h"

#include <QTest>

class tst_ScanPlan : public QObject
{
    Q_OBJECT
private slots:
    void pointCount_data();
    void pointCount();
    void overrides();
    void amplitudeOffset_data();
    void amplitudeOffset();
    void settingsText_data();
    void settingsText();
};

void tst_ScanPlan::settingsText_data()
{
    RfParams table2400;
    table2400.entries = {{101.5625, 152, 57}, {203.125, 305, 41}};
    QTest::addColumn<QVariantMap>("parameters");
    QTest::addColumn<RfParams>("table");
    QTest::addColumn<double>("sweepMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("2.4 GHz running")
        << ScanPlan::defaultParameters(ScanPlan::Band2400) << table2400 << 48.6
        << QString::fromUtf8(
               "RBW 203.1 kHz \u00b7 step 200 kHz \u00b7 501 points \u00b7 sweep 49 ms");
    QTest::newRow("900 MHz, table not read yet")
        << ScanPlan::defaultParameters(ScanPlan::Band900) << RfParams() << 0.0
        << QString::fromUtf8("RBW register 36 \u00b7 step 103.25 kHz \u00b7 252 points");
}

void tst_ScanPlan::settingsText()
{
    QFETCH(QVariantMap, parameters);
    QFETCH(RfParams, table);
    QFETCH(double, sweepMs);
    QFETCH(QString, text);
    QCOMPARE(ScanPlan::settingsText(parameters, table, sweepMs), text);
}

void tst_ScanPlan::pointCount_data()
{
    QTest::addColumn<QVariantMap>("parameters");
    QTest::addColumn<int>("points");
    QTest::newRow("2.4 GHz defaults") << ScanPlan::defaultParameters(ScanPlan::Band2400) << 501;
    QTest::newRow("900 MHz defaults") << ScanPlan::defaultParameters(ScanPlan::Band900) << 252;
    QTest::newRow("-fstep 100 on 2.4 GHz")
        << ScanPlan::withOverrides(ScanPlan::defaultParameters(ScanPlan::Band2400), -1, 100)
        << 1001;
    QTest::newRow("empty map") << QVariantMap() << 0;
    QTest::newRow("no span") << QVariantMap{{"FStep", 200}} << 0;
    QTest::newRow("zero step") << QVariantMap{{"Span", 100}, {"FStep", 0.0}} << 0;
}

void tst_ScanPlan::pointCount()
{
    QFETCH(QVariantMap, parameters);
    QFETCH(int, points);
    QCOMPARE(PointGrid::pointCount(parameters), points);
}

void tst_ScanPlan::overrides()
{
    const QVariantMap d = ScanPlan::defaultParameters(ScanPlan::Band2400);
    QCOMPARE(ScanPlan::withOverrides(d, -1, -1.0), d);
    QCOMPARE(ScanPlan::withOverrides(d, 31, 0.0), d); // below 32 and not positive: none
    const QVariantMap o = ScanPlan::withOverrides(d, 40, 150.5);
    QCOMPARE(o.value("RBW").toInt(), 40);
    QCOMPARE(o.value("FStep").toDouble(), 150.5);
    QCOMPARE(o.value("FBand"), d.value("FBand"));
}

void tst_ScanPlan::amplitudeOffset_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("126 + 3 wraps") << 3 << 126 << -127;
    QTest::newRow("no data stays") << 3 << -128 << -128;
    QTest::newRow("negative") << -10 << -60 << -70;
    QTest::newRow("only the low 8 bits") << 259 << -60 << -57;
    QTest::newRow("256 is none") << 256 << -60 << -60;
}

void tst_ScanPlan::amplitudeOffset()
{
    QFETCH(int, offset);
    QFETCH(int, in);
    QFETCH(int, out);
    RfSpectrumScan s(3, qint8(in));
    ScanPlan::applyAmplitudeOffset(s, offset);
    QCOMPARE(s, RfSpectrumScan(3, qint8(out)));
}

QTEST_GUILESS_MAIN(tst_ScanPlan)
#include "tst_scanplan.moc"
