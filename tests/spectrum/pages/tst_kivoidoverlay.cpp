#include "kivoidinfo.h"
#include "kivoidoverlay.h"
#include "spectroplot.h"
#include "tabpage2400.h"
#include "tabpage900.h"

#include <qwt_plot_marker.h>
#include <qwt_plot_shapeitem.h>
#include <qwt_scale_map.h>

#include <QImage>
#include <QTest>

#include <algorithm>

// The KiVo ID boxes as the band pages draw them: the pages' band filters, the
// overlay's list and levels, and one real render of the 900 MHz plot.
class tst_KivoIdOverlay : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerSpectrumMetaTypes(); }
    void bandFilters_data();
    void bandFilters();
    void listAndLevels();
    void renderOverlapping();

private:
    static QList<double> tops(const KivoIdOverlay &overlay)
    {
        QList<double> t;
        for (const QwtPlotMarker *m : overlay.numbers())
            t << m->yValue();
        return t;
    }
};

void tst_KivoIdOverlay::bandFilters_data()
{
    QTest::addColumn<bool>("page900");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("900: 9110") << true << 9110 << true;
    QTest::newRow("900: 24010") << true << 24010 << false;
    QTest::newRow("900: 24310") << true << 24310 << false;
    QTest::newRow("2400: 9010") << false << 9010 << false;
    QTest::newRow("2400: 9110") << false << 9110 << false;
    QTest::newRow("2400: 24310") << false << 24310 << true;
}

void tst_KivoIdOverlay::bandFilters()
{
    QFETCH(int, id);
    QFETCH(bool, drawn);
    QFETCH(bool, page900);
    QScopedPointer<TabPage> page;
    if (page900)
        page.reset(new TabPage900(PageActions()));
    else
        page.reset(new TabPage2400(PageActions()));
    page->kivoIdSelected(id);
    QCOMPARE(page->kivoIdOverlay().boxes().size(), drawn ? 1 : 0);
    page->kivoIdSelection({id, 9100, 24100});
    QCOMPARE(page->kivoIdOverlay().selection().contains(id), drawn);
    QCOMPARE(page->kivoIdOverlay().selection().size(), drawn ? 2 : 1);
}

void tst_KivoIdOverlay::listAndLevels()
{
    TabPage900 page{PageActions()};
    const KivoIdOverlay &overlay = page.kivoIdOverlay();
    page.kivoIdSelected(9310);
    page.kivoIdSelected(9310);
    page.kivoIdDeselected(9120); // not selected: nothing
    page.kivoIdSelected(9130);
    page.kivoIdSelected(9110);
    page.kivoIdSelected(0); // "no cell" from the panel
    // 9310 overlaps 9110 on level 0 and opens level 1; 9130 overlaps neither.
    QCOMPARE(overlay.selection(), (QList<int>{9110, 9130, 9310}));
    QCOMPARE(tops(overlay), (QList<double>{-50.0, -50.0, -54.0}));
    const QRectF box = overlay.boxes().at(2)->boundingRect();
    QCOMPARE(box, QRectF(QPointF(909.1975 - 7.25, -100.0), QPointF(909.1975 + 7.25, -54.0)));

    page.kivoIdDeselected(9110);
    QCOMPARE(tops(overlay), (QList<double>{-50.0, -50.0}));
    // Unknown IDs and repeats never reach the list, so they cannot open levels.
    page.kivoIdSelection({1234, 0, 9130, 9130, 0});
    QCOMPARE(overlay.selection(), QList<int>{9130});
    QCOMPARE(tops(overlay), QList<double>{-50.0});

    // Every 2.4 GHz ID at once: the levels close up, every box stays in view.
    TabPage2400 page2400{PageActions()};
    page2400.kivoIdSelection(kivoIdTable().keys());
    const QList<double> all = tops(page2400.kivoIdOverlay());
    QCOMPARE(all.size(), 16);
    QCOMPARE(*std::max_element(all.begin(), all.end()), KivoIdOverlay::TopLevel0);
    QVERIFY(*std::min_element(all.begin(), all.end()) >=
            KivoIdOverlay::Bottom + KivoIdOverlay::MinBoxHeight - 1e-9);
}

void tst_KivoIdOverlay::renderOverlapping()
{
    TabPage900 page{PageActions()};
    page.resize(1000, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.kivoIdSelected(9110); // "Low", 902.01 - 910.29 MHz, green
    page.kivoIdSelected(9100); // "Full", 902.58 - 927.42 MHz, magenta: drawn first
    SpectroPlot *plot = page.spectroPlot();
    plot->replot();
    const QImage image = plot->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariableIsSet("ORVANEL_SAVE_RENDER"))
        image.save(qEnvironmentVariable("ORVANEL_SAVE_RENDER") + "/kivoidoverlay.png");
    const QwtScaleMap xMap = plot->canvasMap(QwtPlot::xBottom);
    const QwtScaleMap yMap = plot->canvasMap(QwtPlot::yLeft);
    const auto magenta = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) > 200; };
    const auto green = [](QRgb c) { return qGreen(c) > 200 && qRed(c) < 90 && qBlue(c) < 90; };
    // The first row from `skip` pixels below `y` dBm, within `dx` pixels of
    // `x` MHz, where `match` holds, counted from `y`; -1 if none within 40.
    const auto firstRow = [&](double x, double y, int dx, auto match, int skip) {
        const int cx = qRound(xMap.transform(x));
        const int top = qRound(yMap.transform(y));
        for (int row = top + skip; row < top + 40 && row < image.height(); ++row)
            for (int col = cx - dx; col <= cx + dx; ++col)
                if (match(image.pixel(col, row)))
                    return row - top;
        return -1;
    };
    const int pxPerLevel = qRound(yMap.transform(-54.0) - yMap.transform(-50.0));
    QVERIFY(pxPerLevel > 12);

    // Top edges in the pen colours, 9110 staggered one level below 9100.
    const int edge9100 = firstRow(920.0, -50.0, 0, magenta, -2);
    const int edge9110 = firstRow(904.0, -54.0, 0, green, -2);
    QVERIFY2(qAbs(edge9100) <= 1, qPrintable(QString::number(edge9100)));
    QVERIFY2(qAbs(edge9110) <= 1, qPrintable(QString::number(edge9110)));
    // Below the edges the fill is faint: the full colour is the pen's.
    QVERIFY(!magenta(image.pixel(qRound(xMap.transform(920.0)), qRound(yMap.transform(-60.0)))));

    // The numbers: text pixels start just under each box's own top edge, past
    // its pen; nothing green sits under the level-0 edge above 9110's.
    const int text9100 = firstRow(915.0, -50.0, 12, magenta, 3);
    const int text9110 = firstRow(906.15, -54.0, 12, green, 3);
    QVERIFY2(text9100 > 0 && text9100 < pxPerLevel / 2, qPrintable(QString::number(text9100)));
    QVERIFY2(text9110 > 0 && text9110 < pxPerLevel / 2, qPrintable(QString::number(text9110)));
    QVERIFY(firstRow(906.15, -50.0, 12, green, 0) >= pxPerLevel - 2);
}

QTEST_MAIN(tst_KivoIdOverlay)
#include "tst_kivoidoverlay.moc"
