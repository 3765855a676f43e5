#include "dialogscript.h"
#include "timescaledraw.h"
#include "waterfallcolormap.h"
#include "waterfalldata.h"
#include "waterfallplot.h"
#include "wftrackpicker.h"

#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_text.h>
#include <qwt_thermo.h>

#include <QLabel>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

// The waterfall: its time axis, raster rows, tracker arithmetic and time
// events edited through the dialog seam.
class TstWaterfallPlot : public QObject
{
    Q_OBJECT

private:
    static qint64 noon(int secs, int ms = 0)
    {
        return QDateTime(QDate(2026, 3, 14), QTime(12, 0, 0)).toMSecsSinceEpoch() + secs * 1000 +
               ms;
    }
    static void setUpBand(WaterfallPlot &plot)
    {
        plot.setAxisScale(QwtPlot::xBottom, 2400.0, 2500.0);
        plot.setDataInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        plot.setDataInterval(Qt::ZAxis, QwtInterval(-100.0, -30.0));
    }
    // k samples `step` ms apart, 100 bins; sample r reads -40 - (r % 50).
    static RfSpectrumSampleList samples(int k, qint64 step, qint64 start = noon(0))
    {
        RfSpectrumSampleList s;
        for (int r = 0; r < k; ++r)
            s << RfSpectrumSample(start + r * step, RfSpectrumScan(100, qint8(-40 - r % 50)));
        return s;
    }
    static QString tracker(const WaterfallPlot &plot, const QPointF &pos)
    {
        return plot.trackPicker()->trackerTextF(pos).text();
    }
    static QwtInterval leftAxis(const WaterfallPlot &plot)
    {
        return plot.axisScaleDiv(QwtPlot::yLeft).interval();
    }

private slots:
    void initTestCase() { registerSpectrumMetaTypes(); }

    void timeLabels()
    {
        TimeScaleDraw draw;
        const QDateTime t(QDate(2026, 3, 14), QTime(9, 5, 7, 999));
        QCOMPARE(draw.label(double(t.toMSecsSinceEpoch()) + 0.9).text(),
                 QStringLiteral("09:05:07"));
    }

