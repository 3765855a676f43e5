#pragma once

#include "portdiscovery.h"
#include "scanplan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class DeviceComms;

//! A scanner that goes away while scanning (a pulled or wiggled cable) is
//! waited for: when the same device is back, the watch asks for a connection,
//! and the window resumes the band it was scanning into the same page, with
//! the time it was away shown as a gap. A survey does not end with a loose
//! plug.
class DeviceReturnWatch : public QObject
{
    Q_OBJECT
public:
    explicit DeviceReturnWatch(DeviceComms *device, QObject *parent = nullptr);

    //! The port of the connection just made is the device to wait for.
    void rememberDevice();
    //! The device was lost while scanning `band`: watch the ports for it.
    void waitFor(ScanPlan::Band band);
    void stop();
    bool waiting() const { return m_timer.isActive(); }
    //! Connected again: the band to resume (the watch stops), or -1 when the
    //! connection is not a return.
    int takeResumeBand();
    //! For a while after a resume the status says "Reconnected".
    bool recentlyResumed() const;

signals:
    //! The device is back on `port`; quiet failures are set, since a device
    //! that has just appeared may not take a connection yet.
    void connectWanted(const QString &port);

private:
    void poll();

    DeviceComms *m_device;
    PortDiscovery::PortRecord m_identity; //!< the port of the last connection
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_resumeBand = -1;
    qint64 m_lastAttemptMs = 0;
    qint64 m_resumedAtMs = -1;
};
