#include "devicecomms.h"

#include "commandworkers.h"
#include "devicelog.h"
#include "dialogseam.h"
#include "networklink.h"
#include "portdiscovery.h"
#include "rblworkers.h"
#include "scannerworkers.h"
#include "serialcomms.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QMetaMethod>
#include <QSerialPortInfo>

#include <utility>

DevComsThread::~DevComsThread()
{
    quit();
    wait();
}

DeviceComms::DeviceComms(QObject *parent) : QObject(parent)
{
    QSerialPort *port = SerialComms::sharedPort();
    // The port must outlive the thread: close it and hand it back to this
    // object's thread in the communication thread's last moments, where
    // pushing it away is still allowed. A later session can then take it.
    QThread *home = QObject::thread();
    QObject::connect(
        &comsThread, &QThread::finished, port,
        [port, home] {
            port->close();
            NetworkLink::release(true); // the socket belongs to this thread

            port->moveToThread(home);
        },
        Qt::DirectConnection);

    QObject::connect(
        this, &DeviceComms::stopScanning, this, [this] { m_stopRequests.ref(); },
        Qt::DirectConnection);

    comsThread.start(QThread::TimeCriticalPriority);
    while (comsThread.isRunning() && !comsThread.eventDispatcher())
        QThread::yieldCurrentThread();

    qCDebug(lcDevice) << "Port thread:" << port->thread();
    qCDebug(lcDevice) << "Work thread:" << &comsThread;
    if (port->thread() != &comsThread) {
        if (!port->thread()) // left behind by a thread that is gone
            port->moveToThread(QThread::currentThread());
        port->moveToThread(&comsThread);
    }
}

DeviceComms::~DeviceComms()
{
    if (!comsThread.isRunning())
        return;
    postToWorkThread([](QObject *dispatcher) {
        for (QObject *child : dispatcher->children()) {
            if (qobject_cast<SequenceWorker *>(child))
                delete child;
        }
        QThread::currentThread()->quit();
    });
    // A scan may be blocked handing a sweep to this object; dropping the
    // pending hand-overs releases it without running slots on an object that
    // is going away.
    while (!comsThread.wait(10))
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

void DeviceComms::postToWorkThread(std::function<void(QObject *dispatcher)> job)
{
    QAbstractEventDispatcher *dispatcher = comsThread.eventDispatcher();
    if (!comsThread.isRunning() || !dispatcher) {
        qCWarning(lcDevice) << "Communication thread has ended; request dropped";
        return;
    }
    QMetaObject::invokeMethod(
        dispatcher, [job, dispatcher] { job(dispatcher); }, Qt::QueuedConnection);
}

void DeviceComms::setPortFinder(PortFinder finder)
{
    m_portFinder = std::move(finder);
}

// ---- session ---------------------------------------------------------------

void DeviceComms::connectToDevice(bool debug)
{
    if (m_connected)
        return;
    startWorker<WrkConnect>({{QStringLiteral("skipFwVersions"), debug}});
}

void DeviceComms::disconnectFromDevice()
{
    if (!m_connected)
        return;
    startWorker<WrkDisconnectCmd>();
}

void DeviceComms::sendRfSetupAndScan(const QVariantMap &parameters)
{
    if (!m_connected)
        return;
    startWorker<WrkSetup>(parameters);
}

void DeviceComms::setPortName(const QString &portName)
{
    this->portName = portName;
}

void DeviceComms::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged(busy);
}

void DeviceComms::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    emit connectedChanged(connected);
}

void DeviceComms::setScanning(bool scanning)
{
    // Announced on every assignment: the main window reacts to each end.
    m_scanning = scanning;
    emit scanningChanged(scanning);
}

void DeviceComms::showError(const QString &text)
{
    if (m_quietFailures) {
        qCInfo(lcDevice).noquote() << "Not shown:" << text;
        return;
    }
    DialogSeam::critical(tr("Error"), text);
}

