#include "spectrogramdata.h"
#include "tnwmatrixrasterdata.h"
#include "waterfalldata.h"

#include <QTest>

#include <cmath>
#include <cstring>

// The raster classes behind the plots: the two thin matrix rasters and the
// application's own matrix raster with its bicubic and cell-dot modes.
class TstTnwMatrixRasterData : public QObject
{
    Q_OBJECT

private:
    // A 4 x 4 matrix over x 0..40, y 100..140: cell (r, c) holds 10 r + c.
    static void fill4x4(TnwMatrixRasterData &d, int mode)
    {
        QVector<double> v;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                v << 10.0 * r + c;
        d.setValueMatrix(v, 4);
        d.setInterval(Qt::XAxis, QwtInterval(0.0, 40.0));
        d.setInterval(Qt::YAxis, QwtInterval(100.0, 140.0));
        d.setResampleMode(mode);
    }
    static double centreX(int c) { return 10.0 * c + 5.0; }
    static double centreY(int r) { return 100.0 + 10.0 * r + 5.0; }
    static bool sameBits(double a, double b)
    {
        if (std::isnan(a) || std::isnan(b))
            return std::isnan(a) && std::isnan(b);
        return std::memcmp(&a, &b, sizeof a) == 0;
    }

private slots:
    void thinRastersStartAsOneZeroCell()
    {
        SpectrogramData density;
        QCOMPARE(density.resampleMode(), QwtMatrixRasterData::BilinearInterpolation);
        QCOMPARE(density.interval(Qt::ZAxis), QwtInterval(0.0, 0.5));
        QCOMPARE(density.valueMatrix(), QVector<double>(1, 0.0));
        WaterfallData waterfall;
        QCOMPARE(waterfall.resampleMode(), QwtMatrixRasterData::BilinearInterpolation);
        QCOMPARE(waterfall.interval(Qt::ZAxis), QwtInterval(-100.0, -30.0));
        QCOMPARE(waterfall.numColumns(), 1);
    }

    void geometry()
    {
        TnwMatrixRasterData d;
        QCOMPARE(d.resampleMode(), 0);
        fill4x4(d, 0);
        QCOMPARE(d.numColumns(), 4);
        QCOMPARE(d.numRows(), 4);
        QCOMPARE(d.pixelHint(QRectF()), QRectF(0.0, 100.0, 10.0, 10.0));
        d.setResampleMode(TnwMatrixRasterData::BicubicInterpolation);
        QVERIFY(d.pixelHint(QRectF()).isEmpty());
        // Values that do not fill a last row leave it out.
        d.setValueMatrix(QVector<double>(9, 1.0), 4);
        QCOMPARE(d.numRows(), 2);
        d.setValueMatrix(QVector<double>(9, 1.0), -3);
        QCOMPARE(d.numColumns(), 0);
        QCOMPARE(d.numRows(), 0);
        QVERIFY(std::isnan(d.value(5.0, 105.0)));
    }

