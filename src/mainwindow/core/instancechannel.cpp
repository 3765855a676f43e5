#include "instancechannel.h"

#include "mainwindowlog.h"
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

bool InstanceLines::feed(const QByteArray &bytes)
{
    if (m_overflowed)
        return false; // keep draining, keep nothing
    for (char c : bytes) {
        if (c == '\n') {
            m_lines.append(QString::fromUtf8(m_partial));
            m_partial.clear();
            if (m_lines.size() >= MaxLines) {
                m_overflowed = true;
                m_lines.clear();
                return false;
            }
        } else if (m_partial.size() < MaxLineLength) {
            m_partial.append(c);
        }
    }
    return true;
}

QStringList InstanceLines::finish() const
{
    if (m_overflowed)
        return QStringList();
    QStringList lines = m_lines;
    if (!m_partial.isEmpty())
        lines.append(QString::fromUtf8(m_partial));
    return lines;
}

InstanceChannel::InstanceChannel(QObject *parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::serverName()
{
    const QString name = QStringLiteral("Orvanel");
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    // Without a runtime directory the socket lands in the shared temporary
    // directory: one name per user there, so that two users' programs do
    // not take each other's place (a stranger's socket is refused anyway).
    if (runtimeDir.isEmpty())
        return name + QLatin1Char('-') + QString::number(geteuid());
    return QDir(QString::fromLocal8Bit(runtimeDir)).filePath(name);
}

bool InstanceChannel::peerIsSameUser(qintptr socketDescriptor)
{
#if defined(SO_PEERCRED)
    struct ucred credentials = {};
    socklen_t length = sizeof credentials;
    if (getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials,
                   &length) != 0 ||
        length != sizeof credentials)
        return false; // unknown peers are strangers
    return credentials.uid == geteuid();
#else
    // Without peer credentials the socket's place (the user's runtime
    // directory) and its access mode are the only guard.
    Q_UNUSED(socketDescriptor)
    return true;
#endif
}

bool InstanceChannel::forwardArguments(const QStringList &arguments, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName(), QIODevice::WriteOnly);
    if (!socket.waitForConnected(timeoutMs) || !socket.isOpen()) {
        socket.disconnectFromServer();
        return false;
    }
    if (!peerIsSameUser(socket.socketDescriptor())) {
        qCWarning(lcMainWindow) << "Single-instance channel" << serverName()
                                << "belongs to another user; not forwarding to it";
        socket.abort();
        return false;
    }
    for (const QString &argument : arguments) {
        QByteArray line = argument.toUtf8();
        const int nul = line.indexOf('\0');
        if (nul >= 0)
            line.truncate(nul);
        line.append('\n');
        socket.write(line);
        socket.waitForBytesWritten(timeoutMs);
    }
    socket.flush();
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool InstanceChannel::listen()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::onNewConnection);
    }
    // main() only gets here after its probe found no live server, so a socket
    // file still present was left by a crashed instance.
    QLocalServer::removeServer(serverName());
    const bool ok = m_server->listen(serverName());
    if (!ok)
        qCWarning(lcMainWindow) << "Single-instance channel not listening:"
                                << m_server->errorString();
    return ok;
}

void InstanceChannel::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (!peerIsSameUser(socket->socketDescriptor())) {
            qCWarning(lcMainWindow) << "Single-instance channel: refused a peer of another user";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_peers.insert(socket, InstanceLines());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this,
                [this, socket] { onDisconnected(socket); });
        // Bytes and even the disconnect may have arrived before we looked.
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
        if (socket->state() == QLocalSocket::UnconnectedState)
            onDisconnected(socket);
    }
}

void InstanceChannel::onReadyRead(QLocalSocket *socket)
{
    auto it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    const bool wasOverflowed = it.value().overflowed();
    if (!it.value().feed(socket->readAll()) && !wasOverflowed) {
        qCWarning(lcMainWindow) << "Single-instance peer sent too many lines; ignored";
        socket->abort();
    }
}

void InstanceChannel::onDisconnected(QLocalSocket *socket)
{
    auto it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    if (socket->bytesAvailable() > 0)
        onReadyRead(socket);
    // Draining may have aborted the peer, and the abort may have ended it.
    it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    const InstanceLines peer = it.value();
    m_peers.erase(it);
    socket->deleteLater();
    if (peer.overflowed())
        return;
    emit argumentsReceived(peer.finish());
}
