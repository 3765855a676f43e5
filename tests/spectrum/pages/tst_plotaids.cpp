#include "bandhistory.h"
#include "colorrange.h"
#include "deferredclick.h"
#include "dialogscript.h"
#include "heldtraces.h"
#include "markertable.h"
#include "plotaids.h"
#include "plotzoom.h"
#include "scalemenus.h"
#include "spectrogramdata.h"
#include "spectroplot.h"
#include "spectrummarkers.h"
#include "sweepmarker.h"
#include "tracecurves.h"
#include "waterfallplot.h"

#include <qwt_plot_curve.h>
#include <qwt_scale_widget.h>

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

// Zoom, traces and scales of a band page, on plots built as a page builds them.
class TstPlotAids : public QObject
{
    Q_OBJECT

    struct Page
    {
        QWidget widget;
        SpectroPlot *spectro = new SpectroPlot(&widget);
        WaterfallPlot *waterfall = new WaterfallPlot(&widget);
        PlotAids *aids = new PlotAids(spectro, waterfall, &widget);
        Page()
        {
            const QwtInterval band(2400, 2500);
            for (QwtPlot *p : {static_cast<QwtPlot *>(spectro), static_cast<QwtPlot *>(waterfall)})
                p->resize(1000, 600);
            spectro->setDataInterval(Qt::XAxis, band);
            spectro->setDataInterval(Qt::YAxis, QwtInterval(-100, -30));
            waterfall->setDataInterval(Qt::XAxis, band);
            aids->setBand(band);
        }
    };

