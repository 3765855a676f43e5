#include "surveyreport.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TstSurveyReport : public QObject
{
    Q_OBJECT
private slots:
    void files_data();
    void files();
    void unwritablePlace();
    void pdfPagesAsAReaderSeesThem();
};

namespace {

SurveyReport report(bool images)
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.projectInfo = ProjectInfoData{QStringLiteral("Gala <night>"), QStringLiteral("P-7"),
                                    QStringLiteral("Hall 2"), QStringLiteral("Ana")};
    const WifiScan scan{WifiApInfo{QStringLiteral("<00:11:22:aa:bb:cc>"), QStringLiteral("venue"),
                                   -48, 2437, 20, QColor()}};
    WifiScan weaker = scan;
    weaker[0].rssi = -71;
    for (int s = 0; s < 100; ++s) {
        RfSpectrumScan sweep(501, qint8(-97));
        // Wi-Fi 6 (bins 135..235) on air every other sweep.
        for (int i = 135; i <= 235 && s % 2; ++i)
            sweep[i] = -50;
        h.samples.append(RfSpectrumSample(1765000000000 + s * 50, sweep, s < 50 ? scan : weaker));
    }
    h.timeEvents.append(TimeEvent(QDateTime::fromMSecsSinceEpoch(1765000000100, Qt::UTC),
                                  QStringLiteral("Burst 2431\u20132443 MHz")));
    h.timeEvents.append(
        TimeEvent(QDateTime::fromMSecsSinceEpoch(1, Qt::UTC), QStringLiteral("before")));
    SurveyReport r = SurveyReport::fromSelection(h, h.samples);
    r.kivoIds = {24310, 24140};
    if (images) {
        // Framed in pure red and pure green: a cropped picture loses an edge.
        r.density = QImage(800, 500, QImage::Format_RGB32);
        r.density.fill(Qt::red);
        QPainter(&r.density).fillRect(8, 8, 784, 484, Qt::darkBlue);
        r.waterfall = QImage(800, 500, QImage::Format_RGB32);
        r.waterfall.fill(Qt::green);
        QPainter(&r.waterfall).fillRect(8, 8, 784, 484, Qt::darkGreen);
        r.logo = QImage(120, 40, QImage::Format_RGB32);
        r.logo.fill(Qt::gray);
        r.notes = QStringLiteral("Rigging <done>\nfrom 9:00");
    }
    return r;
}

} // namespace

void TstSurveyReport::files_data()
{
    QTest::addColumn<bool>("images");
    QTest::addColumn<int>("pages");
    QTest::newRow("tables only") << false << 4;
    QTest::newRow("with both pictures") << true << 6;
}

