#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the thread that made the
// watcher: the handler only writes a byte into a pipe, and the event loop
// reads it. So a terminal's Ctrl+C or a session's logout ends the program
// the way Quit does (or is refused, as Quit is), never in the middle of
// anything. One watcher per process.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;

    //! False when the pipe could not be made; the signals then keep their
    //! default action.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void drain();

    QList<int> m_signals;
    QSocketNotifier *m_notifier = nullptr;
};
