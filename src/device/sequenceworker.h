#pragma once

#include <QObject>
#include <QVariantMap>

#include <functional>

class DeviceComms;
class QFinalState;
class QState;
class QStateMachine;
class QTimer;
class SerialComms;

// A command sequence: a small state machine whose steps each send one
// command through the protocol object and move on when its done signal
// arrives. One watchdog covers the whole sequence from the moment `work` is
// entered; it is not restarted by steps inside `work`. A sequence ends once,
// in one of three ways (finished, timed out, failed), and then deletes itself
// (and its protocol object) on the communication thread.
class SequenceWorker : public QObject
{
    Q_OBJECT

public:
    //! Takes ownership of `comms`. `receiver` gets the end reports and the
    //! log lines; it may be null (then nobody hears them).
    SequenceWorker(SerialComms *comms, DeviceComms *receiver, QObject *parent = nullptr);
    ~SequenceWorker() override;

    QString workerClass() const;

signals:
    void finished(const QString &workerClass);
    void timeout(const QString &workerClass);
    void error(const QString &workerClass, const QString &error);

protected:
    //! A child state of `work` that runs `send` each time it is entered.
    QState *addStep(const std::function<void()> &send);
    //! Sets the first step (none: `work` itself is the step) and starts.
    void startMachine(QState *firstStep = nullptr);

    //! Ends the sequence on the protocol object's `doneSignal` from `step`,
    //! forwards that signal to the receiver's `forward`, and starts there.
    template <typename Step, typename Sender, typename Done, typename Forward>
    void runSingleStep(Step *step, Sender *sender, Done doneSignal, Forward forward)
    {
        if (receiver)
            QObject::connect(sender, doneSignal, receiver, forward);
        step->addTransition(sender, doneSignal, done);
        startMachine(step);
    }

    //! Ends the sequence as failed with `text`, as a protocol error does.
    void fail(const QString &text) { onCommsError(text); }

    uint uintParam(const QVariantMap &parameters, const QString &key) const;
    double doubleParam(const QVariantMap &parameters, const QString &key) const;

    QTimer *timer;          //!< watchdog, single-shot, 2000 ms unless changed
    QStateMachine *machine; //!< the sequence
    QState *work;           //!< initial state; the steps live inside it
    QState *timedOut;       //!< entered when the watchdog fires
    QFinalState *done;      //!< reaching it finishes the machine
    SerialComms *comms;     //!< the protocol object, owned
    DeviceComms *receiver;

private:
    void onMachineFinished();
    void onTimedOut();
    void onCommsError(const QString &text);
    bool beginEnd();

    bool m_ended = false; //!< one end report per sequence, whatever races in after it
};
