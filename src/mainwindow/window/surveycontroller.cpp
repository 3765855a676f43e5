#include "surveycontroller.h"

#include "appversion.h"
#include "bursts.h"
#include "dialogseam.h"
#include "kivoidinfo.h"
#include "kivoidpanel.h"
#include "mainwindowlog.h"
#include "recordingio.h"
#include "recordingui.h"
#include "shownpage.h"
#include "spectroplot.h"
#include "surveyreport.h"
#include "tabpage.h"
#include "utilizationdock.h"
#include "waterfallplot.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <qwt_plot_renderer.h>

#include <memory>

namespace {

//! A report picture when neither plot is on screen (a page never shown).
constexpr QSize UnshownPlotSize(1200, 600);

//! The plot's picture of the selection at `size`.
QImage plotImage(QwtPlot *plot, const RfSpectrumSampleList &selection, const QSize &size)
{
    // The plot not on screen may still show an older range: it takes the
    // selection first. The picture is rendered, not grabbed: a grab carries
    // the pointer's crosshair and hover box and crops the scales' end labels
    // at the widget's edge, where a rendering lays the plot out for its size.
    if (auto *spectrum = qobject_cast<SpectroPlot *>(plot))
        spectrum->setData(selection);
    else if (auto *waterfall = qobject_cast<WaterfallPlot *>(plot))
        waterfall->setData(selection);
    QImage image(size, QImage::Format_RGB32);
    image.fill(plot->palette().color(plot->backgroundRole()));
    QPainter painter(&image);
    QwtPlotRenderer renderer;
    renderer.render(plot, &painter, QRectF(QPointF(0, 0), size));
    painter.end();
    return image;
}

//! A progress dialog that shows itself when the work lasts over half a
//! second, as the progress callback of a long survey; `cancelled` is set when
//! the user cancels it. The dialog lives as long as the callback.
BurstProgress surveyProgress(const QString &title, bool *cancelled)
{
    auto dialog = std::make_shared<QProgressDialog>(
        QCoreApplication::translate("SurveyController", "Looking through the sweeps\u2026"),
        QCoreApplication::translate("SurveyController", "Cancel"), 0, 1);
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setMinimumDuration(500);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    return [dialog, cancelled](int done, int total) {
        if (dialog->maximum() != total)
            dialog->setMaximum(total);
        dialog->setValue(done);
        if (dialog->wasCanceled()) {
            *cancelled = true;
            return false;
        }
        return true;
    };
}

} // namespace

SurveyController::SurveyController(QMainWindow *window, ShownPage *shown, KivoIdPanel *kivoIdPanel,
                                   QToolBar *toolBar, QAction *after, PageNamer pageName,
                                   std::function<ProjectInfoData()> projectInfo)
    : QObject(window), m_window(window), m_shown(shown), m_kivoIdPanel(kivoIdPanel),
      m_pageName(std::move(pageName)), m_projectInfo(std::move(projectInfo))
{
    auto *dock = new QDockWidget(tr("Utilization"), window);
    dock->setObjectName(QStringLiteral("dockWidgetUtilization"));
    // Tall enough for a table of channels, wherever it is docked (a dock
    // above the Markers table was squeezed to a single row).
    dock->setMinimumSize(320, 260);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                      QDockWidget::DockWidgetClosable);
    dock->setAllowedAreas(Qt::RightDockWidgetArea);
    m_utilizationDock = new UtilizationDock(dock);
    m_utilizationDock->setObjectName(QStringLiteral("dockWidgetContentsUtilization"));
    dock->setWidget(m_utilizationDock);
    // A dock of its own, not a tab behind the KiVo panel where showing it
    // showed nothing.
    window->addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    m_dock = dock;

    QAction *toggle = dock->toggleViewAction();
    connect(toggle, &QAction::toggled, dock, [window, dock](bool on) {
        if (!on)
            return;
        dock->raise();
        // Beside the other docks it gets room for its table, not a share.
        window->resizeDocks({dock}, {qMax(dock->height(), window->height() / 2)}, Qt::Vertical);
    });
    toggle->setObjectName(QStringLiteral("actionUtilization"));
    toggle->setToolTip(tr("Show how busy each channel was and which to use"));
    m_toggle = toggle;
    auto *bursts = new QAction(tr("Find bursts"), window);
    bursts->setObjectName(QStringLiteral("actionFind_Bursts"));
    bursts->setToolTip(
        tr("List the bursts of the whole capture (or of the range chosen on the time "
           "bar) and keep the chosen ones as events"));
    m_findBursts = bursts;
    auto *report = new QAction(tr("Export Report\u2026"), window);
    report->setObjectName(QStringLiteral("actionExport_Report"));
    report->setToolTip(tr("Write the survey of the whole capture (or of the range chosen on the "
                          "time bar) as HTML and PDF"));
    m_exportReport = report;
    const QList<QAction *> actions = toolBar->actions();
    QAction *before = actions.value(actions.indexOf(after) + 1);
    toolBar->insertActions(before, {toggle, bursts, report});
    connect(bursts, &QAction::triggered, this, &SurveyController::findBursts);
    connect(report, &QAction::triggered, this, &SurveyController::exportReport);

    connect(shown, &ShownPage::pageShown, this, &SurveyController::follow);
    connect(m_utilizationDock, &UtilizationDock::kivoIdTicked, m_kivoIdPanel,
            &KivoIdPanel::setKivoIdSelected);
    // Ticks follow what the user selects in the panel, never the hover.
    const auto syncTicks = [this] {
        const QList<int> selected = m_kivoIdPanel->selectedKivoIds();
        for (qint32 id : kivoIdTable().keys())
            m_utilizationDock->setKivoIdTicked(id, selected.contains(id));
    };
    connect(m_kivoIdPanel, &KivoIdPanel::kivoIdSelected, this, syncTicks);
    connect(m_kivoIdPanel, &KivoIdPanel::kivoIdDeselected, this, syncTicks);
    // The sources list belongs to the page shown (it is cleared with it).
    connect(m_utilizationDock, &UtilizationDock::burstEventsAdded, this,
            [this](const QList<TimeEvent> &events) {
                if (TabPage *page = m_shown->page())
                    page->addTimeEvents(events);
            });
}

