#pragma once

// Starts a private mosquitto broker on a free 127.0.0.1 port for a test or a
// benchmark, and stops it. Header-only, QtCore + QtNetwork.
//
//   BrokerProcess broker;
//   if (!broker.start())
//       QSKIP(qPrintable(broker.errorText()));
//   ... "mqtt://127.0.0.1:" + broker.port() + "/venue" ...
//   broker.restart();                    // same port, retained messages gone

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

class BrokerProcess
{
public:
    BrokerProcess() = default;
    ~BrokerProcess() { stop(); }
    BrokerProcess(const BrokerProcess &) = delete;
    BrokerProcess &operator=(const BrokerProcess &) = delete;

    static QString executable()
    {
        return QStandardPaths::findExecutable(
            QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                          QStringLiteral("/usr/local/sbin")});
    }

    //! The listener speaks TLS with this server certificate (before start()).
    void setTls(const QString &caFile, const QString &certFile, const QString &keyFile)
    {
        m_tls =
            QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n").arg(caFile, certFile, keyFile);
    }

    //! False with errorText() when mosquitto is missing or does not listen.
    bool start(int timeoutMs = 10000)
    {
        if (executable().isEmpty()) {
            m_error = QStringLiteral("mosquitto is not installed (Debian package mosquitto)");
            return false;
        }
        if (m_port == 0) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0)) {
                m_error = QStringLiteral("no free port");
                return false;
            }
            m_port = probe.serverPort();
        }
        QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly)) {
            m_error = conf.errorString();
            return false;
        }
        // Started as root, mosquitto would switch to its own user.
        conf.write(QStringLiteral("listener %1 127.0.0.1\n%2allow_anonymous true\n"
                                  "persistence false\n%3")
                       .arg(m_port)
                       .arg(m_tls, geteuid() == 0 ? QStringLiteral("user root\n") : QString())
                       .toUtf8());
        conf.close();
        m_process.setProgram(executable());
        m_process.setArguments({QStringLiteral("-c"), conf.fileName()});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs)) {
            m_error = m_process.errorString();
            return false;
        }
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            if (s.waitForConnected(200))
                return true;
            QThread::msleep(50);
        }
        m_error = QStringLiteral("mosquitto did not listen on port %1: %2")
                      .arg(m_port)
                      .arg(QString::fromLocal8Bit(m_process.readAll()));
        stop();
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    bool restart()
    {
        stop();
        return start();
    }

    quint16 port() const { return m_port; }
    QString url(const QString &prefix = QStringLiteral("venue")) const
    {
        return QStringLiteral("%1://127.0.0.1:%2/%3")
            .arg(m_tls.isEmpty() ? QStringLiteral("mqtt") : QStringLiteral("mqtts"))
            .arg(m_port)
            .arg(prefix);
    }
    QString errorText() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_tls; //!< the listener's TLS lines
    QString m_error;
};
