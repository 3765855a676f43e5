// Data in and out of the window: rtl_power CSV import and export, and pages
// made from a history.
#include "mainwindow.h"

#include "alarmcontroller.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "mainwindowlog.h"
#include "rangeslider.h"
#include "recordingio.h"
#include "recordingui.h"
#include "rtlpowercsv.h"
#include "scansession.h"
#include "shownpage.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QToolBar>

void MainWindow::buildDataActions()
{
    QAction *a = new QAction(tr("Export CSV"), this);
    a->setObjectName(QStringLiteral("actionExport_Csv"));
    a->setToolTip(tr("Export the shown time range as rtl_power CSV"));
    m_form.actionExport_Csv = a;
    const QList<QAction *> actions = m_form.toolBar->actions();
    const int open = actions.indexOf(m_form.actionOpen);
    m_form.toolBar->insertAction(actions.value(open + 1), a);
}

TabPage *MainWindow::addHistoryPage(const RfSpectrumHistory &history, const QString &title)
{
    TabPage *page = nullptr;
    switch (RecordingIo::pageBandForInterval(history.frequencyInterval)) {
    case RecordingIo::PageBand::Band900:
        page = new TabPage900(history, m_form.pageActions(), m_form.tabWidget);
        break;
    case RecordingIo::PageBand::Band2400:
        page = new TabPage2400(history, m_form.pageActions(), m_form.tabWidget);
        break;
    case RecordingIo::PageBand::None:
        return nullptr;
    }
    m_alarms->showOnRecordedPage(page);
    const int index = m_form.tabWidget->addTab(page, title);
    m_form.tabWidget->setTabToolTip(index, title);
    if (m_session->scanWanted())
        m_form.tabWidget->setTabEnabled(index, false); // Stop enables it
    else
        m_form.tabWidget->setCurrentIndex(index);
    return page;
}

bool MainWindow::openCsvFile(const QString &path)
{
    const RtlPowerCsv::Import csv = RtlPowerCsv::importFile(path);
    if (!csv.ok) {
        DialogSeam::warning(
            tr("Open"),
            tr("\"%1\" cannot be opened:\n%2").arg(QDir::toNativeSeparators(path), csv.errorText));
        return false;
    }
    qCInfo(lcMainWindow) << "Imported" << csv.history.samples.size() << "sweeps from" << path << "("
                         << csv.rowsSkipped << "rows skipped)";
    return addHistoryPage(csv.history, RecordingIo::tabTitle(path)) != nullptr;
}

void MainWindow::on_actionExport_Csv_triggered()
{
    TabPage *page = m_shownPage->page();
    if (!page)
        return;
    page->flushRedraw(); // the time bar shows the range the user chose
    // The whole capture unless a range was chosen on the time bar.
    RfSpectrumSampleList samples = page->analysisSelection();
    if (samples.isEmpty())
        samples = page->bandHistory().samples();
    if (samples.isEmpty()) {
        DialogSeam::information(tr("Export CSV"), tr("There are no sweeps to export."));
        return;
    }
    const QString title = tr("Export CSV");
    const QString path = RecordingUi::askSaveFileName(
        title, QDir(RecordingIo::recordingDirectory()).filePath(proposedBaseName(page)),
        tr("rtl_power CSV:") + QStringLiteral(" *.csv"), QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    QString reason;
    if (!RtlPowerCsv::exportFile(path, samples, page->bandHistory().frequencyInterval(), &reason)) {
        DialogSeam::critical(tr("Error"), tr("The CSV file could not be written as \"%1\":\n%2")
                                              .arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    RecordingIo::rememberRecordingDirectory(path);
}
