#pragma once

#include "rblpacket.h"
#include "serialcomms.h"

// The radio's ROM bootloader protocol on the scanner's port, once the
// scanner has handed the radio to its bootloader: one slot per command, one
// done signal per command. Every command is acknowledged (zero bytes may come
// first); the commands that answer with data then send one response packet,
// which this side acknowledges in turn, or NACKs when its checksum is wrong
// so the device sends it again.
class RblSerialComms : public SerialComms
{
    Q_OBJECT

public:
    explicit RblSerialComms(const QString &portName, QObject *parent = nullptr);
    ~RblSerialComms() override;

    quint8 lastCommand() const { return m_lastCommand; }

    //! Takes bytes as if the port had delivered them (the fuzz target drives
    //! the receive path without a device this way).
    void receive(const QByteArray &bytes);

signals:
    void autoBaudDone();
    void cmdPingDone();
    void cmdDownloadDone();
    void cmdGetStatusDone(uchar status);
    void cmdSendDataDone();
    void cmdResetDone();
    void cmdSectorEraseDone();
    void cmdCrc32Done(quint32 crc);
    void cmdGetChipIdDone(quint32 chipId);
    void cmdMemoryReadDone(const QByteArray &data);
    void cmdMemoryWriteDone();
    void cmdBankEraseDone();
    void cmdSetCcfgDone();

public slots:
    void autoBaud();
    void cmdPing();
    void cmdDownload(quint32 address, quint32 size);
    void cmdGetStatus();
    void cmdSendData(const QByteArray &data);
    void cmdReset();
    void cmdSectorErase(quint32 address);
    void cmdCrc32(quint32 address, quint32 size, quint32 readRepeat);
    void cmdGetChipId();
    void cmdMemoryRead(quint32 address, quint8 accessType, quint8 numberOfAccesses);
    void cmdMemoryWrite(quint32 address, const QByteArray &data);
    void cmdBankErase();
    void cmdSetCcfg(quint32 fieldId, quint32 fieldValue);
    void readData() override;

private:
    void send(const QByteArray &packet);
    void sendHostAck(const QByteArray &ackBytes);
    void processBuffer();
    //! False when no acknowledgement has arrived yet.
    bool handleAck();
    //! False when the front packet is still incomplete.
    bool handleResponse();
    //! Bytes of response data the last command needs (0: any).
    int minimumResponseData() const;

    quint8 m_lastCommand = 0; //!< command byte of the last packet written
};
