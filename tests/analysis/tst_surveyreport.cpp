#include "surveyreport.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TstSurveyReport : public QObject
{
    Q_OBJECT
private slots:
    void files_data();
    void files();
    void unwritablePlace();
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
        r.density = QImage(800, 500, QImage::Format_RGB32);
        r.density.fill(Qt::darkBlue);
        r.waterfall = QImage(800, 500, QImage::Format_RGB32);
        r.waterfall.fill(Qt::darkGreen);
    }
    return r;
}

} // namespace

void TstSurveyReport::files_data()
{
    QTest::addColumn<bool>("images");
    QTest::addColumn<int>("pages");
    QTest::newRow("tables only") << false << 4;
    QTest::newRow("with both pictures") << true << 5;
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
    QVERIFY(!text.contains(QStringLiteral("before")));
    QCOMPARE(text.count(QRegularExpression(
                 QStringLiteral("<img src=\"data:image/png;base64,[A-Za-z0-9+/=]{100,}\""))),
             images ? 2 : 0);

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

QTEST_MAIN(TstSurveyReport)
#include "tst_surveyreport.moc"
