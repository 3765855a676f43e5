#include "pointgrid.h"

#include <QTest>

// The one grid of a sweep's points: how many a parameter set gives, and which
// point a frequency falls on.
class tst_PointGrid : public QObject
{
    Q_OBJECT
private slots:
    void nearestPoint_data();
    void nearestPoint();
};

void tst_PointGrid::nearestPoint_data()
{
    QTest::addColumn<double>("frequencyMHz");
    QTest::addColumn<int>("point");
    // 2.4 GHz defaults: 501 points, 200 kHz apart from 2400 MHz.
    QTest::newRow("first point") << 2400.0 << 0;
    QTest::newRow("rounds down below half a step") << 2400.09 << 0;
    QTest::newRow("rounds up past half a step") << 2400.11 << 1;
    QTest::newRow("last point") << 2500.0 << 500;
    QTest::newRow("below the band clamps") << 2300.0 << 0;
    QTest::newRow("above the band clamps") << 2600.0 << 500;
    QTest::newRow("not a number") << qQNaN() << 0;
}

void tst_PointGrid::nearestPoint()
{
    QFETCH(double, frequencyMHz);
    QFETCH(int, point);
    const PointGrid grid = PointGrid::forBandContaining(2450);
    QCOMPARE(grid.points, 501);
    QCOMPARE(grid.nearestPoint(frequencyMHz * 1e6), point);
    if (!qIsNaN(frequencyMHz) && point > 0 && point < 500)
        QVERIFY(qAbs(grid.frequencyMHz(point) - frequencyMHz) <= 0.1 + 1e-9);
    QCOMPARE(PointGrid().nearestPoint(frequencyMHz * 1e6), -1);
}

QTEST_APPLESS_MAIN(tst_PointGrid)
#include "tst_pointgrid.moc"
