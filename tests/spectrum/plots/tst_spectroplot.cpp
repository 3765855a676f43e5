#include "dialogscript.h"
#include "frequencyscaledraw.h"
#include "highlightspectrogram.h"
#include "rightclickmachine.h"
#include "spectrogramdata.h"
#include "spectroplot.h"
#include "sptrackpicker.h"
#include "tnwmatrixrasterdata.h"
#include "tnwplotmarker.h"

#include <qwt_scale_div.h>
#include <qwt_text.h>

#include <QMessageBox>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

// The spectrum plot: axis rules, the tracker's text, labels and their
// editing through the dialog seam.
class TstSpectroPlot : public QObject
{
    Q_OBJECT

private:
    // A plot set up as a 2.4 GHz page does: 2400..2500 MHz, -100..-30 dBm.
    static void setUpBand(SpectroPlot &plot)
    {
        plot.setAxisScale(QwtPlot::xBottom, 2400.0, 2500.0);
        plot.setAxisScale(QwtPlot::yLeft, -100.0, -30.0);
        plot.setDataInterval(Qt::XAxis, QwtInterval(2400.0, 2500.0));
        plot.setDataInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
    }
    static RfSpectrumSample sample(qint64 t, int bins, qint8 level)
    {
        return RfSpectrumSample(t, RfSpectrumScan(bins, level));
    }
    static QString tracker(const SpectroPlot &plot, const QPointF &pos)
    {
        return plot.trackPicker()->trackerTextF(pos).text();
    }

private slots:
    void initTestCase() { registerSpectrumMetaTypes(); }

