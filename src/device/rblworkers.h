#pragma once

#include "sequenceworker.h"

#include <QByteArray>
#include <QList>
#include <QTimer>

// The bootloader sequences: one per bootloader command, each ending on the
// command's done signal (relayed to the receiver), and the sector write.
// Same constructor form as every worker: (port name, receiver, parameter map,
// parent); "address", "size", "readRepeat", "fieldId" and "fieldValue" are read
// as unsigned 32-bit numbers, "data" as bytes.

class WrkRblAutoBaud : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblAutoBaud(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                   QObject *parent = nullptr);
};

class WrkRblCmdPing : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdPing(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                  QObject *parent = nullptr);
};

class WrkRblCmdDownload : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdDownload(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                      QObject *parent = nullptr);
};

class WrkRblCmdGetStatus : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdGetStatus(const QString &portName, DeviceComms *receiver,
                       const QVariantMap &parameters, QObject *parent = nullptr);
};

class WrkRblCmdSendData : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdSendData(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                      QObject *parent = nullptr);
};

class WrkRblCmdReset : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdReset(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                   QObject *parent = nullptr);
};

class WrkRblCmdSectorErase : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdSectorErase(const QString &portName, DeviceComms *receiver,
                         const QVariantMap &parameters, QObject *parent = nullptr);
};

class WrkRblCmdCrc32 : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdCrc32(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                   QObject *parent = nullptr);
};

class WrkRblCmdGetChipId : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdGetChipId(const QString &portName, DeviceComms *receiver,
                       const QVariantMap &parameters, QObject *parent = nullptr);
};

class WrkRblCmdMemoryRead : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdMemoryRead(const QString &portName, DeviceComms *receiver,
                        const QVariantMap &parameters, QObject *parent = nullptr);
};

class WrkRblCmdMemoryWrite : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdMemoryWrite(const QString &portName, DeviceComms *receiver,
                         const QVariantMap &parameters, QObject *parent = nullptr);
};

class WrkRblCmdBankErase : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdBankErase(const QString &portName, DeviceComms *receiver,
                       const QVariantMap &parameters, QObject *parent = nullptr);
};

class WrkRblCmdSetCcfg : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblCmdSetCcfg(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                     QObject *parent = nullptr);
};

//! Erases one flash sector and programs it: ping, sector erase, status,
//! download, status, then the data in packets of at most 252 bytes, each
//! followed by a status query; all under the one 2000 ms watchdog. A sector
//! of only 0xFF bytes is erased and not programmed. Data whose length is not
//! a multiple of 4 (the device's download unit) is padded with 0xFF. The
//! receiver's rblWriteSectorDone follows 10 ms after the data went out.
class WrkRblWriteSector : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblWriteSector(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                      QObject *parent = nullptr);

signals:
    void statusSuccess();
    void dataTransferDone();

public slots:
    void checkStatus(uchar status);

private:
    void sendNext();

    quint32 m_address = 0;
    QByteArray m_data;
    int sentBytes = 0; //!< payload bytes sent so far
};

//! Erases every sector that "address" and "size" cover, the last one first,
//! each followed by a status query. The last sector holds the configuration
//! that marks an image valid: with it gone first, an update cut off anywhere
//! leaves the radio in its ROM bootloader, never starting a half-new image.
class WrkRblEraseSectors : public SequenceWorker
{
    Q_OBJECT
public:
    WrkRblEraseSectors(const QString &portName, DeviceComms *receiver,
                       const QVariantMap &parameters, QObject *parent = nullptr);

signals:
    void nextSector();
    void allErased();

private:
    void checkStatus(uchar status);

    QList<quint32> m_sectors; //!< addresses still to erase, next first
};

//! Asks whether the radio's ROM bootloader has the line: auto-baud, and when
//! that gets no answer (a bootloader synchronised earlier reads 55 55 as the
//! start of a packet and drops it after a pause) a ping. Finishes when
//! either is acknowledged; times out when nothing answers.
class WrkRblProbe : public SequenceWorker
{
    Q_OBJECT
public:
    static constexpr int PingAfterMs = 300;
    static constexpr int WatchdogMs = 1000;

    WrkRblProbe(const QString &portName, DeviceComms *receiver, const QVariantMap &parameters,
                QObject *parent = nullptr);

private:
    QTimer m_pingTimer;
};
