#include "plotaids.h"
#include "plotzoom.h"
#include "rangeslider.h"
#include "spectroplot.h"
#include "spectrummarkers.h"
#include "sptrackpicker.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "waterfalldata.h"
#include "waterfallplot.h"
#include "wftrackpicker.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <qwt_plot_marker.h>

#include <limits>

class tst_TabPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void elapsedText_data();
    void elapsedText();
    void labelsFollowUpperHandle();
    void clearShowsEmptyStateAtOnce();
    void liveWindowFollowsNewest();
    void backToLive_data();
    void backToLive();
    void wifiNetworksCarryForward();
    void recordedPage();
    void extremeTimeStamps();
    void redrawGap_data();
    void redrawGap();
    void burstDrawsLikeOneRedrawPerSweep();
    void barAndSurveyFollowAFewTimesASecond();
    void waterfallScrollsWhileFollowing();
    void appendingDoesNotDraw();
    void qcLineOnce();
    void keysAsKeyboardsSendThem_data();
    void keysAsKeyboardsSendThem();

private:
    PageActions m_actions;
    QAction m_record{"Scan"}, m_stop{"Stop"}, m_save{"Save"}, m_snapshot{"Snapshot"},
        m_toggle{"Toggle"}, m_kivo{"KiVo"};
};

static RfSpectrumScan sweep(int points, qint8 level, int seed = 0)
{
    RfSpectrumScan s(points, level);
    for (int i = 0; i < points; ++i)
        s[i] = qint8(level - ((i * 7 + seed * 13) % 23));
    return s;
}

static qint64 at(const char *time)
{
    return QDateTime::fromString(QString("2026-03-01T") + time, Qt::ISODateWithMs)
        .toMSecsSinceEpoch();
}

void tst_TabPage::initTestCase()
{
    registerSpectrumMetaTypes();
    m_actions.record = &m_record;
    m_actions.stop = &m_stop;
    m_actions.save = &m_save;
    m_actions.snapshot = &m_snapshot;
    m_actions.toggleView = &m_toggle;
    m_actions.kivoIds = &m_kivo;
}

void tst_TabPage::elapsedText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "00:00:00";
    QTest::newRow("1:00:05") << qint64(3605000) << "01:00:05";
    QTest::newRow("just under an hour") << qint64(3599999) << "00:59:59";
    QTest::newRow("25 hours wraps") << qint64(25 * 3600000LL) << "01:00:00";
    QTest::newRow("100 hours") << qint64(100 * 3600000LL + 61000) << "04:01:01";
}

void tst_TabPage::elapsedText()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(TabPage::elapsedText(ms), text);
}

void tst_TabPage::labelsFollowUpperHandle()
{
    TabPage900 page(m_actions);
    page.onNewSpecScan(at("10:00:00.000"), sweep(252, -60));
    page.onNewSpecScan(at("10:59:59.999"), sweep(252, -60));
    page.onNewSpecScan(at("11:00:05.000"), sweep(252, -60));
    QCOMPARE(page.timeBar()->upperValue(), 3);
    QCOMPARE(page.elapsedLabel()->text(), QString("01:00:05"));
    QCOMPARE(page.clockLabel()->text(),
             QLocale::system().toString(
                 QDateTime::fromMSecsSinceEpoch(at("11:00:05.000")).toLocalTime().time(),
                 QLocale::LongFormat));
    page.timeBar()->setUpperValue(2);
    QCOMPARE(page.elapsedLabel()->text(), QString("00:59:59"));
}

