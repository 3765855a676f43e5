#pragma once

#include "devicetypes.h"
#include "rfsaserialcomms.h"

#include <QAtomicInt>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <functional>

//! The communication thread: runs the default event loop; its destructor
//! quits it and waits for it.
class DevComsThread : public QThread
{
    Q_OBJECT
public:
    using QThread::QThread;
    ~DevComsThread() override;
};

// The one object through which the rest of the program talks to the scanner.
// Front-ends control the device only through this interface: every request is
// a slot that returns at once and starts a command sequence on the
// communication thread; results come back as the rfsa...Done signals, and
// the sequence's end updates the flags `connected`, `busy` and `scanning`.
// Failures are shown in an "Error" message box (through the dialog seam) and
// leave the session disconnected. Lives on the GUI thread. While a scan runs
// the communication thread waits for the GUI thread to take each sweep, so
// the GUI thread must never wait for the communication thread.
class DeviceComms : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool connected READ connected WRITE setConnected NOTIFY connectedChanged)
    Q_PROPERTY(bool busy READ busy WRITE setBusy NOTIFY busyChanged)
    Q_PROPERTY(bool scanning READ scanning NOTIFY scanningChanged)
    Q_PROPERTY(bool updateLocked READ updateLocked WRITE setUpdateLocked NOTIFY updateLockChanged)

public:
    explicit DeviceComms(QObject *parent = nullptr);
    ~DeviceComms() override;

    bool connected() const { return m_connected; }
    bool busy() const { return m_busy; }
    bool scanning() const { return m_scanning; }
    bool qcMode() const { return m_qcMode; }
    //! While a firmware update runs the session refuses Connect, Disconnect,
    //! Scan and every hand-sent command; only the update's own steps (made
    //! through asUpdateStep) go out. The busy flag cannot protect an update:
    //! it is false while scanning and between two sector writes.
    bool updateLocked() const { return m_updateLocked; }
    //! Makes the requests `step` issues count as the update's own, so the
    //! update lock lets them through.
    void asUpdateStep(const std::function<void()> &step);
    QString currentPortName() const { return portName; }
    QThread *workThread() { return &comsThread; }

    //! "-qc": a sequence time-out other than connect's shows no message box.
    void setQcMode(bool qcMode) { m_qcMode = qcMode; }

    //! When set, a lost or silent device is announced only through
    //! deviceLost(): the owner shows the one message (it may also offer to
    //! save what was captured). Otherwise the session shows its error box.
    void setLossAnnouncedByOwner(bool byOwner) { m_ownerAnnouncesLoss = byOwner; }

    //! While set, failed sequences only log: a connect that tries a port
    //! again by itself (after a re-plug) must not greet the user with an
    //! error box each time the device is not ready yet, nor offer a recovery.
    void setQuietFailures(bool quiet) { m_quietFailures = quiet; }
    bool quietFailures() const { return m_quietFailures; }

    //! Deletes every running sequence, sends the device one disconnect
    //! (100 ms watchdog) and waits, processing events, until the
    //! communication thread has ended.
    void shutdown();

    //! Names of the serial ports whose device describes itself exactly as
    //! `description`.
    static QStringList findDevicePorts(const QString &description);
    //! Names of every serial port the system lists, in its order.
    static QStringList availablePortNames();
    //! A debug block per listed port (name, location, description, ...).
    static void logPortInfo();
    //! Whether anything listens to log() now; callable from any thread.
    bool logListened() const;

    //! How many times stopScanning has been emitted. Read by a scan sequence
    //! on the communication thread: a stop emitted before that sequence
    //! existed (right after the setup ended) must still stop it.
    int stopRequests() const { return m_stopRequests.loadAcquire(); }

    //! How a connect time-out counts the scanner's ports; findDevicePorts
    //! unless replaced (tests feed port lists this way).
    using PortFinder = std::function<QStringList(const QString &description)>;
    void setPortFinder(PortFinder finder);

signals:
    void log(const QString &logMsg);
    //! Every failed sequence, with the text of its error box.
    void error(const QString &s);
    //! A sequence failed because the device went away or stopped sending;
    //! emitted before the flags fall.
    void deviceLost(const QString &text);
    void timeout(const QString &s);
    void stopScanning();
    void shouldTryBootload();
    void busyChanged(bool busy);
    void connectedChanged(bool connected);
    void scanningChanged(bool scanning);
    void rfsaConnectDone();
    void rfsaDisconnectDone();
    void rfsaGetDeviceVerDone(const QString &devVer);
    void rfsaGetFwVerDone(const QString &fwVer);
    void rfsaGetRfParamsDone(const RfParams &params);
    void rfsaGetLastErrorDone(int lastError);
    void rfsaSyncDone();
    void rfsaHostBLDone();
    void rfsaSetFBandDone();
    void rfsaSetFStartDone();
    void rfsaSetFStopDone();
    void rfsaSetSpanIndexDone();
    void rfsaSetFStepDone();
    void rfsaSetRBWDone();
    void rfsaSetStepCountDone();
    void rfsaSetSpanDone();
    void rfsaInitParameterDone();
    void rfsaGetSpecNoInitDone(qint64 timeStamp, const RfSpectrumScan &spectrum);
    void rfsaGetCalibrationDone(qint64 timeStamp, const RfSpectrumScan &spectrum);
    void rfsaResetToBootloaderDone();
    void rfsaGetInfoStrDone(uchar cpu, uchar str, const QString &data);
    void rblAutoBaudDone();
    void rblCmdPingDone();
    void rblCmdDownloadDone();
    void rblCmdGetStatusDone(uchar status);
    void rblCmdSendDataDone();
    void rblCmdResetDone();
    void rblCmdSectorEraseDone();
    void rblCmdCrc32Done(quint32 crc);
    void rblCmdGetChipIdDone(quint32 chipId);
    void rblCmdMemoryReadDone(const QByteArray &data);
    void rblCmdMemoryWriteDone();
    void rblCmdBankEraseDone();
    void rblCmdSetCcfgDone();
    void rblWriteSectorDone();
    void rblEraseSectorsDone();
    //! Whether the radio's ROM bootloader answered rblProbe.
    void rblProbeDone(bool inBootloader);
    //! Connect got no answer from the scanner, but the radio's ROM bootloader
    //! answered: an earlier radio update did not finish.
    void radioInBootloader();
    void updateLockChanged(bool locked);