    void shortSelectionSitsAtTopOfTwoMinutes()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        plot.setData(samples(10, 1000));
        plot.replot();
        const qint64 last = noon(9);
        QCOMPARE(leftAxis(plot), QwtInterval(double(last - 120000), double(last)));
        QCOMPARE(plot.trackPicker()->cellHeight(), 900.0);
        QCOMPARE(plot.trackPicker()->rows(), 10);
        QCOMPARE(plot.trackPicker()->cellWidth(), 1.0);
        QCOMPARE(plot.rasterData()->interval(Qt::YAxis),
                 QwtInterval(double(noon(0)), double(last)));
        QCOMPARE(plot.rasterData()->valueMatrix().size(), 1000);
        QCOMPARE(plot.rasterData()->valueMatrix().at(9 * 100), -49.0);
    }

    void longSelectionFillsTheAxis()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        plot.setData(samples(14, 10000)); // 130 s
        plot.replot();
        QCOMPARE(leftAxis(plot), QwtInterval(double(noon(0)), double(noon(130))));
    }

    void cellHeightInWholeMilliseconds()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        auto s = samples(10, 1000);
        s.last().timeStamp = s.first().timeStamp + 12349;
        plot.setData(s);
        QCOMPARE(plot.trackPicker()->cellHeight(), 1234.0);
    }

    void trackerRows_data()
    {
        QTest::addColumn<double>("below");
        QTest::addColumn<QString>("level");
        QTest::addColumn<int>("sweep"); //!< whose time the tracker shows, -1 the cursor's
        // 100 rows, 990 ms each; "below" is the distance from the axis top in cells.
        QTest::newRow("axis top") << 0.0 << "-89 dBm" << 99;
        QTest::newRow("inside newest") << 0.5 << "-89 dBm" << 99;
        QTest::newRow("newest's bottom") << 1.0 << "-89 dBm" << 99;
        QTest::newRow("second") << 1.5 << "-88 dBm" << 98;
        QTest::newRow("third") << 2.5 << "-87 dBm" << 97;
        QTest::newRow("oldest") << 99.5 << "-40 dBm" << 0;
        QTest::newRow("below the oldest") << 100.5 << "N/A" << -1;
    }
    void trackerRows()
    {
        QFETCH(double, below);
        QFETCH(QString, level);
        QFETCH(int, sweep);
        WaterfallPlot plot;
        setUpBand(plot);
        QVERIFY(tracker(plot, QPointF(2450.0, noon(0))).isEmpty()); // no data yet
        plot.setData(samples(100, 1000));
        plot.replot();
        QCOMPARE(plot.trackPicker()->cellHeight(), 990.0);
        const double y = double(noon(99)) - below * 990.0;
        const QString time = sweep < 0 ? TimeScaleDraw::timeText(y)
                                       : QDateTime::fromMSecsSinceEpoch(noon(sweep))
                                             .time()
                                             .toString(QStringLiteral("HH:mm:ss.zzz"));
        QCOMPARE(
            tracker(plot, QPointF(2437.5, y)),
            QStringLiteral("Frequency: 2437.500 MHz\nTime: %1\nAmplitude: %2").arg(time, level));
    }

    void trackerColumns()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        auto s = samples(3, 1000);
        s.last().spectrum[99] = -33;
        s.last().spectrum[0] = -99;
        plot.setData(s);
        plot.replot();
        const double top = double(noon(2));
        QVERIFY(tracker(plot, QPointF(2500.0, top)).endsWith("Amplitude: -33 dBm"));
        QVERIFY(tracker(plot, QPointF(2400.0, top)).endsWith("Amplitude: -99 dBm"));
        QVERIFY(tracker(plot, QPointF(2399.5, top)).endsWith("Amplitude: N/A"));
        QCOMPARE(plot.trackPicker()->trackerTextF(QPointF(2450.0, top)).renderFlags(),
                 int(Qt::AlignCenter));
    }

    // The first sweep of every scan is shown alone: the selection has no
    // duration, yet its row must be drawn and read without dividing by 0.
    void singleSample()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        plot.setData(samples(1, 1000));
        plot.replot();
        QCOMPARE(plot.trackPicker()->cellHeight(), 0.0);
        const QwtInterval y = plot.rasterData()->interval(Qt::YAxis);
        QVERIFY(y.width() > 0.0);
        QCOMPARE(y.maxValue(), double(noon(0)));
        QCOMPARE(leftAxis(plot), QwtInterval(double(noon(0) - 120000), double(noon(0))));
        QVERIFY(tracker(plot, QPointF(2450.0, noon(0))).endsWith("Amplitude: -40 dBm"));
        QVERIFY(tracker(plot, QPointF(2450.0, noon(-60))).endsWith("Amplitude: -40 dBm"));
        QVERIFY(tracker(plot, QPointF(2450.0, noon(-121))).endsWith("Amplitude: N/A"));
        QCOMPARE(plot.rasterData()->value(2450.0, double(noon(0)) - 1.0), -40.0);

        // Several samples sharing one time stamp alike.
        plot.setData(samples(5, 0));
        plot.replot();
        QVERIFY(plot.rasterData()->interval(Qt::YAxis).width() > 0.0);
        QVERIFY(tracker(plot, QPointF(2450.0, noon(0))).endsWith("Amplitude: -44 dBm"));
    }

    // A damaged recording may hold samples of other lengths: the first sample
    // sets the columns and every row is padded with no-data or cut.
    void samplesOfDifferingLength()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        RfSpectrumSampleList s{RfSpectrumSample(noon(0), RfSpectrumScan(4, -50)),
                               RfSpectrumSample(noon(1), RfSpectrumScan(2, -60)),
                               RfSpectrumSample(noon(2), RfSpectrumScan(7, -70))};
        plot.setData(s);
        QCOMPARE(plot.rasterData()->numColumns(), 4);
        QCOMPARE(plot.rasterData()->valueMatrix(),
                 (QVector<double>{-50, -50, -50, -50, -60, -60, -128, -128, -70, -70, -70, -70}));
        QCOMPARE(plot.trackPicker()->rows(), 3);

        // A first sample without bins leaves nothing to read.
        s.prepend(RfSpectrumSample(noon(-1), RfSpectrumScan()));
        plot.setData(s);
        plot.replot();
        QCOMPARE(plot.trackPicker()->columns(), 0);
        QVERIFY(tracker(plot, QPointF(2450.0, noon(2))).isEmpty());
        plot.grab();
    }

    // Hours of a recording selected at once: the raster keeps a bounded
    // number of cells and shows every n-th sample.
    void veryLongSelectionIsThinned()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        const int bins = 20000;
        const int k = int(WaterfallPlot::MaxCells / bins) * 2 + 3; // needs a stride of 3
        RfSpectrumSampleList s;
        for (int r = 0; r < k; ++r)
            s << RfSpectrumSample(noon(0) + r * 50, RfSpectrumScan(bins, qint8(-40 - r % 3)));
        plot.setData(s);
        const int rows = (k + 2) / 3;
        QCOMPARE(plot.rasterData()->numColumns(), bins);
        QCOMPARE(plot.rasterData()->valueMatrix().size(), rows * bins);
        QVERIFY(plot.rasterData()->valueMatrix().size() <= WaterfallPlot::MaxCells);
        QCOMPARE(plot.rasterData()->valueMatrix().at(bins), -40.0); // sample 3
        QCOMPARE(plot.trackPicker()->rows(), rows);
        QCOMPARE(plot.trackPicker()->cellHeight(), double((qint64(k - 1) * 50) / rows));
    }

    // A selection moved on by a few samples shifts the matrix instead of
    // rebuilding it, with the same cells, colour range and tracker as a fresh
    // plot; any other change is built whole.
    void slideMatchesAFreshSelection_data()
    {
        QTest::addColumn<int>("by");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("slide");
        QTest::newRow("by 1") << 1 << QString() << 1;
        QTest::newRow("by 3") << 3 << QString() << 3;
        QTest::newRow("by 3, another sweep in the middle") << 3 << "middle" << 0;
        QTest::newRow("by 1, one sample shorter") << 1 << "size" << 0;
        QTest::newRow("by 0, a new sweep on top") << 0 << "top" << 0;
        QTest::newRow("by 2, incremental off") << 2 << "off" << 0;
    }
    void slideMatchesAFreshSelection()
    {
        QFETCH(int, by);
        QFETCH(QString, change);
        QFETCH(int, slide);
        QRandomGenerator rng(99);
        RfSpectrumSampleList history;
        for (int r = 0; r < 60; ++r) {                 // the levels drift, so the range moves
            RfSpectrumScan scan(r % 7 == 5 ? 28 : 30); // and some are short
            for (qint8 &level : scan)
                level = qint8(rng.bounded(-110 + r, -60 + r / 2));
            history << RfSpectrumSample(noon(r), scan);
        }
        WaterfallPlot sliding;
        setUpBand(sliding);
        sliding.setIncrementalRendering(change != "off");
        sliding.setData(history.mid(0, 40));
        RfSpectrumSampleList next = history.mid(by, change == "size" ? 39 : 40);
        if (change == "middle")
            next[20].spectrum = RfSpectrumScan(next[20].spectrum.size(), qint8(-50));
        if (change == "top")
            next.last().spectrum = RfSpectrumScan(30, qint8(-45));
        sliding.setData(next);
        WaterfallPlot fresh;
        setUpBand(fresh);
        fresh.setData(next);
        QCOMPARE(sliding.lastSlide(), slide);
        QCOMPARE(sliding.rasterData()->valueMatrix(), fresh.rasterData()->valueMatrix());
        QCOMPARE(sliding.colorRange(), fresh.colorRange());
        QCOMPARE(tracker(sliding, QPointF(2450.0, noon(by + 20))),
                 tracker(fresh, QPointF(2450.0, noon(by + 20))));
    }

    void eventHitRule_data()
    {
        QTest::addColumn<int>("msBefore");
        QTest::addColumn<bool>("hit");
        QTest::newRow("at the event") << 0 << false;
        QTest::newRow("1 ms below") << 1 << true;
        QTest::newRow("4999 ms below") << 4999 << true;
        QTest::newRow("5000 ms below") << 5000 << false;
        QTest::newRow("above") << -1 << false;
    }
    void eventHitRule()
    {
        QFETCH(int, msBefore);
        QFETCH(bool, hit);
        const TimeEvent event(QDateTime::fromMSecsSinceEpoch(noon(10)), "e");
        QCOMPARE(WaterfallPlot::eventHit(event, QPointF(2450.0, double(noon(10) - msBefore))), hit);
    }

    void loadedEventsSitMidBand()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        QSignalSpy added(&plot, &WaterfallPlot::timeEventAdded);
        plot.setTimeEvents({TimeEvent(QDateTime::fromMSecsSinceEpoch(noon(3)), "loaded")});
        QCOMPARE(added.count(), 0);
        const QwtPlotMarker *marker = plot.eventEntries().first().marker;
        QCOMPARE(marker->value(), QPointF(2450.0, double(noon(3))));
        QCOMPARE(marker->lineStyle(), QwtPlotMarker::HLine);
        QCOMPARE(marker->label().text(), QStringLiteral("loaded"));
    }

    void addEditCancelEvents()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        QSignalSpy added(&plot, &WaterfallPlot::timeEventAdded);
        QSignalSpy removed(&plot, &WaterfallPlot::timeEventRemoved);
        QVERIFY(added.isValid() && removed.isValid());
        DialogScript dialogs;

        const QPointF click(2420.0, double(noon(10)) + 0.75);
        plot.onLeftClick(click); // cancelled
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.first().kind, DialogSeam::Request::GetText);
        QCOMPARE(dialogs.asked.first().text, QStringLiteral("Enter Text"));
        QVERIFY(plot.timeEvents().isEmpty());

        dialogs.answers << QString();
        plot.onLeftClick(click);
        const TimeEvent created(QDateTime::fromMSecsSinceEpoch(noon(10)), QString());
        QCOMPARE(plot.timeEvents(), QList<TimeEvent>{created});
        QCOMPARE(plot.eventEntries().first().marker->value(), click);
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.first().first().value<TimeEvent>(), created);

        // Edit from a click 2 s below the line: old removed, new added.
        dialogs.answers << QStringLiteral("Microwave on");
        plot.onLeftClick(QPointF(2480.0, double(noon(8))));
        QCOMPARE(dialogs.asked.last().value, QString());
        const TimeEvent edited(created.time, "Microwave on");
        QCOMPARE(plot.timeEvents(), QList<TimeEvent>{edited});
        QCOMPARE(plot.eventEntries().first().marker->value(), QPointF(2480.0, double(noon(10))));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().first().value<TimeEvent>(), created);
        QCOMPARE(added.count(), 2);
        QCOMPARE(added.last().first().value<TimeEvent>(), edited);

        // Cancelled edit.
        plot.onLeftClick(QPointF(2480.0, double(noon(8))));
        QCOMPARE(dialogs.asked.last().value, QStringLiteral("Microwave on"));
        QCOMPARE(plot.timeEvents(), QList<TimeEvent>{edited});
        QCOMPARE(added.count(), 2);
    }

    void removeAsksOnlyForTheFirstMatch()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        const TimeEvent a(QDateTime::fromMSecsSinceEpoch(noon(10)), "a");
        const TimeEvent b(QDateTime::fromMSecsSinceEpoch(noon(11)), "b");
        plot.setTimeEvents({a, b});
        QSignalSpy removed(&plot, &WaterfallPlot::timeEventRemoved);
        DialogScript dialogs;
        const QPointF both(2450.0, double(noon(8)));

        dialogs.answers << int(QMessageBox::No) << int(QMessageBox::Yes);
        plot.onRightClick(both);
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.first().text, QStringLiteral("Do you want to remove the event?"));
        QCOMPARE(dialogs.asked.first().icon, DialogSeam::Request::Question);
        QCOMPARE(plot.timeEvents(), (QList<TimeEvent>{a, b}));
        QCOMPARE(removed.count(), 0);

        dialogs.answers = {int(QMessageBox::Yes)};
        plot.onRightClick(both);
        QCOMPARE(plot.timeEvents(), QList<TimeEvent>{b});
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().first().value<TimeEvent>(), a);
        QCOMPARE(plot.itemList(QwtPlotItem::Rtti_PlotMarker).size(), 1);

        dialogs.asked.clear();
        plot.onRightClick(QPointF(2450.0, double(noon(20))));
        QVERIFY(dialogs.asked.isEmpty());
    }

    // The colour bar keeps its picture between the canvas's repaints, yet
    // shows what a thermo draws and follows a new colour range.
    void colorBarFollowsTheColourRange()
    {
        WaterfallPlot plot;
        setUpBand(plot);
        plot.resize(900, 600);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        QwtThermo *bar = plot.colorBar();
        QwtThermo plain;
        plain.setOrientation(Qt::Vertical);
        plain.setScalePosition(QwtThermo::LeadingScale);
        plain.setColorMap(new WaterfallColorMap);
        plain.setBorderWidth(0);
        plain.setPalette(bar->palette());
        plain.setFont(bar->font());
        plain.resize(bar->size());
        for (const QwtInterval &range : {QwtInterval(-100, -30), QwtInterval(-90, -50)}) {
            plot.setColorRange(range.minValue(), range.maxValue());
            plain.setScale(range.minValue(), range.maxValue());
            plain.setValue(range.maxValue());
            const QImage expected = plain.grab().toImage().convertToFormat(QImage::Format_RGB32);
            for (int pass = 0; pass < 2; ++pass) { // drawn, then kept
                const QImage shown = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
                QCOMPARE(shown.size(), expected.size());
                int worst = 0;
                for (int y = 0; y < shown.height(); ++y)
                    for (int x = 0; x < shown.width(); ++x) {
                        const QRgb a = shown.pixel(x, y), b = expected.pixel(x, y);
                        worst = std::max({worst, qAbs(qRed(a) - qRed(b)),
                                          qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))});
                    }
                QVERIFY2(worst <= 2, qPrintable(QString::number(worst)));
            }
        }
        // Its title, kept the same way, against a plain label.
        auto *title = plot.canvas()->findChild<QLabel *>();
        QVERIFY(title);
        QPalette light = title->palette(); // as the window's dark theme has it
        light.setColor(QPalette::WindowText, Qt::white);
        title->setPalette(light);
        // The same letters again, so the label keeps its size.
        QString shuffled = title->text();
        std::reverse(shuffled.begin(), shuffled.end());
        for (const QString &text : {title->text(), shuffled}) {
            title->setText(text);
            // A plain label beside it on the canvas, with its style and font.
            QLabel plainTitle(text, plot.canvas());
            plainTitle.setPalette(title->palette());
            plainTitle.setGeometry(title->geometry());
            const QImage expected = plainTitle.grab().toImage();
            int lit = 0; // the text shows
            for (int y = 0; y < expected.height(); ++y)
                for (int x = 0; x < expected.width(); ++x)
                    lit += qGray(expected.pixel(x, y)) > 128;
            QVERIFY(lit > 20);
            for (int pass = 0; pass < 2; ++pass) // drawn, then kept
                QCOMPARE(title->grab().toImage(), expected);
        }
    }
};

QTEST_MAIN(TstWaterfallPlot)
#include "tst_waterfallplot.moc"
