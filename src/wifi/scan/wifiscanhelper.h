#pragma once

#include "wifiapinfo.h"

#include <QObject>
#include <QTimer>

class WifiScanBackend;

// Asks the computer's wireless adapter which 2.4 GHz access points it hears.
// The owner decides when scans start; each finished scan arrives as scanDone
// with the networks between the first and the last channel-table entry.
//
// With ORVANEL_WIFI_FILE naming a survey file the scans come from that file;
// otherwise from nl80211; with neither the helper stays unavailable.
//
// A scan that ends without a result (aborted, refused, or silent for longer
// than the give-up time) is reported as scanFailed, never as an empty
// scanDone, which would erase the networks on screen.
class WifiScanHelper : public QObject
{
    Q_OBJECT
public:
    //! Waiting for a requested scan ends after this long.
    static constexpr int DefaultScanTimeoutMs = 10000;

    explicit WifiScanHelper(QObject *parent = nullptr);
    //! Uses `backend` (taken over); for tests and special sources.
    explicit WifiScanHelper(WifiScanBackend *backend, QObject *parent = nullptr);
    ~WifiScanHelper() override;

    bool wifiAvailable() const { return m_available; }
    //! A requested scan has neither finished nor failed yet.
    bool scanPending() const { return m_pending; }
    void setScanTimeoutMs(int ms) { m_timeout.setInterval(ms); }
    //! The source of the scans: its status, adapters and scan mode.
    WifiScanBackend *backend() const { return m_backend; }

    //! The survey keeps frequencies from 2400 to 2500 MHz, both included.
    static bool inSurveyBand(double frequencyMHz);

public slots:
    void setWifiAvailable(bool avail);
    void startScan();
    void onScanFinished();

signals:
    void wifiAvailableChanged(bool avail);
    void scanDone(WifiScan results);
    void scanStarted();
    //! The requested scan brought no result; ask again later.
    void scanFailed();

private:
    void adopt(WifiScanBackend *backend);
    void onResults(const WifiScan &results);
    void onFailure(const QString &reason);

    WifiScanBackend *m_backend = nullptr; //!< child of this object
    bool m_available = false;
    bool m_pending = false;
    QTimer m_timeout;
    WifiScan m_results; //!< the scan being reported
};
