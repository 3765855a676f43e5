#include "alarmcommand.h"

#include "limitslog.h"

#include <QDateTime>
#include <QProcess>
#include <QTimer>

AlarmCommand::AlarmCommand(QObject *parent) : QObject(parent) {}

AlarmCommand::~AlarmCommand()
{
    // Commands outlive nothing of ours that they need; leave them be, but do
    // not let QProcess wait for them on the way out.
    for (QProcess *p : qAsConst(m_running)) {
        p->disconnect(this);
        p->kill();
        p->waitForFinished(100);
    }
}

bool AlarmCommand::setCommandLine(const QString &commandLine, QString *error)
{
    const QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty() || words.first().isEmpty()) {
        *error = QStringLiteral("the alarm command is empty");
        return false;
    }
    if (commandLine.count(QLatin1Char('"')) % 2 != 0) {
        *error = QStringLiteral("the alarm command has an unbalanced quote");
        return false;
    }
    m_command = words;
    return true;
}

QString AlarmCommand::isoTime(qint64 ms)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QProcessEnvironment AlarmCommand::environment(const AlarmEvent &event,
                                              const QProcessEnvironment &base)
{
    QProcessEnvironment env = base;
    const bool start = event.state == AlarmEvent::Start;
    env.insert(QStringLiteral("ORVANEL_ALARM_STATE"),
               start ? QStringLiteral("start") : QStringLiteral("end"));
    env.insert(QStringLiteral("ORVANEL_ALARM_LIMIT"), event.name);
    env.insert(QStringLiteral("ORVANEL_ALARM_FREQUENCY_MHZ"),
               QString::number(event.frequencyMHz, 'f', 3));
    env.insert(QStringLiteral("ORVANEL_ALARM_LEVEL_DBM"), QString::number(event.levelDbm, 'f', 0));
    env.insert(QStringLiteral("ORVANEL_ALARM_TIME"), isoTime(event.timeMs));
    if (start)
        env.remove(QStringLiteral("ORVANEL_ALARM_DURATION_S"));
    else
        env.insert(QStringLiteral("ORVANEL_ALARM_DURATION_S"),
                   QString::number(event.durationMs / 1000.0, 'f', 1));
    return env;
}

QString AlarmCommand::logLine(const AlarmEvent &event)
{
    QString line =
        QStringLiteral("alarm %1 \"%2\" %3 MHz %4 dBm at %5")
            .arg(event.state == AlarmEvent::Start ? QStringLiteral("start") : QStringLiteral("end"),
                 event.name, QString::number(event.frequencyMHz, 'f', 3),
                 QString::number(event.levelDbm, 'f', 0), isoTime(event.timeMs));
    if (event.state == AlarmEvent::End)
        line += QStringLiteral(" after %1 s").arg(event.durationMs / 1000.0, 0, 'f', 1);
    return line;
}

void AlarmCommand::run(const AlarmEvent &event)
{
    if (m_command.isEmpty())
        return;
    if (m_running.size() >= MaxRunning) {
        qCWarning(lcLimits).noquote() << "alarm command not started," << m_running.size()
                                      << "still running:" << logLine(event);
        emit finished(-1, false);
        return;
    }
    auto *process = new QProcess(this);
    process->setProgram(m_command.first());
    process->setArguments(m_command.mid(1));
    process->setProcessEnvironment(environment(event, QProcessEnvironment::systemEnvironment()));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    auto *timer = new QTimer(process);
    timer->setSingleShot(true);
    auto killed = std::make_shared<bool>(false);
    connect(timer, &QTimer::timeout, process, [process, killed, this] {
        *killed = true;
        qCWarning(lcLimits).noquote()
            << "alarm command" << m_command.first() << "still running after" << m_timeoutMs / 1000.0
            << "s: killed";
        process->kill();
    });
    auto done = [this, process, killed](int exitCode) {
        if (!m_running.removeOne(process))
            return;
        if (!*killed && exitCode != 0)
            qCWarning(lcLimits).noquote()
                << "alarm command" << m_command.first() << "exited with" << exitCode;
        emit finished(*killed ? -1 : exitCode, *killed);
        process->deleteLater();
    };
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [done](int code, QProcess::ExitStatus status) {
                done(status == QProcess::NormalExit ? code : -1);
            });
    connect(process, &QProcess::errorOccurred, this, [process, done](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        qCWarning(lcLimits).noquote()
            << "alarm command could not be started:" << process->errorString();
        done(-1);
    });
    m_running.append(process);
    timer->start(m_timeoutMs);
    process->start();
}
