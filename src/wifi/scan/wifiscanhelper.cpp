#include "wifiscanhelper.h"

#include "nl80211backend.h"
#include "wififilebackend.h"
#include "wifilog.h"

Q_LOGGING_CATEGORY(lcWifi, "orvanel.wifi")

static WifiScanBackend *platformBackend()
{
    const QString file = qEnvironmentVariable("ORVANEL_WIFI_FILE");
    if (!file.isEmpty())
        return new WifiFileBackend(file);
    return new Nl80211Backend;
}

WifiScanHelper::WifiScanHelper(QObject *parent) : WifiScanHelper(platformBackend(), parent) {}

WifiScanHelper::WifiScanHelper(WifiScanBackend *backend, QObject *parent) : QObject(parent)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(DefaultScanTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this,
            [this] { onFailure(QStringLiteral("no result in time")); });
    adopt(backend);
}

WifiScanHelper::~WifiScanHelper() = default;

void WifiScanHelper::adopt(WifiScanBackend *backend)
{
    m_backend = backend;
    m_backend->setParent(this);
    // Set directly: the constructor sends no signal.
    m_available = m_backend->isAvailable();
    connect(m_backend, &WifiScanBackend::resultsReady, this, &WifiScanHelper::onResults);
    connect(m_backend, &WifiScanBackend::scanFailed, this, &WifiScanHelper::onFailure);
    connect(m_backend, &WifiScanBackend::becameAvailable, this, [this] { setWifiAvailable(true); });
}

bool WifiScanHelper::inSurveyBand(double frequencyMHz)
{
    return frequencyMHz >= wifiChannelFrequencies.front() &&
           frequencyMHz <= wifiChannelFrequencies.back();
}

void WifiScanHelper::setWifiAvailable(bool avail)
{
    if (avail == m_available)
        return;
    m_available = avail;
    emit wifiAvailableChanged(avail);
}

void WifiScanHelper::startScan()
{
    if (!m_available || m_pending)
        return; // one scan outstanding at a time
    m_pending = true;
    m_timeout.start();
    emit scanStarted();
    m_backend->requestScan();
}

void WifiScanHelper::onResults(const WifiScan &results)
{
    m_pending = false;
    m_timeout.stop();
    m_results.clear();
    for (const WifiApInfo &ap : results)
        if (inSurveyBand(ap.frequency))
            m_results.append(ap);
    onScanFinished();
}

void WifiScanHelper::onFailure(const QString &reason)
{
    if (!m_pending)
        return; // nobody waits for it
    m_pending = false;
    m_timeout.stop();
    qCInfo(lcWifi).noquote() << "Wi-Fi scan failed:" << reason;
    emit scanFailed();
}

void WifiScanHelper::onScanFinished()
{
    qCDebug(lcWifi) << "Scan Finished!";
    for (const WifiApInfo &ap : qAsConst(m_results))
        qCDebug(lcWifi).noquote() << ap.bssid << ap.ssid << ap.rssi << ap.frequency << ap.width;
    emit scanDone(m_results);
}