void tst_TabPage::clearShowsEmptyStateAtOnce()
{
    TabPage900 page(m_actions);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.onNewSpecScan(at("10:00:00.000"), sweep(252, -60));
    page.onNewSpecScan(at("10:00:07.000"), sweep(252, -60));
    page.flushRedraw();
    page.toggleView();
    page.flushRedraw();
    QCOMPARE(page.elapsedLabel()->text(), QString("00:00:07"));
    QCOMPARE(page.waterfallPlot()->trackPicker()->columns(), 252);
    QCOMPARE(page.spectroPlot()->trackPicker()->columns(), 252);

    // No sweep follows: the old capture must be gone from the screen anyway.
    page.clearHist();
    QCOMPARE(page.bandHistory().sampleCount(), 0);
    QCOMPARE(page.elapsedLabel()->text(), QString("00:00:00"));
    QVERIFY(page.clockLabel()->text() !=
            QLocale::system().toString(
                QDateTime::fromMSecsSinceEpoch(at("10:00:07.000")).toLocalTime().time(),
                QLocale::LongFormat));
    QCOMPARE(page.timeBar()->maximum(), 0);
    QCOMPARE(page.waterfallPlot()->trackPicker()->columns(), 0);
    QCOMPARE(page.spectroPlot()->trackPicker()->columns(), 0);
    QVERIFY(!page.waterfallPlot()->rasterData()->interval(Qt::YAxis).isValid());

    // Dragging the bar of the empty history reads no sample that is gone.
    page.timeBar()->setUpperValue(1);
    page.onTimeBarMoved();
    QCOMPARE(page.elapsedLabel()->text(), QString("00:00:00"));
}

void tst_TabPage::liveWindowFollowsNewest()
{
    TabPage2400 page(m_actions);
    const qint64 t0 = at("08:00:00.000");
    for (int i = 0; i <= 130; ++i)
        page.onNewSpecScan(t0 + i * 1000, sweep(501, -50, i));
    QCOMPARE(page.timeBar()->maximum(), 131);
    QCOMPARE(page.timeBar()->upperValue(), 131);
    QCOMPARE(page.timeBar()->lowerValue(), 10); // 121 samples: the one 120 s older stays

    // Dragged back, the view stays while the range grows.
    page.timeBar()->setUpperValue(100);
    page.onNewSpecScan(t0 + 131000, sweep(501, -50));
    QCOMPARE(page.timeBar()->maximum(), 132);
    QCOMPARE(page.timeBar()->upperValue(), 100);
}

// Looking back pauses the view; reaching the end again by any of the ways a
// user has follows the sweeps again, although the bar on screen lags the
// history by the sweeps of one drawing. The survey works on the whole
// history until the user chooses a range by the bar's edge.
void tst_TabPage::backToLive_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("drag past the end") << "drag";
    QTest::newRow("wheel") << "wheel";
    QTest::newRow("End key") << "end";
    QTest::newRow("Live button") << "button";
    QTest::newRow("edge dragged to a chosen range") << "edge";
}

