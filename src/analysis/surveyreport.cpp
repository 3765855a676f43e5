#include "surveyreport.h"

#include "analysislog.h"
#include "savefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <cmath>
#include <functional>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SurveyReport", text);
}

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss 'UTC'"));
}

QString percent(double share)
{
    return qIsNaN(share) ? QStringLiteral("\u2013") : QString::number(share * 100.0, 'f', 1);
}

//! A table row; cells from `wrapFrom` on may wrap (free text), the others
//! never do (a number and its unit stay on one line).
QString row(const QStringList &cells, const QString &style = QString(), int wrapFrom = -1)
{
    QString r =
        style.isEmpty() ? QStringLiteral("<tr>") : QStringLiteral("<tr style=\"%1\">").arg(style);
    for (int i = 0; i < cells.size(); ++i)
        r += (wrapFrom >= 0 && i >= wrapFrom ? QStringLiteral("<td class=\"text\">")
                                             : QStringLiteral("<td>")) +
             cells.at(i) + QStringLiteral("</td>");
    return r + QStringLiteral("</tr>\n");
}

QString header(const QStringList &cells)
{
    QString r = QStringLiteral("<tr>");
    for (const QString &c : cells)
        r += QStringLiteral("<th align=\"left\">") + esc(c) + QStringLiteral("</th>");
    return r + QStringLiteral("</tr>\n");
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

//! Widest picture, px: the A4 page's text width in the PDF with room to spare.
constexpr int MaxPictureWidth = 480;
//! Sources listed in the report, at most.
constexpr int MaxReportedSources = 40;

QString durationText(qint64 ms)
{
    const qint64 s = ms / 1000;
    if (s >= 3600)
        return tr("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60);
    if (s >= 60)
        return tr("%1 min %2 s").arg(s / 60).arg(s % 60);
    return tr("%1 s").arg(s);
}

QString dbmText(int dbm)
{
    return dbm < 0 ? QStringLiteral("\u2212%1").arg(-dbm) : QString::number(dbm);
}

//! The document; `imageSource` names where an image comes from ("density",
//! "waterfall", "logo"), so the HTML file embeds them and the PDF takes
//! resources. Page 1 is the summary a client reads; each picture starts a
//! page, so its heading is never left at the foot of the one before.
QString document(const SurveyReport &r, const std::function<QString(const char *)> &imageSource)
{
    const QString pageBreak = QStringLiteral(" class=\"page\"");
    QString h;
    h += QStringLiteral(
             "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>%1</title>\n"
             "<style>body{font-family:sans-serif} table{border-collapse:collapse;font-size:8pt}"
             " td,th{border:1px solid #888;padding:2px 6px;white-space:nowrap}"
             " td.text{white-space:normal} h2.page{page-break-before:always}"
             " .best{background:#c8f0c8;"
             "font-weight:bold}</style></head><body>\n")
             .arg(esc(tr("Site survey report")));
    if (!r.logo.isNull())
        h += QStringLiteral("<p align=\"right\"><img src=\"%1\" height=\"%2\" alt=\"\"></p>\n")
                 .arg(imageSource("logo"))
                 .arg(qMin(r.logo.height(), 80));
    h += QStringLiteral("<h1>%1</h1>\n").arg(esc(tr("Site survey report")));

    // The summary.
    h += QStringLiteral("<table>\n");
    const auto info = [&](const QString &name, const QString &value) {
        if (!value.isEmpty())
            h += row({esc(name), esc(value)});
    };
    info(tr("Site"), r.project.scanLocation);
    info(tr("Project"), r.project.projectName);
    info(tr("Date"),
         QDateTime::fromMSecsSinceEpoch(r.startMs, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd")));
    info(tr("Duration"), durationText(r.endMs - r.startMs));
    info(tr("Band"), r.band);
    h += QStringLiteral("</table>\n");
    h += QStringLiteral("<h2>%1</h2>\n<p class=\"best\">%2</p>\n")
             .arg(esc(tr("Recommendation")), esc(r.utilization.recommendationText()));
    if (!r.density.isNull())
        h += QStringLiteral("<p><img src=\"%1\" width=\"%2\" alt=\"%3\"></p>\n")
                 .arg(imageSource("density"))
                 .arg(qMin(r.density.width(), 360))
                 .arg(esc(tr("Density")));
    if (!r.notes.trimmed().isEmpty())
        h += QStringLiteral("<h2>%1</h2>\n<p>%2</p>\n")
                 .arg(esc(tr("Notes")),
                      esc(r.notes.trimmed()).replace(QLatin1Char('\n'), QStringLiteral("<br>")));

    // The details.
    h += QStringLiteral("<h2%1>%2</h2>\n<table>\n").arg(pageBreak, esc(tr("Details")));
    info(tr("Project name"), r.project.projectName);
    info(tr("Project ID"), r.project.projectId);
    info(tr("Scan location"), r.project.scanLocation);
    info(tr("Technician name"), r.project.technicianName);
    info(tr("Band"), r.band);
    if (r.span.isValid())
        info(tr("Swept span"), QStringLiteral("%1\u2013%2 MHz")
                                   .arg(QString::number(r.span.minValue(), 'g', 6),
                                        QString::number(r.span.maxValue(), 'g', 6)));
    info(tr("From"), timeText(r.startMs));
    info(tr("To"), timeText(r.endMs));
    info(tr("Sweeps"), QString::number(r.utilization.sampleCount));
    if (r.utilization.noiseFloorDbm != NoDataLevel)
        info(tr("Noise floor"), QStringLiteral("%1 dBm").arg(dbmText(r.utilization.noiseFloorDbm)));
    if (!qIsNaN(r.utilization.thresholdDbm))
        info(tr("Threshold"),
             QStringLiteral("%1 dBm").arg(dbmText(int(std::lround(r.utilization.thresholdDbm)))));
    info(tr("Generated by"), r.generatedBy);
    h += QStringLiteral("</table>\n");

    const auto picture = [&](const QImage &image, const char *name, const QString &title) {
        if (image.isNull())
            return;
        // Wider than the printed page's text, a picture would be squeezed to
        // it in width only: both sides are given, within the page.
        const QSize size = image.size().scaled(qMin(image.width(), MaxPictureWidth), image.height(),
                                               Qt::KeepAspectRatio);
        h += QStringLiteral("<h2%5>%1</h2>\n<p><img src=\"%2\" width=\"%3\" height=\"%4\" "
                            "alt=\"%1\"></p>\n")
                 .arg(esc(title), imageSource(name))
                 .arg(size.width())
                 .arg(size.height())
                 .arg(pageBreak);
    };
    picture(r.density, "density", tr("Density"));
    picture(r.waterfall, "waterfall", tr("Waterfall"));

    h += QStringLiteral("<h2%1>%2</h2>\n<table>\n").arg(pageBreak, esc(tr("Channel utilization")));
    h += header({tr("Channel"), tr("Range"), tr("Utilization %"), tr("Worst point %"),
                 tr("Level dBm"), tr("Overlaps Wi-Fi"), tr("Note")});
    for (int i = 0; i < r.utilization.channels.size(); ++i) {
        const ChannelUtilization &u = r.utilization.channels.at(i);
        QString name = esc(u.channel.name());
        if (u.partial)
            name += QStringLiteral(" *");
        // The networks heard on each channel are in the Wi-Fi table below.
        const QString note = u.carrier ? esc(u.reasonToAvoid()) : QString();
        h +=
            row({name, esc(u.channel.rangeText()), percent(u.utilization), percent(u.peak),
                 qIsNaN(u.persistentDbm) ? QStringLiteral("\u2013") : dbmText(int(u.persistentDbm)),
                 esc(u.overlaps.join(QStringLiteral(", ")).remove(QStringLiteral("Wi-Fi "))), note},
                r.utilization.isBest(i) ? QStringLiteral("background:#c8f0c8;font-weight:bold")
                                        : QString(),
                5);
    }
    h += QStringLiteral("</table>\n<p>%1</p>\n")
             .arg(esc(
                 tr("Highlighted: the recommended channels. * the range reaches beyond the "
                    "swept span. Worst point: the busiest point's share of the time; level: "
                    "the strongest level a point holds in at least three sweeps out of four.")));

    h += QStringLiteral("<h2>%1</h2>\n<table>\n").arg(esc(tr("Signal sources")));
    h += header({tr("Kind"), tr("Range"), tr("Peak dBm"), tr("Bursts"), tr("Sweeps %"), tr("From"),
                 tr("To")});
    // The sources come largest first: a client reads a page of them, not
    // every isolated burst of a long capture.
    const int listed = qMin(r.sources.size(), MaxReportedSources);
    for (const BurstSource &src : r.sources.mid(0, listed))
        h += row({esc(src.kindText()),
                  esc(QStringLiteral("%1\u2013%2 MHz")
                          .arg(QString::number(src.lowMHz, 'f', 1),
                               QString::number(src.highMHz, 'f', 1))),
                  dbmText(src.peakDbm), QString::number(src.count()), percent(src.duty),
                  esc(QDateTime::fromMSecsSinceEpoch(src.startMs, Qt::UTC)
                          .toString(QStringLiteral("hh:mm:ss"))),
                  esc(QDateTime::fromMSecsSinceEpoch(src.endMs, Qt::UTC)
                          .toString(QStringLiteral("hh:mm:ss")))});
    h += QStringLiteral("</table>\n");
    if (listed < r.sources.size())
        h += QStringLiteral("<p>%1</p>\n")
                 .arg(esc(tr("%1 more sources, the least repeated, are not listed.")
                              .arg(r.sources.size() - listed)));

    h += QStringLiteral("<h2>%1</h2>\n<table>\n").arg(esc(tr("Wi-Fi networks")));
    h += header({tr("SSID"), tr("BSSID"), tr("Channel"), tr("Strongest dBm"), tr("Weakest dBm")});
    for (const HeardNetwork &n : r.networks)
        h += row(
            {esc(n.ssid), esc(n.bssid),
             n.channel > 0 ? QString::number(n.channel) : QStringLiteral("%1 MHz").arg(n.frequency),
             QString::number(n.strongest), QString::number(n.weakest)});
    h += QStringLiteral("</table>\n");

    h += QStringLiteral("<h2>%1</h2>\n").arg(esc(tr("Selected KiVo IDs")));
    QStringList ids;
    for (int id : r.kivoIds)
        ids.append(QString::number(id));
    h += QStringLiteral("<p>%1</p>\n")
             .arg(ids.isEmpty() ? esc(tr("none")) : ids.join(QStringLiteral(", ")));

    h += QStringLiteral("<h2>%1</h2>\n<table>\n").arg(esc(tr("Time events")));
    h += header({tr("Time"), tr("Event")});
    for (const TimeEvent &e : r.events)
        h += row({esc(timeText(e.time.toMSecsSinceEpoch())), esc(e.text)}, QString(), 1);
    h += QStringLiteral("</table>\n</body></html>\n");
    return h;
}

bool notWritten(const SaveFile &file, QString *errorText)
{
    *errorText = file.errorText();
    qCWarning(lcAnalysis) << "report not written:" << *errorText;
    return false;
}

} // namespace

SurveyReport SurveyReport::fromSelection(const RfSpectrumHistory &history,
                                         const RfSpectrumSampleList &selection, double thresholdDbm,
                                         const BurstOptions &bursts, const BurstProgress &progress)
{
    SurveyReport r;
    r.project = history.projectInfo;
    r.span = history.frequencyInterval;
    // QwtInterval's own contains() lives in the Widgets-linked library.
    const auto spans = [&](double f) {
        return r.span.isValid() && f >= r.span.minValue() && f <= r.span.maxValue();
    };
    if (spans(2450.0))
        r.band = QStringLiteral("2.4 GHz");
    else if (spans(915.0))
        r.band = QStringLiteral("900 MHz");
    if (selection.isEmpty())
        return r;
    r.startMs = selection.first().timeStamp;
    r.endMs = selection.last().timeStamp;
    UtilizationAnalyzer analyzer;
    r.utilization = analyzer.update(selection, history.frequencyInterval, thresholdDbm);
    r.networks = heardNetworks(selection);
    for (const TimeEvent &e : history.timeEvents) {
        const qint64 t = e.time.toMSecsSinceEpoch();
        if (t >= r.startMs && t <= r.endMs)
            r.events.append(e);
    }
    r.sources = classifyBursts(findBursts(selection,
                                          PointGrid::forHistory(history.frequencyInterval,
                                                                selection.first().spectrum.size()),
                                          bursts, progress),
                               selection.size());
    return r;
}

namespace SurveyReportWriter {

QString html(const SurveyReport &report)
{
    const QByteArray density = report.density.isNull() ? QByteArray() : png(report.density);
    const QByteArray waterfall = report.waterfall.isNull() ? QByteArray() : png(report.waterfall);
    const QByteArray logo = report.logo.isNull() ? QByteArray() : png(report.logo);
    return document(report, [&](const char *name) {
        const QByteArray &bytes = qstrcmp(name, "density") == 0     ? density
                                  : qstrcmp(name, "waterfall") == 0 ? waterfall
                                                                    : logo;
        return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(bytes.toBase64());
    });
}

bool writeHtml(const QString &path, const SurveyReport &report, QString *errorText)
{
    SaveFile file(path);
    if (!file.open() || !file.write(html(report).toUtf8()) || !file.commit())
        return notWritten(file, errorText);
    return true;
}

int pdfPageCount(const QByteArray &pdf)
{
    int pages = 0;
    const QByteArray tag("/Type /Page");
    for (int at = pdf.indexOf(tag); at >= 0; at = pdf.indexOf(tag, at + tag.size())) {
        const char next = at + tag.size() < pdf.size() ? pdf.at(at + tag.size()) : ' ';
        if (next != 's')
            ++pages;
    }
    return pages;
}

bool writePdf(const QString &path, const SurveyReport &report, QString *errorText, int *pageCount)
{
    SaveFile file(path);
    if (!file.open())
        return notWritten(file, errorText);
    QTextDocument doc;
    doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("report:density")),
                    report.density);
    doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("report:waterfall")),
                    report.waterfall);
    doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("report:logo")), report.logo);
    doc.setHtml(document(
        report, [](const char *name) { return QStringLiteral("report:") + QLatin1String(name); }));
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(tr("Site survey report"));
        writer.setCreator(report.generatedBy);
        doc.print(&writer);
    }
    if (pageCount)
        *pageCount = pdfPageCount(pdf);
    if (!file.write(pdf) || !file.commit())
        return notWritten(file, errorText);
    return true;
}

} // namespace SurveyReportWriter