public slots:
    void connectToDevice(bool debug);
    void disconnectFromDevice();
    void sendRfSetupAndScan(const QVariantMap &parameters);
    void setPortName(const QString &portName);
    void setBusy(bool busy);
    void setConnected(bool connected);
    void onSequenceFinished(const QString &workerClass);
    void onSequenceTimeout(const QString &workerClass);
    void onSequenceError(const QString &workerClass, const QString &errStr);

    void rfsaConnect();
    void rfsaDisconnect();
    void rfsaGetDeviceVer();
    void rfsaGetFwVer();
    void rfsaGetRfParams(RfsaSerialComms::FBand band);
    void rfsaGetLastError();
    void rfsaSync();
    void rfsaHostBL();
    void rfsaSetFBand(RfsaSerialComms::SetFBand band);
    void rfsaSetFStart(double frequencyMHz);
    void rfsaSetFStop(double frequencyMHz);
    void rfsaSetSpanIndex(uchar index);
    void rfsaSetFStep(double frequencyKHz);
    void rfsaSetRBW(uchar rbwRegValue);
    void rfsaSetStepCount(ushort stepCount);
    void rfsaSetSpan(ushort FrequencyMHz);
    void rfsaInitParameter();
    void rfsaGetSpecNoInit();
    void rfsaGetCalibration();
    void rfsaResetToBootloader();
    void rfsaGetInfoString(uchar cpu, uchar str);

    void rblAutoBaud();
    void rblCmdPing();
    void rblCmdDownload(quint32 address, quint32 size);
    void rblCmdGetStatus();
    void rblCmdSendData(const QByteArray &data);
    void rblCmdReset();
    void rblCmdSectorErase(quint32 address);
    void rblCmdCrc32(quint32 address, quint32 size, quint32 readRepeat);
    void rblCmdGetChipId();
    void rblCmdMemoryRead(quint32 address, quint32 size);
    void rblCmdMemoryWrite(quint32 address, const QByteArray &data);
    void rblCmdBankErase();
    void rblCmdSetCcfg(quint32 fieldId, quint32 fieldValue);
    void rblWriteSector(quint32 address, const QByteArray &data);
    void rblEraseSectors(quint32 address, quint32 size);
    void rblProbe();

    void setUpdateLocked(bool locked);

protected:
    //! Posts the creation of a worker of class W (constructor form: port
    //! name, receiver, parameter map, parent) to the communication thread and
    //! marks the session busy. The bootloader workers start the same way.
    //! False (and nothing started) when the update lock refuses it.
    template <class W> bool startWorker(const QVariantMap &parameters = QVariantMap())
    {
        if (refusedByUpdateLock(W::staticMetaObject.className()))
            return false;
        const QString port = portName;
        postToWorkThread([this, port, parameters](QObject *dispatcher) {
            new W(port, this, parameters, dispatcher);
        });
        setBusy(true);
        return true;
    }
    bool refusedByUpdateLock(const char *workerClass) const;
    void postToWorkThread(std::function<void(QObject *dispatcher)> job);

private slots:
    //! A disconnect that timed out or failed still leaves the session
    //! disconnected and not busy.
    void onDisconnectGaveUp();

private:
    friend class WrkDisconnectCmd;
    void setScanning(bool scanning);
    void showError(const QString &text);
    //! What a connect that got no answer reports, once the probe has ruled
    //! out a radio waiting in its bootloader.
    void reportSilentConnect();

    QString portName;
    DevComsThread comsThread; //!< the communication thread (not named `thread`: that would hide
                              //!< QObject::thread())
    bool m_connected = false;
    bool m_busy = false;
    bool m_scanning = false;
    bool m_qcMode = false;
    bool m_updateLocked = false;
    bool m_inUpdateStep = false; //!< requests now being made are the update's own
    bool m_ownerAnnouncesLoss = false;
    bool m_quietFailures = false;
    bool m_probeForConnect = false; //!< the running probe follows a silent connect
    PortFinder m_portFinder;
    QAtomicInt m_stopRequests; //!< written on the GUI thread, read on the communication thread
};
