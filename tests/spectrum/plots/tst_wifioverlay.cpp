#include "spectroplot.h"
#include "waterfallplot.h"
#include "wifichannelsscaledraw.h"
#include "wificurve.h"
#include "wifimarker.h"

#include <QtTest>
#include <qwt_plot_curve.h>
#include <qwt_scale_widget.h>

class tst_WifiOverlay : public QObject
{
    Q_OBJECT
private slots:
    void channelLabels_data();
    void channelLabels();
    void divisionsTickEveryEntry();
    void curveShape();
    void markerBox();
    void overlayRaisesLeftAxis();
    void topAxes();
};

static WifiApInfo network(const QString &ssid, int rssi, int frequency)
{
    return makeWifiApInfo(QByteArray::fromHex("001122aabbcc"), ssid.toLocal8Bit(),
                          ssid.toLocal8Bit().size(), rssi, qint64(frequency) * 1000);
}

void tst_WifiOverlay::channelLabels_data()
{
    QTest::addColumn<bool>("zigBee");
    QTest::addColumn<double>("mhz");
    QTest::addColumn<QString>("label");
    QTest::newRow("Wi-Fi 6") << false << 2437.0 << "6";
    QTest::newRow("Wi-Fi 14") << false << 2484.0 << "14";
    QTest::newRow("Wi-Fi lower edge") << false << 2400.0 << "";
    QTest::newRow("Wi-Fi upper edge") << false << 2500.0 << "";
    QTest::newRow("Wi-Fi off raster") << false << 2414.0 << "";
    QTest::newRow("ZigBee 11") << true << 2405.0 << "11";
    QTest::newRow("ZigBee 26") << true << 2480.0 << "26";
    QTest::newRow("ZigBee lower edge") << true << 2400.0 << "";
    QTest::newRow("ZigBee upper edge") << true << 2500.0 << "";
}

void tst_WifiOverlay::channelLabels()
{
    QFETCH(bool, zigBee);
    QFETCH(double, mhz);
    WifiChannelsScaleDraw wifi;
    ZigBeeChannelsScaleDraw zig;
    const QString text = zigBee ? zig.label(mhz).text() : wifi.label(mhz).text();
    QTEST(text, "label");
}

void tst_WifiOverlay::divisionsTickEveryEntry()
{
    const QwtScaleDiv wifi = channelScaleDiv(wifiChannelFrequencies);
    const QwtScaleDiv zig = channelScaleDiv(zigBeeChannelFrequencies);
    QCOMPARE(wifi.ticks(QwtScaleDiv::MajorTick).size(), 16);
    QCOMPARE(zig.ticks(QwtScaleDiv::MajorTick).size(), 18);
    QCOMPARE(wifi.lowerBound(), 2400.0);
    QCOMPARE(wifi.upperBound(), 2500.0);
    for (const QwtScaleDiv &d : {wifi, zig}) {
        QVERIFY(d.ticks(QwtScaleDiv::MinorTick).isEmpty());
        QVERIFY(d.ticks(QwtScaleDiv::MediumTick).isEmpty());
    }
}

void tst_WifiOverlay::curveShape()
{
    WifiCurve curve(network(QStringLiteral("Stage"), -60, 2437));
    QCOMPARE(int(curve.dataSize()), 22);
    auto at = [&](int i) { return curve.sample(size_t(i)); };
    const QPointF expected[] = {{2427, -100}, {2428, -90}, {2429, -60},
                                {2445, -60},  {2446, -90}, {2447, -100}};
    const int indices[] = {0, 5, 10, 11, 16, 21};
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(at(indices[k]).x(), expected[k].x());
        QVERIFY(qAbs(at(indices[k]).y() - expected[k].y()) < 1e-9);
    }
    QCOMPARE(curve.pen().color().alpha(), 192);
    QCOMPARE(curve.pen().width(), 2);
}

void tst_WifiOverlay::markerBox()
{
    const WifiApInfo ap = network(QStringLiteral("Stage"), -60, 2437);
    WifiMarker named(ap);
    QColor box = ap.color;
    box.setAlpha(192);
    QCOMPARE(named.label().backgroundBrush().color(), box.darker(500));
    QCOMPARE(named.label().color(), ap.color);
    QCOMPARE(named.label().borderRadius(), 2.0);
    QCOMPARE(named.value(), QPointF(2437, -60));
    WifiMarker hidden(network(QString(), -60, 2437));
    QCOMPARE(hidden.label().backgroundBrush().style(), Qt::NoBrush);
}

void tst_WifiOverlay::overlayRaisesLeftAxis()
{
    SpectroPlot plot;
    plot.setAxisScale(QwtPlot::yLeft, -100, -50);
    plot.setWifiData({network(QStringLiteral("A"), -35, 2412), network(QString(), -70, 2462)});
    plot.updateAxes();
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), -31.0);
    QCOMPARE(plot.wifiCurves().size(), 2);
    QCOMPARE(plot.itemList(QwtPlotItem::Rtti_PlotCurve).size(), 2);
    // A redraw of the spectrum keeps the names in view.
    RfSpectrumSample sample(1000, RfSpectrumScan(501, qint8(-90)));
    plot.setDataInterval(Qt::XAxis, QwtInterval(2400, 2500));
    plot.setDataInterval(Qt::YAxis, QwtInterval(-100, -30));
    plot.setData({sample});
    plot.updateAxes();
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), -31.0);
    plot.setWifiData({});
    plot.updateAxes();
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), -31.0);
    QCOMPARE(plot.itemList(QwtPlotItem::Rtti_PlotCurve).size(), 0);
    plot.setData({sample});
    plot.updateAxes();
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), -50.0);
}

void tst_WifiOverlay::topAxes()
{
    SpectroPlot spectrum;
    QCOMPARE(spectrum.axisTitle(QwtPlot::xTop).text(), QStringLiteral("Wi-Fi Channel"));
    spectrum.setWifiZigBee(true);
    QCOMPARE(spectrum.axisTitle(QwtPlot::xTop).text(), QStringLiteral("ZigBee Channel"));
    QCOMPARE(spectrum.axisScaleDraw(QwtPlot::xTop)->label(2405).text(), QStringLiteral("11"));
    QCOMPARE(spectrum.axisScaleDiv(QwtPlot::xTop).ticks(QwtScaleDiv::MajorTick).size(), 18);
    spectrum.setWifiZigBee(false);
    QCOMPARE(spectrum.axisScaleDraw(QwtPlot::xTop)->label(2437).text(), QStringLiteral("6"));
    WaterfallPlot waterfall;
    QCOMPARE(waterfall.axisTitle(QwtPlot::xTop).text(), QStringLiteral("Wi-Fi Channel"));
    QCOMPARE(waterfall.axisScaleDiv(QwtPlot::xTop).ticks(QwtScaleDiv::MajorTick).size(), 16);
}

QTEST_MAIN(tst_WifiOverlay)
#include "tst_wifioverlay.moc"