void tst_TabPage::backToLive()
{
    QFETCH(QString, how);
    TabPage2400 page(m_actions);
    page.resize(900, 500);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    RangeSlider *bar = page.timeBar();
    const qint64 t0 = at("08:00:00.000");
    int n = 0;
    const auto sweeps = [&](int count) {
        for (int i = 0; i < count; ++i, ++n)
            page.onNewSpecScan(t0 + n * 1000, sweep(501, -50, n));
    };
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, at, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                      Qt::NoModifier);
        QApplication::sendEvent(bar, &e);
    };
    const auto wheel = [&](int steps) {
        for (int i = 0; i < qAbs(steps); ++i) {
            QWheelEvent e(QPointF(10, 5), QPointF(bar->mapToGlobal(QPoint(10, 5))), QPoint(),
                          QPoint(0, steps > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar, &e);
        }
    };
    sweeps(420); // 7 minutes
    page.flushRedraw();
    QVERIFY(page.isFollowingLive());
    QCOMPARE(page.liveLabel()->text(), QString("LIVE"));
    QCOMPARE(page.currentSelection().size(), 121);
    QCOMPARE(page.analysisSelection().size(), 420);

    wheel(-3); // back by three twentieths
    QVERIFY(!page.isFollowingLive());
    sweeps(30); // the bar is drawn at the next drawing only
    QVERIFY(bar->upperValue() < 400);
    page.flushRedraw();
    QCOMPARE(page.liveLabel()->text(), QString("PAUSED, 00:01:33 behind"));
    QCOMPARE(page.analysisSelection().size(), 450);
    sweeps(5); // the slider's end is now 5 sweeps short of the history's

    const QPoint middle = bar->rangeRect().center().toPoint();
    if (how == "drag") {
        send(QEvent::MouseButtonPress, middle, Qt::LeftButton);
        send(QEvent::MouseMove, QPoint(bar->width() + 50, middle.y()), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, QPoint(bar->width() + 50, middle.y()), Qt::NoButton);
    } else if (how == "wheel") {
        wheel(5);
    } else if (how == "end") {
        QTest::keyClick(bar, Qt::Key_End);
    } else if (how == "button") {
        QVERIFY(page.liveButton()->isEnabled());
        page.liveButton()->click();
    } else {
        // The left edge dragged to the start, the right one past the end.
        const QPoint right(qRound(bar->rangeRect().right()), middle.y());
        send(QEvent::MouseButtonPress, right, Qt::LeftButton);
        send(QEvent::MouseMove, QPoint(bar->width() + 50, middle.y()), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, QPoint(bar->width() + 50, middle.y()), Qt::NoButton);
        const QPoint left(qRound(bar->rangeRect().left()), middle.y());
        send(QEvent::MouseButtonPress, left, Qt::LeftButton);
        send(QEvent::MouseMove, QPoint(bar->width() / 2, middle.y()), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, QPoint(bar->width() / 2, middle.y()), Qt::NoButton);
    }
    sweeps(1);
    page.flushRedraw();
    QVERIFY(page.isFollowingLive());
    QCOMPARE(page.liveLabel()->text(), QString("LIVE"));
    QVERIFY(!page.liveButton()->isEnabled());
    QCOMPARE(bar->maximum(), 456);
    QCOMPARE(bar->upperValue(), 456);
    if (how == "edge") {
        // A chosen range: the survey's, kept as wide while it follows.
        QVERIFY(bar->lowerValue() > 100 && bar->lowerValue() < 335);
        QCOMPARE(page.analysisSelection().size(), 456 - int(bar->lowerValue()));
        const qint64 width = bar->rangeWidth();
        sweeps(1);
        page.flushRedraw();
        QCOMPARE(bar->rangeWidth(), width);
        page.liveButton()->setEnabled(true);
        page.goLive(); // the live view and the whole history again
        page.flushRedraw();
        QCOMPARE(page.analysisSelection().size(), 457);
    } else {
        QCOMPARE(bar->lowerValue(), 456 - 121);
        QCOMPARE(page.analysisSelection().size(), 456);
    }
}

void tst_TabPage::wifiNetworksCarryForward()
{
    TabPage2400 page(m_actions);
    page.onNewSpecScan(1000, sweep(501, -50));
    QVERIFY(page.history().samples.last().wifiNetworks.isEmpty());
    TabPage900 page900(m_actions);
    page900.onNewSpecScan(1000, sweep(252, -50));
    QCOMPARE(page900.history().samples.size(), 1);
}

void tst_TabPage::recordedPage()
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(902, 928);
    h.amplitudeInterval = QwtInterval(-100, -30);
    const qint64 t0 = at("09:00:00.000");
    for (int i = 0; i < 200; ++i)
        h.samples.append(RfSpectrumSample(t0 + i * 1000, sweep(252, -70, i)));
    h.timeEvents.append(TimeEvent(QDateTime::fromMSecsSinceEpoch(t0 + 5000), "start"));
    h.spectroLabels.append(SpectroLabel(QPointF(915, -60), "peak"));
    h.projectInfo.projectName = "Hall A";

    TabPage900 page(h, m_actions);
    QVERIFY(!page.isLive());
    QCOMPARE(page.timeBar()->maximum(), 200);
    QCOMPARE(page.timeBar()->upperValue(), 200);
    QCOMPARE(page.timeBar()->lowerValue(), 79); // first sample at most 120 s before the last
    QCOMPARE(page.elapsedLabel()->text(), QString("00:03:19"));
    QCOMPARE(page.history(), h); // loading adds no notes twice
    const auto buttons = page.findChildren<QToolButton *>();
    for (QToolButton *b : buttons)
        if (b->defaultAction() == &m_record || b->defaultAction() == &m_stop)
            QVERIFY(b->isHidden());
    const auto bars = page.findChildren<QToolBar *>();
    QCOMPARE(bars.size(), 1);
    QVERIFY(!bars.first()->actions().contains(&m_save));
    QVERIFY(bars.first()->actions().contains(&m_snapshot));
}

