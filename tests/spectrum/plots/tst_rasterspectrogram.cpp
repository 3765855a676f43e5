#include "highlightcolormap.h"
#include "highlightspectrogram.h"
#include "linearcolorlookup.h"
#include "matrixgrid.h"
#include "rasterspectrogram.h"
#include "renderslices.h"
#include "spectrocolormap.h"
#include "spectrogramdata.h"
#include "tnwmatrixrasterdata.h"
#include "waterfallcolormap.h"
#include "waterfalldata.h"

#include <qwt_scale_map.h>

#include <QImage>
#include <QMutex>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

// The plots render their rasters in one separable pass with an inlined
// colour lookup; the pictures must be exactly those of QwtPlotSpectrogram.
class TstRasterSpectrogram : public QObject
{
    Q_OBJECT

private:
    static QVector<double> pattern(int n, double scale, double offset)
    {
        QVector<double> v(n);
        quint32 x = 12345;
        for (double &d : v) {
            x = x * 1103515245u + 12345u;
            d = offset + scale * double((x >> 8) % 1000) / 999.0;
        }
        return v;
    }

    // Draws `item` over a black canvas of 640 x 360 with the maps of a plot
    // showing x 2400..2500 and y -100..-50.
    static QImage draw(const QwtPlotSpectrogram &item, QPainter::CompositionMode mode)
    {
        QImage target(640, 360, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::black);
        QwtScaleMap xMap, yMap;
        xMap.setScaleInterval(2400.0, 2500.0);
        xMap.setPaintInterval(0.0, 640.0);
        yMap.setScaleInterval(-100.0, -50.0);
        yMap.setPaintInterval(360.0, 0.0);
        QPainter painter(&target);
        painter.setCompositionMode(mode);
        item.draw(&painter, xMap, yMap, QRectF(0, 0, 640, 360));
        return target;
    }

    template <typename Data>
    static void compare(Data *fastData, Data *plainData, QwtColorMap *fastMap,
                        QwtColorMap *plainMap,
                        QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver)
    {
        RasterSpectrogram fast;
        fast.setRenderThreadCount(0);
        fast.setData(fastData);
        fast.setColorMap(fastMap);
        QwtPlotSpectrogram plain;
        plain.setRenderThreadCount(1);
        plain.setData(plainData);
        plain.setColorMap(plainMap);
        const QImage a = draw(fast, mode);
        const QImage b = draw(plain, mode);
        int differing = 0;
        for (int y = 0; y < a.height(); ++y)
            differing += std::memcmp(a.constScanLine(y), b.constScanLine(y), a.bytesPerLine()) != 0;
        QCOMPARE(differing, 0);
        // A second render reuses the image and gives the same picture.
        QCOMPARE(draw(fast, mode), a);
    }

private slots:
    void lookupMatchesMaps()
    {
        const SpectroColorMap spectro;
        const WaterfallColorMap waterfall;
        const HighlightColorMap highlight;
        for (const QwtLinearColorMap *map :
             std::initializer_list<const QwtLinearColorMap *>{&spectro, &waterfall, &highlight}) {
            const LinearColorLookup lookup(map);
            QVERIFY(lookup.isUsable());
            const QwtInterval range(0.0, 0.5);
            for (int i = -100; i <= 100100; ++i) {
                const double v = i * 0.5 / 100000.0;
                QCOMPARE(lookup.rgb(range, v), map->rgb(range, v));
            }
            QCOMPARE(lookup.rgb(range, std::nan("")), map->rgb(range, std::nan("")));
        }
        // Not a linear map: not usable.
        QwtAlphaColorMap alpha;
        QVERIFY(!LinearColorLookup(&alpha).isUsable());
    }

