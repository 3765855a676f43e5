#include "rangeslider.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>

namespace {

void press(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent e(QEvent::MouseButtonPress, pos, button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void move(QWidget *w, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent e(QEvent::MouseMove, pos, Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void release(QWidget *w, QPoint pos)
{
    QMouseEvent e(QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void wheel(QWidget *w, int angle)
{
    QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, angle), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

void setUp(RangeSlider &s, qlonglong min, qlonglong max, qlonglong lower, qlonglong upper)
{
    s.setRange(min, max);
    s.setLowerValue(lower);
    s.setUpperValue(upper);
}

} // namespace

class tst_RangeSlider : public QObject
{
    Q_OBJECT
private slots:
    void initialState();
    void dragStopsAtTheLimits_data();
    void dragStopsAtTheLimits();
    void otherButtonsDoNotDrag();
    void wheelSteps_data();
    void wheelSteps();
    void setMaximumBelowMinimumSwaps();
    void setMinimumClampsAndSignals();
    void valueSettersClampAndSignalOnChange();
    void setRangeNeitherClampsNorSignals();
    void emptyIntervalDrawsAtTheStart();
    void cursorFollowsTheRange();
    void disabledBarPaintsGrey();
    void repaintsOnlyWhenTheBlockMoves_data();
    void repaintsOnlyWhenTheBlockMoves();
};

void tst_RangeSlider::initialState()
{
    RangeSlider s;
    QCOMPARE(s.minimum(), 0);
    QCOMPARE(s.maximum(), 100);
    QCOMPARE(s.lowerValue(), 0);
    QCOMPARE(s.upperValue(), 100);
    QCOMPARE(s.interval(), 100);
    QCOMPARE(s.rangeWidth(), 100);
    QCOMPARE(s.minimumSizeHint(), QSize(32, 15));
    QVERIFY(s.hasMouseTracking());
}

void tst_RangeSlider::dragStopsAtTheLimits_data()
{
    QTest::addColumn<int>("toX");
    QTest::addColumn<qlonglong>("lower");
    QTest::addColumn<qlonglong>("upper");
    QTest::newRow("left past the start") << -50 << qlonglong(0) << qlonglong(20);
    QTest::newRow("right past the end") << 900 << qlonglong(80) << qlonglong(100);
    // p(20) = 141, left edge 141.5 rounds to 142; a press at 150 keeps 8 px:
    // x 360 -> round((360 - 8 - 1) / 700 * 100) = 50.
    QTest::newRow("inside") << 360 << qlonglong(50) << qlonglong(70);
}

void tst_RangeSlider::dragStopsAtTheLimits()
{
    QFETCH(int, toX);
    QFETCH(qlonglong, lower);
    QFETCH(qlonglong, upper);
    RangeSlider s;
    s.resize(717, 15);
    setUp(s, 0, 100, 20, 40);
    QCOMPARE(s.rangeRect().left(), 141.5);
    QCOMPARE(s.rangeRect().right(), 295.5);
    QSignalSpy lowerSpy(&s, &RangeSlider::lowerValueChanged);
    QSignalSpy upperSpy(&s, &RangeSlider::upperValueChanged);
    QVERIFY(lowerSpy.isValid() && upperSpy.isValid());

    press(&s, QPoint(150, 7));
    move(&s, QPoint(toX, 7), Qt::LeftButton);
    release(&s, QPoint(toX, 7));
    QCOMPARE(s.lowerValue(), lower);
    QCOMPARE(s.upperValue(), upper);
    QCOMPARE(lowerSpy.size(), 1);
    QCOMPARE(lowerSpy.first().first().toLongLong(), lower);
    QCOMPARE(upperSpy.last().first().toLongLong(), upper);

    // After the release, moving with no button moves nothing.
    move(&s, QPoint(300, 7), Qt::NoButton);
    QCOMPARE(s.lowerValue(), lower);
}

void tst_RangeSlider::otherButtonsDoNotDrag()
{
    RangeSlider s;
    s.resize(717, 15);
    setUp(s, 0, 100, 20, 40);
    press(&s, QPoint(150, 7), Qt::RightButton);
    move(&s, QPoint(600, 7), Qt::LeftButton);
    QCOMPARE(s.lowerValue(), 20);
    press(&s, QPoint(600, 7)); // left press outside the range block
    move(&s, QPoint(10, 7), Qt::LeftButton);
    QCOMPARE(s.lowerValue(), 20);
    QCOMPARE(s.upperValue(), 40);
}

void tst_RangeSlider::wheelSteps_data()
{
    QTest::addColumn<qlonglong>("max");
    QTest::addColumn<qlonglong>("lower");
    QTest::addColumn<qlonglong>("upper");
    QTest::addColumn<int>("angle");
    QTest::addColumn<qlonglong>("newLower");
    QTest::addColumn<qlonglong>("newUpper");
    QTest::newRow("up") << qlonglong(1000) << qlonglong(100) << qlonglong(300) << 120
                        << qlonglong(150) << qlonglong(350);
    QTest::newRow("down") << qlonglong(1000) << qlonglong(100) << qlonglong(300) << -120
                          << qlonglong(50) << qlonglong(250);
    QTest::newRow("up at the end") << qlonglong(1000) << qlonglong(900) << qlonglong(1000) << 120
                                   << qlonglong(900) << qlonglong(1000);
    QTest::newRow("down at the start") << qlonglong(1000) << qlonglong(20) << qlonglong(220) << -120
                                       << qlonglong(0) << qlonglong(200);
    QTest::newRow("interval below 20: step 0")
        << qlonglong(19) << qlonglong(5) << qlonglong(9) << 120 << qlonglong(5) << qlonglong(9);
}

void tst_RangeSlider::wheelSteps()
{
    QFETCH(qlonglong, max);
    QFETCH(qlonglong, lower);
    QFETCH(qlonglong, upper);
    QFETCH(int, angle);
    QFETCH(qlonglong, newLower);
    QFETCH(qlonglong, newUpper);
    RangeSlider s;
    s.resize(400, 15);
    setUp(s, 0, max, lower, upper);
    wheel(&s, angle);
    QCOMPARE(s.lowerValue(), newLower);
    QCOMPARE(s.upperValue(), newUpper);
}

void tst_RangeSlider::setMaximumBelowMinimumSwaps()
{
    RangeSlider s;
    QSignalSpy rangeSpy(&s, &RangeSlider::rangeChanged);
    QSignalSpy upperSpy(&s, &RangeSlider::upperValueChanged);
    QSignalSpy lowerSpy(&s, &RangeSlider::lowerValueChanged);
    s.setMaximum(-5);
    QCOMPARE(s.minimum(), -5);
    QCOMPARE(s.maximum(), 0);
    QCOMPARE(s.interval(), 5);
    QCOMPARE(s.upperValue(), 0);
    QCOMPARE(s.lowerValue(), 0);
    QCOMPARE(upperSpy.size(), 1);
    QCOMPARE(upperSpy.first().first().toLongLong(), 0);
    QCOMPARE(lowerSpy.size(), 0);
    QCOMPARE(rangeSpy.size(), 1);
    QCOMPARE(rangeSpy.first().at(0).toLongLong(), -5);
    QCOMPARE(rangeSpy.first().at(1).toLongLong(), 0);

    s.setMaximum(0); // unchanged: nothing happens
    QCOMPARE(rangeSpy.size(), 1);
}

void tst_RangeSlider::setMinimumClampsAndSignals()
{
    RangeSlider s;
    setUp(s, 0, 100, 10, 90);
    QSignalSpy rangeSpy(&s, &RangeSlider::rangeChanged);
    QSignalSpy lowerSpy(&s, &RangeSlider::lowerValueChanged);
    s.setMinimum(30);
    QCOMPARE(s.lowerValue(), 30);
    QCOMPARE(lowerSpy.size(), 1);
    QCOMPARE(s.interval(), 70);
    QCOMPARE(rangeSpy.size(), 1);
    s.setMinimum(150); // above the maximum: the two swap roles
    QCOMPARE(s.minimum(), 100);
    QCOMPARE(s.maximum(), 150);
    QCOMPARE(s.lowerValue(), 100);
}

void tst_RangeSlider::valueSettersClampAndSignalOnChange()
{
    RangeSlider s;
    QSignalSpy lowerSpy(&s, &RangeSlider::lowerValueChanged);
    s.setLowerValue(-10);
    QCOMPARE(s.lowerValue(), 0);
    QCOMPARE(lowerSpy.size(), 0); // clamped to the value it had
    s.setLowerValue(150);
    QCOMPARE(s.lowerValue(), 100); // values are not kept ordered, only clamped
    QCOMPARE(lowerSpy.size(), 1);
}

void tst_RangeSlider::setRangeNeitherClampsNorSignals()
{
    RangeSlider s;
    QSignalSpy rangeSpy(&s, &RangeSlider::rangeChanged);
    QSignalSpy upperSpy(&s, &RangeSlider::upperValueChanged);
    s.setRange(0, 0);
    QCOMPARE(s.maximum(), 0);
    QCOMPARE(s.interval(), 0);
    QCOMPARE(s.upperValue(), 100);
    QCOMPARE(rangeSpy.size(), 0);
    QCOMPARE(upperSpy.size(), 0);
    // Minimum first (50 swaps with the maximum 0), then the maximum.
    s.setRange(50, 10);
    QCOMPARE(s.minimum(), 0);
    QCOMPARE(s.maximum(), 10);
    QCOMPARE(s.interval(), 10);
}

void tst_RangeSlider::emptyIntervalDrawsAtTheStart()
{
    // Every page starts at setRange(0, 0); positions divide by the interval.
    RangeSlider s;
    s.resize(300, 15);
    s.setRange(0, 0);
    s.setLowerValue(0);
    s.setUpperValue(0);
    QCOMPARE(s.valuePosition(0), 1);
    QCOMPARE(s.valuePosition(100), 1);
    const QRectF r = s.rangeRect();
    QCOMPARE(r.left(), 1.5);
    QCOMPARE(r.right(), 15.5);
    QVERIFY(!s.grab().isNull()); // paints without a NaN position
    move(&s, QPoint(5, 7), Qt::NoButton);
    press(&s, QPoint(5, 7));
    move(&s, QPoint(200, 7), Qt::LeftButton);
    QCOMPARE(s.lowerValue(), 0);
    QCOMPARE(s.upperValue(), 0);

    // Values left far outside new limits (setRange does not clamp) still
    // give a position that converts to int.
    s.setRange(0, 1);
    QCOMPARE(s.valuePosition(std::numeric_limits<qlonglong>::max()), (1 << 24) + 1);
    QVERIFY(!s.grab().isNull());

    // A bar narrower than its margins cannot be dragged either.
    s.resize(10, 15);
    setUp(s, 0, 100, 0, 10);
    press(&s, QPoint(3, 7));
    move(&s, QPoint(8, 7), Qt::LeftButton);
    QCOMPARE(s.lowerValue(), 0);
}

void tst_RangeSlider::cursorFollowsTheRange()
{
    RangeSlider s;
    s.resize(717, 15);
    setUp(s, 0, 100, 20, 40);
    move(&s, QPoint(200, 7), Qt::NoButton);
    QCOMPARE(s.cursor().shape(), Qt::SizeHorCursor);
    move(&s, QPoint(600, 7), Qt::NoButton);
    QCOMPARE(s.cursor().shape(), Qt::ArrowCursor);
}

void tst_RangeSlider::disabledBarPaintsGrey()
{
    RangeSlider s;
    s.resize(717, 15);
    setUp(s, 0, 100, 20, 40);
    const QPoint inside(200, 7);
    QCOMPARE(s.grab().toImage().pixelColor(inside), QColor(30, 144, 255));
    s.setEnabled(false);
    QCOMPARE(s.grab().toImage().pixelColor(inside), QColor(Qt::darkGray));
    s.setEnabled(true);
    QCOMPARE(s.grab().toImage().pixelColor(inside), QColor(30, 144, 255));
}

// A live page sets the bar's range and values several times a second; what
// leaves the block on its pixels must not repaint the bar (and the widgets
// below it), and a block that moves is painted again only where it changed,
// which must leave on screen what a whole repaint shows.
void tst_RangeSlider::repaintsOnlyWhenTheBlockMoves_data()
{
    QTest::addColumn<qlonglong>("maximum");
    QTest::addColumn<qlonglong>("lower");
    QTest::addColumn<qlonglong>("upper");
    QTest::addColumn<int>("paints");
    QTest::addColumn<int>("paintedWidth"); //!< at most
    // 417 pixels wide: 400 carry 0 .. 100000, 250 values a pixel; the bar
    // shows 0 .. 100000 with the block on 0 .. 50100.
    QTest::newRow("the same again")
        << qlonglong(100000) << qlonglong(0) << qlonglong(50100) << 0 << 0;
    QTest::newRow("upper within its pixel")
        << qlonglong(100000) << qlonglong(0) << qlonglong(50200) << 0 << 0;
    QTest::newRow("range grown, block on its pixels")
        << qlonglong(100040) << qlonglong(0) << qlonglong(50100) << 0 << 0;
    QTest::newRow("upper a pixel on")
        << qlonglong(100000) << qlonglong(0) << qlonglong(50400) << 1 << 8;
    QTest::newRow("lower a pixel on")
        << qlonglong(100000) << qlonglong(250) << qlonglong(50100) << 1 << 8;
    QTest::newRow("range doubled")
        << qlonglong(200000) << qlonglong(0) << qlonglong(50100) << 1 << 120;
    QTest::newRow("block moved off its place")
        << qlonglong(100000) << qlonglong(70000) << qlonglong(90000) << 1 << 417;
}

void tst_RangeSlider::repaintsOnlyWhenTheBlockMoves()
{
    QFETCH(qlonglong, maximum);
    QFETCH(qlonglong, lower);
    QFETCH(qlonglong, upper);
    QFETCH(int, paints);
    QFETCH(int, paintedWidth);
    struct PaintCounter : QObject
    {
        int count = 0;
        QRegion painted;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint) {
                ++count;
                painted += static_cast<QPaintEvent *>(e)->region();
            }
            return false;
        }
    } counter;
    RangeSlider s;
    s.resize(417, 15);
    setUp(s, 0, 100000, 0, 50100);
    s.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s));
    QCoreApplication::processEvents();
    s.installEventFilter(&counter);
    s.setRange(0, maximum);
    s.setLowerValue(lower);
    s.setUpperValue(upper);
    QCoreApplication::processEvents();
    QCOMPARE(counter.count, paints);
    QVERIFY(counter.painted.boundingRect().width() <= paintedWidth);
    const QRectF shown = s.rangeRect();
    const QImage whole = s.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(whole.pixelColor(int(shown.right()) - 1, 7), QColor(30, 144, 255));
    // What the window holds: the picture as painted before, then in part.
    const QImage onScreen =
        s.screen()->grabWindow(s.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(onScreen, whole);
}

QTEST_MAIN(tst_RangeSlider)
#include "tst_rangeslider.moc"
