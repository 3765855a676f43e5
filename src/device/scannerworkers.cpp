#include "scannerworkers.h"

#include "devicecomms.h"
#include "devicelog.h"
#include "rfsaserialcomms.h"
#include "serialcomms.h"

#include <QFinalState>
#include <QState>
#include <QStateMachine>
#include <QThread>
#include <QTimer>

namespace {
RfsaSerialComms *rfsa(SerialComms *comms)
{
    return static_cast<RfsaSerialComms *>(comms);
}
} // namespace

WrkConnect::WrkConnect(const QString &portName, DeviceComms *receiver,
                       const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    RfsaSerialComms *c = rfsa(comms);
    QState *hostVersion = addStep([c] { c->getInfoStr(1, 0); });
    QState *radioVersion = addStep([c] { c->getInfoStr(0, 0); });
    QState *params900 = addStep([c] { c->getRfParams(RfsaSerialComms::FBand_900MHz); });
    QState *params2400 = addStep([c] { c->getRfParams(RfsaSerialComms::FBand_2400MHz); });
    QState *connectStep = addStep([c] { c->connect(); });
    hostVersion->addTransition(c, &RfsaSerialComms::getInfoStrDone, radioVersion);
    radioVersion->addTransition(c, &RfsaSerialComms::getInfoStrDone, params900);
    params900->addTransition(c, &RfsaSerialComms::getRfParamsDone, params2400);
    params2400->addTransition(c, &RfsaSerialComms::getRfParamsDone, connectStep);
    connectStep->addTransition(c, &RfsaSerialComms::connectDone, done);
    if (receiver) {
        QObject::connect(c, &RfsaSerialComms::getInfoStrDone, receiver,
                         &DeviceComms::rfsaGetInfoStrDone);
        QObject::connect(c, &RfsaSerialComms::getDeviceVerDone, receiver,
                         &DeviceComms::rfsaGetDeviceVerDone);
        QObject::connect(c, &RfsaSerialComms::getRfParamsDone, receiver,
                         &DeviceComms::rfsaGetRfParamsDone);
        QObject::connect(c, &RfsaSerialComms::connectDone, receiver, &DeviceComms::rfsaConnectDone);
    }
    const bool skipVersions = parameters.value(QStringLiteral("skipFwVersions")).toBool();
    startMachine(skipVersions ? params900 : hostVersion);
}

WrkConnect::~WrkConnect()
{
    qCDebug(lcDevice) << "Destroying ConnectWorker";
}

WrkSetup::WrkSetup(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                   QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    RfsaSerialComms *c = rfsa(comms);
    const QVariantMap p = parameters;
    // Values are read as each step is entered, narrowed to the command's
    // argument type; a missing key goes out as 0.
    QState *fBand = addStep([this, c, p] {
        c->setFBand(static_cast<RfsaSerialComms::SetFBand>(uintParam(p, "FBand") & 0xFF));
    });
    QState *fStart = addStep([this, c, p] { c->setFStart(doubleParam(p, "FStart")); });
    QState *fStop = addStep([this, c, p] { c->setFStop(doubleParam(p, "FStop")); });
    QState *rbw = addStep([this, c, p] { c->setRBW(static_cast<uchar>(uintParam(p, "RBW"))); });
    QState *fStep = addStep([this, c, p] { c->setFStep(doubleParam(p, "FStep")); });
    QState *stepCount =
        addStep([this, c, p] { c->setStepCount(static_cast<ushort>(uintParam(p, "StepCount"))); });
    QState *span = addStep([this, c, p] { c->setSpan(static_cast<ushort>(uintParam(p, "Span"))); });
    QState *spanIndex =
        addStep([this, c, p] { c->setSpanIndex(static_cast<uchar>(uintParam(p, "SpanIndex"))); });
    fBand->addTransition(c, &RfsaSerialComms::setFBandDone, fStart);
    fStart->addTransition(c, &RfsaSerialComms::setFStartDone, fStop);
    fStop->addTransition(c, &RfsaSerialComms::setFStopDone, rbw);
    rbw->addTransition(c, &RfsaSerialComms::setRBWDone, fStep);
    fStep->addTransition(c, &RfsaSerialComms::setFStepDone, stepCount);
    stepCount->addTransition(c, &RfsaSerialComms::setStepCountDone, span);
    span->addTransition(c, &RfsaSerialComms::setSpanDone, spanIndex);
    spanIndex->addTransition(c, &RfsaSerialComms::setSpanIndexDone, done);
    if (receiver) {
        QObject::connect(c, &RfsaSerialComms::setFBandDone, receiver,
                         &DeviceComms::rfsaSetFBandDone);
        QObject::connect(c, &RfsaSerialComms::setFStartDone, receiver,
                         &DeviceComms::rfsaSetFStartDone);
        QObject::connect(c, &RfsaSerialComms::setFStopDone, receiver,
                         &DeviceComms::rfsaSetFStopDone);
        QObject::connect(c, &RfsaSerialComms::setRBWDone, receiver, &DeviceComms::rfsaSetRBWDone);
        QObject::connect(c, &RfsaSerialComms::setFStepDone, receiver,
                         &DeviceComms::rfsaSetFStepDone);
        QObject::connect(c, &RfsaSerialComms::setStepCountDone, receiver,
                         &DeviceComms::rfsaSetStepCountDone);
        QObject::connect(c, &RfsaSerialComms::setSpanDone, receiver, &DeviceComms::rfsaSetSpanDone);
        QObject::connect(c, &RfsaSerialComms::setSpanIndexDone, receiver,
                         &DeviceComms::rfsaSetSpanIndexDone);
    }
    startMachine(fBand);
}