    void matrixGridMatchesQwt_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("1x1") << 1 << 1;
        QTest::newRow("2x3") << 2 << 3;
        QTest::newRow("501x70") << 501 << 70;
        QTest::newRow("501x2400") << 501 << 2400;
    }
    void matrixGridMatchesQwt()
    {
        QFETCH(int, columns);
        QFETCH(int, rows);
        WaterfallData data;
        data.setValueMatrix(pattern(columns * rows, 100.0, -128.0), columns);
        data.setInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        data.setInterval(Qt::YAxis, QwtInterval(1000.0, 61000.0));
        QVector<double> xs, ys;
        for (int i = 0; i < 173; ++i)
            xs << 2399.5 + i * (101.0 / 172);
        for (int j = 0; j < 91; ++j)
            ys << 62000.0 - j * (62000.0 / 90);
        xs << 2500.0 << 2400.0;
        ys << 61000.0 << 1000.0;
        QVector<double> grid(xs.size() * ys.size());
        sampleMatrixGrid(data, xs, ys, grid.data());
        for (int j = 0; j < ys.size(); ++j)
            for (int i = 0; i < xs.size(); ++i) {
                const double a = grid[j * xs.size() + i];
                const double b = data.value(xs[i], ys[j]);
                QVERIFY((std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0);
            }
    }

    void densityPicture()
    {
        auto makeData = [] {
            auto *d = new SpectrogramData;
            d->setInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
            d->setInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
            d->setValueMatrix(pattern(501 * 70, 0.6, 0.0), 501);
            return d;
        };
        compare(makeData(), makeData(), new SpectroColorMap, new SpectroColorMap);
    }

    void waterfallPicture()
    {
        auto makeData = [] {
            auto *d = new WaterfallData;
            d->setInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
            d->setInterval(Qt::YAxis, QwtInterval(-95.0, -60.0)); // rows as a y range here
            d->setValueMatrix(pattern(252 * 300, 90.0, -110.0), 252);
            return d;
        };
        compare(makeData(), makeData(), new WaterfallColorMap, new WaterfallColorMap);
    }

    void highlightPicture()
    {
        auto makeData = [] {
            auto *d = new TnwMatrixRasterData;
            d->setResampleMode(TnwMatrixRasterData::BicubicInterpolation);
            d->setInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
            d->setInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
            d->setInterval(Qt::ZAxis, QwtInterval(0.0, 1.0));
            d->setValueMatrix(pattern(501 * 70, 1.0, 0.0), 501);
            return d;
        };
        compare(makeData(), makeData(), new HighlightColorMap, new HighlightColorMap,
                QPainter::CompositionMode_Multiply);
    }

    // The fused picture keeps its colour tables between renders; a map whose
    // colours change in place (a colour file) must still show at once, as a
    // fresh item with that map would draw it.
    void fusedPictureFollowsAMapChangedInPlace()
    {
        auto fused = [](auto *map) {
            auto item = std::make_unique<RasterSpectrogram>();
            auto *d = new SpectrogramData;
            d->setInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
            d->setInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
            d->setValueMatrix(pattern(501 * 70, 0.6, 0.0), 501);
            item->setData(d);
            item->setColorMap(map);
            auto *over = new HighlightSpectrogram;
            auto *h = new TnwMatrixRasterData;
            h->setResampleMode(TnwMatrixRasterData::BicubicInterpolation);
            h->setInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
            h->setInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
            h->setInterval(Qt::ZAxis, QwtInterval(0.0, 1.0));
            h->setValueMatrix(pattern(501 * 70, 1.0, 0.0), 501);
            over->setData(h);
            over->setColorMap(new HighlightColorMap);
            over->setColorTableEnabled(true);
            item->setOverlay(over);
            item->setColorTableEnabled(true);
            item->setRenderThreadCount(0);
            return std::make_pair(std::move(item), std::unique_ptr<HighlightSpectrogram>(over));
        };
        auto *map = new SpectroColorMap;
        auto [item, over] = fused(map);
        const QImage before = draw(*item, QPainter::CompositionMode_SourceOver);
        map->addColorStop(0.45, Qt::magenta);
        const QImage after = draw(*item, QPainter::CompositionMode_SourceOver);
        QVERIFY(after != before);
        auto *fresh = new SpectroColorMap;
        fresh->addColorStop(0.45, Qt::magenta);
        auto [other, otherOver] = fused(fresh);
        QCOMPARE(after, draw(*other, QPainter::CompositionMode_SourceOver));
    }

    void highlightMultiplies()
    {
        HighlightSpectrogram item;
        auto *d = new TnwMatrixRasterData;
        d->setResampleMode(TnwMatrixRasterData::BicubicInterpolation);
        d->setInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        d->setInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
        d->setInterval(Qt::ZAxis, QwtInterval(0.0, 1.0));
        d->setValueMatrix(QVector<double>(1, 0.0), 1);
        item.setData(d);
        item.setColorMap(new HighlightColorMap);
        QImage target(64, 64, QImage::Format_ARGB32_Premultiplied);
        target.fill(QColor(200, 100, 50));
        QwtScaleMap xMap, yMap;
        xMap.setScaleInterval(2400.0, 2500.0);
        xMap.setPaintInterval(0.0, 64.0);
        yMap.setScaleInterval(-100.0, -50.0);
        yMap.setPaintInterval(64.0, 0.0);
        QPainter painter(&target);
        item.draw(&painter, xMap, yMap, QRectF(0, 0, 64, 64));
        painter.end();
        // Dark grey (128) halves the colour below.
        const QColor c = target.pixelColor(32, 32);
        QVERIFY(qAbs(c.red() - 100) <= 1 && qAbs(c.green() - 50) <= 1 && qAbs(c.blue() - 25) <= 1);
    }

    // The render threads take pieces in turn: every index exactly once, in
    // pieces of whole grains (but for the last), however the counts fall.
    void renderSlicesCoverEachIndexOnce_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("grain");
        QTest::newRow("lines of a picture, grain 8") << 1026 << 2 << 8;
        QTest::newRow("fewer than the threads") << 1 << 4 << 1;
        QTest::newRow("fewer than a grain") << 5 << 2 << 8;
        QTest::newRow("one thread") << 100 << 1 << 8;
        QTest::newRow("many threads, odd count") << 997 << 7 << 3;
    }
    void renderSlicesCoverEachIndexOnce()
    {
        QFETCH(int, n);
        QFETCH(int, threads);
        QFETCH(int, grain);
        std::vector<int> seen(size_t(n), 0);
        QMutex lock;
        QVector<QPair<int, int>> pieces;
        inRenderSlices(
            n, threads,
            [&](int a, int b) {
                for (int k = a; k < b; ++k)
                    ++seen[size_t(k)];
                QMutexLocker locked(&lock);
                pieces.append({a, b});
            },
            grain);
        QVERIFY(std::all_of(seen.begin(), seen.end(), [](int c) { return c == 1; }));
        for (const auto &piece : qAsConst(pieces))
            QVERIFY(piece.second == n || (piece.second - piece.first) % grain == 0);
    }
};

QTEST_MAIN(TstRasterSpectrogram)
#include "tst_rasterspectrogram.moc"