// A damaged recording can carry any 64-bit time stamps: the elapsed label
// must neither overflow nor crash while the page is built and drawn.
void tst_TabPage::extremeTimeStamps()
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.amplitudeInterval = QwtInterval(-100, -30);
    h.samples.append(RfSpectrumSample(std::numeric_limits<qint64>::min(), sweep(501, -70)));
    h.samples.append(RfSpectrumSample(std::numeric_limits<qint64>::max(), sweep(501, -60)));
    TabPage2400 page(h, m_actions);
    page.flushRedraw();
    QVERIFY(!page.elapsedLabel()->text().isEmpty());
}

static QImage shown(TabPage &page)
{
    page.flushRedraw();
    return page.spectroPlot()->grab().toImage();
}

void tst_TabPage::redrawGap_data()
{
    QTest::addColumn<double>("drawMs");
    QTest::addColumn<bool>("live");
    QTest::addColumn<qint64>("gapMs");
    // The gap follows the drawing's end: at 20 sweeps a second a drawing
    // and its gap within 50 ms draw every sweep.
    QTest::newRow("fast, live: every sweep, at most 30 a second") << 0.3 << true << qint64(33);
    QTest::newRow("4 ms (1080p), live: every sweep, 30 a second") << 4.0 << true << qint64(29);
    QTest::newRow("12 ms (4K), live: every sweep") << 12.0 << true << qint64(24);
    QTest::newRow("16 ms (4K, two threads), live: every sweep") << 16.0 << true << qint64(32);
    QTest::newRow("40 ms, live: a third of the time") << 40.0 << true << qint64(81);
    QTest::newRow("200 ms, live: twice the drawing") << 200.0 << true << qint64(400);
    QTest::newRow("150 ms, live: a third of the time") << 150.0 << true << qint64(304);
    QTest::newRow("400 ms, live: twice the drawing") << 400.0 << true << qint64(800);
    QTest::newRow("9 ms, by hand: at once") << 9.0 << false << qint64(18);
}

void tst_TabPage::redrawGap()
{
    QFETCH(double, drawMs);
    QFETCH(bool, live);
    QFETCH(qint64, gapMs);
    QCOMPARE(TabPage::redrawGapMs(drawMs, live), gapMs);
}

void tst_TabPage::burstDrawsLikeOneRedrawPerSweep()
{
    TabPage2400 each(m_actions);
    TabPage2400 burst(m_actions);
    for (TabPage *p : {static_cast<TabPage *>(&each), static_cast<TabPage *>(&burst)}) {
        p->resize(800, 500);
        p->show();
    }
    QVERIFY(QTest::qWaitForWindowExposed(&burst));
    const qint64 t0 = at("12:00:00.000");
    for (int i = 0; i < 40; ++i) {
        const RfSpectrumScan s = sweep(501, qint8(-40 - i % 30), i);
        each.onNewSpecScan(t0 + i * 50, s);
        each.flushRedraw();
        burst.onNewSpecScan(t0 + i * 50, s);
    }
    QVERIFY(each.redrawCount() >= 40);
    QVERIFY(burst.redrawCount() <= 1);
    QCOMPARE(shown(burst), shown(each));
    QCOMPARE(burst.redrawCount(), 1);

    // The waterfall, drawn only once it is shown, catches up too.
    each.toggleView();
    burst.toggleView();
    QCOMPARE(burst.waterfallPlot()->grab().toImage().isNull(), false);
    each.flushRedraw();
    burst.flushRedraw();
    // While sweeps come the waterfall scrolls in whole pixel lines from
    // wherever each page's drawings happened to fall; once the stream stops,
    // both show the faithful picture of the same sweeps.
    QTest::qWait(TabPage::StreamIdleMs + 200);
    each.flushRedraw();
    burst.flushRedraw();
    QCOMPARE(burst.waterfallPlot()->grab().toImage(), each.waterfallPlot()->grab().toImage());
}