    // 100 bins of 1 MHz from 2400 MHz; sweep i puts `peak - i` into bin 50,
    // -90 + (i % 3) elsewhere, and bin 20 at -70.
    static RfSpectrumSampleList sweeps(int count, int peak)
    {
        RfSpectrumSampleList s;
        for (int i = 0; i < count; ++i) {
            RfSpectrumScan scan(100, qint8(-90 + i % 3));
            scan[50] = qint8(peak - i);
            scan[20] = -70;
            s << RfSpectrumSample(1000000 + i * 1000, scan);
        }
        return s;
    }
    static QImage render(QwtPlot *plot)
    {
        QWidget *page = plot->parentWidget();
        page->resize(1000, 600);
        page->show();
        plot->resize(1000, 600);
        plot->show();
        if (!QTest::qWaitForWindowExposed(page))
            return QImage();
        plot->replot();
        return plot->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    static bool near(QRgb a, const QColor &b)
    {
        return qAbs(qRed(a) - b.red()) < 40 && qAbs(qGreen(a) - b.green()) < 40 &&
               qAbs(qBlue(a) - b.blue()) < 40;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void zoomArithmetic_data()
    {
        QTest::addColumn<double>("anchor");
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        // View 2400..2500 in a 2400..2500 band, 0.5 MHz at least.
        QTest::newRow("in about the middle") << 2450.0 << 0.5 << 2425.0 << 2475.0;
        QTest::newRow("anchor keeps its place") << 2420.0 << 0.5 << 2410.0 << 2460.0;
        QTest::newRow("out stops at the band") << 2450.0 << 4.0 << 2400.0 << 2500.0;
        QTest::newRow("narrowest view") << 2437.0 << 1e-6 << 2436.815 << 2437.315;
        QTest::newRow("anchor at the edge") << 2500.0 << 0.1 << 2490.0 << 2500.0;
    }
    void zoomArithmetic()
    {
        QFETCH(double, anchor);
        QFETCH(double, factor);
        QFETCH(double, low);
        QFETCH(double, high);
        const QwtInterval band(2400, 2500);
        const QwtInterval v = ZoomMath::zoomAbout(band, anchor, factor, band, 0.5);
        QVERIFY2(qAbs(v.minValue() - low) < 1e-9 && qAbs(v.maxValue() - high) < 1e-9,
                 qPrintable(QStringLiteral("%1..%2").arg(v.minValue()).arg(v.maxValue())));
        // Panning past an edge stops there with the width kept.
        const QwtInterval left = ZoomMath::panBy(v, -1000.0, band);
        QCOMPARE(left.minValue(), 2400.0);
        QVERIFY(qAbs(left.width() - v.width()) < 1e-9);
        QCOMPARE(ZoomMath::panBy(v, 1000.0, band).maxValue(), 2500.0);
        QVERIFY(qAbs(ZoomMath::wheelFactor(240) - 0.64) < 1e-12);
    }

    // The wheel over the spectrum plot zooms both plots and the channel axes;
    // a live update keeps the zoom; Home and a double click on an axis reset.
    void zoomKeepsPlotsInStep()
    {
        Page page;
        page.widget.resize(1000, 600);
        SpectroPlot *sp = page.spectro;
        WaterfallPlot *wf = page.waterfall;
        page.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page.widget));
        sp->replot();
        const int x = qRound(sp->canvasMap(QwtPlot::xBottom).transform(2437.0));
        QWheelEvent wheel(QPointF(x, 100), sp->canvas()->mapToGlobal(QPoint(x, 100)), QPoint(),
                          QPoint(0, 360), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(sp->canvas(), &wheel);
        const QwtInterval view = page.aids->zoom()->frequencyView();
        QVERIFY(qAbs(view.width() - 100 * 0.512) < 1e-6);
        QVERIFY2(qAbs(sp->invTransform(QwtPlot::xBottom, x) - 2437.0) < 0.5,
                 qPrintable(QString::number(sp->invTransform(QwtPlot::xBottom, x))));
        for (QwtPlot *p : {static_cast<QwtPlot *>(sp), static_cast<QwtPlot *>(wf)})
            for (int axis : {int(QwtPlot::xBottom), int(QwtPlot::xTop)})
                QCOMPARE(p->axisScaleDiv(axis).interval(), view);
        sp->setData(sweeps(10, -40));
        wf->setData(sweeps(10, -40));
        QCOMPARE(sp->axisScaleDiv(QwtPlot::xBottom).interval(), view);

        // Shift+wheel: the level axis only.
        QWheelEvent shifted(QPointF(x, 100), sp->canvas()->mapToGlobal(QPoint(x, 100)), QPoint(),
                            QPoint(0, 120), Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase,
                            false);
        QApplication::sendEvent(sp->canvas(), &shifted);
        QVERIFY(sp->amplitudeRange().isValid());
        QCOMPARE(page.aids->zoom()->frequencyView(), view);

        QTest::keyClick(sp->canvas(), Qt::Key_Right);
        QVERIFY(page.aids->zoom()->frequencyView().minValue() > view.minValue());
        QTest::keyClick(sp->canvas(), Qt::Key_Home);
        QVERIFY(!page.aids->zoom()->isZoomed());
        QVERIFY(!sp->amplitudeRange().isValid());
        page.aids->zoom()->zoomFrequency(2450, 0.5);
        QTest::mouseDClick(wf->axisWidget(QwtPlot::xBottom), Qt::LeftButton);
        QCOMPARE(wf->axisScaleDiv(QwtPlot::xBottom).interval(), QwtInterval(2400, 2500));
    }

    // The curves draw the statistics' own vectors, bin centres on x, and
    // appear in their colours along their rows.
    void tracesFollowStatistics()
    {
        Page page;
        SpectroPlot *sp = page.spectro;
        for (QAction *a :
             {page.aids->traceAction(0), page.aids->traceAction(1), page.aids->traceAction(2)})
            a->setChecked(true);
        sp->setData(sweeps(10, -40));
        const SpectrumStatistics &s = sp->statistics();
        const TraceCurves *traces = page.aids->traces();
        for (int k = 0; k < TraceKindCount; ++k) {
            const QwtPlotCurve *c = traces->curve(TraceKind(k));
            QCOMPARE(int(c->dataSize()), s.columns);
            for (int i = 0; i < s.columns; ++i) {
                const double want = k == 0   ? double(s.currentTrace.at(i))
                                    : k == 1 ? s.averageTrace.at(i)
                                             : double(s.maxHoldTrace.at(i));
                QCOMPARE(c->sample(size_t(i)), QPointF(2400.5 + i, want));
            }
        }
        // Max hold -40 dBm at bin 50, the current sweep -70 dBm along bin 20.
        const QImage image = render(sp);
        const int row40 = qRound(sp->canvasMap(QwtPlot::yLeft).transform(-40.0));
        const int col50 = qRound(sp->canvasMap(QwtPlot::xBottom).transform(2450.5));
        bool found = false;
        for (int dy = -1; dy <= 1; ++dy)
            found = found ||
                    near(image.pixel(col50, row40 + dy), TraceCurves::color(TraceKind::MaxHold));
        QVERIFY(found);
        page.aids->traceAction(2)->setChecked(false);
        QVERIFY(!traces->curve(TraceKind::MaxHold)->isVisible());
    }

    // Clearing the shown range's Max hold: bin 50 holds -40 dBm before the
    // clear, -50 in the first sweep after it and -60 later. The trace shows
    // the highest level of the range's sweeps since the clear.
    void clearShownMax_data()
    {
        QTest::addColumn<int>("from"); //!< the range's first sweep
        QTest::addColumn<double>("expected");
        QTest::newRow("range holds sweeps before the clear") << 0 << -50.0;
        QTest::newRow("range starts after the clear") << 12 << -60.0;
    }
    void clearShownMax()
    {
        QFETCH(int, from);
        QFETCH(double, expected);
        Page page;
        HeldTraces held(page.spectro, &page.widget);
        held.setBand(QwtInterval(2400, 2500));
        held.setWindowTraces(page.aids->traces());
        page.aids->traceAction(2)->setChecked(true);
        RfSpectrumSampleList all = sweeps(15, -40);
        for (int i = 0; i < all.size(); ++i) {
            all[i].spectrum[50] = qint8(i < 10 ? -40 : i == 10 ? -50 : -60);
            if (i == 10) {
                page.spectro->setData(all.mid(0, 10));
                held.clearWindowMax();
            }
            held.add(all.at(i).spectrum);
        }
        page.spectro->setData(all.mid(from));
        const QwtPlotCurve *c = page.aids->traces()->curve(TraceKind::MaxHold);
        QCOMPARE(int(c->dataSize()), 100);
        QCOMPARE(c->sample(50), QPointF(2450.5, expected));
        QCOMPARE(c->sample(20), QPointF(2420.5, -70.0));
        // Clearing the whole-capture holds leaves the range's Max hold be.
        held.clearHolds();
        QVERIFY(held.isWindowMaxCleared());
    }

    // Ctrl+click on a waterfall row marks the nearest sweep: the spectrum
    // draws it as taken, newer sweeps leave it be, Shift+M clears it.
    void markedSweep_data()
    {
        QTest::addColumn<qint64>("clickedMs");
        QTest::addColumn<int>("marked");
        QTest::newRow("on a sweep") << qint64(1004000) << 4;
        QTest::newRow("nearer the later one") << qint64(1006600) << 7;
        QTest::newRow("after the newest") << qint64(1030000) << 9;
    }
    void markedSweep()
    {
        QFETCH(qint64, clickedMs);
        QFETCH(int, marked);
        Page page;
        RfSpectrumHistory recorded;
        recorded.frequencyInterval = QwtInterval(2400, 2500);
        const RfSpectrumSampleList all = sweeps(10, -40);
        recorded.samples = all;
        const BandHistory history(recorded);
        SweepMarker marker(page.spectro, page.waterfall, &history, &page.widget);
        marker.setBand(QwtInterval(2400, 2500));
        page.waterfall->setData(all);
        page.waterfall->setAxisScale(QwtPlot::yLeft, 999000, 1031000);
        QVERIFY(!render(page.waterfall).isNull());
        const int y = qRound(page.waterfall->transform(QwtPlot::yLeft, double(clickedMs)));
        QTest::mouseClick(page.waterfall->canvas(), Qt::LeftButton, Qt::ControlModifier,
                          QPoint(500, y));
        QVERIFY(marker.isPlaced());
        QCOMPARE(marker.marked().timeStamp, all.at(marked).timeStamp);
        const QwtPlotCurve *c = marker.curve();
        QCOMPARE(int(c->dataSize()), 100);
        QCOMPARE(c->sample(50), QPointF(2450.5, -40.0 - marked));
        QVERIFY(c->title().text().startsWith(QLatin1String("Marked sweep")));
        QVERIFY(page.waterfall->itemList(QwtPlotItem::Rtti_PlotMarker).contains(marker.line()));
        // Not a note: the waterfall's events are untouched.
        QCOMPARE(page.waterfall->itemList(QwtPlotItem::Rtti_PlotMarker).size(), 1);
        marker.clearAction()->trigger();
        QVERIFY(!c->isVisible() && !marker.line()->isVisible());
    }

    void colorRangeDefault_data()
    {
        QTest::addColumn<QVector<int>>("levels"); // level, count pairs
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("noise and a carrier")
            << QVector<int>{-93, 500, -91, 480, -47, 20} << -95.0 << -45.0;
        QTest::newRow("2% tail dropped") << QVector<int>{-120, 1, -88, 999} << -90.0 << -85.0;
        QTest::newRow("one level") << QVector<int>{-60, 10} << -60.0 << -55.0;
        QTest::newRow("no data counted") << QVector<int>{-128, 50} << -100.0 << -30.0;
        QTest::newRow("0.1% top dropped") << QVector<int>{-80, 1998, -20, 2} << -80.0 << -80.0 + 5;
    }
    void colorRangeDefault()
    {
        QFETCH(QVector<int>, levels);
        QFETCH(double, low);
        QFETCH(double, high);
        LevelHistogram h;
        for (int i = 0; i + 1 < levels.size(); i += 2)
            for (int n = 0; n < levels.at(i + 1); ++n)
                h.add(levels.at(i));
        const ColorRange r = autoColorRange(h);
        QCOMPARE(r.low, low);
        QCOMPARE(r.high, high);
    }

    // The waterfall's range follows the data until set, the colour bar with
    // it, and "auto" returns; typed ranges are checked.
    void waterfallColorRange()
    {
        Page page;
        WaterfallPlot *wf = page.waterfall;
        QSignalSpy changed(wf, &WaterfallPlot::colorRangeChanged);
        wf->setData(sweeps(10, -40));
        QCOMPARE(wf->colorRange(), (ColorRange{-90.0, -40.0}));
        QCOMPARE(changed.count(), 1);
        wf->setColorRange(-110, -60);
        QVERIFY(!wf->isColorRangeAuto());
        wf->setData(sweeps(10, -20));
        QCOMPARE(wf->colorRange(), (ColorRange{-110.0, -60.0}));
        wf->setAutoColorRange();
        QCOMPARE(wf->colorRange(), (ColorRange{-90.0, -20.0}));
        QCOMPARE(ScaleMenus::parseRange(" -100, -40 "), std::optional(QwtInterval(-100, -40)));
        QCOMPARE(ScaleMenus::parseRange("-40;-100"), std::optional(QwtInterval(-100, -40)));
        for (const char *bad : {"-40", "-40 -40", "a b", "-40 -50 -60", "-400 0", "nan 1"})
            QVERIFY2(!ScaleMenus::parseRange(bad), bad);
    }

    // Max hold over 100 bins of 1 MHz from 2400 MHz: -90 dBm floor, -30 at
    // bin 10, -40 at 37 with a falling shoulder, a flat top of -60 at 60..61,
    // -50 at 80.
    static SpectrumStatistics handBuilt()
    {
        SpectrumStatistics s;
        s.sampleCount = 1;
        s.columns = 100;
        s.maxHoldTrace = RfSpectrumScan(100, -90);
        const QVector<QPair<int, int>> levels{{10, -30}, {37, -40}, {38, -50}, {39, -55},
                                              {60, -60}, {61, -60}, {80, -50}};
        for (const auto &l : levels)
            s.maxHoldTrace[l.first] = qint8(l.second);
        s.currentTrace = RfSpectrumScan(100, -95);
        s.averageTrace = QVector<double>(100, -92.5);
        return s;
    }

    void markerPeaks_data()
    {
        QTest::addColumn<double>("viewLow");
        QTest::addColumn<double>("from"); // NaN: peak, else next peak from there
        QTest::addColumn<double>("level");
        QTest::addColumn<double>("expected"); // NaN: none
        QTest::addColumn<bool>("tie");
        const double none = qQNaN();
        QTest::newRow("peak, whole band") << 2400.0 << none << 0.0 << 2410.5 << false;
        QTest::newRow("peak, zoomed past it") << 2420.0 << none << 0.0 << 2437.5 << false;
        QTest::newRow("next below -40") << 2420.0 << 2437.5 << -40.0 << 2480.5 << false;
        QTest::newRow("next below -50") << 2420.0 << 2480.5 << -50.0 << 2460.5 << false;
        QTest::newRow("flat top counts once") << 2420.0 << 2460.5 << -60.0 << none << false;
        QTest::newRow("shoulder is no peak") << 2436.0 << 2410.5 << -30.0 << 2437.5 << false;
        // Levels are whole dB, so equal peaks are common: from either, the next
        // is the other (bin 90 made as strong as bin 80).
        QTest::newRow("tie, to the right") << 2420.0 << 2480.5 << -50.0 << 2490.5 << true;
        QTest::newRow("tie, to the left") << 2420.0 << 2490.5 << -50.0 << 2480.5 << true;
    }
    void markerPeaks()
    {
        QFETCH(double, viewLow);
        QFETCH(double, from);
        QFETCH(double, level);
        QFETCH(double, expected);
        QFETCH(bool, tie);
        SpectrumStatistics s = handBuilt();
        if (tie)
            s.maxHoldTrace[90] = -50;
        const QwtInterval cells(2400, 2500);
        const QwtInterval view(viewLow, 2500);
        const std::optional<double> f = std::isnan(from)
                                            ? MarkerMath::peak(s, cells, view)
                                            : MarkerMath::nextPeak(s, cells, view, from, level);
        QCOMPARE(bool(f), !std::isnan(expected));
        if (f)
            QCOMPARE(*f, expected);
    }

    // Readouts per trace, a marker outside the zoomed view, the delta, and
    // the lines on the plot at their columns, kept in the settings.
    void markerReadouts()
    {
        const SpectrumStatistics s = handBuilt();
        const QwtInterval cells(2400, 2500), view(2420, 2500);
        const MarkerReadout out = MarkerMath::readout(s, cells, view, {2410.2, TraceKind::MaxHold});
        QCOMPARE(out.level, -30.0);
        QVERIFY(!out.inView);
        const MarkerReadout m1 = MarkerMath::readout(s, cells, view, {2437.5, TraceKind::MaxHold});
        const MarkerReadout m2 = MarkerMath::readout(s, cells, view, {2480.5, TraceKind::Current});
        QVERIFY(m1.inView);
        QCOMPARE(MarkerMath::deltaText(m1, m2), QStringLiteral("43.000 MHz, -55.0 dB"));
        QCOMPARE(MarkerMath::frequencyText(2437.4999), QStringLiteral("2437.500"));
        QVERIFY(std::isnan(MarkerMath::readout(s, cells, view, {2600, TraceKind::Average}).level));

        Page page;
        SpectrumMarkers *markers = page.aids->markers();
        page.spectro->setData(sweeps(10, -40));
        QVERIFY(markers->toPeak());
        QCOMPARE(markers->readout(0).frequency, 2450.5);
        QCOMPARE(markers->readout(0).level, -40.0);
        QVERIFY(markers->toNextPeak()); // the -70 dBm line at bin 20
        QCOMPARE(markers->readout(0).frequency, 2420.5);
        for (int i = 1; i < 5; ++i)
            markers->add(2400.5 + 10 * i);
        QCOMPARE(markers->markers().size(), SpectrumMarkers::MaxMarkers);
        QCOMPARE(MarkerTable(markers).table()->rowCount(), 4);
        const QImage image = render(page.spectro);
        const int x = qRound(page.spectro->canvasMap(QwtPlot::xBottom).transform(2430.5));
        QVERIFY(near(image.pixel(x, image.height() / 2), QColor(160, 160, 255))); // M4, selected

        SpectrumMarkers again(page.spectro);
        again.setBandKey(QStringLiteral("markers/band2400"));
        QCOMPARE(again.markers().size(), 4);
        QCOMPARE(again.markers().at(3).frequency, 2430.5);
        markers->setBandKey(QStringLiteral("markers/band2400")); // next run starts clean
        while (!markers->markers().isEmpty())
            markers->remove(0);
    }

    // The table measures every marker from the chosen reference, which stays
    // on its marker when others go and is kept with the band's markers.
    void markerDeltaReference_data()
    {
        QTest::addColumn<int>("reference");
        QTest::addColumn<int>("removed"); // -1: none
        QTest::addColumn<QStringList>("deltas");
        // M1 2450.5 MHz -40 dBm, M2 2420.5 MHz -70 dBm, M3 2430.5 MHz -88 dBm.
        QTest::newRow("M1") << 0 << -1
                            << QStringList{"ref", "-30.000 MHz, -30.0 dB", "-20.000 MHz, -48.0 dB"};
        QTest::newRow("M2") << 1 << -1
                            << QStringList{"30.000 MHz, 30.0 dB", "ref", "10.000 MHz, -18.0 dB"};
        QTest::newRow("M3") << 2 << -1
                            << QStringList{"20.000 MHz, 48.0 dB", "-10.000 MHz, 18.0 dB", "ref"};
        QTest::newRow("M1 removed, M3 moves up")
            << 2 << 0 << QStringList{"-10.000 MHz, 18.0 dB", "ref"};
        QTest::newRow("reference removed, M1 takes over")
            << 1 << 1 << QStringList{"ref", "-20.000 MHz, -48.0 dB"};
    }
    void markerDeltaReference()
    {
        QFETCH(int, reference);
        QFETCH(int, removed);
        QFETCH(QStringList, deltas);
        Page page;
        SpectrumMarkers *markers = page.aids->markers();
        while (!markers->markers().isEmpty())
            markers->remove(0);
        page.spectro->setData(sweeps(10, -40));
        for (double f : {2450.5, 2420.5, 2430.5})
            markers->add(f);
        MarkerTable table(markers);
        markers->select(reference);
        table.referenceAction()->trigger(); // D in the table
        markers->remove(removed);
        QStringList shown;
        for (int row = 0; row < table.table()->rowCount(); ++row)
            shown << table.table()->item(row, MarkerTable::DeltaColumn)->text();
        QCOMPARE(shown, deltas);

        SpectrumMarkers again(page.spectro);
        again.setBandKey(QStringLiteral("markers/band2400"));
        QCOMPARE(again.reference(), markers->reference());
        while (!markers->markers().isEmpty())
            markers->remove(0);

        // Pointed elsewhere, and left empty when its markers go.
        auto *other = new SpectrumMarkers(page.spectro);
        other->add(2410.0);
        table.setMarkers(other);
        QCOMPARE(table.table()->rowCount(), 1);
        delete other;
        QCOMPARE(table.table()->rowCount(), 0);
        QVERIFY(!table.findChild<QPushButton *>()->isEnabled());
    }

    // A double click on either canvas returns to the whole band and opens no
    // prompt; a single click still asks for the note once it cannot be the
    // first half of a double click.
    void canvasClicks_data()
    {
        QTest::addColumn<bool>("waterfall");
        QTest::addColumn<bool>("twice");
        QTest::newRow("spectrum, single") << false << false;
        QTest::newRow("spectrum, double") << false << true;
        QTest::newRow("waterfall, single") << true << false;
        QTest::newRow("waterfall, double") << true << true;
    }
    void canvasClicks()
    {
        QFETCH(bool, waterfall);
        QFETCH(bool, twice);
        DeferredClick::setInterval(50);
        Page page;
        page.spectro->setData(sweeps(10, -40));
        page.waterfall->setData(sweeps(10, -40));
        QwtPlot *plot = waterfall ? static_cast<QwtPlot *>(page.waterfall) : page.spectro;
        render(plot);
        page.aids->zoom()->zoomFrequency(2450, 0.5);
        DialogScript dialogs;
        dialogs.answers << QStringLiteral("note");
        QWidget *canvas = plot->canvas();
        const QPoint at = canvas->rect().center();
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, at);
        if (twice) {
            QTest::mouseDClick(canvas, Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, at);
            QTest::qWait(150);
        }
        QTRY_COMPARE(dialogs.asked.size(), twice ? 0 : 1);
        QCOMPARE(page.aids->zoom()->isZoomed(), !twice);
        const int notes =
            waterfall ? page.waterfall->timeEvents().size() : page.spectro->spectroLabels().size();
        QCOMPARE(notes, twice ? 0 : 1);
        DeferredClick::setInterval(-1);
    }
};

QTEST_MAIN(TstPlotAids)
#include "tst_plotaids.moc"
