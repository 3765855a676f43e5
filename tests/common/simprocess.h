#pragma once

// Starts the scanner emulator (orvanel-scanner-sim) for a test and talks to
// it the way its users do. Header-only, QtCore + QtTest.
//
//   SimProcess sim;
//   if (!sim.start({"--fast"}))          // path from env ORVANEL_SIM (SIM tests)
//       QSKIP(qPrintable(sim.errorText()));
//   port.setPortName(sim.ptyPath());     // the first stdout line of the emulator
//   ...
//   QStringList tx = sim.logLines("TX"); // frames the emulator sent, as hex
//   sim.stop();                          // SIGTERM, waits; exitCode() then 0
//
// Every instance writes its frame log (--log) to its own temporary file
// unless the arguments already name one. The destructor stops the emulator.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

class SimProcess
{
public:
    SimProcess() = default;
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    //! The emulator named by env ORVANEL_SIM (set for SIM tests).
    static QString executable()
    {
        return QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANEL_SIM"));
    }

    //! Starts the emulator and waits (up to `timeoutMs`) for the pty path.
    //! Returns false with errorText() when it cannot be started or exits early
    //! (for instance with code 2 on a bad option: see exitCode()).
    bool start(const QStringList &arguments = {}, int timeoutMs = 10000)
    {
        stop();
        m_error.clear();
        m_ptyPath.clear();
        const QString exe = executable();
        if (exe.isEmpty()) {
            m_error = QStringLiteral("ORVANEL_SIM is not set");
            return false;
        }
        QStringList args = arguments;
        if (!args.contains(QStringLiteral("--log"))) {
            m_logPath = m_dir.path() + QStringLiteral("/sim-%1.log").arg(++m_runs);
            args << QStringLiteral("--log") << m_logPath;
        } else {
            m_logPath = args.value(args.indexOf(QStringLiteral("--log")) + 1);
        }
        m_process.setProgram(exe);
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs)) {
            m_error = QStringLiteral("cannot start %1: %2").arg(exe, m_process.errorString());
            return false;
        }
        QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine() && m_process.state() == QProcess::Running &&
               !deadline.hasExpired())
            m_process.waitForReadyRead(50);
        if (!m_process.canReadLine()) {
            m_process.waitForFinished(1000);
            m_error = QStringLiteral("emulator gave no pty path (exit code %1): %2")
                          .arg(m_process.exitCode())
                          .arg(QString::fromLocal8Bit(m_process.readAllStandardError()));
            return false;
        }
        m_ptyPath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return true;
    }

    QString ptyPath() const { return m_ptyPath; }
    QString logPath() const { return m_logPath; }
    QString errorText() const { return m_error; }
    QProcess &process() { return m_process; }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    //! What the emulator wrote to stderr so far (its session notes).
    QString standardError()
    {
        return m_stderr += QString::fromLocal8Bit(m_process.readAllStandardError());
    }

    //! Sends SIGTERM and waits for the end; the emulator removes its --link.
    //! Returns false if it had to be killed.
    bool stop(int timeoutMs = 5000)
    {
        if (m_process.state() == QProcess::NotRunning)
            return true;
        m_process.terminate();
        if (m_process.waitForFinished(timeoutMs))
            return true;
        m_process.kill();
        m_process.waitForFinished(timeoutMs);
        return false;
    }

    //! Waits for the emulator to exit by itself (e.g. --hangup-after).
    bool waitForExit(int timeoutMs = 10000) { return m_process.waitForFinished(timeoutMs); }

    //! The frame log as lines "<seconds> <direction> <hex>".
    QStringList logLines() const
    {
        QFile f(m_logPath);
        QStringList lines;
        if (!f.open(QIODevice::ReadOnly))
            return lines;
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (!line.isEmpty())
                lines << QString::fromLatin1(line);
        }
        return lines;
    }

    //! The hex of every logged frame of one direction ("RX", "TX", "RX-JUNK", "TX-JUNK").
    QStringList logLines(const QString &direction) const
    {
        QStringList out;
        for (const QString &line : logLines()) {
            const QStringList f = line.split(QLatin1Char(' '));
            if (f.size() == 3 && f.at(1) == direction)
                out << f.at(2);
        }
        return out;
    }

    //! Waits until the log holds at least `count` lines of `direction`.
    bool waitForLog(const QString &direction, int count, int timeoutMs = 5000) const
    {
        QDeadlineTimer deadline(timeoutMs);
        while (logLines(direction).size() < count) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(10);
        }
        return true;
    }

private:
    QProcess m_process;
    QTemporaryDir m_dir;
    QString m_logPath;
    QString m_ptyPath;
    QString m_error;
    QString m_stderr;
    int m_runs = 0;
};
