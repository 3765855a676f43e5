#include "networklink.h"

#include "devicelog.h"

#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <utility>

namespace NetworkLink {

namespace {

constexpr int ConnectTimeoutMs = 5000;

QTcpSocket *g_socket = nullptr; //!< owned here; on the thread that opened it
QString g_name;                 //!< the name g_socket was opened for

} // namespace

bool isNetworkName(const QString &portName)
{
    return portName.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

bool parseName(const QString &portName, QString *host, quint16 *port)
{
    if (!isNetworkName(portName))
        return false;
    const QUrl url(portName, QUrl::StrictMode);
    const int p = url.port(-1);
    if (!url.isValid() || url.host().isEmpty() || p < 1 || p > 65535 ||
        !(url.path().isEmpty() || url.path() == QLatin1String("/")))
        return false;
    *host = url.host();
    *port = quint16(p);
    return true;
}

QTcpSocket *socket()
{
    return g_socket;
}

QTcpSocket *open(const QString &portName, QString *error)
{
    if (g_socket && g_socket->thread() != QThread::currentThread())
        g_socket = nullptr; // left behind by an ended thread; cannot be touched here
    if (g_socket && g_name == portName && g_socket->state() == QAbstractSocket::ConnectedState)
        return g_socket;
    release(false);
    QString host;
    quint16 port = 0;
    if (!parseName(portName, &host, &port)) {
        *error = QObject::tr("Not a network port name (tcp://HOST:PORT): %1").arg(portName);
        return nullptr;
    }
    auto *s = new QTcpSocket;
    // Sweeps are small frames that must not wait for more to fill a segment.
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    s->connectToHost(host, port);
    if (!s->waitForConnected(ConnectTimeoutMs)) {
        *error = s->errorString();
        delete s;
        return nullptr;
    }
    qCInfo(lcDevice).noquote() << "Connected to" << portName;
    g_socket = s;
    g_name = portName;
    return s;
}

void release(bool now)
{
    QTcpSocket *s = std::exchange(g_socket, nullptr);
    g_name.clear();
    if (!s)
        return;
    s->disconnect(); // nobody hears the close made here
    s->abort();
    // The loss may be reported from inside the socket's own signal.
    if (now)
        delete s;
    else
        s->deleteLater();
}

} // namespace NetworkLink
