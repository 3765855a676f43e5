#include "rasterspectrogram.h"
#include "spectroplot.h"
#include "waterfallplot.h"
#include "waterfallspectrogram.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <cstdlib>

// The plots' faster rendering must keep the picture: against the separate
// density and Multiply-composed highlight pictures in the maps' exact
// colours, and against a plot drawn from scratch in exact colours after a
// run of sliding updates, at least 99 % of the canvas pixels lie within 3
// levels per channel.
class TstRenderFidelity : public QObject
{
    Q_OBJECT

private:
    // A fixed recording: a noise floor, a steady carrier and a hopping burst
    // over 200 bins, one sweep every 50 ms.
    static RfSpectrumSampleList recording(int count)
    {
        QRandomGenerator rng(4711);
        RfSpectrumSampleList s;
        for (int k = 0; k < count; ++k) {
            RfSpectrumScan scan(200);
            for (int i = 0; i < scan.size(); ++i)
                scan[i] = qint8(rng.bounded(-100, -88));
            for (int i = 60; i < 70; ++i)
                scan[i] = qint8(rng.bounded(-55, -48));
            const int hop = (k * 37) % 180;
            for (int i = hop; i < hop + 12; ++i)
                scan[i] = qint8(rng.bounded(-75, -35));
            s << RfSpectrumSample(1'700'000'000'000 + k * 50, scan);
        }
        return s;
    }

    template <typename Plot> static void prepare(Plot &plot, const QSize &size)
    {
        plot.setAxisScale(QwtPlot::xBottom, 2400.0, 2500.0);
        plot.setDataInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        plot.setDataInterval(std::is_same<Plot, SpectroPlot>::value ? Qt::YAxis : Qt::ZAxis,
                             QwtInterval(-100.0, -30.0));
        plot.resize(size);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
    }

    static QImage canvasPicture(QwtPlot &plot)
    {
        plot.replot();
        return plot.canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    static double faithfulShare(const QImage &a, const QImage &b)
    {
        if (a.size() != b.size() || a.isNull())
            return 0.0;
        qint64 close = 0;
        for (int y = 0; y < a.height(); ++y) {
            const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
            const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
            for (int x = 0; x < a.width(); ++x)
                close += std::abs(qRed(pa[x]) - qRed(pb[x])) <= 3 &&
                         std::abs(qGreen(pa[x]) - qGreen(pb[x])) <= 3 &&
                         std::abs(qBlue(pa[x]) - qBlue(pb[x])) <= 3;
        }
        return double(close) / (qint64(a.width()) * a.height());
    }

private slots:
    // `drawEach`: drawn after every slide, so all but the first picture are
    // coloured again only where cells changed; they must equal a plot drawn
    // from scratch. `change` happens half way: a zoom, a resize or a fixed
    // level range.
    void spectrumPicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("slides");
        QTest::addColumn<bool>("drawEach");
        QTest::addColumn<QString>("change");
        QTest::newRow("640x360, one selection") << QSize(640, 360) << 0 << false << "";
        QTest::newRow("1280x720, after 5 slides") << QSize(1280, 720) << 5 << false << "";
        QTest::newRow("1920x1080, after 2 slides") << QSize(1920, 1080) << 2 << false << "";
        QTest::newRow("drawn after each of 40 slides") << QSize(1280, 720) << 40 << true << "";
        QTest::newRow("drawn each, zoom") << QSize(960, 540) << 12 << true << "zoom";
        QTest::newRow("drawn each, resize") << QSize(960, 540) << 12 << true << "resize";
        QTest::newRow("drawn each, level range") << QSize(960, 540) << 12 << true << "range";
        // Every share changes with each sweep, and the highlight's often-hit
        // cells halve values too small to show.
        QTest::newRow("drawn each, window filling") << QSize(960, 540) << 40 << true << "fill";
    }
    void spectrumPicture()
    {
        QFETCH(QSize, size);
        QFETCH(int, slides);
        QFETCH(bool, drawEach);
        QFETCH(QString, change);
        const RfSpectrumSampleList history = recording(600 + slides);
        const auto selection = [&](int k) {
            return change == "fill" ? history.mid(0, 600 - slides + k) : history.mid(k, 600);
        };
        const QSize resized(size.width() * 3 / 4, size.height() + 40);
        const auto apply = [&](SpectroPlot &p) {
            if (change == "zoom")
                p.setAxisScale(QwtPlot::xBottom, 2420.0, 2461.5);
            else if (change == "range")
                p.setAmplitudeRange(QwtInterval(-95.0, -40.0));
            else if (change == "resize")
                p.resize(resized);
            QTRY_COMPARE(p.size(), change == "resize" ? resized : size);
        };
        SpectroPlot plot;
        prepare(plot, size);
        for (int k = 0; k <= slides; ++k) {
            if (k == slides / 2)
                apply(plot);
            plot.setData(selection(k));
            if (drawEach)
                canvasPicture(plot);
        }
        QVERIFY(plot.fusedRendering());
        const QImage fused = canvasPicture(plot);
        if (drawEach) {
            SpectroPlot scratch;
            prepare(scratch, size);
            apply(scratch);
            scratch.setData(selection(slides));
            QVERIFY(canvasPicture(scratch) == fused);
        }
        plot.setFusedRendering(false);
        const QImage separate = canvasPicture(plot);
        const double share = faithfulShare(fused, separate);
        qInfo("share of faithful pixels: %.5f", share);
        QVERIFY(share >= 0.99);
        // The highlight does darken the density: the picture is not empty.
        QVERIFY(fused != QImage(fused.size(), fused.format()));
    }