void DeviceComms::onSequenceFinished(const QString &workerClass)
{
    qCDebug(lcDevice) << "Sequence finished:" << workerClass;
    if (workerClass == QLatin1String("WrkRblProbe")) {
        setBusy(false);
        if (std::exchange(m_probeForConnect, false)) {
            qCInfo(lcDevice) << "The radio is waiting in its ROM bootloader";
            emit radioInBootloader();
        }
        emit rblProbeDone(true);
        return;
    }
    if (workerClass == QLatin1String("WrkConnect")) {
        setConnected(true);
    } else if (workerClass == QLatin1String("WrkDisconnectCmd")) {
        setConnected(false);
    } else if (workerClass == QLatin1String("WrkSetup")) {
        QThread::yieldCurrentThread();
        // An update that took the session while the setup ran gets the port.
        setScanning(startWorker<WrkScan>({{QStringLiteral("StopRequests"), stopRequests()}}));
    } else if (workerClass == QLatin1String("WrkScan")) {
        setScanning(false);
    }
    setBusy(false);
}

void DeviceComms::reportSilentConnect()
{
    const PortFinder find = m_portFinder ? m_portFinder : &DeviceComms::findDevicePorts;
    const QString description = QStringLiteral("Orvanel");
    if (m_quietFailures) {
        showError(tr("Communication error! No response received"));
    } else if (find(description).size() == 1) {
        emit shouldTryBootload();
    } else if (!find(description).isEmpty()) {
        showError(tr("Communication error! No response received"));
    } else {
        showError(tr("Unable to find any Orvanel device!") + QStringLiteral("\n\n") +
                  PortDiscovery::noDeviceAdvice(PortDiscovery::systemPorts(),
                                                PortDiscovery::usbDeviceNames()));
    }
}

void DeviceComms::onSequenceTimeout(const QString &workerClass)
{
    if (workerClass == QLatin1String("WrkRblProbe")) {
        setBusy(false);
        if (std::exchange(m_probeForConnect, false))
            reportSilentConnect();
        emit rblProbeDone(false);
        return;
    }
    if (workerClass == QLatin1String("WrkConnect")) {
        // A radio left in its ROM bootloader by an update that did not
        // finish holds the line; the scanner protocol cannot reach it.
        setBusy(false);
        setScanning(false);
        setConnected(false);
        m_probeForConnect = true;
        if (!startWorker<WrkRblProbe>()) {
            m_probeForConnect = false;
            reportSilentConnect();
        }
        return;
    } else if (workerClass == QLatin1String("WrkHostBL")) {
        // The host processor stops answering once it jumps to its bootloader.
        emit rfsaHostBLDone();
    } else {
        // During an update the update dialog reports (and may recover).
        if (!m_qcMode && !m_updateLocked)
            showError(tr("Communication error! No response received"));
        emit timeout(workerClass);
    }
    setBusy(false);
    setScanning(false);
    setConnected(false);
}

void DeviceComms::onSequenceError(const QString &workerClass, const QString &errStr)
{
    qCDebug(lcDevice) << "Sequence failed:" << workerClass << errStr;
    const bool lost = errStr == SerialComms::deviceLostText() || errStr == WrkScan::stalledText();
    if (workerClass == QLatin1String("WrkRblProbe")) {
        // A NACK is a bootloader's answer too (to the remains of a packet).
        const bool answered = errStr.contains(QLatin1String("(NACK)"));
        setBusy(false);
        if (std::exchange(m_probeForConnect, false)) {
            if (answered)
                emit radioInBootloader();
            else
                reportSilentConnect();
        }
        emit rblProbeDone(answered);
        return;
    }
    if (workerClass == QLatin1String("WrkHostBL") && lost) {
        // The port goes away when the host processor restarts in its USB
        // DFU bootloader: that is the command working, not a lost device.
        qCInfo(lcDevice) << "Serial port gone after the host-bootloader command: DFU mode";
        setBusy(false);
        setConnected(false);
        emit rfsaHostBLDone();
        return;
    }
    emit error(errStr);
    if (lost)
        emit deviceLost(errStr);
    if (!lost || !m_ownerAnnouncesLoss)
        showError(errStr);
    setBusy(false);
    setScanning(false);
    setConnected(false);
}

void DeviceComms::onDisconnectGaveUp()
{
    setConnected(false);
    setBusy(false);
}

// ---- single commands -------------------------------------------------------

void DeviceComms::rfsaConnect()
{
    startWorker<WrkConnectCmd>();
}

void DeviceComms::rfsaDisconnect()
{
    startWorker<WrkDisconnectCmd>();
}

void DeviceComms::rfsaGetDeviceVer()
{
    startWorker<WrkGetDeviceVer>();
}

void DeviceComms::rfsaGetFwVer()
{
    startWorker<WrkGetFwVer>();
}

