#include "scansession.h"

#include "devicecomms.h"
#include "devicelog.h"
#include "pointgrid.h"

ScanSession::ScanSession(DeviceComms *device, QObject *parent) : QObject(parent), m_device(device)
{
    qRegisterMetaType<ScanPlan::Band>("ScanPlan::Band");
    qRegisterMetaType<ScanSession::State>("ScanSession::State");
    m_clock.start();
    m_restartTimer.setSingleShot(true);
    m_restartTimer.setInterval(RestartDelayMs);
    connect(&m_restartTimer, &QTimer::timeout, this, &ScanSession::onRestartTimeout);
    connect(device, &DeviceComms::connectedChanged, this, &ScanSession::onConnectedChanged);
    connect(device, &DeviceComms::busyChanged, this, &ScanSession::onBusyChanged);
    connect(device, &DeviceComms::scanningChanged, this, &ScanSession::onScanningChanged);
    connect(device, &DeviceComms::rfsaGetSpecNoInitDone, this, &ScanSession::takeSweep);
}

double ScanSession::sweepsPerSecond()
{
    return m_sweepRate.perSecond(m_clock.elapsed());
}

bool ScanSession::canStart() const
{
    return m_device->connected() && !m_device->busy() && !m_wanted && !m_device->scanning();
}

void ScanSession::start(ScanPlan::Band band)
{
    m_band = band;
    m_wanted = true;
    sendScan(band, ScanPlan::withOverrides(ScanPlan::defaultParameters(band), m_rbwOverride,
                                           m_fStepOverride));
    updateState();
}

void ScanSession::stop()
{
    endScanIntent();
    if (m_device->scanning())
        emit m_device->stopScanning();
    updateState();
}

bool ScanSession::chooseBand(ScanPlan::Band band)
{
    m_band = band;
    if (!m_wanted)
        return false;
    if (m_device->scanning())
        emit m_device->stopScanning();
    // One pending restart; a newer choice replaces it, and it reads the band
    // chosen when it fires. The overrides belong to start() only.
    m_restartTimer.start(RestartDelayMs);
    m_switching = true;
    updateState();
    return true;
}

void ScanSession::takeSweep(qint64 timeStamp, RfSpectrumScan levels)
{
    // The communication thread waits for this slot: keep it short.
    //
    // A stop emitted before the scan sequence existed on its thread (a stop
    // during the setup, or a switch right as scanning began) reached nothing;
    // a sweep proves the sequence listens now, so say it again.
    if ((!m_wanted || m_restartTimer.isActive()) && m_device->scanning())
        emit m_device->stopScanning();
    m_sweepRate.addSweep(m_clock.elapsed());
    // A sweep of the old band still in flight after a switch does not end
    // the switch: only the new band's first sweep does.
    if (m_switching && !m_restartTimer.isActive() && m_device->connected()) {
        m_switching = false;
        updateState();
    }
    if (m_scanBand < 0)
        return;
    const auto band = ScanPlan::Band(m_scanBand);
    if (band == ScanPlan::Band2400 && m_amplitudeOffset != 0)
        ScanPlan::applyAmplitudeOffset(levels, m_amplitudeOffset);
    if (m_pointCount == 0 || levels.size() != m_pointCount)
        return;
    emit sweep(timeStamp, band, levels);
}

void ScanSession::disconnectAfterScan()
{
    m_disconnectAfterScan = true;
}

void ScanSession::disconnectOnceScanEnded()
{
    if (!m_disconnectAfterScan || m_device->busy() || m_device->scanning())
        return;
    // Queued: the device session is still inside the end of the scan sequence.
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

void ScanSession::onConnectedChanged(bool connected)
{
    if (!connected) {
        m_disconnectAfterScan = false;
        endScanIntent();
        updateState();
        return;
    }
    // The device session clears its busy flag right after announcing the
    // connection; a scan can start once it has.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_device->connected())
                emit ready();
        },
        Qt::QueuedConnection);
}

void ScanSession::onBusyChanged(bool busy)
{
    if (!busy)
        disconnectOnceScanEnded();
}

void ScanSession::onScanningChanged(bool scanning)
{
    if (scanning) {
        // A stop or a switch came while the setup ran: the scan that the
        // setup starts is not wanted (any more) for this band.
        if (!m_wanted || m_restartTimer.isActive())
            emit m_device->stopScanning();
    } else if (m_wanted && !m_restartTimer.isActive()) {
        // The scan ended without a stop (time-out, error, lost device).
        endScanIntent();
    }
    updateState();
    if (!scanning)
        disconnectOnceScanEnded();
}

void ScanSession::onRestartTimeout()
{
    if (!m_wanted)
        return;
    if (!m_device->connected()) {
        endScanIntent();
        updateState();
        return;
    }
    if (m_device->scanning() || m_device->busy()) {
        // The stopped scan has not ended yet (or its setup still runs).
        if (m_device->scanning())
            emit m_device->stopScanning();
        m_restartTimer.start(RestartRetryMs);
        return;
    }
    sendScan(m_band, ScanPlan::defaultParameters(m_band));
    updateState();
}

void ScanSession::sendScan(ScanPlan::Band band, const QVariantMap &parameters)
{
    m_scanBand = band;
    m_parameters = parameters;
    m_pointCount = PointGrid::pointCount(parameters);
    m_sweepRate.clear();
    qCDebug(lcDevice) << "Scanning band" << band << "expecting" << m_pointCount << "points";
    m_device->sendRfSetupAndScan(parameters);
}

void ScanSession::endScanIntent()
{
    m_restartTimer.stop();
    m_wanted = false;
    m_switching = false;
}

void ScanSession::updateState()
{
    State state = Idle;
    if (m_wanted && (m_switching || m_restartTimer.isActive()))
        state = Switching;
    else if (m_wanted)
        state = m_device->scanning() ? Scanning : Starting;
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}
