// Connecting, scanning and routing sweeps. What is scanned and how is the
// scan session's; the window asks it, shows its state and puts the sweeps it
// passes on into the page of their band.
#include "mainwindow.h"

#include "alarmcontroller.h"
#include "devicecomms.h"
#include "devicereturnwatch.h"
#include "dialogseam.h"
#include "firmwarecontroller.h"
#include "portdiscovery.h"
#include "scansession.h"
#include "shownpage.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include "mainwindowlog.h"
#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QStatusBar>

TabPage *MainWindow::bandPage(ScanPlan::Band band) const
{
    if (band == ScanPlan::Band900)
        return m_page900;
    return m_page2400;
}

void MainWindow::setBandTabsEnabled(bool enabled)
{
    // Qt moves the current tab off a tab it disables. That move is not the
    // user's choice of band, so the tab handler must not hear it, and the page
    // stays shown and usable: after a lost device it holds the capture to view
    // and save. Only the tab buttons are disabled, never the pages.
    TnwTabWidget *tabs = m_form.tabWidget;
    const int shown = tabs->currentIndex();
    const bool blocked = tabs->blockSignals(true);
    tabs->tabBar()->setTabEnabled(0, enabled);
    tabs->tabBar()->setTabEnabled(1, enabled);
    tabs->setCurrentIndex(shown);
    tabs->blockSignals(blocked);
}

void MainWindow::updateActionStates()
{
    const bool connected = m_device->connected();
    const bool locked = m_device->updateLocked(); // a firmware update owns the port
    m_form.actionConnect->setEnabled(!connected && !locked);
    const bool wanted = m_session->scanWanted();
    m_form.actionDisconnect->setEnabled(connected && !wanted && !locked);
    m_form.actionRecord->setEnabled(!wanted && !locked);
    m_form.actionStop->setEnabled(wanted || waitingForDevice());
    m_form.actionOpen->setEnabled(!wanted);
    // During a band switch the other band's tab stays off until the new
    // band's first sweep.
    if (!connected)
        setBandTabsEnabled(false);
    else if (!m_session->switching())
        setBandTabsEnabled(true);
    for (int i = 2; i < m_form.tabWidget->count(); ++i) {
        const TabPage *page = m_shownPage->pageAt(i);
        // A remote scanner's page goes on beside the local scan.
        m_form.tabWidget->setTabEnabled(i, !wanted || (page && page->isLive()));
    }
}

void MainWindow::on_actionConnect_triggered()
{
    // A second connect sequence on the same port (autoconnect plus a click)
    // would fight the first over it.
    if (m_device->busy() || m_device->connected())
        return;

    QString port = m_portOverride;
    if (port.isEmpty()) {
        QStringList ports = m_debugMode ? DeviceComms::availablePortNames()
                                        : DeviceComms::findDevicePorts(QStringLiteral("Orvanel"));
        if (ports.isEmpty() && !m_debugMode && m_firmware->offerHostUpdateFinish())
            return;
        if (ports.isEmpty())
            ports = DeviceComms::availablePortNames();
        if (ports.isEmpty()) {
            DialogSeam::critical(
                tr("Error"), tr("Unable to find any Orvanel device!") + QStringLiteral("\n\n") +
                                 PortDiscovery::noDeviceAdvice(PortDiscovery::systemPorts(),
                                                               PortDiscovery::usbDeviceNames()));
            return;
        }
        if (ports.size() == 1) {
            port = ports.constFirst();
        } else {
            DialogSeam::Request r;
            r.kind = DialogSeam::Request::GetItem;
            r.title = tr("Connect to device");
            r.text = tr("Serial Port");
            r.items = DeviceComms::availablePortNames();
            r.current = 0;
            const QVariant answer = DialogSeam::ask(r);
            if (!answer.isValid())
                return;
            port = answer.toString();
        }
    }
    // A port named on the command line is never listed by the system (a
    // pseudo-terminal, say); if it does not answer, it is the one device
    // meant, not "no device found".
    if (m_portOverride.isEmpty())
        m_device->setPortFinder(nullptr);
    else
        m_device->setPortFinder([port](const QString &) { return QStringList{port}; });
    m_deviceLost = false;
    m_rfParamsSeen = 0;
    m_device->setQuietFailures(false); // the user asked: failures are told
    m_device->setPortName(port);
    m_device->connectToDevice(m_debugMode);
}

void MainWindow::on_actionDisconnect_triggered()
{
    if (m_session->scanWanted() || m_device->scanning()) {
        // The session runs one sequence at a time: the scan ends first, as
        // with Stop (which also offers to save it), and the disconnect follows.
        m_session->disconnectAfterScan();
        on_actionStop_triggered();
        m_session->disconnectOnceScanEnded();
        return;
    }
    if (m_device->busy())
        return;
    m_device->disconnectFromDevice();
}

void MainWindow::onDcConnectedChanged(bool connected)
{
    if (!connected) {
        m_lblRadioVersion->setText(QStringLiteral("R: v---"));
        m_lblHostVersion->setText(QStringLiteral("H: v---"));
        m_firmware->forgetVersions();
    }
    if (connected) {
        m_deviceLost = false;
        m_returnWatch->rememberDevice();
    }
    updateActionStates();
}

