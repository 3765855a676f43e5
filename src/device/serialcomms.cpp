#include "serialcomms.h"

#include "devicelog.h"
#include "networklink.h"
#include "portlock.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QTcpSocket>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcDevice, "orvanel.device", QtInfoMsg)

namespace {

// Only ever touched on the thread that owns the port (the communication
// thread in the program, the test thread in tests).
QString g_portName; //!< the name as we set it: portName() shortens /dev/pts/N to pts/N
int g_liveObjects = 0;
bool g_network = false; //!< the link in use is the network link, not the serial port

// A read that finds nothing although the port said it had data (seen on a
// loaded machine) reports one ReadError; a device that is gone reports it
// again at once, hundreds of thousands of times a second. Only a repeat
// within this time is a loss; a lone one is let pass (the watchdog still
// ends a scan that gets no more data).
constexpr qint64 ReadErrorRepeatMs = 50;
QElapsedTimer g_lastReadError;

QSerialPort *makePort()
{
    auto *port = new QSerialPort;
    // With no protocol object alive nobody would stop the error loop a lost
    // device causes (hundreds of thousands of ReadErrors a second), so the
    // port closes itself; the next sequence then reports it cannot open.
    QObject::connect(port, &QSerialPort::errorOccurred, port,
                     [port](QSerialPort::SerialPortError e) {
                         if (g_liveObjects > 0 || !isDeviceGoneError(e) || !port->isOpen())
                             return;
                         qCWarning(lcDevice) << "Port lost while idle:" << port->errorString();
                         port->close();
                     });
    return port;
}

} // namespace

bool isDeviceGoneError(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ReadError || error == QSerialPort::ResourceError;
}

QSerialPort *SerialComms::sharedPort()
{
    static QSerialPort *const port = makePort();
    return port;
}

QIODevice *SerialComms::linkDevice()
{
    if (g_network) {
        if (QTcpSocket *s = NetworkLink::socket())
            return s;
    }
    return sharedPort();
}

SerialComms::SerialComms(const QString &portName, QObject *parent) : QObject(parent)
{
    ++g_liveObjects;
    QSerialPort *port = sharedPort();
    if (NetworkLink::isNetworkName(portName) || (portName.isEmpty() && g_network)) {
        openNetworkLink(portName.isEmpty() ? g_portName : portName);
        return;
    }
    if (g_network) {
        NetworkLink::release();
        g_network = false;
        g_portName.clear();
    }
    if (!portName.isEmpty() && portName != g_portName) {
        port->close();
        port->setPortName(portName);
        g_portName = portName;
        port->setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
        port->setDataBits(QSerialPort::Data8);
        port->setParity(QSerialPort::NoParity);
        port->setStopBits(QSerialPort::OneStop);
        port->setFlowControl(QSerialPort::NoFlowControl);
    }
    if (!port->isOpen()) {
        if (!port->open(QIODevice::ReadWrite)) {
            m_openError = port->errorString();
            // A second program on the port, or a port this user may not use:
            // say which, and what fixes it.
            const QString advice = port->error() == QSerialPort::PermissionError
                                       ? PortLock::openAdvice(port->portName())
                                       : QString();
            QString text =
                tr("Cannot open communication port") + QStringLiteral(": ") + m_openError;
            if (!advice.isEmpty())
                text += QStringLiteral("\n\n") + advice;
            qCWarning(lcDevice).noquote() << text << port->portName();
            // Queued: the owner connects to error() only after this returns.
            QMetaObject::invokeMethod(
                this, [this, text] { emit error(text); }, Qt::QueuedConnection);
        }
    }
    if (port->isOpen()) {
        // Only stale input goes: output an earlier protocol object queued
        // (an acknowledgement the device waits for) must still reach it.
        drainOutput();
        port->clear(QSerialPort::Input);
    }
    QObject::connect(port, &QSerialPort::readyRead, this, &SerialComms::readData,
                     Qt::UniqueConnection);
    QObject::connect(port, &QSerialPort::errorOccurred, this, &SerialComms::onPortError);
}

SerialComms::~SerialComms()
{
    --g_liveObjects;
}

void SerialComms::openNetworkLink(const QString &portName)
{
    if (!g_network)
        sharedPort()->close();
    g_network = true;
    g_portName = portName;
    QTcpSocket *socket = NetworkLink::open(portName, &m_openError);
    if (!socket) {
        const QString text =
            tr("Cannot open communication port") + QStringLiteral(": ") + m_openError;
        qCWarning(lcDevice).noquote() << text << portName;
        QMetaObject::invokeMethod(
            this, [this, text] { emit error(text); }, Qt::QueuedConnection);
        return;
    }
    // Bytes the server still held from an earlier session are stale.
    socket->readAll();
    connect(socket, &QTcpSocket::readyRead, this, &SerialComms::readData, Qt::UniqueConnection);
    connect(socket, &QTcpSocket::disconnected, this,
            [this] { onLinkLost(QStringLiteral("server closed the connection")); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
        if (socket->state() != QAbstractSocket::ConnectedState)
            onLinkLost(socket->errorString());
    });
}