WrkSetup::~WrkSetup()
{
    qCDebug(lcDevice) << "Destroying SetupWorker";
}

WrkScan::WrkScan(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                 QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent), m_drain(new QTimer(this)),
      m_silence(new QTimer(this))
{
    RfsaSerialComms *c = rfsa(comms);
    m_drain->setSingleShot(true);
    m_drain->setInterval(DrainMs);
    QObject::connect(m_drain, &QTimer::timeout, this, &WrkScan::stopNow);
    m_silence->setSingleShot(true);
    m_silence->setInterval(SilenceMs);
    QObject::connect(m_silence, &QTimer::timeout, this, [this] {
        qCWarning(lcDevice) << "No data for" << SilenceMs << "ms after an acknowledged request";
        fail(stalledText());
    });
    QObject::connect(c, &RfsaSerialComms::getSpecNoInitAck, m_silence,
                     QOverload<>::of(&QTimer::start));
    // Any byte counts as life: a slow sweep may take long, but it keeps coming.
    QObject::connect(SerialComms::sharedPort(), &QIODevice::readyRead, m_silence, [this] {
        if (m_silence->isActive())
            m_silence->start();
    });
    // Made after the base's watchdog start, so each request goes out with a
    // fresh watchdog behind it.
    QObject::connect(work, &QState::entered, this, [this, c] {
        m_inFlight = true;
        c->getSpecNoInit();
    });
    QObject::connect(c, &RfsaSerialComms::getSpecNoInitAck, timer, &QTimer::stop);
    QObject::connect(c, &RfsaSerialComms::getSpecNoInitDone, this, &WrkScan::onSweepDone);
    if (receiver) {
        // Across threads the hand-over waits for the GUI thread; on one
        // thread (tests) a blocking connection would deadlock.
        const Qt::ConnectionType handOver = receiver->thread() == QThread::currentThread()
                                                ? Qt::DirectConnection
                                                : Qt::BlockingQueuedConnection;
        QObject::connect(this, &WrkScan::sweep, receiver, &DeviceComms::rfsaGetSpecNoInitDone,
                         handOver);
        QObject::connect(receiver, &DeviceComms::stopScanning, this, &WrkScan::onStopScanning);
    }
    work->addTransition(this, &WrkScan::nextSweep, work);
    work->addTransition(this, &WrkScan::stopNow, done);
    // Checked after connecting to stopScanning: a stop either counted before
    // the check or arrives through the connection.
    if (receiver && parameters.contains(QStringLiteral("StopRequests")) &&
        receiver->stopRequests() != parameters.value(QStringLiteral("StopRequests")).toInt()) {
        qCDebug(lcDevice) << "Scan stopped before it started";
        m_stopping = true;
        machine->setInitialState(done);
    }
    startMachine();
}

void WrkScan::onSweepDone(qint64 timeStamp, const RfSpectrumScan &spectrum)
{
    m_inFlight = false;
    m_silence->stop();
    if (m_stopping) {
        emit stopNow();
        return;
    }
    emit sweep(timeStamp, spectrum);
    // Queued, not at once: a stop posted while the GUI thread was taking
    // this sweep is then seen before the next request goes out.
    QMetaObject::invokeMethod(this, &WrkScan::nextSweep, Qt::QueuedConnection);
}

void WrkScan::onStopScanning()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_silence->stop(); // the drain bounds the wait from here
    if (!m_inFlight) {
        emit stopNow();
        return;
    }
    timer->stop();
    m_drain->start();
}

WrkScan::~WrkScan()
{
    qCDebug(lcDevice) << "Destroying ScanWorker";
}

WrkDisconnectCmd::WrkDisconnectCmd(const QString &portName, DeviceComms *receiver,
                                   const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RfsaSerialComms(portName), receiver, parent)
{
    Q_UNUSED(parameters)
    RfsaSerialComms *c = rfsa(comms);
    timer->setInterval(100);
    if (receiver) {
        QObject::disconnect(this, &SequenceWorker::error, receiver, &DeviceComms::onSequenceError);
        QObject::disconnect(this, &SequenceWorker::timeout, receiver,
                            &DeviceComms::onSequenceTimeout);
        QObject::connect(this, &SequenceWorker::error, receiver, &DeviceComms::rfsaDisconnectDone);
        QObject::connect(this, &SequenceWorker::timeout, receiver,
                         &DeviceComms::rfsaDisconnectDone);
        QObject::connect(c, &RfsaSerialComms::disconnectDone, receiver,
                         &DeviceComms::rfsaDisconnectDone);
        // Whatever ended the disconnect, the session must not stay
        // "connected" and "busy" with the port closed underneath it.
        QObject::connect(this, &SequenceWorker::error, receiver, &DeviceComms::onDisconnectGaveUp);
        QObject::connect(this, &SequenceWorker::timeout, receiver,
                         &DeviceComms::onDisconnectGaveUp);
    }
    QState *step = addStep([c] { c->disconnect(); });
    step->addTransition(c, &RfsaSerialComms::disconnectDone, done);
    startMachine(step);
}
