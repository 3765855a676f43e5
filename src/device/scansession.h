#pragma once

#include "rfspectrumscan.h"
#include "scanplan.h"
#include "sweeprate.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

class DeviceComms;

//! What is scanned and how, for every front end (the window, the headless
//! capture): the band, the setup sent and the points its sweeps must have,
//! the delayed restart after a band switch, the stops said again until the
//! scan listens, the disconnect that waits for the scan to end, the sweep
//! rate and the amplitude offset. Front ends only ask through this class and
//! take sweeps from sweep(), which carries only sweeps of the setup sent.
//!
//! The device session runs one sequence at a time on one port, so nothing
//! here starts a sequence while it is busy, and the band of a sweep is the
//! band of the setup really sent, never a guess from what is shown.
class ScanSession : public QObject
{
    Q_OBJECT
public:
    enum State
    {
        Idle,      //!< no scan wanted
        Starting,  //!< a scan is wanted; its setup runs
        Scanning,  //!< sweeps of the wanted band come in
        Switching, //!< a band switch waits for its restart or its first sweep
    };
    Q_ENUM(State)

    //! The pause after a band switch before the new band is programmed: the
    //! user may flick through the tabs, and only the last one counts.
    static constexpr int RestartDelayMs = 750;
    //! How soon a restart looks again while the stopped scan is still ending.
    static constexpr int RestartRetryMs = 50;

    //! Listens to `device` (not owned). Make it before any other listener
    //! of the device's flags, so they see the scan's state already updated.
    explicit ScanSession(DeviceComms *device, QObject *parent = nullptr);

    DeviceComms *device() const { return m_device; }

    //! "RBW" (register, used when >= 32) and "FStep" (kHz, used when > 0)
    //! for scans started by start(); a restart after a switch uses the
    //! band's own set.
    void setRbwOverride(int rbwOverride) { m_rbwOverride = rbwOverride; }
    void setFStepOverride(double fStepOverride) { m_fStepOverride = fStepOverride; }
    int rbwOverride() const { return m_rbwOverride; }
    double fStepOverride() const { return m_fStepOverride; }
    //! Added to every 2.4 GHz level (the 900 MHz band is never offset).
    void setAmplitudeOffset(int offset) { m_amplitudeOffset = offset; }
    int amplitudeOffset() const { return m_amplitudeOffset; }

    State state() const { return m_state; }
    //! True from start() until stop(), across the pause of a band switch.
    bool scanWanted() const { return m_wanted; }
    bool restartPending() const { return m_restartTimer.isActive(); }
    //! From a band switch during a scan until the new band's first sweep.
    bool switching() const { return m_switching; }
    //! The band a scan programs: the one last chosen.
    ScanPlan::Band band() const { return m_band; }
    //! Band of the last setup sent, -1 before any.
    int scanBand() const { return m_scanBand; }
    //! That setup, and the points a sweep of it has (0 when it has none).
    QVariantMap parameters() const { return m_parameters; }
    int pointCount() const { return m_pointCount; }
    //! Sweeps per second over the last two seconds of the running setup.
    double sweepsPerSecond();
    //! Connected, idle and nothing wanted: start() may program a scan.
    bool canStart() const;

public slots:
    //! Programs `band` with the overrides and wants its scan until stop().
    void start(ScanPlan::Band band);
    //! Ends the scan wanted (and a pending restart).
    void stop();
    //! The user chose `band`. During a scan the running one stops and the
    //! new band is programmed after RestartDelayMs (a newer choice replaces
    //! the pending one). True when a restart was queued.
    bool chooseBand(ScanPlan::Band band);
    //! A sweep from the device: checked, offset, and given on by sweep().
    void takeSweep(qint64 timeStamp, RfSpectrumScan levels);
    //! Disconnects once the scan (and any sequence) has ended; stop()
    //! the scan first.
    void disconnectAfterScan();
    //! The disconnect asked for, once nothing runs any more.
    void disconnectOnceScanEnded();

signals:
    //! A sweep of the setup sent, with its band and time stamp.
    void sweep(qint64 timeStamp, ScanPlan::Band band, const RfSpectrumScan &levels);
    void stateChanged(ScanSession::State state);
    //! A connection is made and its sequence has ended: a scan may start.
    void ready();

private:
    void onConnectedChanged(bool connected);
    void onBusyChanged(bool busy);
    void onScanningChanged(bool scanning);
    void onRestartTimeout();
    void sendScan(ScanPlan::Band band, const QVariantMap &parameters);
    void endScanIntent();
    void updateState();

    DeviceComms *m_device;
    State m_state = Idle;
    bool m_wanted = false;
    bool m_switching = false;
    bool m_disconnectAfterScan = false;
    ScanPlan::Band m_band = ScanPlan::Band2400;
    int m_scanBand = -1;
    int m_pointCount = 0;
    QVariantMap m_parameters;
    int m_rbwOverride = -1;
    double m_fStepOverride = -1.0;
    int m_amplitudeOffset = 0;
    QTimer m_restartTimer;
    QElapsedTimer m_clock;
    SweepRate m_sweepRate;
};
