#include "rblworkers.h"

#include "devicecomms.h"
#include "rblserialcomms.h"

#include <QFinalState>
#include <QState>
#include <QTimer>

WrkRblAutoBaud::WrkRblAutoBaud(const QString &portName, DeviceComms *receiver,
                               const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->autoBaud(); }), c, &RblSerialComms::autoBaudDone,
                  &DeviceComms::rblAutoBaudDone);
}

WrkRblCmdPing::WrkRblCmdPing(const QString &portName, DeviceComms *receiver,
                             const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->cmdPing(); }), c, &RblSerialComms::cmdPingDone,
                  &DeviceComms::rblCmdPingDone);
}

WrkRblCmdDownload::WrkRblCmdDownload(const QString &portName, DeviceComms *receiver,
                                     const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(
        addStep([this, c, p] { c->cmdDownload(uintParam(p, "address"), uintParam(p, "size")); }), c,
        &RblSerialComms::cmdDownloadDone, &DeviceComms::rblCmdDownloadDone);
}

WrkRblCmdGetStatus::WrkRblCmdGetStatus(const QString &portName, DeviceComms *receiver,
                                       const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->cmdGetStatus(); }), c, &RblSerialComms::cmdGetStatusDone,
                  &DeviceComms::rblCmdGetStatusDone);
}

WrkRblCmdSendData::WrkRblCmdSendData(const QString &portName, DeviceComms *receiver,
                                     const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(
        addStep([c, p] { c->cmdSendData(p.value(QStringLiteral("data")).toByteArray()); }), c,
        &RblSerialComms::cmdSendDataDone, &DeviceComms::rblCmdSendDataDone);
}

WrkRblCmdReset::WrkRblCmdReset(const QString &portName, DeviceComms *receiver,
                               const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->cmdReset(); }), c, &RblSerialComms::cmdResetDone,
                  &DeviceComms::rblCmdResetDone);
}

WrkRblCmdSectorErase::WrkRblCmdSectorErase(const QString &portName, DeviceComms *receiver,
                                           const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] { c->cmdSectorErase(uintParam(p, "address")); }), c,
                  &RblSerialComms::cmdSectorEraseDone, &DeviceComms::rblCmdSectorEraseDone);
}

WrkRblCmdCrc32::WrkRblCmdCrc32(const QString &portName, DeviceComms *receiver,
                               const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] {
                      c->cmdCrc32(uintParam(p, "address"), uintParam(p, "size"),
                                  uintParam(p, "readRepeat"));
                  }),
                  c, &RblSerialComms::cmdCrc32Done, &DeviceComms::rblCmdCrc32Done);
}

WrkRblCmdGetChipId::WrkRblCmdGetChipId(const QString &portName, DeviceComms *receiver,
                                       const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->cmdGetChipId(); }), c, &RblSerialComms::cmdGetChipIdDone,
                  &DeviceComms::rblCmdGetChipIdDone);
}

WrkRblCmdMemoryRead::WrkRblCmdMemoryRead(const QString &portName, DeviceComms *receiver,
                                         const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] {
                      c->cmdMemoryRead(uintParam(p, "address"), 0,
                                       static_cast<quint8>(uintParam(p, "size") & 0xFF));
                  }),
                  c, &RblSerialComms::cmdMemoryReadDone, &DeviceComms::rblCmdMemoryReadDone);
}

WrkRblCmdMemoryWrite::WrkRblCmdMemoryWrite(const QString &portName, DeviceComms *receiver,
                                           const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] {
                      c->cmdMemoryWrite(uintParam(p, "address"),
                                        p.value(QStringLiteral("data")).toByteArray());
                  }),
                  c, &RblSerialComms::cmdMemoryWriteDone, &DeviceComms::rblCmdMemoryWriteDone);
}

WrkRblCmdBankErase::WrkRblCmdBankErase(const QString &portName, DeviceComms *receiver,
                                       const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    Q_UNUSED(parameters)
    runSingleStep(addStep([c] { c->cmdBankErase(); }), c, &RblSerialComms::cmdBankEraseDone,
                  &DeviceComms::rblCmdBankEraseDone);
}

WrkRblCmdSetCcfg::WrkRblCmdSetCcfg(const QString &portName, DeviceComms *receiver,
                                   const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    const QVariantMap p = parameters;
    runSingleStep(addStep([this, c, p] {
                      c->cmdSetCcfg(uintParam(p, "fieldId"), uintParam(p, "fieldValue"));
                  }),
                  c, &RblSerialComms::cmdSetCcfgDone, &DeviceComms::rblCmdSetCcfgDone);
}

