#pragma once

#include "bursts.h"
#include "projectinfodata.h"
#include "rfspectrumhistory.h"
#include "utilization.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QVector>

//! Everything the client's survey report shows; built from a band page's
//! selection, written as a self-contained HTML file and as a PDF.
struct SurveyReport
{
    ProjectInfoData project;
    QString band;       //!< "2.4 GHz" or "900 MHz"
    QwtInterval span;   //!< swept span, MHz
    qint64 startMs = 0; //!< first sample of the selection
    qint64 endMs = 0;   //!< last sample of the selection
    QImage density;     //!< the density view of the selection (may be null)
    QImage waterfall;   //!< the waterfall of the selection (may be null)
    UtilizationResult utilization;
    QVector<HeardNetwork> networks;
    QList<int> kivoIds;           //!< the IDs selected in the KiVo panel
    QList<TimeEvent> events;      //!< the page's time events inside the selection
    QVector<BurstSource> sources; //!< what the selection's bursts come from
    QString generatedBy;          //!< program and version line
    QString notes;                //!< the author's notes, plain text (may be empty)
    QImage logo;                  //!< shown at the top of the first page (may be null)

    //! The survey of `selection` of `history`: times, band, utilization (with
    //! `thresholdDbm`, NaN for the default), networks, events in range and
    //! the sources of its bursts.
    static SurveyReport fromSelection(const RfSpectrumHistory &history,
                                      const RfSpectrumSampleList &selection,
                                      double thresholdDbm = qQNaN(),
                                      const BurstOptions &bursts = BurstOptions(),
                                      const BurstProgress &progress = BurstProgress());
};

namespace SurveyReportWriter {

//! The report as one HTML document; images are embedded as data: URIs, so
//! the file needs nothing beside it.
QString html(const SurveyReport &report);

//! Writes the HTML file atomically; false with `errorText` set on failure,
//! leaving any earlier file as it was.
bool writeHtml(const QString &path, const SurveyReport &report, QString *errorText);

//! Pages of a PDF as Qt's writer lays them out (its page objects).
int pdfPageCount(const QByteArray &pdf);

//! Writes the PDF (A4, Qt's own writer) atomically; `pageCount` receives the
//! number of pages written.
bool writePdf(const QString &path, const SurveyReport &report, QString *errorText,
              int *pageCount = nullptr);

} // namespace SurveyReportWriter
