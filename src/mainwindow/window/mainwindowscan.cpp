// Connecting, scanning and routing sweeps. The session runs one sequence at a
// time on one port, so nothing here starts a sequence while it is busy, and
// the window remembers what it asked for (band, points per sweep) instead of
// guessing from the tab that happens to be shown.
#include "mainwindow.h"

#include "alarmcontroller.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include "mainwindowlog.h"
#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QStatusBar>

// How soon a restart looks again when the session is still finishing the
// stopped scan.
static constexpr int RestartRetryMs = 50;

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
    m_form.actionDisconnect->setEnabled(connected && !m_scanWanted && !locked);
    m_form.actionRecord->setEnabled(!m_scanWanted && !locked);
    m_form.actionStop->setEnabled(m_scanWanted || waitingForDevice());
    m_form.actionOpen->setEnabled(!m_scanWanted);
    if (!connected) {
        m_otherBandTabDisabled = false;
        setBandTabsEnabled(false);
    } else if (!m_otherBandTabDisabled) {
        setBandTabsEnabled(true);
    }
    for (int i = 2; i < m_form.tabWidget->count(); ++i)
        m_form.tabWidget->setTabEnabled(i, !m_scanWanted);
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
        if (ports.isEmpty() && !m_debugMode && offerHostUpdateFinish())
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
    if (m_scanWanted || m_device->scanning()) {
        // The session runs one sequence at a time: the scan ends first, as
        // with Stop (which also offers to save it), and the disconnect follows.
        m_disconnectAfterScan = true;
        on_actionStop_triggered();
        disconnectOnceScanEnded();
        return;
    }
    if (m_device->busy())
        return;
    m_device->disconnectFromDevice();
}

void MainWindow::disconnectOnceScanEnded()
{
    if (!m_disconnectAfterScan || m_device->busy() || m_device->scanning())
        return;
    // Queued: the session is still inside the end of the scan sequence.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_disconnectAfterScan || m_device->busy() || m_device->scanning())
                return;
            m_disconnectAfterScan = false;
            m_device->disconnectFromDevice();
        },
        Qt::QueuedConnection);
}

void MainWindow::onDcConnectedChanged(bool connected)
{
    if (!connected) {
        m_disconnectAfterScan = false;
        m_lblRadioVersion->setText(QStringLiteral("R: v---"));
        m_lblHostVersion->setText(QStringLiteral("H: v---"));
        endScanIntent();
    }
    if (connected) {
        m_deviceLost = false;
        rememberDeviceIdentity();
    }
    updateActionStates();
    if (connected) {
        // The session clears its busy flag right after announcing the
        // connection; scanning starts once it has.
        QMetaObject::invokeMethod(
            this,
            [this] {
                // Not under an open firmware update: it is about to use the port.
                if (!m_device->connected() || m_scanWanted || firmwareDialogShown())
                    return;
                if (!resumeAfterReconnect())
                    m_form.actionRecord->trigger();
            },
            Qt::QueuedConnection);
    }
}

void MainWindow::endScanIntent()
{
    m_restartTimer.stop();
    m_scanWanted = false;
    m_otherBandTabDisabled = false;
}

void MainWindow::onDcScanningChanged(bool scanning)
{
    if (scanning) {
        // A stop or a tab switch came while the setup ran: the scan that the
        // setup starts is not wanted (any more) for this band.
        if (!m_scanWanted || m_restartTimer.isActive())
            emit m_device->stopScanning();
    } else if (m_scanWanted && !m_restartTimer.isActive()) {
        // The scan ended without Stop (time-out, error, lost device).
        endScanIntent();
    }
    updateActionStates();
    if (scanning)
        m_stateTimer.start();
    else
        m_stateTimer.stop();
    updateSessionState();
    if (!scanning)
        disconnectOnceScanEnded();
}

void MainWindow::sendScan(ScanPlan::Band band, const QVariantMap &parameters)
{
    m_scanBand = band;
    m_scanParameters = parameters;
    m_scanPointCount = ScanPlan::pointCount(parameters);
    m_sweepRate.clear();
    qCDebug(lcMainWindow) << "Scanning band" << band << "expecting" << m_scanPointCount << "points";
    m_device->sendRfSetupAndScan(parameters);
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
        if (m_device->scanning() && m_scanBand == band) {
            const double rate = m_sweepRate.perSecond(m_clock.elapsed());
            text = ScanPlan::settingsText(m_scanParameters, m_rfParams[band],
                                          rate > 0 ? 1000.0 / rate : 0.0);
        }
        bandPage(band)->setScanSettings(text);
    }
}