    // The fused picture goes straight into the image under a painter that
    // paints on it plainly (a window's backing store), anywhere else it is
    // drawn as usual; either way the image must hold the same, and nothing
    // outside the part painted may change (the image starts red).
    void pictureStraightIntoTheImage_data()
    {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<QRect>("part");   //!< of the canvas; empty: all of it
        QTest::addColumn<double>("scale"); //!< of the painter
        QTest::addColumn<double>("top");   //!< of the level axis
        QTest::addColumn<bool>("direct");
        const auto rgb = QImage::Format_RGB32, argb = QImage::Format_ARGB32_Premultiplied;
        QTest::newRow("whole canvas") << rgb << QRect() << 1.0 << -30.0 << true;
        QTest::newRow("premultiplied") << argb << QRect() << 1.0 << -30.0 << true;
        QTest::newRow("level axis above the raster") << rgb << QRect() << 1.0 << 0.0 << true;
        QTest::newRow("part of the canvas")
            << rgb << QRect(0, 0, 300, 200) << 1.0 << -30.0 << false;
        QTest::newRow("scaled painter") << rgb << QRect() << 0.5 << -30.0 << false;
        QTest::newRow("not premultiplied")
            << QImage::Format_ARGB32 << QRect() << 1.0 << -30.0 << false;
    }
    void pictureStraightIntoTheImage()
    {
        QFETCH(QImage::Format, format);
        QFETCH(QRect, part);
        QFETCH(double, scale);
        QFETCH(double, top);
        QFETCH(bool, direct);
        const RfSpectrumSampleList history = recording(300);
        SpectroPlot plot;
        prepare(plot, QSize(640, 360));
        plot.setAmplitudeRange(QwtInterval(-100.0, top));
        auto *density = static_cast<RasterSpectrogram *>(plot.densityItem());
        QWidget *canvas = plot.canvas();
        const QPoint at(37, 23);
        // The picture of a slide by one sample after one of 50: lines coloured
        // whole (written into the image as they are coloured) and lines
        // coloured in runs (copied from the kept picture) both.
        auto picture = [&](bool allowed) {
            density->setDirectDrawing(allowed);
            for (int k : {0, 50}) {
                plot.setData(history.mid(k, 200));
                plot.replot();
            }
            plot.setData(history.mid(51, 200));
            QImage image(canvas->size() + QSize(60, 40), format);
            image.fill(Qt::red);
            QPainter painter(&image);
            painter.scale(scale, scale);
            canvas->render(&painter, at, part.isEmpty() ? QRegion(canvas->rect()) : QRegion(part));
            return image;
        };
        const QImage straight = picture(true);
        QCOMPARE(density->lastPictureDirect(), direct);
        QCOMPARE(straight, picture(false));
        QCOMPARE(straight.pixelColor(straight.width() - 1, straight.height() - 1), QColor(Qt::red));
    }

