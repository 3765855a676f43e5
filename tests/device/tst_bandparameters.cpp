#include "bandparameters.h"

#include <QtTest>

class TestBandParameters : public QObject
{
    Q_OBJECT
private slots:
    void sets();
    void pointCounts_data();
    void pointCounts();
};

void TestBandParameters::sets()
{
    const QVariantMap &a = rfParams2400();
    QCOMPARE(a.value("FBand").toInt(), 2);
    QCOMPARE(a.value("FStart").toDouble(), 2400.0);
    QCOMPARE(a.value("FStop").toDouble(), 2500.0);
    QCOMPARE(a.value("RBW").toInt(), 41);
    QCOMPARE(a.value("FStep").toDouble(), 200.0);
    QCOMPARE(a.value("StepCount").toInt(), 5);
    QCOMPARE(a.value("Span").toInt(), 100);
    QCOMPARE(a.value("SpanIndex").toInt(), 9);
    const QVariantMap &b = rfParams900();
    QCOMPARE(b.value("FBand").toInt(), 1);
    QCOMPARE(b.value("FStart").toDouble(), 902.0);
    QCOMPARE(b.value("FStop").toDouble(), 928.0);
    QCOMPARE(b.value("RBW").toInt(), 36);
    QCOMPARE(b.value("FStep").toDouble(), 103.25);
    QCOMPARE(b.value("StepCount").toInt(), 10);
    QCOMPARE(b.value("Span").toInt(), 26);
    QCOMPARE(b.value("SpanIndex").toInt(), 9);
}

void TestBandParameters::pointCounts_data()
{
    QTest::addColumn<QVariantMap>("set");
    QTest::addColumn<int>("points");
    QTest::newRow("2.4 GHz") << rfParams2400() << 501;
    QTest::newRow("900 MHz truncates 252.8") << rfParams900() << 252;
    QTest::newRow("no step") << QVariantMap{{"Span", 100}} << 0;
    QTest::newRow("negative step") << QVariantMap{{"Span", 100}, {"FStep", -5.0}} << 0;
    QTest::newRow("huge") << QVariantMap{{"Span", 1e12}, {"FStep", 1e-9}} << 0;
}

void TestBandParameters::pointCounts()
{
    QFETCH(QVariantMap, set);
    QFETCH(int, points);
    QCOMPARE(pointsPerSweep(set), points);
    QCOMPARE(points2400(), 501);
    QCOMPARE(points900(), 252);
}

QTEST_GUILESS_MAIN(TestBandParameters)
#include "tst_bandparameters.moc"
