#pragma once

#include "devicetypes.h"
#include "sequenceworker.h"

class QTimer;

// The scanner's multi-step sequences. Each makes its own protocol object on
// the port named, builds its states and starts at once; the caller keeps no
// handle, the worker deletes itself when it ends.

//! Reads both firmware versions (unless "skipFwVersions"), both bands' RF
//! parameters (900 MHz first), then connects.
class WrkConnect : public SequenceWorker
{
    Q_OBJECT
public:
    WrkConnect(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
               QObject *parent = nullptr);
    ~WrkConnect() override;
};

//! Programs the eight sweep parameters, all under one 2000 ms watchdog.
class WrkSetup : public SequenceWorker
{
    Q_OBJECT
public:
    WrkSetup(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
             QObject *parent = nullptr);
    ~WrkSetup() override;
};

//! Requests sweeps back to back until the receiver's stopScanning. The
//! watchdog restarts with every request and stops once the device has
//! acknowledged it: sweep data may take as long as it takes. Each sweep
//! reaches the receiver before the next one is requested (the communication
//! thread waits for the GUI thread to take it).
//!
//! A stop never leaves a sweep in flight: a stop that was already on its way
//! while a sweep was being handed over prevents the next request, and a stop
//! that comes while the device is still sending waits for that sweep's end
//! (at most DrainMs, and without delivering it). Otherwise the rest of the
//! sweep would arrive after the next sequence's first command and be taken
//! for its acknowledgement. A stop emitted before the worker existed (the
//! session passes its stop count as "StopRequests") ends it before its
//! first request.
//!
//! A scanner that stops sending is not waited for without end: once a
//! request is acknowledged, SilenceMs without a single byte fails the scan
//! with stalledText(), and the session treats it like a lost device.
class WrkScan : public SequenceWorker
{
    Q_OBJECT
public:
    static constexpr int DrainMs = 500;
    static constexpr int SilenceMs = 5000;
    static QString stalledText() { return tr("The scanner stopped sending data."); }

    WrkScan(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
            QObject *parent = nullptr);
    ~WrkScan() override;

signals:
    void sweep(qint64 timeStamp, const RfSpectrumScan &spectrum);
    void nextSweep();
    void stopNow();

private:
    void onSweepDone(qint64 timeStamp, const RfSpectrumScan &spectrum);
    void onStopScanning();

    bool m_inFlight = false; //!< a request went out and its sweep has not closed yet
    bool m_stopping = false;
    QTimer *m_drain;
    QTimer *m_silence; //!< runs while an acknowledged sweep is outstanding
};

//! Sends disconnect with a 100 ms watchdog. It never reports a failure:
//! acknowledged, timed out or failed, the receiver hears rfsaDisconnectDone
//! and the session counts as disconnected.
class WrkDisconnectCmd : public SequenceWorker
{
    Q_OBJECT
public:
    WrkDisconnectCmd(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                     QObject *parent = nullptr);
};