    void cellCentres_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("nearest") << 0;
        QTest::newRow("bilinear") << 1;
        QTest::newRow("bicubic") << 2;
    }
    void cellCentres()
    {
        QFETCH(int, mode);
        TnwMatrixRasterData d;
        fill4x4(d, mode);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                QVERIFY2(qAbs(d.value(centreX(c), centreY(r)) - (10.0 * r + c)) < 1e-9,
                         qPrintable(QStringLiteral("cell %1,%2").arg(r).arg(c)));
    }

    void bicubicExactAtInnerCentre()
    {
        TnwMatrixRasterData d;
        fill4x4(d, TnwMatrixRasterData::BicubicInterpolation);
        QCOMPARE(d.value(centreX(1), centreY(1)), 11.0);
        // Between centres the curve runs through a linear ramp unchanged.
        QVERIFY(qAbs(d.value(20.0, centreY(1)) - 11.5) < 1e-9);
    }

    void outsideIsNaN_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        for (int mode = 0; mode < 4; ++mode) {
            const QByteArray m = QByteArray::number(mode);
            QTest::newRow("left " + m) << mode << -0.001 << 120.0;
            QTest::newRow("right " + m) << mode << 40.001 << 120.0;
            QTest::newRow("below " + m) << mode << 20.0 << 99.9;
            QTest::newRow("above " + m) << mode << 20.0 << 140.1;
        }
    }
    void outsideIsNaN()
    {
        QFETCH(int, mode);
        QFETCH(double, x);
        QFETCH(double, y);
        TnwMatrixRasterData d;
        fill4x4(d, mode);
        QVERIFY(std::isnan(d.value(x, y)));
    }

    void nearestAtMaximumIsLastCell()
    {
        TnwMatrixRasterData d;
        fill4x4(d, TnwMatrixRasterData::NearestNeighbour);
        QCOMPARE(d.value(40.0, 105.0), 3.0);
        QCOMPARE(d.value(40.0, 140.0), 33.0);
        QCOMPARE(d.value(0.0, 100.0), 0.0);
        QCOMPARE(d.value(9.999, 100.0), 0.0);
        QCOMPARE(d.value(10.0, 100.0), 1.0);
    }

    void cellDots()
    {
        TnwMatrixRasterData d;
        fill4x4(d, TnwMatrixRasterData::CellDots);
        QCOMPARE(d.value(centreX(2), centreY(1)), 2.0 * 12.0);
        // Half-way to the edge along x: 2V (1 - 1/4).
        QVERIFY(qAbs(d.value(centreX(2) + 2.5, centreY(1)) - 24.0 * 0.75) < 1e-9);
        // On the inscribed ellipse the dot has faded to 0.
        QVERIFY(qAbs(d.value(centreX(2), centreY(1) + 5.0 - 1e-9)) < 1e-6);
        QCOMPARE(d.value(40.0, 140.0), 2.0 * 33.0 * (1.0 - 1.0 - 1.0));
    }

    // The overlay starts as a single cell and may be very narrow: the
    // neighbours that bicubic and cell-dot modes mirror must stay inside.
    void smallMatricesStayInside_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        for (int mode : {2, 3, 1, 0})
            for (int cols : {1, 2, 3})
                for (int rows : {1, 2, 3})
                    QTest::newRow(
                        qPrintable(QStringLiteral("mode %1, %2x%3").arg(mode).arg(cols).arg(rows)))
                        << mode << cols << rows;
    }
    void smallMatricesStayInside()
    {
        QFETCH(int, mode);
        QFETCH(int, columns);
        QFETCH(int, rows);
        TnwMatrixRasterData d;
        // An exact, heap-allocated matrix: a read past it trips the sanitizer
        // (and QVector's index assertion in debug builds).
        d.setValueMatrix(QVector<double>(columns * rows, 0.5), columns);
        d.setInterval(Qt::XAxis, QwtInterval(0.0, 1.0));
        d.setInterval(Qt::YAxis, QwtInterval(-1.0, 0.0));
        d.setResampleMode(mode);
        for (int i = 0; i <= 40; ++i)
            for (int j = 0; j <= 40; ++j) {
                const double v = d.value(i / 40.0, -j / 40.0);
                QVERIFY(std::isfinite(v));
                if (mode != TnwMatrixRasterData::CellDots)
                    QVERIFY2(qAbs(v - 0.5) < 1e-9, qPrintable(QString::number(v)));
            }
    }

    void zeroWidthIntervalGivesNoValue()
    {
        TnwMatrixRasterData d;
        d.setValueMatrix(QVector<double>(4, 1.0), 2);
        d.setInterval(Qt::XAxis, QwtInterval(5.0, 5.0));
        d.setInterval(Qt::YAxis, QwtInterval(0.0, 1.0));
        for (int mode = 0; mode < 4; ++mode) {
            d.setResampleMode(mode);
            QVERIFY(std::isnan(d.value(5.0, 0.5)));
        }
    }

    // The highlight renders through sampleGrid; it must give exactly the
    // picture that value() describes.
    void sampleGridMatchesValue_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        for (int mode = 0; mode < 4; ++mode) {
            QTest::newRow(qPrintable(QStringLiteral("mode %1, 1x1").arg(mode))) << mode << 1 << 1;
            QTest::newRow(qPrintable(QStringLiteral("mode %1, 2x2").arg(mode))) << mode << 2 << 2;
            QTest::newRow(qPrintable(QStringLiteral("mode %1, 37x70").arg(mode)))
                << mode << 37 << 70;
        }
    }
    void sampleGridMatchesValue()
    {
        QFETCH(int, mode);
        QFETCH(int, columns);
        QFETCH(int, rows);
        TnwMatrixRasterData d;
        QVector<double> v(columns * rows);
        for (int i = 0; i < v.size(); ++i)
            v[i] = std::ldexp(1.0, -(i * 7 % 13)) * ((i % 5) ? 1 : 0);
        d.setValueMatrix(v, columns);
        d.setInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        d.setInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
        d.setResampleMode(mode);
        QVector<double> xs, ys;
        for (int i = 0; i < 211; ++i)
            xs << 2399.0 + i * (102.0 / 210);
        for (int j = 0; j < 97; ++j)
            ys << -25.0 - j * (80.0 / 96);
        xs << 2500.0 << 2400.0;
        ys << -30.0 << -100.0;
        QVector<double> grid(xs.size() * ys.size());
        d.sampleGrid(xs, ys, grid.data());
        for (int j = 0; j < ys.size(); ++j)
            for (int i = 0; i < xs.size(); ++i)
                QVERIFY2(sameBits(grid[j * xs.size() + i], d.value(xs[i], ys[j])),
                         qPrintable(QStringLiteral("at %1, %2").arg(xs[i]).arg(ys[j])));
    }
};

QTEST_MAIN(TstTnwMatrixRasterData)
#include "tst_tnwmatrixrasterdata.moc"