void TstSurveyReport::files()
{
    QFETCH(bool, images);
    QFETCH(int, pages);
    const SurveyReport r = report(images);
    QTemporaryDir dir;
    QString error;
    const QString htmlPath = dir.filePath(QStringLiteral("survey.html"));
    QVERIFY2(SurveyReportWriter::writeHtml(htmlPath, r, &error), qPrintable(error));
    QFile html(htmlPath);
    QVERIFY(html.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(html.readAll());
    for (const QString &expected :
         {QStringLiteral("Gala &lt;night&gt;"), QStringLiteral("Wi-Fi 6"),
          QStringLiteral("<td>50.0</td>"), QStringLiteral("&lt;00:11:22:aa:bb:cc&gt;"),
          QStringLiteral("<td>-48</td><td>-71</td>"), QStringLiteral("24310, 24140"),
          QStringLiteral("Burst 2431\u20132443 MHz"), QStringLiteral("Use Wi-Fi 1; ")})
        QVERIFY2(text.contains(expected), qPrintable(expected));
    QVERIFY(!text.contains(QStringLiteral(">before<")));
    QCOMPARE(text.count(QRegularExpression(
                 QStringLiteral("<img src=\"data:image/png;base64,[A-Za-z0-9+/=]{100,}\""))),
             images ? 4 : 0); // the summary's small picture, both plots, the logo
    QCOMPARE(text.contains(QStringLiteral("Rigging &lt;done&gt;<br>from 9:00")), images);

    int written = 0;
    const QString pdfPath = dir.filePath(QStringLiteral("survey.pdf"));
    QVERIFY2(SurveyReportWriter::writePdf(pdfPath, r, &error, &written), qPrintable(error));
    QFile pdf(pdfPath);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF-1."));
    QVERIFY(bytes.trimmed().endsWith("%%EOF"));
    const QRegularExpression count(QStringLiteral("/Type\\s*/Pages[^>]*/Count\\s+(\\d+)"));
    const QRegularExpressionMatch m =
        count.match(QString::fromLatin1(bytes.constData(), bytes.size()));
    QVERIFY(m.hasMatch());
    QCOMPARE(m.captured(1).toInt(), pages);
    QCOMPARE(written, pages);
}

void TstSurveyReport::unwritablePlace()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/survey.html"));
    QString error;
    QVERIFY(!SurveyReportWriter::writeHtml(path, report(false), &error));
    QVERIFY(error.contains(path));
    QVERIFY(!SurveyReportWriter::writePdf(dir.filePath(QStringLiteral("missing/survey.pdf")),
                                          report(false), &error));
    QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

// Each page rendered as a reader sees it: page 1 is the summary, each
// picture is whole (its frame's four edges on the page) and shares its page
// with its heading.
void TstSurveyReport::pdfPagesAsAReaderSeesThem()
{
    const QString toPng = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    const QString toText = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (toPng.isEmpty() || toText.isEmpty())
        QSKIP("pdftoppm and pdftotext (poppler-utils) are not installed");
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("survey.pdf"));
    QString error;
    int pages = 0;
    QVERIFY2(SurveyReportWriter::writePdf(pdf, report(true), &error, &pages), qPrintable(error));
    QCOMPARE(QProcess::execute(toPng, {"-r", "40", "-png", pdf, dir.filePath("page")}), 0);
    const auto pageText = [&](int page) {
        QProcess p;
        p.start(toText, {"-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    QVERIFY(pageText(1).contains(QStringLiteral("Recommendation")));
    QVERIFY(pageText(1).contains(QStringLiteral("Use Wi-Fi 1")));
    int framed[2] = {0, 0}; // pages showing the density and the waterfall whole
    for (int page = 1; page <= pages; ++page) {
        QImage image(dir.filePath(QStringLiteral("page-%1.png").arg(page)));
        if (image.isNull()) // pdftoppm pads the number to the page count's digits
            image.load(dir.filePath(QStringLiteral("page-0%1.png").arg(page)));
        QVERIFY(!image.isNull());
        for (int k = 0; k < 2; ++k) {
            const QRgb frame = k == 0 ? qRgb(255, 0, 0) : qRgb(0, 255, 0);
            QRect box;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb c = image.pixel(x, y);
                    if (qAbs(qRed(c) - qRed(frame)) + qAbs(qGreen(c) - qGreen(frame)) + qBlue(c) <
                        60)
                        box |= QRect(x, y, 1, 1);
                }
            if (box.width() < 40)
                continue;
            // The frame's right column is there from top to bottom, and the
            // picture keeps its proportions: nothing cut at the page's edge.
            QVERIFY(box.right() < image.width() - 1);
            QVERIFY(qAbs(box.height() * 800.0 / 500.0 - box.width()) < 4);
            if (box.width() > image.width() / 2) {
                ++framed[k];
                QVERIFY(pageText(page).contains(k == 0 ? QStringLiteral("Density")
                                                       : QStringLiteral("Waterfall")));
            }
        }
    }
    QCOMPARE(framed[0], 1);
    QCOMPARE(framed[1], 1);
}

QTEST_MAIN(TstSurveyReport)
#include "tst_surveyreport.moc"
