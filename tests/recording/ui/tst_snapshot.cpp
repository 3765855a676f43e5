#include "dialogseam.h"
#include "recordingio.h"
#include "snapshot.h"
#include "spectroplot.h"
#include "tabpage900.h"
#include "waterfallplot.h"

#include <QDir>
#include <QImageReader>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

class TestSnapshot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void watermarkResource();
    void pageSnapshotHasPlotSizeAndWatermark_data();
    void pageSnapshotHasPlotSizeAndWatermark();
    void save();
    void saveFailureReported();
};

void TestSnapshot::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    // one settings file per test, so tests running side by side keep apart
    QCoreApplication::setApplicationName(QStringLiteral("tst_snapshot"));
    QSettings().clear();
}

void TestSnapshot::watermarkResource()
{
    const QImage watermark(QStringLiteral(":/Watermark.png"));
    QVERIFY(!watermark.isNull());
    QVERIFY(watermark.hasAlphaChannel());
    QVERIFY(!QImage(QStringLiteral(":/orvanel.png")).isNull());
}

void TestSnapshot::pageSnapshotHasPlotSizeAndWatermark_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("view");
    QTest::newRow("spectrum 900x600") << QSize(900, 600) << 0;
    QTest::newRow("waterfall 900x600") << QSize(900, 600) << 1;
    QTest::newRow("spectrum small") << QSize(420, 260) << 0;
}

void TestSnapshot::pageSnapshotHasPlotSizeAndWatermark()
{
    QFETCH(QSize, size);
    QFETCH(int, view);
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(902, 928);
    h.amplitudeInterval = QwtInterval(-100, -30);
    for (int i = 0; i < 40; ++i)
        h.samples << RfSpectrumSample(1000 + 50 * i, RfSpectrumScan(252, qint8(-90 + i)));
    TabPage900 page(h, PageActions());
    page.resize(size);
    if (view == 1)
        page.toggleView();
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.flushRedraw();
    QwtPlot *plot = view == 0 ? static_cast<QwtPlot *>(page.spectroPlot())
                              : static_cast<QwtPlot *>(page.waterfallPlot());
    const QImage picture = page.snapshotPixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage grabbed = plot->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(picture.size(), plot->size());

    const QRect canvas = plot->canvas()->geometry();
    const int markHeight = canvas.height() / 8;
    const QImage mark(QStringLiteral(":/Watermark.png"));
    const QRect markRect(
        canvas.topLeft() + QPoint(5, 5),
        QSize(mark.scaledToHeight(markHeight, Qt::SmoothTransformation).width(), markHeight));
    int changedInside = 0;
    int changedOutside = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixel(x, y) == grabbed.pixel(x, y))
                continue;
            if (markRect.contains(x, y))
                ++changedInside;
            else
                ++changedOutside;
        }
    }
    QCOMPARE(changedOutside, 0);
    QVERIFY2(changedInside > markRect.width() * markRect.height() / 20,
             qPrintable(QString::number(changedInside)));
}

void TestSnapshot::save()
{
    QTemporaryDir dir;
    QList<DialogSeam::Request> asked;
    const QString answer = dir.filePath(QStringLiteral("shot"));
    const auto previous = DialogSeam::setHandler([&](const DialogSeam::Request &r) {
        asked << r;
        return r.kind == DialogSeam::Request::SaveFileName ? QVariant(answer) : QVariant();
    });
    QPixmap pixmap(320, 200);
    pixmap.fill(Qt::transparent);
    const QString written =
        Snapshot::save(nullptr, pixmap, QStringLiteral("Orvanel_900MHz_2024-05-01T143005"));
    DialogSeam::setHandler(previous);

    QCOMPARE(written, answer + QStringLiteral(".png"));
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().title, QStringLiteral("Save Snapshot"));
    QCOMPARE(asked.first().filter, QStringLiteral("Image Files: *.png"));
    QCOMPARE(asked.first().defaultSuffix, QStringLiteral("png"));
    QCOMPARE(asked.first().value,
             QDir(QStandardPaths::standardLocations(QStandardPaths::PicturesLocation).value(0))
                 .filePath(QStringLiteral("Orvanel_900MHz_2024-05-01T143005")));
    QImageReader reader(written);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage back = reader.read();
    QCOMPARE(back.size(), QSize(320, 200));
    QVERIFY(back.hasAlphaChannel());
    QCOMPARE(RecordingIo::snapshotDirectory(), dir.path());
}

void TestSnapshot::saveFailureReported()
{
    QTemporaryDir dir;
    QList<DialogSeam::Request> asked;
    const auto previous = DialogSeam::setHandler([&](const DialogSeam::Request &r) {
        asked << r;
        if (r.kind == DialogSeam::Request::SaveFileName)
            return QVariant(dir.filePath(QStringLiteral("gone/shot.png")));
        return QVariant(r.defaultButton);
    });
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::black);
    QVERIFY(Snapshot::save(nullptr, pixmap, QStringLiteral("x")).isEmpty());
    DialogSeam::setHandler(previous);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.last().icon, DialogSeam::Request::Critical);
    QVERIFY(asked.last().text.contains(QStringLiteral("shot.png")));
    QVERIFY2(asked.last().text.contains(QStringLiteral("No such file or directory")),
             qPrintable(asked.last().text));
}

QTEST_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