void MainWindow::on_actionRecord_triggered()
{
    if (!m_device->connected() || m_device->busy() || m_scanWanted || m_device->scanning())
        return;

    // Scanning always programs a band: the one last shown. Show it, so the
    // live view is what the user looks at.
    // Nothing is scanning yet, so the switch restarts nothing.
    if (m_form.tabWidget->currentIndex() != int(m_lastBandShown))
        m_form.tabWidget->setCurrentIndex(int(m_lastBandShown));

    m_page2400->clearHist();
    m_page900->clearHist();
    forgetSavedSweeps();
    endAutosave(true); // what they held is discarded
    setProjectInfoToHist();

    m_scanWanted = true;
    sendScan(m_lastBandShown, ScanPlan::withOverrides(ScanPlan::defaultParameters(m_lastBandShown),
                                                      m_rbwOverride, m_fStepOverride));
    updateActionStates();

    if (m_projectInfo.projectName.isEmpty() || !m_projectInfoConfirmed)
        m_form.actionProject_Info->trigger();
}

void MainWindow::on_actionStop_triggered()
{
    const bool wasWanted = m_scanWanted || waitingForDevice();
    stopWaitingForDevice();
    endScanIntent();
    updateSessionState();
    if (m_device->scanning())
        emit m_device->stopScanning();
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
    // The communication thread waits for this slot: keep it short.
    //
    // A stop emitted before the scan sequence existed on its thread (Stop
    // during the setup, or a switch right as scanning began) reached nothing;
    // a sweep proves the sequence listens now, so say it again.
    if ((!m_scanWanted || m_restartTimer.isActive()) && m_device->scanning())
        emit m_device->stopScanning();
    m_sweepRate.addSweep(m_clock.elapsed());
    // A sweep of the old band still in flight after a switch must not bring
    // its tab back: only the new band's first sweep does.
    if (m_otherBandTabDisabled && !m_restartTimer.isActive() && m_device->connected()) {
        m_otherBandTabDisabled = false;
        setBandTabsEnabled(true);
    }
    if (m_scanBand < 0)
        return;
    const auto band = ScanPlan::Band(m_scanBand);
    if (band == ScanPlan::Band2400 && m_amplitudeOffset != 0)
        ScanPlan::applyAmplitudeOffset(spectrum, m_amplitudeOffset);
    if (spectrum.size() != m_scanPointCount)
        return;
    bandPage(band)->onNewSpecScan(timeStamp, spectrum);
    m_alarms->onSweep(bandPage(band), timeStamp, spectrum);
    // A sweep still in flight after Stop (or Quit) was not asked for: the
    // question (or the Save) covered the recording as it stood.
    if (m_scanWanted)
        countSweepTaken(band);
    autosaveSweep(band, timeStamp, spectrum);
}

void MainWindow::on_tabWidget_currentChanged(int index)
{
    QWidget *page = m_form.tabWidget->widget(index);
    if (qobject_cast<TabPage2400 *>(page))
        m_form.dockWidgetWifiList->setVisible(m_form.actionToggle_Wifi_List->isChecked());

    if (index == 0 || index == 1) {
        m_lastBandShown = ScanPlan::Band(index);
        if (m_scanWanted) {
            if (m_device->scanning())
                emit m_device->stopScanning();
            bandPage(m_lastBandShown)->fillMissingHist();
            // One pending restart; a newer switch replaces it, and it reads
            // the band shown when it fires. The overrides belong to Scan only.
            m_restartTimer.start(750);
            m_form.tabWidget->tabBar()->setTabEnabled(index ^ 1, false);
            m_otherBandTabDisabled = true;
        }
    }
    if (auto *tab = qobject_cast<TabPage *>(page))
        m_projectInfo = tab->history().projectInfo;
}

void MainWindow::onRestartTimeout()
{
    if (!m_scanWanted)
        return;
    if (!m_device->connected()) {
        endScanIntent();
        updateActionStates();
        return;
    }
    if (m_device->scanning() || m_device->busy()) {
        // The stopped scan has not ended yet (or its setup still runs).
        if (m_device->scanning())
            emit m_device->stopScanning();
        m_restartTimer.start(RestartRetryMs);
        return;
    }
    sendScan(m_lastBandShown, ScanPlan::defaultParameters(m_lastBandShown));
}