    // While the window fills, lines go straight into the window only; the
    // next picture, into the window or any other painter, and a repaint with
    // nothing new must still equal a plot drawn from scratch.
    void linesOnlyInTheWindowAreColouredAgain_data()
    {
        QTest::addColumn<QImage::Format>("then"); //!< what the last picture is painted on
        QTest::addColumn<int>("slide");           //!< samples it moves on by
        QTest::newRow("slide, window") << QImage::Format_RGB32 << 1;
        QTest::newRow("slide, another painter") << QImage::Format_ARGB32 << 1;
        QTest::newRow("nothing new, another painter") << QImage::Format_ARGB32 << 0;
    }
    void linesOnlyInTheWindowAreColouredAgain()
    {
        QFETCH(QImage::Format, then);
        QFETCH(int, slide);
        const RfSpectrumSampleList history = recording(200);
        const auto draw = [](SpectroPlot &p, QImage::Format format) {
            QImage image(p.canvas()->size(), format);
            image.fill(Qt::red);
            QPainter painter(&image);
            p.canvas()->render(&painter);
            painter.end();
            return image.convertToFormat(QImage::Format_RGB32);
        };
        SpectroPlot plot;
        prepare(plot, QSize(640, 360));
        for (int k : {150, 160, 170}) {
            plot.setData(history.mid(0, k));
            draw(plot, QImage::Format_RGB32);
        }
        QVERIFY(static_cast<RasterSpectrogram *>(plot.densityItem())->lastPictureDirect());
        plot.setData(history.mid(slide, 170));
        const QImage shown = draw(plot, then);
        SpectroPlot scratch;
        prepare(scratch, QSize(640, 360));
        scratch.setData(history.mid(slide, 170));
        QCOMPARE(shown, draw(scratch, then));
    }

    // The waterfall's opaque picture goes straight in as well, and the
    // canvas's background is painted only around it: what is painted must
    // not depend on what the image held. A slide by one sample renders every
    // line.
    void waterfallStraightIntoTheImage_data()
    {
        QTest::addColumn<QRect>("part"); //!< of the canvas; empty: all of it
        QTest::addColumn<bool>("direct");
        QTest::newRow("whole canvas") << QRect() << true;
        QTest::newRow("part of the canvas") << QRect(0, 0, 300, 200) << false;
    }
    void waterfallStraightIntoTheImage()
    {
        QFETCH(QRect, part);
        QFETCH(bool, direct);
        const RfSpectrumSampleList history = recording(401);
        WaterfallPlot plot;
        prepare(plot, QSize(640, 360));
        plot.setAxisScale(QwtPlot::xBottom, 2390.0, 2510.0); // the band ends inside
        auto *raster = static_cast<WaterfallSpectrogram *>(plot.spectrogram());
        QWidget *canvas = plot.canvas();
        const QRect painted = part.isEmpty() ? canvas->rect() : part;
        const QPoint at(37, 23);
        auto picture = [&](bool allowed, Qt::GlobalColor under) {
            raster->setDirectDrawing(allowed);
            plot.setData(history.mid(0, 400));
            plot.replot();
            plot.setData(history.mid(1, 400));
            QImage image(canvas->size() + QSize(60, 40), QImage::Format_RGB32);
            image.fill(under);
            QPainter painter(&image);
            canvas->render(&painter, at, QRegion(painted));
            return image;
        };
        const QImage straight = picture(true, Qt::red);
        QCOMPARE(raster->lastPictureDirect(), direct);
        QCOMPARE(straight, picture(false, Qt::red));
        const QRect inImage = painted.translated(at);
        QCOMPARE(straight.copy(inImage), picture(true, Qt::green).copy(inImage));
        QCOMPARE(straight.pixel(straight.width() - 1, straight.height() - 1), qRgb(255, 0, 0));
    }

    // The incremental renderer against a plot drawn from scratch; `rangeAt`
    // is the slide before which a fixed colour range is set (-1: none).
    // The density picture paints the canvas's black itself: where it does
    // not reach (a level axis above its range), the canvas is black, fused or not.
    void uncoveredCanvasIsBlack_data()
    {
        QTest::addColumn<bool>("fused");
        QTest::newRow("fused") << true;
        QTest::newRow("separate") << false;
    }
    void uncoveredCanvasIsBlack()
    {
        QFETCH(bool, fused);
        SpectroPlot plot;
        prepare(plot, QSize(640, 360));
        plot.setFusedRendering(fused);
        plot.setData(recording(50));
        plot.setAmplitudeRange(QwtInterval(-100.0, 0.0)); // the raster ends at -30
        plot.replot();
        // Drawn over red: whatever the canvas leaves unpainted stays red.
        QImage picture(plot.canvas()->size(), QImage::Format_RGB32);
        picture.fill(Qt::red);
        plot.canvas()->render(&picture);
        const int topStrip = picture.height() / 5; // -4 dBm: above the raster
        for (int x = 5; x < picture.width() - 5; x += 37)
            QCOMPARE(picture.pixel(x, topStrip), qRgb(0, 0, 0));
        QVERIFY(picture.pixel(picture.width() / 2, picture.height() - 5) != qRgb(0, 0, 0));
    }