WrkRblWriteSector::WrkRblWriteSector(const QString &portName, DeviceComms *receiver,
                                     const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    m_address = uintParam(parameters, QStringLiteral("address"));
    m_data = parameters.value(QStringLiteral("data")).toByteArray();
    // The device downloads whole 32-bit words; erased flash reads 0xFF, so
    // padding with it leaves the bytes after the image as they were.
    if (m_data.size() % 4 != 0)
        m_data.append(QByteArray(4 - m_data.size() % 4, '\xFF'));

    QObject::connect(c, &RblSerialComms::cmdGetStatusDone, this, &WrkRblWriteSector::checkStatus);

    QState *ping = addStep([c] { c->cmdPing(); });
    QState *erase = addStep([this, c] { c->cmdSectorErase(m_address); });
    QState *eraseStatus = addStep([c] { c->cmdGetStatus(); });
    QState *download = addStep([this, c] {
        if (m_data.count('\xFF') == m_data.size())
            emit dataTransferDone();
        else
            c->cmdDownload(m_address, quint32(m_data.size()));
    });
    QState *downloadStatus = addStep([c] { c->cmdGetStatus(); });
    QState *sendData = addStep([this] { sendNext(); });
    QState *sendStatus = addStep([c] { c->cmdGetStatus(); });

    ping->addTransition(c, &RblSerialComms::cmdPingDone, erase);
    erase->addTransition(c, &RblSerialComms::cmdSectorEraseDone, eraseStatus);
    eraseStatus->addTransition(this, &WrkRblWriteSector::statusSuccess, download);
    download->addTransition(c, &RblSerialComms::cmdDownloadDone, downloadStatus);
    download->addTransition(this, &WrkRblWriteSector::dataTransferDone, done);
    downloadStatus->addTransition(this, &WrkRblWriteSector::statusSuccess, sendData);
    sendData->addTransition(c, &RblSerialComms::cmdSendDataDone, sendStatus);
    sendData->addTransition(this, &WrkRblWriteSector::dataTransferDone, done);
    sendStatus->addTransition(this, &WrkRblWriteSector::statusSuccess, sendData);

    if (receiver) {
        QObject::connect(this, &WrkRblWriteSector::dataTransferDone, receiver, [receiver] {
            QTimer::singleShot(10, Qt::PreciseTimer, receiver,
                               [receiver] { emit receiver->rblWriteSectorDone(); });
        });
    }
    startMachine(ping);
}

void WrkRblWriteSector::sendNext()
{
    // Ends at the size: never a zero-length packet, never past the data.
    if (sentBytes >= m_data.size()) {
        emit dataTransferDone();
        return;
    }
    const int count = qMin(m_data.size() - sentBytes, int(RblPacket::MaxSendData));
    const QByteArray chunk = m_data.mid(sentBytes, count);
    sentBytes += count;
    static_cast<RblSerialComms *>(comms)->cmdSendData(chunk);
}

void WrkRblWriteSector::checkStatus(uchar status)
{
    if (status == RblPacket::StatusSuccess) {
        emit statusSuccess();
        return;
    }
    const QString text = RblPacket::statusText(status);
    if (!text.isEmpty())
        emit comms->error(text);
    // Any other code: the watchdog ends the sequence.
}

WrkRblEraseSectors::WrkRblEraseSectors(const QString &portName, DeviceComms *receiver,
                                       const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    auto *c = static_cast<RblSerialComms *>(comms);
    const quint64 address = uintParam(parameters, QStringLiteral("address"));
    const quint64 size = uintParam(parameters, QStringLiteral("size"));
    const quint64 first = address / RblPacket::SectorSize;
    const quint64 last = size == 0 ? first : (address + size - 1) / RblPacket::SectorSize;
    for (quint64 sector = last + 1; sector-- > first && m_sectors.size() < 256;)
        m_sectors << quint32(sector * RblPacket::SectorSize);
    // The one watchdog covers every sector; each gets its share.
    timer->setInterval(2000 + 100 * int(m_sectors.size()));

    QObject::connect(c, &RblSerialComms::cmdGetStatusDone, this, &WrkRblEraseSectors::checkStatus);
    QState *erase = addStep([this, c] { c->cmdSectorErase(m_sectors.first()); });
    QState *status = addStep([c] { c->cmdGetStatus(); });
    erase->addTransition(c, &RblSerialComms::cmdSectorEraseDone, status);
    status->addTransition(this, &WrkRblEraseSectors::nextSector, erase);
    status->addTransition(this, &WrkRblEraseSectors::allErased, done);
    if (receiver)
        QObject::connect(this, &WrkRblEraseSectors::allErased, receiver,
                         &DeviceComms::rblEraseSectorsDone);
    startMachine(erase);
}

void WrkRblEraseSectors::checkStatus(uchar status)
{
    if (status != RblPacket::StatusSuccess) {
        const QString text = RblPacket::statusText(status);
        emit comms->error(text.isEmpty() ? tr("Bootloader Error! (status %1)").arg(status, 2, 16)
                                         : text);
        return;
    }
    m_sectors.removeFirst();
    if (m_sectors.isEmpty())
        emit allErased();
    else
        emit nextSector();
}

WrkRblProbe::WrkRblProbe(const QString &portName, DeviceComms *receiver,
                         const QVariantMap &parameters, QObject *parent)
    : SequenceWorker(new RblSerialComms(portName), receiver, parent)
{
    Q_UNUSED(parameters)
    auto *c = static_cast<RblSerialComms *>(comms);
    timer->setInterval(WatchdogMs);
    m_pingTimer.setSingleShot(true);
    m_pingTimer.setTimerType(Qt::PreciseTimer);
    m_pingTimer.setInterval(PingAfterMs);
    QState *autoBaud = addStep([this, c] {
        c->autoBaud();
        m_pingTimer.start();
    });
    QState *ping = addStep([c] {
        // The unanswered 55 55 is no longer awaited.
        c->setWaitingAck(false);
        c->cmdPing();
    });
    autoBaud->addTransition(c, &RblSerialComms::autoBaudDone, done);
    autoBaud->addTransition(&m_pingTimer, &QTimer::timeout, ping);
    ping->addTransition(c, &RblSerialComms::cmdPingDone, done);
    startMachine(autoBaud);
}