void SurveyController::follow(TabPage *page)
{
    disconnect(m_follow);
    disconnect(m_utilizationDock, &UtilizationDock::selectionWanted, nullptr, nullptr);
    m_utilizationDock->clear();
    if (!page)
        return;
    // The dock works on the page's survey range (the whole history unless
    // the user chose a range), redone no more often than the plots are drawn.
    // The history goes along so a range reads the history's counts.
    const auto feed = [this, page] {
        m_utilizationDock->setSelection(page->analysisSelection(),
                                        page->bandHistory().frequencyInterval(),
                                        page->analysisIsWhole(), page->bandHistory().samples());
    };
    m_follow = connect(page, &TabPage::selectionDrawn, m_utilizationDock, feed);
    connect(m_utilizationDock, &UtilizationDock::selectionWanted, page, feed);
    feed();
}

RfSpectrumSampleList SurveyController::shownSelection(TabPage **page, const QString &title,
                                                      const QString &nothingText)
{
    *page = m_shown->page();
    if (!*page)
        return {};
    (*page)->flushRedraw(); // the range the user sees
    RfSpectrumSampleList selection = (*page)->analysisSelection();
    if (selection.isEmpty())
        selection = (*page)->bandHistory().samples();
    if (selection.isEmpty())
        DialogSeam::information(title, nothingText);
    return selection;
}

void SurveyController::findBursts()
{
    const QString title = tr("Find bursts");
    TabPage *page = nullptr;
    const RfSpectrumSampleList selection =
        shownSelection(&page, title, tr("There are no sweeps to look through."));
    if (selection.isEmpty())
        return;
    const PointGrid grid = PointGrid::forHistory(page->bandHistory().frequencyInterval(),
                                                 selection.first().spectrum.size());
    bool cancelled = false;
    const QVector<Burst> bursts = ::findBursts(selection, grid, m_utilizationDock->burstOptions(),
                                               surveyProgress(title, &cancelled));
    if (cancelled)
        return;
    qCInfo(lcMainWindow) << bursts.size() << "bursts in" << selection.size() << "sweeps";
    if (bursts.isEmpty()) {
        DialogSeam::information(title, tr("No bursts in the surveyed range."));
        return;
    }
    // Thousands of bursts mean little one by one: the dock lists what they
    // come from, to sort, filter, mark as events or remove.
    m_utilizationDock->setBurstSources(classifyBursts(bursts, selection.size()), bursts.size(),
                                       page->bandHistory().frequencyInterval());
    m_dock->show();
    m_dock->raise();
}