    void waterfallPicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("slides");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("rangeAt");
        QTest::newRow("replot without change") << QSize(960, 540) << 0 << 1 << -1;
        QTest::newRow("after 7 slides") << QSize(960, 540) << 7 << 1 << -1;
        QTest::newRow("1920x1080 after 60 slides") << QSize(1920, 1080) << 60 << 1 << -1;
        QTest::newRow("slides by 3") << QSize(960, 540) << 5 << 3 << -1;
        QTest::newRow("colour range set between slides") << QSize(960, 540) << 6 << 1 << 3;
    }
    void waterfallPicture()
    {
        QFETCH(QSize, size);
        QFETCH(int, slides);
        QFETCH(int, step);
        QFETCH(int, rangeAt);
        const RfSpectrumSampleList history = recording(400 + slides * step);
        WaterfallPlot sliding;
        prepare(sliding, size);
        sliding.setData(history.mid(0, 400));
        const QImage first = canvasPicture(sliding);
        const auto *raster = static_cast<WaterfallSpectrogram *>(sliding.spectrogram());
        for (int k = 1; k <= slides; ++k) {
            if (k == rangeAt) {
                sliding.setColorRange(-95.0, -40.0); // replots: new colours, the same rows
                QCOMPARE(raster->renderedRows(), 0);
            }
            sliding.setData(history.mid(k * step, 400));
            canvasPicture(sliding);
            // Only the new rows were converted, once the first slides have
            // read the rows the first picture fell between.
            if (k > 3)
                QCOMPARE(raster->renderedRows(), step);
        }
        WaterfallPlot fresh; // drawn from scratch with the maps' exact colours
        static_cast<RasterSpectrogram *>(fresh.spectrogram())->setColorTableEnabled(false);
        prepare(fresh, size);
        if (rangeAt >= 0)
            fresh.setColorRange(-95.0, -40.0);
        fresh.setData(history.mid(slides * step, 400));
        const QImage shown = canvasPicture(sliding);
        const double share = faithfulShare(shown, canvasPicture(fresh));
        qInfo("share of faithful pixels: %.5f", share);
        QVERIFY(share >= 0.99);
        if (slides > 0) // the picture did move on
            QVERIFY(faithfulShare(shown, first) < 0.99);
    }

    // The live waterfall scrolls: each sweep renders a few pixel lines at
    // the top, and once the view is still again (the sweeps stopped, a zoom,
    // a resize) it shows the faithful picture.
    void liveWaterfall_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("sweeps stop") << "stop";
        QTest::newRow("zoom while live") << "zoom";
        QTest::newRow("resize while live") << "resize";
    }
    void liveWaterfall()
    {
        QFETCH(QString, change);
        const int window = 600, slides = 40;
        const RfSpectrumSampleList history = recording(window + slides);
        WaterfallPlot live;
        prepare(live, QSize(960, 540));
        live.setLiveScrolling(true);
        const auto *raster = static_cast<WaterfallSpectrogram *>(live.spectrogram());
        live.setData(history.mid(0, window));
        live.replot();
        QCOMPARE(raster->liveLinesRendered(), live.canvas()->contentsRect().height());
        // 50 ms of a 120 s axis is a fraction of a line: a sweep renders the
        // line it falls on and the one below (all of them only when a new
        // width of the time labels moves the canvas).
        int scrolled = 0;
        for (int k = 1; k <= slides; ++k) {
            live.setData(history.mid(k, window));
            live.replot();
            scrolled += raster->liveLinesRendered() <= 3;
        }
        QVERIFY2(scrolled >= slides - 3, qPrintable(QString::number(scrolled)));
        QVERIFY(live.isScrolling());
        if (change == "stop") {
            live.setLiveScrolling(false);
        } else if (change == "zoom") {
            live.setAxisScale(QwtPlot::xBottom, 2420.0, 2470.0);
        } else {
            live.resize(800, 450);
            QTest::qWait(50);
        }
        const QImage shown = canvasPicture(live);
        QCOMPARE(live.isScrolling(), change != "stop");
        // A full redraw of the same plot, as it was, in the maps' exact colours.
        const QwtScaleDiv time = live.axisScaleDiv(QwtPlot::yLeft);
        live.setLiveScrolling(false);
        live.setIncrementalRendering(false);
        static_cast<RasterSpectrogram *>(live.spectrogram())->setColorTableEnabled(false);
        live.setAxisScale(QwtPlot::yLeft, time.lowerBound(), time.upperBound());
        const double share = faithfulShare(shown, canvasPicture(live));
        qInfo("share of faithful pixels: %.5f", share);
        QVERIFY(share >= 0.99);
    }
};

QTEST_MAIN(TstRenderFidelity)
#include "tst_renderfidelity.moc"
