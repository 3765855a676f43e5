#include "sequenceworker.h"

#include "devicecomms.h"
#include "devicelog.h"
#include "serialcomms.h"

#include <QFinalState>
#include <QState>
#include <QStateMachine>
#include <QTimer>

SequenceWorker::SequenceWorker(SerialComms *comms, DeviceComms *receiver, QObject *parent)
    : QObject(parent), timer(new QTimer(this)), machine(new QStateMachine(this)),
      work(new QState(machine)), timedOut(new QState(machine)), done(new QFinalState(machine)),
      comms(comms), receiver(receiver)
{
    timer->setSingleShot(true);
    timer->setInterval(2000);
    machine->setInitialState(work);

    work->addTransition(timer, &QTimer::timeout, timedOut);
    QObject::connect(work, &QState::entered, timer, QOverload<>::of(&QTimer::start));
    QObject::connect(timedOut, &QState::entered, this, &SequenceWorker::onTimedOut);
    QObject::connect(comms, &SerialComms::error, this, &SequenceWorker::onCommsError);
    QObject::connect(machine, &QStateMachine::finished, this, &SequenceWorker::onMachineFinished);
    if (receiver) {
        QObject::connect(this, &SequenceWorker::finished, receiver,
                         &DeviceComms::onSequenceFinished);
        QObject::connect(this, &SequenceWorker::timeout, receiver, &DeviceComms::onSequenceTimeout);
        QObject::connect(this, &SequenceWorker::error, receiver, &DeviceComms::onSequenceError);
        QObject::connect(comms, &SerialComms::log, receiver, &DeviceComms::log);
        // Only the debug window listens to the receiver's log, and seldom:
        // without it every frame's hex went across threads for nobody. The
        // receiver outlives this worker (it deletes its workers first).
        DeviceComms *relay = receiver;
        comms->setLogRelayListened([relay] { return relay->logListened(); });
    }
}

SequenceWorker::~SequenceWorker()
{
    qCDebug(lcDevice) << "Destroying SequenceWorker";
    timer->stop();
    // The machine goes before the protocol object: its signal transitions
    // still refer to the object's signals.
    delete machine;
    machine = nullptr;
    delete comms;
}

QString SequenceWorker::workerClass() const
{
    return QString::fromLatin1(metaObject()->className());
}

QState *SequenceWorker::addStep(const std::function<void()> &send)
{
    auto *step = new QState(work);
    QObject::connect(step, &QState::entered, this, send);
    return step;
}

void SequenceWorker::startMachine(QState *firstStep)
{
    if (firstStep)
        work->setInitialState(firstStep);
    machine->start();
}

uint SequenceWorker::uintParam(const QVariantMap &parameters, const QString &key) const
{
    return parameters.value(key).toUInt(); // a missing key reads as 0
}

double SequenceWorker::doubleParam(const QVariantMap &parameters, const QString &key) const
{
    return parameters.value(key).toDouble();
}

bool SequenceWorker::beginEnd()
{
    if (m_ended)
        return false;
    m_ended = true;
    timer->stop();
    return true;
}

void SequenceWorker::onMachineFinished()
{
    if (!beginEnd())
        return;
    deleteLater();
    emit finished(workerClass());
}

void SequenceWorker::onTimedOut()
{
    if (!beginEnd())
        return;
    comms->dumpReceived();
    comms->dumpPort();
    comms->closePort();
    emit timeout(workerClass());
    deleteLater();
}

void SequenceWorker::onCommsError(const QString &text)
{
    if (!beginEnd())
        return;
    // No further steps: a port that could not be opened reports before the
    // machine has even started.
    machine->stop();
    comms->closePort();
    emit error(workerClass(), text);
    deleteLater();
}
