#include "rblserialcomms.h"

#include "devicelog.h"
#include "rfsaframe.h"

using namespace RblPacket;

RblSerialComms::RblSerialComms(const QString &portName, QObject *parent)
    : SerialComms(portName, parent)
{
}

RblSerialComms::~RblSerialComms() = default;

// ---- sending -------------------------------------------------------------

void RblSerialComms::send(const QByteArray &packet)
{
    emit log(QStringLiteral(">> ") + RfsaFrame::hex(packet));
    writeToPort(packet);
    drainOutput();
    setWaitingAck(true);
    qCDebug(lcDevice).noquote() << "Sending:" << packet.toHex(' ') << waitingAck();
    m_lastCommand = static_cast<quint8>(packet.size() > 2 ? packet.at(2) : packet.at(0));
}

void RblSerialComms::sendHostAck(const QByteArray &ackBytes)
{
    // The host's acknowledgements answer a response; they change neither
    // waitingAck nor lastCommand.
    emit log(QStringLiteral(">> ") + RfsaFrame::hex(ackBytes));
    writeToPort(ackBytes);
    // On the wire before the done signal starts the next step: that step's
    // protocol object, or a close after an error, would otherwise find the
    // acknowledgement still queued.
    drainOutput();
}

void RblSerialComms::autoBaud()
{
    send(RblPacket::autoBaud());
}

void RblSerialComms::cmdPing()
{
    send(command(CmdPing));
}

void RblSerialComms::cmdDownload(quint32 address, quint32 size)
{
    send(command(CmdDownload, u32(address) + u32(size)));
}

void RblSerialComms::cmdGetStatus()
{
    send(command(CmdGetStatus));
}

void RblSerialComms::cmdSendData(const QByteArray &data)
{
    // The size byte cannot describe more; longer data would go out with a
    // wrapped size the device would misread.
    send(command(CmdSendData, data.left(MaxSendData)));
}

void RblSerialComms::cmdReset()
{
    send(command(CmdReset));
}

void RblSerialComms::cmdSectorErase(quint32 address)
{
    send(command(CmdSectorErase, u32(address)));
}

void RblSerialComms::cmdCrc32(quint32 address, quint32 size, quint32 readRepeat)
{
    send(command(CmdCrc32, u32(address) + u32(size) + u32(readRepeat)));
}

void RblSerialComms::cmdGetChipId()
{
    send(command(CmdGetChipId));
}

void RblSerialComms::cmdMemoryRead(quint32 address, quint8 accessType, quint8 numberOfAccesses)
{
    QByteArray payload = u32(address);
    payload.append(static_cast<char>(accessType));
    payload.append(static_cast<char>(numberOfAccesses));
    send(command(CmdMemoryRead, payload));
}

void RblSerialComms::cmdMemoryWrite(quint32 address, const QByteArray &data)
{
    QByteArray payload = u32(address);
    payload.append('\0'); // access type: bytes
    payload.append(data.left(MaxSendData - 5));
    send(command(CmdMemoryWrite, payload));
}

void RblSerialComms::cmdBankErase()
{
    send(command(CmdBankErase));
}

void RblSerialComms::cmdSetCcfg(quint32 fieldId, quint32 fieldValue)
{
    send(command(CmdSetCcfg, u32(fieldId) + u32(fieldValue)));
}

// ---- receiving -----------------------------------------------------------

void RblSerialComms::readData()
{
    QSerialPort *port = sharedPort();
    if (!port->isOpen())
        return;
    const qint64 available = port->bytesAvailable();
    qCDebug(lcDevice) << "New data available:" << available << waitingAck();
    if (available > 4)
        qCDebug(lcDevice) << "Long data available";
    rxBuffer.append(port->readAll());
    qCDebug(lcDevice).noquote() << "Internal Buffer:" << rxBuffer.toHex(' ');
    processBuffer();
}

