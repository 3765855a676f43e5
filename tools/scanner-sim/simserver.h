#pragma once

#include "framelog.h"
#include "simbootloader.h"
#include "simdevice.h"
#include "simoptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QVector>

class PtyLink;
class QTimer;

//! Ties the emulated device to its pseudo-terminal: paces what the device
//! sends as the real serial line would, injects the faults asked for on the
//! command line and keeps the frame log.
class SimServer : public QObject
{
    Q_OBJECT
public:
    SimServer(const SimOptions &options, const RfScene &scene, QObject *parent = nullptr);
    ~SimServer() override;

    //! Opens the terminal, the link and the log. On failure returns false; the
    //! message says why, and `badArgument` tells a user error from a system one.
    bool start(QString *error, bool *badArgument);
    QString slavePath() const;
    //! Bootloader responses the host never acknowledged; the run counts as
    //! failed when there are any.
    int unacknowledged() const { return m_unacknowledged; }
    //! Closes the terminal and removes the link (also done on destruction).
    void shutdown();

signals:
    //! The "cable" has been pulled as --hangup-after asked; the process ends.
    void finished();
    //! --reappear-after: the device is back on a new terminal (same --link).
    void pluggedIn(const QString &slavePath);

private:
    struct Pending
    {
        QByteArray frame;
        SimReply::Kind kind = SimReply::Kind::Data;
        double dueMs = 0;
    };

    double nowMs() const { return m_clock.nsecsElapsed() / 1e6; }
    void enqueue(const SimReply &reply);
    void pump();
    void transmitted(SimReply::Kind kind);
    void onReceived(const QByteArray &bytes);
    void onHungUp();
    void pullCable();
    void plugIn();
    void attachLink();
    void showAsDfuDevice();
    void enterBootloader();
    void leaveBootloader();
    void feedBootloader();
    void restartStaleTimer();

    SimOptions m_options;
    QElapsedTimer m_clock;
    FrameLog m_log;
    SimDevice m_device;
    SimBootloader m_bootloader;
    bool m_inBootloader = false; //!< the radio's ROM bootloader has the line
    PtyLink *m_link = nullptr;
    QTimer *m_sendTimer = nullptr;
    QTimer *m_staleTimer = nullptr;
    QTimer *m_bootloaderInTimer = nullptr;

    // Bytes for the bootloader arrive at once from the terminal; they are
    // handed over when the emulated line would have delivered them.
    struct Incoming
    {
        QByteArray bytes;
        double dueMs = 0;
    };
    QQueue<Incoming> m_bootloaderIn;
    double m_inLineFreeAtMs = 0;

    QQueue<Pending> m_queue;
    QByteArray m_out;                   //!< bytes handed over but not yet taken by the terminal
    QVector<SimReply::Kind> m_outKinds; //!< the frames in m_out
    double m_lineFreeAtMs = 0;          //!< when the emulated line has sent everything queued
    double m_lastSweepEndMs = -1e12;
    int m_unacknowledged = 0;
    int m_framesSent = 0;
    int m_sweepsSent = 0;
    bool m_pulling = false;
    bool m_reappeared = false; //!< the one re-plug of --reappear-after happened
    bool m_toDfu = false;      //!< the port goes because the host processor left for DFU
};
