#include "notestyle.h"
#include "spectroplot.h"
#include "tnwplotmarker.h"
#include "waterfallplot.h"

#include <qwt_scale_map.h>

#include <QImage>
#include <QPainter>
#include <QTest>

// Both plots rendered for real (offscreen) and a few pixels checked, so a
// broken renderer, colour map or composition fails here.
class TstPlotRender : public QObject
{
    Q_OBJECT

private:
    static QImage render(QwtPlot &plot)
    {
        plot.resize(900, 600);
        plot.show();
        if (!QTest::qWaitForWindowExposed(&plot))
            return QImage();
        plot.replot();
        return plot.canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    static QPoint canvasPoint(const QwtPlot &plot, double x, double y)
    {
        return QPoint(qRound(plot.canvasMap(QwtPlot::xBottom).transform(x)),
                      qRound(plot.canvasMap(QwtPlot::yLeft).transform(y)));
    }
    static bool isBlack(QRgb c) { return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16; }

    // 20 sweeps over 100 bins of 1 MHz; bin 50 (2450..2451 MHz) at -40 dBm,
    // every other bin without data.
    static RfSpectrumSampleList strongSignal(qint64 start)
    {
        RfSpectrumSampleList s;
        for (int i = 0; i < 20; ++i) {
            RfSpectrumScan scan(100, -128);
            scan[50] = -40;
            s << RfSpectrumSample(start + i * 1000, scan);
        }
        return s;
    }

private slots:
    // A note near the canvas edge is shifted inward whole, not cut off.
    void notesStayInsideCanvas_data()
    {
        QTest::addColumn<int>("lineStyle");
        QTest::addColumn<QPointF>("anchor");
        QTest::newRow("label at the right edge") << int(QwtPlotMarker::NoLine) << QPointF(298, 20);
        QTest::newRow("label in the corner") << int(QwtPlotMarker::NoLine) << QPointF(298, 198);
        QTest::newRow("event at the bottom") << int(QwtPlotMarker::HLine) << QPointF(150, 199);
    }
    void notesStayInsideCanvas()
    {
        QFETCH(int, lineStyle);
        QFETCH(QPointF, anchor);
        TnwPlotMarker marker;
        marker.setLineStyle(QwtPlotMarker::LineStyle(lineStyle));
        marker.setLinePen(QPen(Qt::NoPen));
        marker.setLabel(NoteStyle::text("Stage left rig", QFont()));
        marker.setLabelAlignment(lineStyle ? Qt::AlignLeft | Qt::AlignBottom
                                           : Qt::AlignRight | Qt::AlignBottom);
        marker.setValue(anchor);
        QwtScaleMap xMap, yMap; // pixels = values
        xMap.setPaintInterval(0, 300);
        xMap.setScaleInterval(0, 300);
        yMap.setPaintInterval(0, 200);
        yMap.setScaleInterval(0, 200);
        QImage image(300, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        marker.draw(&painter, xMap, yMap, QRectF(image.rect()));
        painter.end();
        QRect drawn;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 0)
                    drawn |= QRect(x, y, 1, 1);
        const QSize text = marker.label().textSize(QFont()).toSize();
        QVERIFY(drawn.width() >= text.width() - 1 && drawn.height() >= text.height() - 1);
    }

    void spectrumPlot()
    {
        SpectroPlot plot;
        plot.setAxisScale(QwtPlot::xBottom, 2400.0, 2500.0);
        plot.setAxisScale(QwtPlot::yLeft, -100.0, -30.0);
        plot.setDataInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        plot.setDataInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
        plot.setData(strongSignal(0));
        const QImage image = render(plot);
        QVERIFY(!image.isNull());
        if (qEnvironmentVariableIsSet("ORVANEL_SAVE_RENDER"))
            image.save(qEnvironmentVariable("ORVANEL_SAVE_RENDER") + "/spectroplot.png");

        // Black where no sweep reached, also under the multiplied highlight.
        QVERIFY(isBlack(image.pixel(canvasPoint(plot, 2420.0, -70.0))));
        QVERIFY(isBlack(image.pixel(canvasPoint(plot, 2450.5, -38.8)))); // above the level
        // The density band: every sweep above -70 dBm in bin 50, so red,
        // darkened by the dark grey of a highlight that is 0 there.
        const QRgb band = image.pixel(canvasPoint(plot, 2450.5, -70.0));
        QVERIFY2(qRed(band) > 100 && qGreen(band) < 40 && qBlue(band) < 40,
                 qPrintable(QColor(band).name()));
        QVERIFY(qRed(band) < 200);
    }

    void waterfallPlot()
    {
        WaterfallPlot plot;
        plot.setAxisScale(QwtPlot::xBottom, 2400.0, 2500.0);
        plot.setDataInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        plot.setColorRange(-100.0, -30.0);
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        plot.setData(strongSignal(start));
        const QImage image = render(plot);
        QVERIFY(!image.isNull());

        const double mid = double(start + 10000);
        const QRgb signal = image.pixel(canvasPoint(plot, 2450.5, mid));
        QVERIFY2(qRed(signal) > 200 && qGreen(signal) < 60 && qBlue(signal) < 60,
                 qPrintable(QColor(signal).name()));
        QVERIFY(isBlack(image.pixel(canvasPoint(plot, 2420.0, mid))));
        if (qEnvironmentVariableIsSet("ORVANEL_SAVE_RENDER"))
            image.save(qEnvironmentVariable("ORVANEL_SAVE_RENDER") + "/waterfallplot.png");
        // Older than the selection: the black rest of the two-minute axis.
        QVERIFY(isBlack(image.pixel(canvasPoint(plot, 2450.5, double(start - 60000)))));
    }

    void singleSweepRowIsDrawn()
    {
        WaterfallPlot plot;
        plot.setAxisScale(QwtPlot::xBottom, 2400.0, 2500.0);
        plot.setDataInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        plot.setColorRange(-100.0, -30.0);
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        plot.setData(strongSignal(start).mid(0, 1));
        const QImage image = render(plot);
        QVERIFY(!image.isNull());
        const QPoint p = canvasPoint(plot, 2450.5, double(start) - 200.0);
        QVERIFY2(qRed(image.pixel(p)) > 200, qPrintable(QColor(image.pixel(p)).name()));
    }
};

QTEST_MAIN(TstPlotRender)
#include "tst_plotrender.moc"