void SerialComms::onLinkLost(const QString &reason)
{
    if (!NetworkLink::socket())
        return; // another protocol object saw it first
    NetworkLink::release();
    qCWarning(lcDevice).noquote() << "Device lost:" << reason;
    emit error(tr("The connection to the device was lost"));
}

void SerialComms::onPortError(QSerialPort::SerialPortError e)
{
    QSerialPort *port = sharedPort();
    // The first protocol object to see the loss closes the port, which ends
    // the error loop; the others then find it closed and stay quiet.
    if (!isDeviceGoneError(e) || !port->isOpen())
        return;
    if (e == QSerialPort::ReadError) {
        const bool repeat =
            g_lastReadError.isValid() && g_lastReadError.elapsed() < ReadErrorRepeatMs;
        g_lastReadError.start();
        if (!repeat) {
            qCInfo(lcDevice).noquote()
                << "Read error, lost only if it repeats:" << port->errorString();
            port->clearError();
            return;
        }
    }
    const QString reason = port->errorString();
    port->close();
    qCWarning(lcDevice).noquote() << "Device lost:" << reason;
    // The system's reason for a hang-up is usually meaningless ("Resource
    // temporarily unavailable"), so it goes to the log only.
    emit error(deviceLostText());
}

void SerialComms::setWaitingAck(bool waitingAck)
{
    if (waitingAck == m_waitingAck)
        return;
    if (!waitingAck)
        qCDebug(lcDevice) << "Cleared waiting for ack";
    m_waitingAck = waitingAck;
    emit waitingAckChanged(waitingAck);
}

void SerialComms::dumpReceived()
{
    qCInfo(lcDevice).noquote() << "Received Data:" << rxBuffer.toHex(' ');
}

void SerialComms::dumpPort()
{
    QIODevice *port = linkDevice();
    const qint64 available = port->isOpen() ? port->bytesAvailable() : 0;
    const QByteArray rest = port->isOpen() ? port->readAll() : QByteArray();
    qCInfo(lcDevice).noquote() << "Port Buffer:" << QStringLiteral("(%1)").arg(available)
                               << rest.toHex(' ');
}

void SerialComms::closePort()
{
    drainOutput();
    if (g_network)
        NetworkLink::release();
    else
        sharedPort()->close();
}

bool SerialComms::writeToPort(const QByteArray &bytes)
{
    QIODevice *port = linkDevice();
    if (!port->isOpen()) {
        qCWarning(lcDevice) << "Port closed, frame not sent";
        return false;
    }
#if defined(Q_OS_UNIX)
    // Straight to the device when nothing waits in the port's buffer: the
    // buffer hands bytes over only once the event loop sees the port
    // writable, and switching that watch on and off wakes the loop twice per
    // request, three system calls each, with every sweep. The port is
    // non-blocking; whatever the device does not take now (a full buffer, an
    // error) goes through the port's buffer as before, in order, and the
    // port reports any error the usual way.
    auto *serial = g_network ? nullptr : qobject_cast<QSerialPort *>(port);
    if (serial && serial->bytesToWrite() == 0 && serial->handle() >= 0) {
        ssize_t sent;
        do
            sent = ::write(serial->handle(), bytes.constData(), size_t(bytes.size()));
        while (sent < 0 && errno == EINTR);
        if (sent == bytes.size())
            return true;
        if (sent > 0) {
            const QByteArray rest = bytes.mid(int(sent));
            return port->write(rest) == rest.size();
        }
    }
#endif
    return port->write(bytes) == bytes.size();
}

bool SerialComms::drainOutput()
{
    QIODevice *link = linkDevice();
    if (!link->isOpen())
        return false;
    // Bytes in the write buffer only reach the device when the event loop
    // writes them; a step that follows at once, or a close, must not
    // overtake or discard them.
    constexpr int DrainMs = 200;
    QDeadlineTimer deadline(DrainMs);
    if (auto *serial = qobject_cast<QSerialPort *>(link))
        serial->flush();
    else if (auto *socket = qobject_cast<QAbstractSocket *>(link))
        socket->flush();
    while (link->bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!link->waitForBytesWritten(int(deadline.remainingTime())))
            break;
    }
    if (link->bytesToWrite() > 0) {
        qCWarning(lcDevice) << link->bytesToWrite() << "bytes could not be written";
        return false;
    }
    return true;
}

bool SerialComms::logWanted() const
{
    static const QMetaMethod logSignal = QMetaMethod::fromSignal(&SerialComms::log);
    return isSignalConnected(logSignal) && (!m_relayListened || m_relayListened());
}
