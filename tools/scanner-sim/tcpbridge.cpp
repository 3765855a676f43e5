#include "tcpbridge.h"

#include "simdevice.h" // lcSim

#include <QFile>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TcpBridge::TcpBridge(const QString &slavePath, QObject *parent)
    : QObject(parent), m_slavePath(slavePath), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TcpBridge::onNewConnection);
}

TcpBridge::~TcpBridge()
{
    dropClient();
}

bool TcpBridge::listen(int port, QString *error)
{
    // Loopback only: the emulator is for this machine's tests and demos.
    if (!m_server->listen(QHostAddress::LocalHost, quint16(port))) {
        *error = QStringLiteral("cannot listen on TCP port %1: %2")
                     .arg(port)
                     .arg(m_server->errorString());
        return false;
    }
    return true;
}

quint16 TcpBridge::port() const
{
    return m_server->serverPort();
}

void TcpBridge::onNewConnection()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        if (m_client) {
            // A serial port has one user; a second client is turned away.
            qCInfo(lcSim, "TCP client refused: the port is in use");
            s->abort();
            s->deleteLater();
            continue;
        }
        m_fd = ::open(QFile::encodeName(m_slavePath).constData(),
                      O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) {
            qCWarning(lcSim, "TCP client refused: cannot open the terminal");
            s->abort();
            s->deleteLater();
            continue;
        }
        m_client = s;
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(m_client, &QTcpSocket::readyRead, this, &TcpBridge::onSocketReadable);
        connect(m_client, &QTcpSocket::disconnected, this, &TcpBridge::dropClient);
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &TcpBridge::onTerminalReadable);
        qCInfo(lcSim, "TCP client connected");
    }
}

void TcpBridge::onSocketReadable()
{
    const QByteArray bytes = m_client->readAll();
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0 && m_fd >= 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            ::usleep(1000); // the program's side of the line is slow; commands are small
            continue;
        }
        if (n <= 0) {
            dropClient();
            return;
        }
        p += n;
        left -= n;
    }
}

void TcpBridge::onTerminalReadable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n > 0) {
            m_client->write(buf, n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // The emulator closed its end (--hangup-after): the "cable" is gone
        // for the network client as well.
        if (m_client)
            m_client->disconnectFromHost();
        dropClient();
        return;
    }
}

void TcpBridge::dropClient()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        qCInfo(lcSim, "TCP client gone");
    }
    if (m_client) {
        QTcpSocket *c = m_client;
        m_client = nullptr;
        c->disconnect(this);
        c->deleteLater();
    }
}