void MainWindow::onScanReady()
{
    // Not under an open firmware update: it is about to use the port.
    if (!m_device->connected() || m_session->scanWanted() || m_firmware->dialogShown())
        return;
    if (!resumeAfterReconnect())
        m_form.actionRecord->trigger();
}

void MainWindow::onDcScanningChanged(bool scanning)
{
    // The scan session has already stopped an unwanted scan or ended the
    // wish for one that ended by itself.
    updateActionStates();
    if (scanning)
        m_stateTimer.start();
    else
        m_stateTimer.stop();
    updateSessionState();
}

void MainWindow::onRfParams(const RfParams &params)
{
    // The connect sequence asks for the 900 MHz table, then the 2.4 GHz one;
    // a table asked for by hand (debug window) is not the session's.
    if (m_device->connected() || m_rfParamsSeen >= 2)
        return;
    m_rfParams[m_rfParamsSeen++ == 0 ? ScanPlan::Band900 : ScanPlan::Band2400] = params;
}

void MainWindow::showScanSettings()
{
    for (const ScanPlan::Band band : {ScanPlan::Band2400, ScanPlan::Band900}) {
        QString text;
        if (m_device->scanning() && m_session->scanBand() == band) {
            const double rate = m_session->sweepsPerSecond();
            text = ScanPlan::settingsText(m_session->parameters(), m_rfParams[band],
                                          rate > 0 ? 1000.0 / rate : 0.0);
        }
        bandPage(band)->setScanSettings(text);
    }
}

void MainWindow::on_actionRecord_triggered()
{
    if (!m_session->canStart())
        return;

    // Scanning always programs a band: the one last shown. Show it, so the
    // live view is what the user looks at.
    // Nothing is scanning yet, so the switch restarts nothing.
    const ScanPlan::Band band = m_session->band();
    if (m_form.tabWidget->currentIndex() != int(band))
        m_form.tabWidget->setCurrentIndex(int(band));

    m_page2400->clearHist();
    m_page900->clearHist();
    forgetSavedSweeps();
    endAutosave(true); // what they held is discarded
    setProjectInfoToHist();

    m_session->start(band);
    updateActionStates();

    if (m_projectInfo.projectName.isEmpty() || !m_projectInfoConfirmed)
        m_form.actionProject_Info->trigger();
}

void MainWindow::on_actionStop_triggered()
{
    const bool wasWanted = m_session->scanWanted() || waitingForDevice();
    m_returnWatch->stop();
    m_session->stop();
    updateSessionState();
    updateActionStates();
    // Only unsaved sweeps make the question: Stop right after a Save has
    // nothing more to offer.
    if (!wasWanted || m_qcMode ||
        unsavedSweeps(ScanPlan::Band2400) + unsavedSweeps(ScanPlan::Band900) == 0) {
        endAutosave(true);
        return;
    }
    // The journal stays until the question is answered: a crash or a kill
    // while it is open, or leaving it unanswered, must not lose the scan.
    askToSave(QString());
}

void MainWindow::onDcNewSpecScanAvailable(qint64 timeStamp, RfSpectrumScan spectrum)
{
    m_session->takeSweep(timeStamp, spectrum);
}

void MainWindow::onScanSweep(qint64 timeStamp, ScanPlan::Band band, const RfSpectrumScan &spectrum)
{
    // The communication thread waits for this slot: keep it short.
    bandPage(band)->onNewSpecScan(timeStamp, spectrum);
    m_alarms->onSweep(bandPage(band), timeStamp, spectrum);
    // A sweep still in flight after Stop (or Quit) was not asked for: the
    // question (or the Save) covered the recording as it stood.
    if (m_session->scanWanted())
        countSweepTaken(band);
    autosaveSweep(band, timeStamp, spectrum);
}

void MainWindow::on_tabWidget_currentChanged(int index)
{
    TabPage *page = m_shownPage->pageAt(index);
    if (page && page->band() == TabPage::Band::Band2400)
        m_form.dockWidgetWifiList->setVisible(m_form.actionToggle_Wifi_List->isChecked());

    followBandTab(index);
    if (page)
        m_projectInfo = page->history().projectInfo;
}

void MainWindow::followBandTab(int index)
{
    if (index != 0 && index != 1)
        return;
    const auto band = ScanPlan::Band(index);
    if (!m_session->chooseBand(band))
        return;
    // The scan restarts on this band: the page shows the pause as a gap, and
    // the other band's tab stays off until this band's first sweep.
    bandPage(band)->fillMissingHist();
    m_form.tabWidget->tabBar()->setTabEnabled(index ^ 1, false);
}

int MainWindow::rbwOverride() const
{
    return m_session->rbwOverride();
}

int MainWindow::amplitudeOffset() const
{
    return m_session->amplitudeOffset();
}

double MainWindow::fStepOverride() const
{
    return m_session->fStepOverride();
}

bool MainWindow::scanWanted() const
{
    return m_session->scanWanted();
}

bool MainWindow::restartPending() const
{
    return m_session->restartPending();
}

ScanPlan::Band MainWindow::lastBandShown() const
{
    return m_session->band();
}
