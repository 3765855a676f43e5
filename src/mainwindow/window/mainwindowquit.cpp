// Leaving the program, and what is left unsaved when it goes: Quit and the
// window's close button ask the question Stop asks, but only while some
// sweep of a live page has not been saved.
#include "mainwindow.h"

#include "dialogseam.h"
#include "mainwindowlog.h"
#include "recordingio.h"
#include "recordingui.h"
#include "scansession.h"
#include "tabpage2400.h"
#include "tabpage900.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>

namespace {

// Sweeps that came in while the user went from Save to Stop or Quit are
// written into the file just saved rather than asked about again.
constexpr qint64 SaveGraceMs = 5000;

int bandIndex(ScanPlan::Band band)
{
    return band == ScanPlan::Band900 ? 1 : 0;
}

} // namespace

void MainWindow::countSweepTaken(ScanPlan::Band band)
{
    ++m_sweepsTaken[bandIndex(band)];
}

void MainWindow::forgetSavedSweeps()
{
    for (int i = 0; i < 2; ++i) {
        m_sweepsTaken[i] = m_sweepsSaved[i] = 0;
        m_savedPath[i].clear();
    }
}

void MainWindow::noteSaved(TabPage *page, const QString &path)
{
    if (page != m_page2400 && page != m_page900)
        return;
    const int i = page == m_page900 ? 1 : 0;
    m_sweepsSaved[i] = m_sweepsTaken[i];
    m_savedPath[i] = path;
    m_savedAtMs[i] = m_clock.elapsed();
}

int MainWindow::unsavedSweeps(ScanPlan::Band band)
{
    const int i = bandIndex(band);
    const int unsaved = m_sweepsTaken[i] - m_sweepsSaved[i];
    if (unsaved <= 0 || m_savedPath[i].isEmpty() ||
        m_clock.elapsed() - m_savedAtMs[i] > SaveGraceMs)
        return qMax(0, unsaved);
    QString reason;
    if (!RecordingIo::saveFile(m_savedPath[i], bandPage(band)->history(), &reason)) {
        qCWarning(lcMainWindow) << "Could not bring" << m_savedPath[i] << "up to date:" << reason;
        return unsaved;
    }
    qCInfo(lcMainWindow) << "Added" << unsaved << "sweeps to" << m_savedPath[i];
    m_sweepsSaved[i] = m_sweepsTaken[i];
    return 0;
}

bool MainWindow::confirmQuit()
{
    if (m_qcMode)
        return true;
    for (const ScanPlan::Band band : {ScanPlan::Band2400, ScanPlan::Band900}) {
        const int unsaved = unsavedSweeps(band);
        if (unsaved == 0)
            continue;
        TabPage *page = bandPage(band);
        const QString why = tr("%n sweeps of the %1 band are not saved.", nullptr, unsaved)
                                .arg(band == ScanPlan::Band900 ? tr("900 MHz") : tr("2.4 GHz"));
        const int answer = DialogSeam::question(
            tr("Quit"), why + QLatin1Char(' ') + tr("Do you want to save the recording?"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::Yes) {
            const QString path = RecordingUi::save(this, page->history(), proposedBaseName(page));
            if (path.isEmpty())
                return false; // the save was cancelled or failed: stay
            noteSaved(page, path);
        } else if (answer != QMessageBox::No) {
            return false;
        }
    }
    // Answered: nothing is left for the next start to offer, and sweeps
    // still arriving while the program ends belong to no recording.
    m_session->stop();
    endAutosave(true);
    return true;
}

void MainWindow::on_actionQuit_triggered()
{
    if (quitRefusedByUpdate())
        return;
    if (confirmQuit())
        QCoreApplication::exit(0);
}

void MainWindow::quitOnSignal()
{
    if (quitRefusedByUpdate())
        return;
    // Nobody is there to answer the save question: the journal is closed
    // and kept, so the next start offers the scan as it does after a crash.
    m_session->stop();
    endAutosave(false);
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!confirmQuit()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