// The waterfall scrolls while sweeps come and the view follows them; a
// still view (sweeps stopped, the time bar moved back) is the faithful one.
// The pictures follow every sweep; the bar, the labels and the survey of the
// drawn selection only a few times a second, and show the newest sweep once
// the sweeps stop.
void tst_TabPage::barAndSurveyFollowAFewTimesASecond()
{
    TabPage2400 page(m_actions);
    page.resize(900, 500);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QSignalSpy surveyed(&page, &TabPage::selectionDrawn);
    const qint64 t0 = at("08:00:00.000");
    QElapsedTimer clock;
    clock.start();
    constexpr int Sweeps = 40;
    for (int n = 0; n < Sweeps; ++n) {
        page.onNewSpecScan(t0 + n * 50, sweep(501, -50, n));
        QTest::qWait(25);
    }
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(surveyed.count() <= elapsed / TabPage::SideUpdateIntervalMs + 2,
             qPrintable(QString("%1 in %2 ms").arg(surveyed.count()).arg(elapsed)));
    QTRY_COMPARE(page.timeBar()->maximum(), Sweeps);
    QTRY_COMPARE(surveyed.last().at(0).value<RfSpectrumSampleList>().last().timeStamp,
                 t0 + (Sweeps - 1) * 50);
}

void tst_TabPage::waterfallScrollsWhileFollowing()
{
    TabPage2400 page(m_actions);
    page.resize(800, 500);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.toggleView();
    const qint64 t0 = at("12:00:00.000");
    auto feed = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            page.onNewSpecScan(t0 + i * 50, sweep(501, qint8(-40 - i % 30), i));
            page.flushRedraw();
        }
    };
    feed(0, 20);
    QVERIFY(page.waterfallPlot()->isScrolling());
    QTRY_VERIFY(!page.waterfallPlot()->isScrolling()); // the sweeps stopped
    feed(20, 25);
    QVERIFY(page.waterfallPlot()->isScrolling());
    page.timeBar()->setUpperValue(10);
    page.flushRedraw();
    QVERIFY(!page.waterfallPlot()->isScrolling());
}

void tst_TabPage::appendingDoesNotDraw()
{
    TabPage900 page(m_actions);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    for (int i = 0; i < 500; ++i)
        page.onNewSpecScan(1000 + i, sweep(252, -60, i));
    QCOMPARE(page.redrawCount(), 0); // drawing waits for the event loop
    QTRY_COMPARE(page.redrawCount(), 1);
}

void tst_TabPage::qcLineOnce()
{
    TabPage900 page(m_actions);
    QVERIFY(!page.hasQcPassLine());
    page.addQcPassLine();
    page.addQcPassLine();
    QVERIFY(page.hasQcPassLine());
    int markers = 0;
    for (QwtPlotItem *item : page.spectroPlot()->itemList(QwtPlotItem::Rtti_PlotMarker))
        if (static_cast<QwtPlotMarker *>(item)->label().text() == "QC Pass Line")
            ++markers;
    QCOMPARE(markers, 1);
}

