// Leaving the program, and what is left unsaved when it goes: Quit and the
// window's close button ask the question Stop asks, but only while some
// sweep of a live page has not been saved.
#include "mainwindow.h"

#include "autosavecontroller.h"
#include "dialogseam.h"
#include "recordingui.h"
#include "scansession.h"
#include "tabpage.h"
#include "tabpage2400.h"
#include "tabpage900.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>

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
            m_autosave->noteSaved(page, path);
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