    void leftAxisFollowsPeak_data()
    {
        QTest::addColumn<int>("peak");
        QTest::addColumn<double>("top");
        QTest::newRow("-75") << -75 << -50.0;
        QTest::newRow("-20") << -20 << -18.0;
        QTest::newRow("-52") << -52 << -50.0;
        QTest::newRow("-51") << -51 << -49.0;
        QTest::newRow("no data") << -128 << -50.0;
    }
    void leftAxisFollowsPeak()
    {
        QFETCH(int, peak);
        QFETCH(double, top);
        SpectroPlot plot;
        setUpBand(plot);
        plot.setData({sample(0, 100, -90), sample(10, 100, qint8(peak))});
        plot.updateAxes();
        QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).lowerBound(), -100.0);
        QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), top);
    }

    void rastersGetTheStatistics()
    {
        SpectroPlot plot;
        setUpBand(plot);
        QCOMPARE(plot.highlightData()->resampleMode(),
                 int(TnwMatrixRasterData::BicubicInterpolation));
        QCOMPARE(plot.highlightData()->interval(Qt::ZAxis), QwtInterval(0.0, 1.0));
        RfSpectrumScan a(501, -128), b(501, -128);
        a[3] = -60;
        b[3] = -80;
        plot.setData({RfSpectrumSample(0, a), RfSpectrumSample(1, b)});
        QCOMPARE(plot.densityData()->numColumns(), 501);
        QCOMPARE(plot.densityData()->valueMatrix().size(), 501 * 70);
        QCOMPARE(plot.densityData()->valueMatrix().at(3 + 25 * 501), 0.5);
        QCOMPARE(plot.highlightData()->numColumns(), 501);
        QCOMPARE(plot.highlightData()->valueMatrix().at(3 + 19 * 501), 1.0);
        QCOMPARE(plot.trackPicker()->columns(), 501);
        QCOMPARE(plot.trackPicker()->rows(), 70);
        // Nothing happens for an empty selection.
        plot.setData({});
        QCOMPARE(plot.densityData()->numColumns(), 501);
    }

    void trackerText()
    {
        SpectroPlot plot;
        setUpBand(plot);
        QVERIFY(tracker(plot, QPointF(2437.5, -62.0)).isEmpty()); // no data yet

        // 40 sweeps over 100 bins of 1 MHz; bin 37: five at -58, the newest at
        // -70, the rest lower, so 5/40 of them lie above the -62 dBm row.
        RfSpectrumSampleList s;
        for (int i = 0; i < 40; ++i) {
            qint8 v = i < 5 ? -58 : i < 11 ? -76 : -77;
            if (i == 39)
                v = -70;
            RfSpectrumScan scan(100, -100);
            scan[37] = v;
            s << RfSpectrumSample(i, scan);
        }
        plot.setData(s);
        plot.replot();
        QCOMPARE(tracker(plot, QPointF(2437.5, -62.0)),
                 QStringLiteral("Frequency: 2437.5\nAmplitude: -62.0\nDensity: 12.50%\n"
                                "Current: -70\nAverage: -74.3\nMax: -58"));
        QCOMPARE(plot.trackPicker()->trackerTextF(QPointF(2437.5, -62.0)).renderFlags(),
                 int(Qt::AlignCenter));
        // The axis now ends at -50 dBm; rows are still read 1 dB each where
        // they are drawn.
        QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), -50.0);
        QVERIFY(tracker(plot, QPointF(2437.5, -57.5)).contains("Density: 0.00%"));
        QVERIFY(tracker(plot, QPointF(2437.5, -58.5)).contains("Density: 12.50%"));
        // X.max reads the last bin, outside the axes reads nothing.
        QVERIFY(tracker(plot, QPointF(2500.0, -90.0)).contains("Current: -100"));
        QVERIFY(tracker(plot, QPointF(2500.1, -62.0)).isEmpty());
        QVERIFY(tracker(plot, QPointF(2437.5, -49.0)).isEmpty());
        QVERIFY(tracker(plot, QPointF(2399.0, -62.0)).isEmpty());
    }

    void degenerateSelections()
    {
        SpectroPlot plot;
        setUpBand(plot);
        // A first sample without bins.
        plot.setData({RfSpectrumSample(0, RfSpectrumScan()), sample(1, 100, -60)});
        plot.replot();
        QCOMPARE(plot.trackPicker()->columns(), 0);
        QVERIFY(tracker(plot, QPointF(2450.0, -70.0)).isEmpty());
        QCOMPARE(plot.densityData()->numColumns(), 1);

        // An amplitude interval narrower than 1 dB has no density row.
        plot.setDataInterval(Qt::YAxis, QwtInterval(-60.5, -60.0));
        plot.setData({sample(0, 100, -60), sample(1, 100, -60)});
        plot.replot();
        QVERIFY(tracker(plot, QPointF(2450.0, -70.0)).isEmpty());
        QCOMPARE(plot.highlightData()->numColumns(), 1);

        // Samples of differing length: the newest is read as no-data past its end.
        plot.setDataInterval(Qt::YAxis, QwtInterval(-100.0, -30.0));
        plot.setData({sample(0, 100, -60), sample(1, 50, -70)});
        plot.replot();
        QVERIFY(tracker(plot, QPointF(2420.5, -80.0)).contains("Current: -70"));
        QVERIFY(tracker(plot, QPointF(2480.5, -80.0)).contains("Current: -128"));
        plot.grab(); // renders without reading past a matrix
    }

    void labelHitArea_data()
    {
        QTest::addColumn<QPointF>("pos");
        QTest::addColumn<bool>("hit");
        QTest::newRow("corner") << QPointF(2440.0, -50.0) << true;
        QTest::newRow("far corner") << QPointF(2455.0, -60.0) << true;
        QTest::newRow("left of it") << QPointF(2439.99, -55.0) << false;
        QTest::newRow("right of it") << QPointF(2455.01, -55.0) << false;
        QTest::newRow("above") << QPointF(2445.0, -49.99) << false;
        QTest::newRow("below") << QPointF(2445.0, -60.01) << false;
    }
    void labelHitArea()
    {
        QFETCH(QPointF, pos);
        QFETCH(bool, hit);
        QCOMPARE(SpectroPlot::labelHit(SpectroLabel(QPointF(2440.0, -50.0), "x"), pos), hit);
    }

    void addEditCancelLabels()
    {
        SpectroPlot plot;
        setUpBand(plot);
        QSignalSpy added(&plot, &SpectroPlot::spectroLabelAdded);
        QSignalSpy removed(&plot, &SpectroPlot::spectroLabelRemoved);
        QVERIFY(added.isValid() && removed.isValid());
        DialogScript dialogs;

        // Cancel on an empty spot: nothing.
        plot.onLeftClick(QPointF(2440.0, -50.0));
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.first().kind, DialogSeam::Request::GetText);
        QCOMPARE(dialogs.asked.first().text, QStringLiteral("Enter Text"));
        QVERIFY(dialogs.asked.first().value.isEmpty());
        QVERIFY(plot.spectroLabels().isEmpty());
        QCOMPARE(added.count(), 0);

        // An empty text is a label too.
        dialogs.answers << QString();
        plot.onLeftClick(QPointF(2440.0, -50.0));
        QCOMPARE(plot.spectroLabels(),
                 QList<SpectroLabel>{SpectroLabel(QPointF(2440.0, -50.0), QString())});
        QCOMPARE(added.count(), 1);

        // Editing: preset with the old text, reported as removal then addition.
        dialogs.answers << QStringLiteral("Access point");
        plot.onLeftClick(QPointF(2450.0, -55.0));
        QCOMPARE(dialogs.asked.last().value, QString());
        const SpectroLabel edited(QPointF(2440.0, -50.0), "Access point");
        QCOMPARE(plot.spectroLabels(), QList<SpectroLabel>{edited});
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.last().first().value<SpectroLabel>(),
                 SpectroLabel(QPointF(2440.0, -50.0), QString()));
        QCOMPARE(added.count(), 2);
        QCOMPARE(added.last().first().value<SpectroLabel>(), edited);
        QCOMPARE(plot.labelEntries().first().marker->label().text(),
                 QStringLiteral("Access point"));
        QCOMPARE(plot.labelEntries().first().marker->maxLabelWidth, 200.0);

        // Cancelling an edit keeps the label.
        plot.onLeftClick(QPointF(2450.0, -55.0));
        QCOMPARE(dialogs.asked.last().value, QStringLiteral("Access point"));
        QCOMPARE(plot.spectroLabels(), QList<SpectroLabel>{edited});
        QCOMPARE(added.count(), 2);
        QCOMPARE(removed.count(), 1);
    }

    void twoLabelsAtOnePoint()
    {
        SpectroPlot plot;
        setUpBand(plot);
        const QPointF at(2420.0, -40.0);
        plot.setSpectroLabels({SpectroLabel(at, "first"), SpectroLabel(at, "second")});
        QSignalSpy added(&plot, &SpectroPlot::spectroLabelAdded);
        QSignalSpy removed(&plot, &SpectroPlot::spectroLabelRemoved);
        QCOMPARE(added.count(), 0); // loading reports nothing
        DialogScript dialogs;

        // A left click edits the later one.
        dialogs.answers << QStringLiteral("later");
        plot.onLeftClick(at);
        QCOMPARE(dialogs.asked.last().value, QStringLiteral("second"));
        QCOMPARE(plot.spectroLabels(),
                 (QList<SpectroLabel>{SpectroLabel(at, "first"), SpectroLabel(at, "later")}));

        // A right click asks for the earlier one first; No goes on to the next.
        dialogs.asked.clear();
        dialogs.answers << int(QMessageBox::No) << int(QMessageBox::Yes);
        plot.onRightClick(at);
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(dialogs.asked.first().kind, DialogSeam::Request::Message);
        QCOMPARE(dialogs.asked.first().icon, DialogSeam::Request::Question);
        QCOMPARE(dialogs.asked.first().text, QStringLiteral("Do you want to remove the label?"));
        QCOMPARE(dialogs.asked.first().defaultButton, int(QMessageBox::Yes));
        QCOMPARE(plot.spectroLabels(), QList<SpectroLabel>{SpectroLabel(at, "first")});
        QCOMPARE(removed.count(), 2); // the edit's removal, then this one
        QCOMPARE(removed.last().first().value<SpectroLabel>(), SpectroLabel(at, "later"));

        // Yes on the first stops the search.
        dialogs.asked.clear();
        plot.setSpectroLabels({SpectroLabel(at, "again")});
        dialogs.answers << int(QMessageBox::Yes);
        plot.onRightClick(at);
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(plot.spectroLabels(), QList<SpectroLabel>{SpectroLabel(at, "again")});

        // Outside every hit area nothing is asked.
        dialogs.asked.clear();
        plot.onRightClick(QPointF(2490.0, -90.0));
        QVERIFY(dialogs.asked.isEmpty());

        plot.clearSpectroLabels();
        QVERIFY(plot.spectroLabels().isEmpty());
        QVERIFY(plot.itemList(QwtPlotItem::Rtti_PlotMarker).isEmpty());
    }

    void longLabelWraps()
    {
        QCOMPARE(TnwPlotMarker::wrappedSize(QSizeF(450.0, 20.0), 200.0), QSizeF(200.0, 60.0));
        QCOMPARE(TnwPlotMarker::wrappedSize(QSizeF(400.0, 20.0), 200.0), QSizeF(200.0, 60.0));
        QCOMPARE(TnwPlotMarker::wrappedSize(QSizeF(150.0, 20.0), 200.0), QSizeF(150.0, 20.0));
        QCOMPARE(TnwPlotMarker::wrappedSize(QSizeF(450.0, 20.0), 0.0), QSizeF(450.0, 20.0));
    }

    void rightPressSelectsAtOnce()
    {
        RightClickMachine machine;
        QCOMPARE(machine.selectionType(), QwtPickerMachine::PointSelection);
        QwtEventPattern pattern; // default: select 2 is the right button
        const QMouseEvent right(QEvent::MouseButtonPress, QPointF(5, 5), Qt::RightButton,
                                Qt::RightButton, Qt::NoModifier);
        const QMouseEvent left(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton,
                               Qt::LeftButton, Qt::NoModifier);
        const QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), Qt::RightButton,
                                  Qt::NoButton, Qt::NoModifier);
        using C = QwtPickerMachine::Command;
        QCOMPARE(
            machine.transition(pattern, &right),
            (QList<C>{QwtPickerMachine::Begin, QwtPickerMachine::Append, QwtPickerMachine::End}));
        QVERIFY(machine.transition(pattern, &left).isEmpty());
        QVERIFY(machine.transition(pattern, &release).isEmpty());
    }

    void frequencyLabelsWithoutGroupSeparators()
    {
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        FrequencyScaleDraw draw;
        QCOMPARE(draw.label(2400.0).text(), QStringLiteral("2400"));
        QCOMPARE(draw.label(2437.5).text(), QStringLiteral("2437.5"));
        QLocale::setDefault(previous);
    }

    void qcPassLine()
    {
        SpectroPlot plot;
        QwtPlotMarker *line = plot.addQcPassLine();
        QCOMPARE(line->lineStyle(), QwtPlotMarker::HLine);
        QCOMPARE(line->yValue(), -40.0);
        QCOMPARE(line->label().text(), QStringLiteral("QC Pass Line"));
        QCOMPARE(line->plot(), &plot);
    }
};

QTEST_MAIN(TstSpectroPlot)
#include "tst_spectroplot.moc"