// Every key the manual names, as X delivers it on US, UK and German
// keyboards: the key, its modifiers (Shift for the "+" of Shift+=, the keypad
// flag) and the text it types.
void tst_TabPage::keysAsKeyboardsSendThem_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("effect");
    const int none = Qt::NoModifier, shift = Qt::ShiftModifier, pad = Qt::KeypadModifier;
    QTest::newRow("US/UK +: Shift+=") << int(Qt::Key_Plus) << shift << "+"
                                      << "zoom in";
    QTest::newRow("German +") << int(Qt::Key_Plus) << none << "+"
                              << "zoom in";
    QTest::newRow("keypad +") << int(Qt::Key_Plus) << pad << "+"
                              << "zoom in";
    QTest::newRow("US/UK/German -") << int(Qt::Key_Minus) << none << "-"
                                    << "zoom out";
    QTest::newRow("keypad -") << int(Qt::Key_Minus) << pad << "-"
                              << "zoom out";
    QTest::newRow("Right") << int(Qt::Key_Right) << none << ""
                           << "pan";
    QTest::newRow("Home") << int(Qt::Key_Home) << none << ""
                          << "whole band";
    QTest::newRow("C") << int(Qt::Key_C) << none << "c"
                       << "trace 0";
    QTest::newRow("A") << int(Qt::Key_A) << none << "a"
                       << "trace 1";
    QTest::newRow("H") << int(Qt::Key_H) << none << "h"
                       << "trace 2";
    QTest::newRow("G") << int(Qt::Key_G) << none << "g"
                       << "grid";
    QTest::newRow("M") << int(Qt::Key_M) << none << "m"
                       << "marker added";
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << ""
                            << "marker removed";
    QTest::newRow("keypad Delete") << int(Qt::Key_Delete) << pad << ""
                                   << "marker removed";
    QTest::newRow("2") << int(Qt::Key_2) << none << "2"
                       << "marker 2";
    QTest::newRow("keypad 2") << int(Qt::Key_2) << pad << "2"
                              << "marker 2";
}

void tst_TabPage::keysAsKeyboardsSendThem()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, effect);
    TabPage900 page(m_actions);
    page.resize(900, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QApplication::setActiveWindow(&page);
    QWidget *canvas = page.spectroPlot()->canvas();
    canvas->setFocus();
    PlotAids *aids = page.plotAids();
    PlotZoom *zoom = aids->zoom();
    zoom->zoomFrequency(915.0, 0.5);
    const QwtInterval view = zoom->frequencyView();
    while (!aids->markers()->markers().isEmpty()) // kept per band between runs
        aids->markers()->remove(0);
    aids->markers()->add(910.0);
    aids->markers()->add(920.0);
    aids->markers()->select(0);
    const bool traceWas[3] = {aids->traceAction(0)->isChecked(), aids->traceAction(1)->isChecked(),
                              aids->traceAction(2)->isChecked()};
    const bool gridWas = aids->gridAction()->isChecked();

    QTest::sendKeyEvent(QTest::Click, canvas, Qt::Key(key), text, Qt::KeyboardModifiers(modifiers));

    const QwtInterval now = zoom->frequencyView();
    if (effect == "zoom in")
        QVERIFY(now.width() < view.width());
    else if (effect == "zoom out")
        QVERIFY(now.width() > view.width());
    else if (effect == "pan")
        QVERIFY(now.minValue() > view.minValue());
    else if (effect == "whole band")
        QVERIFY(!zoom->isZoomed());
    else if (effect.startsWith("trace "))
        QVERIFY(aids->traceAction(effect.back().digitValue())->isChecked() !=
                traceWas[effect.back().digitValue()]);
    else if (effect == "grid")
        QVERIFY(aids->gridAction()->isChecked() != gridWas);
    else if (effect == "marker added")
        QCOMPARE(aids->markers()->markers().size(), 3);
    else if (effect == "marker removed")
        QCOMPARE(aids->markers()->markers().size(), 1);
    else if (effect == "marker 2")
        QCOMPARE(aids->markers()->selected(), 1);
    if (!effect.startsWith("zoom") && effect != "pan" && effect != "whole band")
        QCOMPARE(now, view); // nothing else moved
}

QTEST_MAIN(tst_TabPage)
#include "tst_tabpage.moc"
