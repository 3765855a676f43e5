#pragma once

#include "alarmevaluator.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

class QProcess;

//! Runs the user's command for every alarm start and end. The command line
//! is split once, like a shell would split words, but no shell ever sees
//! it; the alarm's facts travel only in the environment:
//!   ORVANEL_ALARM_STATE          start | end
//!   ORVANEL_ALARM_LIMIT          the limit's name
//!   ORVANEL_ALARM_FREQUENCY_MHZ  the worst point
//!   ORVANEL_ALARM_LEVEL_DBM
//!   ORVANEL_ALARM_TIME           ISO 8601 with the UTC offset
//!   ORVANEL_ALARM_DURATION_S     on end, how long the alarm lasted
//! Nothing waits for the command. One still running after the timeout is
//! killed, and while too many run at once new alarms are only logged.
class AlarmCommand : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 10000;
    static constexpr int MaxRunning = 8;

    explicit AlarmCommand(QObject *parent = nullptr);
    ~AlarmCommand() override;

    //! False, with the reason, on an empty or unbalanced command line.
    bool setCommandLine(const QString &commandLine, QString *error);
    QStringList command() const { return m_command; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int running() const { return m_running.size(); }

    //! The variables the command gets for `event` (added to the program's own).
    static QProcessEnvironment environment(const AlarmEvent &event,
                                           const QProcessEnvironment &base);
    static QString isoTime(qint64 ms);
    //! One line for the log: "alarm start <limit> <MHz> MHz <dBm> dBm at <time>".
    static QString logLine(const AlarmEvent &event);

public slots:
    void run(const AlarmEvent &event);

signals:
    //! A command ended: its exit code, or -1 when it was killed or did not start.
    void finished(int exitCode, bool killed);

private:
    QStringList m_command;
    int m_timeoutMs = DefaultTimeoutMs;
    QList<QProcess *> m_running;
};