void RblSerialComms::receive(const QByteArray &bytes)
{
    rxBuffer.append(bytes);
    processBuffer();
}

void RblSerialComms::processBuffer()
{
    // Instead of re-reading through a zero-delay timer, everything that is
    // complete is handled now and a partial packet waits for the port's next
    // notification.
    while (!rxBuffer.isEmpty()) {
        const bool progressed = waitingAck() ? handleAck() : handleResponse();
        if (!progressed)
            return;
    }
}

bool RblSerialComms::handleAck()
{
    int taken = 0;
    while (taken < rxBuffer.size() && rxBuffer.at(taken) == '\0')
        ++taken;
    if (taken == rxBuffer.size()) {
        qCDebug(lcDevice) << "Ack not found";
        rxBuffer.clear();
        return false;
    }
    const quint8 byte = static_cast<quint8>(rxBuffer.at(taken));
    emit log(QStringLiteral("<< ") + RfsaFrame::hex(rxBuffer.left(taken + 1)));
    rxBuffer.remove(0, taken + 1);
    setWaitingAck(false);

    if (byte == Nack) {
        rxBuffer.clear();
        emit error(tr("Bootloader Error! (NACK)"));
        return false;
    }
    if (byte != Ack) {
        rxBuffer.clear();
        emit error(tr("Bootloader Error! (UNKNOWN)"));
        return false;
    }
    switch (m_lastCommand) {
    case CmdAutoBaud:
        emit autoBaudDone();
        break;
    case CmdPing:
        emit cmdPingDone();
        break;
    case CmdDownload:
        emit cmdDownloadDone();
        break;
    case CmdSendData:
        emit cmdSendDataDone();
        break;
    case CmdReset:
        rxBuffer.clear();
        emit cmdResetDone();
        break;
    case CmdSectorErase:
        emit cmdSectorEraseDone();
        break;
    case CmdMemoryWrite:
        emit cmdMemoryWriteDone();
        break;
    case CmdBankErase:
        emit cmdBankEraseDone();
        break;
    case CmdSetCcfg:
        emit cmdSetCcfgDone();
        break;
    default:
        // Status, CRC32, chip id and memory read: a response packet follows.
        break;
    }
    return true;
}

int RblSerialComms::minimumResponseData() const
{
    switch (m_lastCommand) {
    case CmdGetStatus:
        return 1;
    case CmdCrc32:
    case CmdGetChipId:
        return 4;
    default:
        return 0;
    }
}

bool RblSerialComms::handleResponse()
{
    const int n = static_cast<quint8>(rxBuffer.at(0));
    if (n == 0) {
        rxBuffer.remove(0, 1);
        return true;
    }
    if (rxBuffer.size() < n)
        return false;
    const QByteArray packet = rxBuffer.left(n);
    rxBuffer.remove(0, n);
    emit log(QStringLiteral("<< ") + RfsaFrame::hex(packet));

    // A size of 1 leaves no room for the checksum: nothing to check it with.
    const QByteArray data = n >= 2 ? packet.mid(2) : QByteArray();
    if (n < 2 || checksum(data.constData(), data.size()) != static_cast<quint8>(packet.at(1))) {
        sendHostAck(nack());
        return true; // the device sends it again
    }
    sendHostAck(ack());

    // A response too short for its command is a protocol error, never read
    // past its end.
    if (data.size() < minimumResponseData()) {
        rxBuffer.clear();
        emit error(tr("Bootloader Error! (short response)"));
        return false;
    }
    switch (m_lastCommand) {
    case CmdGetStatus:
        emit cmdGetStatusDone(static_cast<uchar>(data.at(0)));
        break;
    case CmdCrc32:
        emit cmdCrc32Done(readU32(data.constData()));
        break;
    case CmdGetChipId:
        emit cmdGetChipIdDone(readU32(data.constData()));
        break;
    case CmdMemoryRead:
        emit cmdMemoryReadDone(data);
        break;
    default:
        break;
    }
    return true;
}
