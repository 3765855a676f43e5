// Recordings, snapshots and project information as the window offers them.
#include "mainwindow.h"

#include "alarmcontroller.h"
#include "autosavecontroller.h"
#include "devicecomms.h"
#include "mainwindowlog.h"
#include "projectinfodialog.h"
#include "recordingio.h"
#include "recordingui.h"
#include "rtlpowercsv.h"
#include "scansession.h"
#include "shownpage.h"
#include "snapshot.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include <QAction>
#include <QSettings>

bool MainWindow::openRecordingFile(const QString &path)
{
    if (RtlPowerCsv::isCsvFileName(path))
        return openCsvFile(path);
    const RecordingIo::Recording recording = RecordingIo::loadFile(path);
    if (recording.band == RecordingIo::PageBand::None)
        return false;
    TabPage *page = nullptr;
    if (recording.band == RecordingIo::PageBand::Band900)
        page = new TabPage900(recording.history, m_form.pageActions(), m_form.tabWidget);
    else
        page = new TabPage2400(recording.history, m_form.pageActions(), m_form.tabWidget);
    showKivoIdsOn(page);
    m_alarms->showOnRecordedPage(page);
    const QString title = RecordingIo::tabTitle(path);
    const int index = m_form.tabWidget->addTab(page, title);
    m_form.tabWidget->setTabToolTip(index, title);
    qCDebug(lcMainWindow) << "Opened recording" << path << "as tab" << index;
    if (m_session->scanWanted())
        m_form.tabWidget->setTabEnabled(index, false); // Stop enables it
    else
        m_form.tabWidget->setCurrentIndex(index);
    return true;
}

QString MainWindow::proposedBaseName(const TabPage *page) const
{
    const RfSpectrumHistory history = page->history();
    return RecordingIo::proposedBaseName(
        m_projectInfo.projectName, history.projectInfo.projectName,
        RecordingIo::bandTag(m_form.tabWidget->currentIndex(), history));
}

void MainWindow::on_actionSave_triggered()
{
    TabPage *page = m_shownPage->page();
    if (!page)
        return;
    const QString path = RecordingUi::save(this, page->history(), proposedBaseName(page));
    if (path.isEmpty())
        return;
    m_autosave->noteSaved(page, path);
    m_autosave->pageSaved(page, m_session->scanWanted());
}

void MainWindow::on_actionOpen_triggered()
{
    RecordingUi::open(this, [this](const QString &path) { return openRecordingFile(path); });
}

void MainWindow::on_actionSnapshot_triggered()
{
    TabPage *page = m_shownPage->page();
    if (!page)
        return;
    Snapshot::save(this, page->snapshotPixmap(), proposedBaseName(page));
}

namespace {
const char *const lastProjectKeys[] = {"LastProject/Name", "LastProject/Id", "LastProject/Location",
                                       "LastProject/Technician"};

ProjectInfoData lastProject()
{
    QSettings s;
    ProjectInfoData d;
    d.projectName = s.value(QLatin1String(lastProjectKeys[0])).toString();
    d.projectId = s.value(QLatin1String(lastProjectKeys[1])).toString();
    d.scanLocation = s.value(QLatin1String(lastProjectKeys[2])).toString();
    d.technicianName = s.value(QLatin1String(lastProjectKeys[3])).toString();
    return d;
}
} // namespace

void MainWindow::buildProjectInfo()
{
    m_projectInfoDialog = new ProjectInfoDialog(this);
    // A technician scans the same site again and again: the last project's
    // texts are offered, and still confirmed at the first scan.
    m_projectInfoDialog->setData(lastProject());
    connect(m_projectInfoDialog, &QDialog::accepted, this, [this] {
        m_projectInfoConfirmed = true;
        setProjectInfoToHist();
        QSettings s;
        const QString values[] = {m_projectInfo.projectName, m_projectInfo.projectId,
                                  m_projectInfo.scanLocation, m_projectInfo.technicianName};
        for (int i = 0; i < 4; ++i)
            s.setValue(QLatin1String(lastProjectKeys[i]), values[i]);
    });
}

void MainWindow::on_actionProject_Info_triggered()
{
    m_projectInfoDialog->setData(m_projectInfo.projectName.isEmpty() && !m_projectInfoConfirmed
                                     ? lastProject()
                                     : m_projectInfo);
    m_projectInfoDialog->show();
    m_projectInfoDialog->raise();
}

void MainWindow::setProjectInfoToHist()
{
    m_projectInfo = m_projectInfoDialog->getData();
    m_page2400->setProjectInfo(m_projectInfo);
    m_page900->setProjectInfo(m_projectInfo);
}
