// A scanner that goes away while scanning (a pulled or wiggled cable) is
// waited for: when the same device is back the window connects again by
// itself and resumes the band it was scanning, into the same page, with the
// time it was away shown as a gap. A survey does not end with a loose plug.
#include "mainwindow.h"

#include "devicecomms.h"
#include "mainwindowlog.h"
#include "scansession.h"
#include "tabpage.h"
#include "tnwtabwidget.h"

namespace {

// How often the ports are looked at while the device is away, and how long a
// failed attempt waits before the next (a device that has just appeared may
// not take a connection yet).
constexpr int ReturnPollMs = 500;
constexpr qint64 RetryAfterMs = 2000;
// How long the status bar says "Reconnected".
constexpr qint64 ReconnectedNoticeMs = 10000;

} // namespace

void MainWindow::buildReconnect()
{
    m_returnTimer.setInterval(ReturnPollMs);
    connect(&m_returnTimer, &QTimer::timeout, this, &MainWindow::onReturnPoll);
}

void MainWindow::rememberDeviceIdentity()
{
    m_deviceIdentity = PortDiscovery::recordOf(m_device->currentPortName());
}

void MainWindow::waitForDeviceReturn(ScanPlan::Band band)
{
    qCInfo(lcMainWindow) << "Device lost while scanning; waiting for" << m_deviceIdentity.name;
    m_resumeBand = band;
    m_lastAttemptMs = -RetryAfterMs;
    m_returnTimer.start();
}

void MainWindow::stopWaitingForDevice()
{
    m_returnTimer.stop();
    m_resumeBand = -1;
    m_device->setQuietFailures(false);
}

void MainWindow::onReturnPoll()
{
    if (m_device->busy() || m_device->connected() || m_device->updateLocked())
        return;
    const QString port =
        PortDiscovery::returnedPort(m_deviceIdentity, PortDiscovery::systemPorts(),
                                    PortDiscovery::portPathExists(m_deviceIdentity.name));
    if (port.isEmpty() || m_clock.elapsed() - m_lastAttemptMs < RetryAfterMs)
        return;
    m_lastAttemptMs = m_clock.elapsed();
    qCInfo(lcMainWindow) << "The device is back on" << port << "; connecting";
    m_device->setQuietFailures(true);
    m_rfParamsSeen = 0;
    m_device->setPortName(port);
    m_device->connectToDevice(m_debugMode);
}

bool MainWindow::resumeAfterReconnect()
{
    if (m_resumeBand < 0)
        return false;
    const auto band = ScanPlan::Band(m_resumeBand);
    stopWaitingForDevice();
    // The page the scan went to is the one shown; nothing scans yet, so the
    // switch restarts nothing.
    if (m_form.tabWidget->currentIndex() != int(band))
        m_form.tabWidget->setCurrentIndex(int(band));
    bandPage(band)->fillMissingHist();
    m_reconnectedAtMs = m_clock.elapsed();
    m_session->start(band);
    updateActionStates();
    updateSessionState();
    return true;
}

bool MainWindow::recentlyReconnected() const
{
    return m_reconnectedAtMs >= 0 && m_clock.elapsed() - m_reconnectedAtMs < ReconnectedNoticeMs;
}
