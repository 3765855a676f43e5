#include "instancechannel.h"

#include "mainwindowlog.h"
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

InstanceChannel::InstanceChannel(QObject *parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::serverName()
{
    const QString name = QStringLiteral("Orvanel");
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    if (runtimeDir.isEmpty())
        return name;
    return QDir(QString::fromLocal8Bit(runtimeDir)).filePath(name);
}

bool InstanceChannel::forwardArguments(const QStringList &arguments, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName(), QIODevice::WriteOnly);
    if (!socket.waitForConnected(timeoutMs) || !socket.isOpen()) {
        socket.disconnectFromServer();
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
        m_peers.insert(socket, Peer());
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
    Peer &peer = it.value();
    const QByteArray data = socket->readAll();
    if (peer.overflowed)
        return; // keep draining, keep nothing
    for (char c : data) {
        if (c == '\n') {
            peer.lines.append(QString::fromUtf8(peer.partial));
            peer.partial.clear();
            if (peer.lines.size() >= MaxLines) {
                qCWarning(lcMainWindow) << "Single-instance peer sent too many lines; ignored";
                peer.overflowed = true;
                socket->abort();
                return;
            }
        } else if (peer.partial.size() < MaxLineLength) {
            peer.partial.append(c);
        }
    }
}

void InstanceChannel::onDisconnected(QLocalSocket *socket)
{
    auto it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    if (socket->bytesAvailable() > 0)
        onReadyRead(socket);
    it = m_peers.find(socket);
    Peer peer = it.value();
    m_peers.erase(it);
    socket->deleteLater();
    if (peer.overflowed)
        return;
    if (!peer.partial.isEmpty())
        peer.lines.append(QString::fromUtf8(peer.partial));
    emit argumentsReceived(peer.lines);
}
