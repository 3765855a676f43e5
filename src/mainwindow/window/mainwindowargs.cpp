// The command line and the start-up actions.
#include "mainwindow.h"

#include "commandline.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "remotecontroller.h"
#include "scansession.h"
#include "shownpage.h"
#include "tabpage.h"
#include "tnwtabwidget.h"

#include "mainwindowlog.h"
#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>

void MainWindow::processArguments(const QStringList &arguments, bool *fileOpened)
{
    if (arguments.size() <= 1)
        return;
    const QVector<CommandLine::Step> steps = CommandLine::parse(arguments);
    int debugWindows = 0; // opened last, so a "-port" anywhere joins their port lists
    for (const CommandLine::Step &step : steps) {
        switch (step.kind) {
        case CommandLine::Step::OpenFile:
            if (QFileInfo(step.text).isFile()) {
                openRecordingFile(step.text);
                if (fileOpened)
                    *fileOpened = true;
            }
            break;
        case CommandLine::Step::Debug:
            m_debugMode = true;
            ++debugWindows;
            break;
        case CommandLine::Step::Rbw:
            m_session->setRbwOverride(step.intValue);
            break;
        case CommandLine::Step::Ampl:
            m_session->setAmplitudeOffset(step.intValue);
            break;
        case CommandLine::Step::FStep:
            m_session->setFStepOverride(step.doubleValue);
            break;
        case CommandLine::Step::Qc:
            m_qcMode = true;
            applyQcMode();
            break;
        case CommandLine::Step::Port:
            m_portOverride = step.text;
            break;
        case CommandLine::Step::Watch:
            watchRemoteScanners(step.text);
            break;
        case CommandLine::Step::Help:
            break; // main() prints the help before any window exists
        }
    }
    for (int i = 0; i < debugWindows; ++i)
        openDebugWindow();
}

void MainWindow::watchRemoteScanners(const QString &url)
{
    QString error;
    if (!m_remote->watchAll(url, &error))
        DialogSeam::warning(tr("Watch Remote Scanners"),
                            tr("Remote scanners cannot be watched:\n%1").arg(error));
}

void MainWindow::applyQcMode()
{
    for (TabPage *page : m_shownPage->pages())
        page->addQcPassLine();
    m_device->setQcMode(true);
}

void MainWindow::startupActions()
{
    offerRecovery();
    bool fileOpened = false;
    processArguments(QCoreApplication::arguments(), &fileOpened);
    // A program started to watch scanners elsewhere looks for one of its own
    // only when told which.
    if (!fileOpened && (!m_remote->watchesBroker() || !m_portOverride.isEmpty()))
        m_form.actionConnect->trigger();
    m_form.actionShow_Wifi->trigger();
}
