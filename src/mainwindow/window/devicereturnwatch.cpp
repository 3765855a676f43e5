#include "devicereturnwatch.h"

#include "devicecomms.h"
#include "mainwindowlog.h"

namespace {

// How often the ports are looked at while the device is away, and how long a
// failed attempt waits before the next (a device that has just appeared may
// not take a connection yet).
constexpr int ReturnPollMs = 500;
constexpr qint64 RetryAfterMs = 2000;
// How long the status bar says "Reconnected".
constexpr qint64 ReconnectedNoticeMs = 10000;

} // namespace

DeviceReturnWatch::DeviceReturnWatch(DeviceComms *device, QObject *parent)
    : QObject(parent), m_device(device)
{
    m_clock.start();
    m_timer.setInterval(ReturnPollMs);
    connect(&m_timer, &QTimer::timeout, this, &DeviceReturnWatch::poll);
}

void DeviceReturnWatch::rememberDevice()
{
    m_identity = PortDiscovery::recordOf(m_device->currentPortName());
}

void DeviceReturnWatch::waitFor(ScanPlan::Band band)
{
    qCInfo(lcMainWindow) << "Device lost while scanning; waiting for" << m_identity.name;
    m_resumeBand = band;
    m_lastAttemptMs = -RetryAfterMs;
    m_timer.start();
}

void DeviceReturnWatch::stop()
{
    m_timer.stop();
    m_resumeBand = -1;
    m_device->setQuietFailures(false);
}

int DeviceReturnWatch::takeResumeBand()
{
    const int band = m_resumeBand;
    if (band < 0)
        return -1;
    stop();
    m_resumedAtMs = m_clock.elapsed();
    return band;
}

bool DeviceReturnWatch::recentlyResumed() const
{
    return m_resumedAtMs >= 0 && m_clock.elapsed() - m_resumedAtMs < ReconnectedNoticeMs;
}

void DeviceReturnWatch::poll()
{
    if (m_device->busy() || m_device->connected() || m_device->updateLocked())
        return;
    const QString port = PortDiscovery::returnedPort(
        m_identity, PortDiscovery::systemPorts(), PortDiscovery::portPathExists(m_identity.name));
    if (port.isEmpty() || m_clock.elapsed() - m_lastAttemptMs < RetryAfterMs)
        return;
    m_lastAttemptMs = m_clock.elapsed();
    qCInfo(lcMainWindow) << "The device is back on" << port << "; connecting";
    m_device->setQuietFailures(true);
    emit connectWanted(port);
}
