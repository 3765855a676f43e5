#include "mainwindow.h"
#include "markertable.h"
#include "plotaids.h"
#include "spectrummarkers.h"
#include "sweepmarker.h"
#include "tabpage.h"
#include "tnwtabwidget.h"
#include "waterfallplot.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

// The window without a device: what the user sees of its pages.
class tst_MainWindowLayout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void viewToggleFollowsPage();
    void axisLabelsWhole_data();
    void axisLabelsWhole();
    void markerDockFollowsPage();

private:
    QTemporaryDir m_home;
};

void tst_MainWindowLayout::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toLocal8Bit());
}

void tst_MainWindowLayout::viewToggleFollowsPage()
{
    MainWindow w(nullptr, false);
    QAction *toggle = w.form()->actionToggle_View;
    TnwTabWidget *tabs = w.form()->tabWidget;
    tabs->setCurrentIndex(0);
    QCOMPARE(toggle->text(), QString("Spectrogram View"));
    toggle->trigger();
    QCOMPARE(qobject_cast<TabPage *>(tabs->widget(0))->currentView(), 1);
    QCOMPARE(toggle->text(), QString("Waterfall View"));
    tabs->setCurrentIndex(1); // its page still shows the spectrum
    QCOMPARE(toggle->text(), QString("Spectrogram View"));
    tabs->setCurrentIndex(0);
    QCOMPARE(toggle->text(), QString("Waterfall View"));
}

void tst_MainWindowLayout::axisLabelsWhole_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("smallest") << QSize(1, 1);
    QTest::newRow("800x600") << QSize(800, 600);
    QTest::newRow("1600x1000") << QSize(1600, 1000);
}

// The first and last labels of both axes of the waterfall lie whole inside
// their axis widget, which the window system clips to its mask.
void tst_MainWindowLayout::axisLabelsWhole()
{
    QFETCH(QSize, size);
    MainWindow w(nullptr, false);
    w.resize(size);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.width() >= 800 && w.height() >= 600);
    w.form()->tabWidget->setCurrentIndex(0);
    auto *page = qobject_cast<TabPage *>(w.form()->tabWidget->widget(0));
    page->toggleView();
    WaterfallPlot *plot = page->waterfallPlot();
    QTRY_VERIFY(plot->isVisible());
    plot->replot();
    for (int axis : {QwtPlot::yLeft, QwtPlot::xBottom}) {
        const QwtScaleWidget *scale = plot->axisWidget(axis);
        const QList<double> ticks = plot->axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick);
        QVERIFY(!ticks.isEmpty());
        for (double tick : {ticks.first(), ticks.last()}) {
            const QRect label = scale->scaleDraw()->boundingLabelRect(scale->font(), tick);
            const QString what = scale->scaleDraw()->label(tick).text();
            QVERIFY2(scale->rect().contains(label), qPrintable(what));
            QVERIFY2(scale->mask().isEmpty() || QRegion(label).subtracted(scale->mask()).isEmpty(),
                     qPrintable(what));
        }
    }
}

// One marker table for the window lists the markers of the page on screen;
// T shows and hides it, and the choice outlives the window.
void tst_MainWindowLayout::markerDockFollowsPage()
{
    auto markersOf = [](QWidget *page) {
        return qobject_cast<TabPage *>(page)->plotAids()->markers();
    };
    {
        MainWindow w(nullptr, false);
        TnwTabWidget *tabs = w.form()->tabWidget;
        markersOf(tabs->widget(0))->add(2437.0);
        markersOf(tabs->widget(0))->add(2412.0);
        markersOf(tabs->widget(1))->add(915.0);
        QVERIFY(w.form()->dockWidgetMarkers->isHidden());
        for (int tab : {1, 0, 1}) {
            tabs->setCurrentIndex(tab);
            QCOMPARE(w.markerTable()->markers(), markersOf(tabs->widget(tab)));
            QCOMPARE(w.markerTable()->table()->rowCount(), tab == 0 ? 2 : 1);
        }
        QCOMPARE(w.markerTable()->table()->item(0, MarkerTable::FrequencyColumn)->text(),
                 QStringLiteral("915.000"));
        // The sweep marked on the waterfall of the page on screen is listed too.
        auto *page900 = qobject_cast<TabPage *>(tabs->widget(1));
        page900->onNewSpecScan(1765000000000, RfSpectrumScan(261, -90));
        QVERIFY(page900->sweepMarker()->place(1765000000000));
        auto *marked = w.findChild<QLabel *>(QStringLiteral("markedSweepLabel"));
        QVERIFY(marked->text().startsWith(QLatin1String("Marked sweep")));
        tabs->setCurrentIndex(0);
        QVERIFY(marked->text().isEmpty());
        tabs->setCurrentIndex(1);
        page900->sweepMarker()->clearAction()->trigger();
        QVERIFY(marked->text().isEmpty());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(tabs->currentWidget(), Qt::Key_T);
        QVERIFY(w.form()->dockWidgetMarkers->isVisible());
        QVERIFY(w.form()->actionMarkers->isChecked());
    }
    MainWindow again(nullptr, false);
    QVERIFY(!again.form()->dockWidgetMarkers->isHidden());
    again.form()->actionMarkers->trigger();
    QVERIFY(again.form()->dockWidgetMarkers->isHidden());
}

QTEST_MAIN(tst_MainWindowLayout)
#include "tst_mainwindowlayout.moc"