void DeviceComms::rfsaGetRfParams(RfsaSerialComms::FBand band)
{
    startWorker<WrkGetRfParams>({{QStringLiteral("FBand"), uint(band)}});
}

void DeviceComms::rfsaGetLastError()
{
    startWorker<WrkGetLastError>();
}

void DeviceComms::rfsaSync()
{
    startWorker<WrkSync>();
}

void DeviceComms::rfsaHostBL()
{
    startWorker<WrkHostBL>();
}

void DeviceComms::rfsaSetFBand(RfsaSerialComms::SetFBand band)
{
    startWorker<WrkSetFBand>({{QStringLiteral("FBand"), uint(band)}});
}

void DeviceComms::rfsaSetFStart(double frequencyMHz)
{
    startWorker<WrkSetFStart>({{QStringLiteral("FStart"), frequencyMHz}});
}

void DeviceComms::rfsaSetFStop(double frequencyMHz)
{
    startWorker<WrkSetFStop>({{QStringLiteral("FStop"), frequencyMHz}});
}

void DeviceComms::rfsaSetSpanIndex(uchar index)
{
    startWorker<WrkSetSpanIndex>({{QStringLiteral("SpanIndex"), uint(index)}});
}

void DeviceComms::rfsaSetFStep(double frequencyKHz)
{
    startWorker<WrkSetFStep>({{QStringLiteral("FStep"), frequencyKHz}});
}

void DeviceComms::rfsaSetRBW(uchar rbwRegValue)
{
    startWorker<WrkSetRBW>({{QStringLiteral("RBW"), uint(rbwRegValue)}});
}

void DeviceComms::rfsaSetStepCount(ushort stepCount)
{
    startWorker<WrkSetStepCount>({{QStringLiteral("StepCount"), uint(stepCount)}});
}

void DeviceComms::rfsaSetSpan(ushort FrequencyMHz)
{
    startWorker<WrkSetSpan>({{QStringLiteral("Span"), uint(FrequencyMHz)}});
}

void DeviceComms::rfsaInitParameter()
{
    startWorker<WrkInitParameter>();
}

void DeviceComms::rfsaGetSpecNoInit()
{
    startWorker<WrkGetSpecNoInit>();
}

void DeviceComms::rfsaGetCalibration()
{
    startWorker<WrkGetCalibration>();
}

void DeviceComms::rfsaResetToBootloader()
{
    startWorker<WrkResetToBootloader>();
}

void DeviceComms::rfsaGetInfoString(uchar cpu, uchar str)
{
    startWorker<WrkGetInfoStr>(
        {{QStringLiteral("Cpu"), uint(cpu)}, {QStringLiteral("String"), uint(str)}});
}

// ---- bootloader ------------------------------------------------------------

void DeviceComms::rblAutoBaud()
{
    startWorker<WrkRblAutoBaud>();
}

void DeviceComms::rblCmdPing()
{
    startWorker<WrkRblCmdPing>();
}

void DeviceComms::rblCmdDownload(quint32 address, quint32 size)
{
    startWorker<WrkRblCmdDownload>(
        {{QStringLiteral("address"), address}, {QStringLiteral("size"), size}});
}

void DeviceComms::rblCmdGetStatus()
{
    startWorker<WrkRblCmdGetStatus>();
}

void DeviceComms::rblCmdSendData(const QByteArray &data)
{
    startWorker<WrkRblCmdSendData>({{QStringLiteral("data"), data}});
}

void DeviceComms::rblCmdReset()
{
    startWorker<WrkRblCmdReset>();
}

void DeviceComms::rblCmdSectorErase(quint32 address)
{
    startWorker<WrkRblCmdSectorErase>({{QStringLiteral("address"), address}});
}

void DeviceComms::rblCmdCrc32(quint32 address, quint32 size, quint32 readRepeat)
{
    startWorker<WrkRblCmdCrc32>({{QStringLiteral("address"), address},
                                 {QStringLiteral("size"), size},
                                 {QStringLiteral("readRepeat"), readRepeat}});
}

void DeviceComms::rblCmdGetChipId()
{
    startWorker<WrkRblCmdGetChipId>();
}

void DeviceComms::rblCmdMemoryRead(quint32 address, quint32 size)
{
    startWorker<WrkRblCmdMemoryRead>(
        {{QStringLiteral("address"), address}, {QStringLiteral("size"), size}});
}