void SurveyController::exportReport()
{
    const QString title = tr("Export Report");
    TabPage *page = nullptr;
    const RfSpectrumSampleList selection =
        shownSelection(&page, title, tr("There are no sweeps to report on."));
    if (selection.isEmpty())
        return;
    const QString path = RecordingUi::askSaveFileName(
        title, QDir(RecordingIo::recordingDirectory()).filePath(m_pageName(page)),
        tr("HTML report:") + QStringLiteral(" *.html"), QStringLiteral(".html"));
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    const QString pdfPath = info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
    // The save dialog confirmed replacing the HTML file only; the PDF beside it
    // may be another survey's, so it is not replaced without asking.
    if (QFileInfo::exists(pdfPath) &&
        DialogSeam::question(title,
                             tr("%1 already exists.\nDo you want to replace it?")
                                 .arg(QDir::toNativeSeparators(pdfPath)),
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes)
        return;

    // Notes for the first page, remembered for the next report; a cancelled
    // prompt keeps the last ones. A new line is written as " | ".
    QSettings settings;
    DialogSeam::Request notes;
    notes.kind = DialogSeam::Request::GetText;
    notes.title = title;
    notes.text = tr("Notes for the report's first page (optional; \" | \" starts a new line):");
    notes.value = settings.value(QStringLiteral("Report/Notes")).toString();
    const QVariant notesAnswer = DialogSeam::ask(notes);
    if (notesAnswer.isValid())
        settings.setValue(QStringLiteral("Report/Notes"), notesAnswer.toString().trimmed());
    // A logo for the first page, remembered the same way.
    DialogSeam::Request logo;
    logo.kind = DialogSeam::Request::OpenFileName;
    logo.title = tr("Logo for the report (Cancel keeps the last one)");
    logo.value = settings.value(QStringLiteral("Report/Logo")).toString();
    logo.filter = tr("Images:") + QStringLiteral(" *.png *.jpg *.jpeg *.svg");
    const QVariant logoAnswer = DialogSeam::ask(logo);
    if (logoAnswer.isValid())
        settings.setValue(QStringLiteral("Report/Logo"), logoAnswer.toString());

    bool cancelled = false;
    RfSpectrumHistory history = page->history();
    if (history.projectInfo == ProjectInfoData())
        history.projectInfo = m_projectInfo();
    SurveyReport report = SurveyReport::fromSelection(
        history, selection, m_utilizationDock->thresholdDbm(), m_utilizationDock->burstOptions(),
        surveyProgress(title, &cancelled));
    if (cancelled)
        return;
    report.sources = m_utilizationDock->keptSources(report.sources);
    report.generatedBy = QStringLiteral("Orvanel ") + QLatin1String(orvanelApplicationVersion);
    report.notes = settings.value(QStringLiteral("Report/Notes"))
                       .toString()
                       .replace(QStringLiteral(" | "), QStringLiteral("\n"));
    const QString logoPath = settings.value(QStringLiteral("Report/Logo")).toString();
    if (!logoPath.isEmpty() && !report.logo.load(logoPath))
        qCWarning(lcMainWindow) << "report logo not readable:" << logoPath;
    for (int id : m_kivoIdPanel->selectedKivoIds()) {
        const KivoIdInfo kivo = kivoIdInfo(id);
        if (kivo.highFrequency() >= report.span.minValue() &&
            kivo.lowFrequency() <= report.span.maxValue())
            report.kivoIds.append(id);
    }
    // Both pictures at the size of the plot on screen.
    QWidget *shown = page->spectroPlot()->isVisible() ? static_cast<QWidget *>(page->spectroPlot())
                                                      : page->waterfallPlot();
    const QSize size = shown->isVisible() ? shown->size() : UnshownPlotSize;
    report.density = plotImage(page->spectroPlot(), selection, size);
    report.waterfall = plotImage(page->waterfallPlot(), selection, size);
    page->plotsChanged(); // back to the time bar's range

    QString error;
    if (!SurveyReportWriter::writeHtml(path, report, &error) ||
        !SurveyReportWriter::writePdf(pdfPath, report, &error)) {
        DialogSeam::critical(tr("Error"), tr("The report could not be written:\n%1").arg(error));
        return;
    }
    RecordingIo::rememberRecordingDirectory(path);
    m_window->statusBar()->showMessage(
        tr("Report written to %1 and %2")
            .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(pdfPath)),
        10000);
}
