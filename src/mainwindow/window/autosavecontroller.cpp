#include "autosavecontroller.h"

#include "autosavejournal.h"
#include "dialogseam.h"
#include "mainwindowlog.h"
#include "recordingio.h"
#include "scanjournal.h"
#include "tabpage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

namespace {

// A page made from a journal carries the journal's path until it is saved
// or closed; then the journal goes.
constexpr char JournalProperty[] = "orvanelJournal";

// Sweeps that came in while the user went from Save to Stop or Quit are
// written into the file just saved rather than asked about again.
constexpr qint64 SaveGraceMs = 5000;

int bandIndex(ScanPlan::Band band)
{
    return band == ScanPlan::Band900 ? 1 : 0;
}

QString bandTagFor(ScanPlan::Band band)
{
    return band == ScanPlan::Band900 ? QStringLiteral("900MHz") : QStringLiteral("2400MHz");
}

} // namespace

AutosaveController::AutosaveController(TabPage *live2400, TabPage *live900, QObject *parent)
    : QObject(parent), m_live{live2400, live900}
{
    m_clock.start();
}

void AutosaveController::addSweep(ScanPlan::Band band, qint64 timeStamp,
                                  const RfSpectrumScan &spectrum, bool wanted)
{
    AutosaveJournal *&journal = m_journal[bandIndex(band)];
    if (!journal)
        journal = new AutosaveJournal(this);
    if (!journal->isActive()) {
        // A sweep in flight after the scan was ended (and its journal
        // answered for) must not start a journal that the next start
        // would offer as a lost scan.
        if (!wanted)
            return;
        RfSpectrumHistory header = m_live[bandIndex(band)]->history();
        header.samples.clear(); // the sweeps follow in batches
        journal->begin(AutosaveJournal::newFilePath(bandTagFor(band)), header);
    }
    journal->addSweep(timeStamp, spectrum);
}

void AutosaveController::end(bool remove)
{
    for (AutosaveJournal *journal : m_journal)
        if (journal)
            journal->finish(remove);
}

void AutosaveController::pageSaved(TabPage *page, bool scanning)
{
    discardPageJournal(page);
    // A saved live page needs its journal no more, unless it still scans.
    if (page && page->isLive() && !scanning) {
        AutosaveJournal *journal = m_journal[page == m_live[1] ? 1 : 0];
        if (journal)
            journal->finish(true);
    }
}

void AutosaveController::discardPageJournal(QWidget *page)
{
    if (!page)
        return;
    const QString path = page->property(JournalProperty).toString();
    if (!path.isEmpty() && QFile::remove(path))
        qCInfo(lcMainWindow) << "Removed autosave journal" << path;
    page->setProperty(JournalProperty, QVariant());
}

void AutosaveController::offerRecovery(const PageAdder &addPage)
{
    const QDir dir(ScanJournal::directory());
    const QStringList names =
        dir.entryList({QStringLiteral("*") + ScanJournal::FileSuffix}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        bool inUse = false;
        for (AutosaveJournal *journal : m_journal)
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
        if (QWidget *page = addPage(h, title))
            page->setProperty(JournalProperty, path);
    }
}

void AutosaveController::countSweepTaken(ScanPlan::Band band)
{
    ++m_sweepsTaken[bandIndex(band)];
}

void AutosaveController::forgetSavedSweeps()
{
    for (int i = 0; i < 2; ++i) {
        m_sweepsTaken[i] = m_sweepsSaved[i] = 0;
        m_savedPath[i].clear();
    }
}

void AutosaveController::noteSaved(TabPage *page, const QString &path)
{
    if (page != m_live[0] && page != m_live[1])
        return;
    const int i = page == m_live[1] ? 1 : 0;
    m_sweepsSaved[i] = m_sweepsTaken[i];
    m_savedPath[i] = path;
    m_savedAtMs[i] = m_clock.elapsed();
}

void AutosaveController::discardUnsaved()
{
    end(true);
    for (int i = 0; i < 2; ++i)
        m_sweepsSaved[i] = m_sweepsTaken[i];
}

int AutosaveController::unsavedSweeps(ScanPlan::Band band)
{
    const int i = bandIndex(band);
    const int unsaved = m_sweepsTaken[i] - m_sweepsSaved[i];
    if (unsaved <= 0 || m_savedPath[i].isEmpty() ||
        m_clock.elapsed() - m_savedAtMs[i] > SaveGraceMs)
        return qMax(0, unsaved);
    QString reason;
    if (!RecordingIo::saveFile(m_savedPath[i], m_live[i]->history(), &reason)) {
        qCWarning(lcMainWindow) << "Could not bring" << m_savedPath[i] << "up to date:" << reason;
        return unsaved;
    }
    qCInfo(lcMainWindow) << "Added" << unsaved << "sweeps to" << m_savedPath[i];
    m_sweepsSaved[i] = m_sweepsTaken[i];
    return 0;
}
