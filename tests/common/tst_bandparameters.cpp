#include "bandparameters.h"

#include <QtTest>

class TestBandParameters : public QObject
{
    Q_OBJECT
private slots:
    void sets();
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

QTEST_GUILESS_MAIN(TestBandParameters)
#include "tst_bandparameters.moc"
