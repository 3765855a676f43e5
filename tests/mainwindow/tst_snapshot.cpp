#include "dialogseam.h"
#include "recordingio.h"
#include "snapshot.h"

#include <QDir>
#include <QImageReader>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

// A stand-in for a plot: a black widget with a black canvas child, so any
// pixel that is not black in the picture was drawn by the snapshot.
struct FakePlot
{
    FakePlot(const QSize &size, const QRect &canvasGeometry)
    {
        plot.resize(size);
        plot.setStyleSheet(QStringLiteral("background-color: black"));
        plot.setAttribute(Qt::WA_StyledBackground);
        canvas = new QWidget(&plot);
        canvas->setGeometry(canvasGeometry);
        canvas->setStyleSheet(QStringLiteral("background-color: black"));
        canvas->setAttribute(Qt::WA_StyledBackground);
        legend = new QWidget(canvas);
        legend->setGeometry(canvasGeometry.width() - 20, 0, 20, 20);
        legend->setStyleSheet(QStringLiteral("background-color: red"));
        legend->setAttribute(Qt::WA_StyledBackground);
    }
    QWidget plot;
    QWidget *canvas = nullptr;
    QWidget *legend = nullptr;
};

} // namespace

class TestSnapshot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void watermarkResource();
    void pictureHasPlotSizeAndWatermark_data();
    void pictureHasPlotSizeAndWatermark();
    void save();
    void saveFailureReported();
};

void TestSnapshot::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    QCoreApplication::setApplicationName(QStringLiteral("OrvanelTest"));
    QSettings().clear();
}

void TestSnapshot::watermarkResource()
{
    const QImage watermark(Snapshot::WatermarkResource);
    QVERIFY(!watermark.isNull());
    QVERIFY(watermark.hasAlphaChannel());
    QVERIFY(!QImage(QStringLiteral(":/orvanel.png")).isNull());
}

void TestSnapshot::pictureHasPlotSizeAndWatermark_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("canvas");
    QTest::newRow("900x600") << QSize(900, 600) << QRect(60, 40, 800, 500);
    QTest::newRow("small") << QSize(200, 120) << QRect(10, 8, 180, 100);
    QTest::newRow("canvas too low for a mark") << QSize(200, 60) << QRect(10, 50, 180, 7);
}

void TestSnapshot::pictureHasPlotSizeAndWatermark()
{
    QFETCH(QSize, size);
    QFETCH(QRect, canvas);
    FakePlot fake(size, canvas);
    const QImage grabbed = fake.plot.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage picture =
        Snapshot::picture(&fake.plot, fake.canvas).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(picture.size(), size);
    // the canvas's children are in the picture (the colour-bar legend)
    QCOMPARE(QColor(picture.pixel(canvas.right() - 5, canvas.top() + 5)), QColor(Qt::red));

    const int markHeight = canvas.height() / 8;
    const QImage mark(Snapshot::WatermarkResource);
    const int markWidth =
        markHeight > 0 ? mark.scaledToHeight(markHeight, Qt::SmoothTransformation).width() : 0;
    const QRect markRect(canvas.topLeft() + QPoint(5, 5), QSize(markWidth, markHeight));
    int changedInside = 0;
    int changedOutside = 0;
    int brightest = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (picture.pixel(x, y) == grabbed.pixel(x, y))
                continue;
            if (markRect.contains(x, y)) {
                ++changedInside;
                brightest = qMax(brightest, qGray(picture.pixel(x, y)));
            } else {
                ++changedOutside;
            }
        }
    }
    QCOMPARE(changedOutside, 0);
    if (markHeight == 0) {
        QCOMPARE(changedInside, 0);
    } else {
        QVERIFY(changedInside > markRect.width() * markRect.height() / 20);
        // faint: white at 0.15 opacity over black
        QVERIFY2(brightest > 20 && brightest < 60, qPrintable(QString::number(brightest)));
    }
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