void DeviceComms::rblCmdMemoryWrite(quint32 address, const QByteArray &data)
{
    startWorker<WrkRblCmdMemoryWrite>(
        {{QStringLiteral("address"), address}, {QStringLiteral("data"), data}});
}

void DeviceComms::rblCmdBankErase()
{
    startWorker<WrkRblCmdBankErase>();
}

void DeviceComms::rblCmdSetCcfg(quint32 fieldId, quint32 fieldValue)
{
    startWorker<WrkRblCmdSetCcfg>(
        {{QStringLiteral("fieldId"), fieldId}, {QStringLiteral("fieldValue"), fieldValue}});
}

void DeviceComms::rblWriteSector(quint32 address, const QByteArray &data)
{
    startWorker<WrkRblWriteSector>(
        {{QStringLiteral("address"), address}, {QStringLiteral("data"), data}});
}

void DeviceComms::rblEraseSectors(quint32 address, quint32 size)
{
    startWorker<WrkRblEraseSectors>(
        {{QStringLiteral("address"), address}, {QStringLiteral("size"), size}});
}

void DeviceComms::rblProbe()
{
    startWorker<WrkRblProbe>();
}

// ---- update lock -------------------------------------------------------------

void DeviceComms::setUpdateLocked(bool locked)
{
    if (locked == m_updateLocked)
        return;
    m_updateLocked = locked;
    emit updateLockChanged(locked);
}

void DeviceComms::asUpdateStep(const std::function<void()> &step)
{
    const bool outer = m_inUpdateStep;
    m_inUpdateStep = true;
    step();
    m_inUpdateStep = outer;
}

bool DeviceComms::refusedByUpdateLock(const char *workerClass) const
{
    // The scan that follows a finished setup is the session's own doing, but
    // an update that took the port meanwhile must not find a scan running.
    if (!m_updateLocked || m_inUpdateStep)
        return false;
    qCWarning(lcDevice) << "Firmware update running; refused:" << workerClass;
    return true;
}

// ---- shutdown and discovery ------------------------------------------------

void DeviceComms::shutdown()
{
    if (!comsThread.isRunning())
        return;
    const QString port = portName;
    QThread *work = &comsThread;
    postToWorkThread([this, port, work](QObject *dispatcher) {
        qCDebug(lcDevice) << "Workers at shutdown:" << dispatcher->children();
        for (QObject *child : dispatcher->children()) {
            if (qobject_cast<SequenceWorker *>(child))
                delete child;
        }
        auto *bye = new WrkDisconnectCmd(port, this, QVariantMap(), nullptr);
        QObject::connect(bye, &SequenceWorker::finished, work, &QThread::quit);
        QObject::connect(bye, &SequenceWorker::error, work, &QThread::quit);
        QObject::connect(bye, &SequenceWorker::timeout, work, &QThread::quit);
    });
    // Events keep flowing: a scan may be waiting for this thread to take a
    // sweep before it can see the request above.
    while (comsThread.isRunning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        comsThread.wait(2);
    }
}

QStringList DeviceComms::findDevicePorts(const QString &description)
{
    return PortDiscovery::matchingPorts(PortDiscovery::systemPorts(), description);
}

QStringList DeviceComms::availablePortNames()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return names;
}

bool DeviceComms::logListened() const
{
    static const QMetaMethod logSignal = QMetaMethod::fromSignal(&DeviceComms::log);
    return isSignalConnected(logSignal);
}

void DeviceComms::logPortInfo()
{
    const auto hex = [](bool has, quint16 id) { return has ? QString::number(id, 16) : QString(); };
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        qCInfo(lcDevice).noquote() << "Port:" << info.portName();
        qCInfo(lcDevice).noquote() << "Location:" << info.systemLocation();
        qCInfo(lcDevice).noquote() << "Description:" << info.description();
        qCInfo(lcDevice).noquote() << "Manufacturer:" << info.manufacturer();
        qCInfo(lcDevice).noquote() << "Serial number:" << info.serialNumber();
        qCInfo(lcDevice).noquote()
            << "Vendor Identifier:" << hex(info.hasVendorIdentifier(), info.vendorIdentifier());
        qCInfo(lcDevice).noquote()
            << "Product Identifier:" << hex(info.hasProductIdentifier(), info.productIdentifier());
    }
}
