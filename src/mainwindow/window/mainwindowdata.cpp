// Data in and out of the window: rtl_power CSV import and export, and the
// autosave journal that lets a scan survive a crash, a kill or a pulled
// cable.
#include "mainwindow.h"

#include "autosavejournal.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "mainwindowlog.h"
#include "rangeslider.h"
#include "recordingio.h"
#include "recordingui.h"
#include "rtlpowercsv.h"
#include "scanjournal.h"
#include "scansession.h"
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

namespace {

// A page made from a journal carries the journal's path until it is saved
// or closed; then the journal goes.
constexpr char JournalProperty[] = "orvanelJournal";

QString bandTagFor(ScanPlan::Band band)
{
    return band == ScanPlan::Band900 ? QStringLiteral("900MHz") : QStringLiteral("2400MHz");
}

} // namespace

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

bool MainWindow::addHistoryPage(const RfSpectrumHistory &history, const QString &title)
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
        return false;
    }
    const int index = m_form.tabWidget->addTab(page, title);
    m_form.tabWidget->setTabToolTip(index, title);
    if (m_session->scanWanted())
        m_form.tabWidget->setTabEnabled(index, false); // Stop enables it
    else
        m_form.tabWidget->setCurrentIndex(index);
    return true;
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
    return addHistoryPage(csv.history, RecordingIo::tabTitle(path));
}

void MainWindow::on_actionExport_Csv_triggered()
{
    auto *page = qobject_cast<TabPage *>(m_form.tabWidget->currentWidget());
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

void MainWindow::autosaveSweep(ScanPlan::Band band, qint64 timeStamp,
                               const RfSpectrumScan &spectrum)
{
    AutosaveJournal *&journal = m_autosave[band == ScanPlan::Band900 ? 1 : 0];
    if (!journal)
        journal = new AutosaveJournal(this);
    if (!journal->isActive()) {
        // A sweep in flight after the scan was ended (and its journal
        // answered for) must not start a journal that the next start
        // would offer as a lost scan.
        if (!m_session->scanWanted())
            return;
        RfSpectrumHistory header = bandPage(band)->history();
        header.samples.clear(); // the sweeps follow in batches
        journal->begin(AutosaveJournal::newFilePath(bandTagFor(band)), header);
    }
    journal->addSweep(timeStamp, spectrum);
}

void MainWindow::endAutosave(bool remove)
{
    for (AutosaveJournal *journal : m_autosave)
        if (journal)
            journal->finish(remove);
}

void MainWindow::onPageSaved(TabPage *page)
{
    discardPageJournal(page);
    // A saved live page needs its journal no more, unless it still scans.
    if (page && page->isLive() && !m_session->scanWanted()) {
        AutosaveJournal *journal = m_autosave[page == m_page900 ? 1 : 0];
        if (journal)
            journal->finish(true);
    }
}

void MainWindow::discardPageJournal(QWidget *page)
{
    if (!page)
        return;
    const QString path = page->property(JournalProperty).toString();
    if (!path.isEmpty() && QFile::remove(path))
        qCInfo(lcMainWindow) << "Removed autosave journal" << path;
    page->setProperty(JournalProperty, QVariant());
}

void MainWindow::offerRecovery()
{
    const QDir dir(ScanJournal::directory());
    const QStringList names =
        dir.entryList({QStringLiteral("*") + ScanJournal::FileSuffix}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        bool inUse = false;
        for (AutosaveJournal *journal : m_autosave)
            inUse = inUse || (journal && journal->filePath() == path);
        if (inUse)
            continue;
        const ScanJournal::Contents journal = ScanJournal::readFile(path);
        if (!journal.valid || journal.ended || journal.history.samples.isEmpty()) {
            // Stopped or saved in time, or nothing in it: nothing to offer.
            QFile::remove(path);
            continue;
        }
        const RfSpectrumHistory &h = journal.history;
        const QString band =
            RecordingIo::pageBandForInterval(h.frequencyInterval) == RecordingIo::PageBand::Band900
                ? tr("900 MHz")
                : tr("2.4 GHz");
        const auto time = [](qint64 ms) {
            return QDateTime::fromMSecsSinceEpoch(ms).toString(
                QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        };
        const int answer = DialogSeam::question(
            tr("Recover the last scan?"),
            tr("A scan of the %1 band was not saved: the program ended while scanning "
               "(%2 sweeps, %3 to %4).\nOpen it as a recording?")
                .arg(band)
                .arg(h.samples.size())
                .arg(time(h.samples.constFirst().timeStamp), time(h.samples.constLast().timeStamp)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::No) {
            QFile::remove(path);
            continue;
        }
        if (answer != QMessageBox::Yes)
            continue;
        const QString title = tr("Recovered %1").arg(QFileInfo(path).completeBaseName());
        if (addHistoryPage(h, title))
            m_form.tabWidget->widget(m_form.tabWidget->count() - 1)
                ->setProperty(JournalProperty, path);
    }
}
