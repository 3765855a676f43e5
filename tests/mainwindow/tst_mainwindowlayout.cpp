#include "mainwindow.h"
#include "tabpage.h"
#include "tnwtabwidget.h"
#include "waterfallplot.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
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

private:
    QTemporaryDir m_home;
};

void tst_MainWindowLayout::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toLocal8Bit());
    // The program's own look: the style sheet changes fonts and margins.
    QFile styleSheet(":qdarkstyle/style.qss");
    QVERIFY(styleSheet.open(QIODevice::ReadOnly | QIODevice::Text));
    qApp->setStyleSheet(QString::fromUtf8(styleSheet.readAll()));
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

// Every label of both axes of the waterfall lies inside its own axis widget,
// and no axis widget covers another one's labels.
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
    if (qEnvironmentVariableIsSet("ORVANEL_SAVE_RENDER"))
        w.grab().save(QString("%1/window-%2.png")
                          .arg(qEnvironmentVariable("ORVANEL_SAVE_RENDER"))
                          .arg(size.width()));
    const int axes[] = {QwtPlot::yLeft, QwtPlot::xBottom};
    for (int axis : axes) {
        const QwtScaleWidget *scale = plot->axisWidget(axis);
        const QList<double> ticks = plot->axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick);
        QVERIFY(!ticks.isEmpty());
        for (double tick : {ticks.first(), ticks.last()}) {
            const QRect label = scale->scaleDraw()->boundingLabelRect(scale->font(), tick);
            const QString what = QString("axis %1 label %2 at %3x%4")
                                     .arg(axis)
                                     .arg(scale->scaleDraw()->label(tick).text())
                                     .arg(size.width())
                                     .arg(size.height());
            QVERIFY2(scale->rect().contains(label), qPrintable(what));
            // The window system clips a widget to its mask.
            QVERIFY2(scale->mask().isEmpty() || scale->mask().contains(label),
                     qPrintable(what + " masked"));
            // Axis widgets overlap at the canvas corner: the other axis must
            // not paint anything over this label, whichever lies on top.
            for (int other : axes) {
                QWidget *cover = plot->axisWidget(other);
                const QRect under = label.translated(scale->pos()).intersected(cover->geometry());
                if (other == axis || under.isEmpty())
                    continue;
                QImage alone(cover->size(), QImage::Format_ARGB32_Premultiplied);
                alone.fill(Qt::transparent);
                cover->render(&alone, QPoint(), QRegion(), QWidget::RenderFlags());
                const QRect local = under.translated(-cover->pos());
                int painted = 0;
                for (int y = local.top(); y <= local.bottom(); ++y)
                    for (int x = local.left(); x <= local.right(); ++x)
                        painted += qAlpha(alone.pixel(x, y)) == 255;
                QVERIFY2(painted < local.width() * local.height() / 2,
                         qPrintable(what + " covered by the other axis"));
            }
        }
    }
}

QTEST_MAIN(tst_MainWindowLayout)
#include "tst_mainwindowlayout.moc"
