#include "wififilebackend.h"

#include "wififileparser.h"
#include "wifilog.h"

#include <QFile>

static WifiFileContents readWifiFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        WifiFileContents c;
        c.error = file.errorString();
        return c;
    }
    // One byte more than allowed, so an oversized file is recognised unread.
    return parseWifiFile(file.read(MaxWifiFileBytes + 1));
}

WifiFileBackend::WifiFileBackend(const QString &path, QObject *parent)
    : WifiScanBackend(parent), m_path(path)
{
    m_scanTimer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; a stand-in scan lasts at least
    // its stated delay, as a radio's scan would.
    m_scanTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_scanTimer, &QTimer::timeout, this, &WifiFileBackend::finishScan);
    const WifiFileContents c = readWifiFile(m_path);
    if (c.ok)
        m_delayMs = c.scanDelayMs;
    qCInfo(lcWifi) << "Wi-Fi scans come from" << m_path;
}

void WifiFileBackend::requestScan()
{
    if (!m_scanTimer.isActive())
        m_scanTimer.start(m_delayMs);
}

void WifiFileBackend::finishScan()
{
    const WifiFileContents c = readWifiFile(m_path);
    if (!c.ok) {
        qCWarning(lcWifi).noquote() << "Wi-Fi survey file" << m_path << "unusable:" << c.error;
        emit scanFailed(c.error);
        return;
    }
    m_delayMs = c.scanDelayMs;
    emit resultsReady(c.networks);
}
