#pragma once

#include "simoptions.h"

#include <QByteArray>
#include <QString>

#include <functional>

//! The radio processor's ROM serial bootloader: auto-baud, packets with size
//! and checksum, acknowledgements both ways, and a flash that programming can
//! only clear bits of. Bytes in, bytes out; pacing and the terminal are the
//! server's business.
class SimBootloader
{
public:
    static constexpr int SectorSize = 4096;
    static constexpr int MaxSendData = 252;
    //! The radio image names its version after this marker, ended by a NUL byte.
    static const QByteArray VersionMarker;

    enum Status : quint8
    {
        Success = 0x40,
        UnknownCommand = 0x41,
        InvalidCommand = 0x42,
        InvalidAddress = 0x43,
        FlashFail = 0x44
    };

    enum Command : quint8
    {
        CmdPing = 0x20,
        CmdDownload = 0x21,
        CmdGetStatus = 0x23,
        CmdSendData = 0x24,
        CmdReset = 0x25,
        CmdSectorErase = 0x26,
        CmdCrc32 = 0x27,
        CmdGetChipId = 0x28,
        CmdMemoryRead = 0x2A,
        CmdMemoryWrite = 0x2B,
        CmdBankErase = 0x2C,
        CmdSetCcfg = 0x2D,
        AutoBaud = 0x55 //!< only as the fault options' name of the bare 55 55
    };

    //! The flash has options.blFlashSectors sectors, all erased.
    explicit SimBootloader(const SimOptions &options);

    std::function<void(const QByteArray &)> onReceived; //!< a packet, acknowledgement or junk read
    std::function<void(const QByteArray &)> onSend;     //!< bytes to send
    std::function<void()> onReset;                      //!< the reset was acknowledged
    //! A response was never acknowledged: the host sent the next packet, or
    //! let go of the line, without the 00 CC (or 00 33) it owes.
    std::function<void(const QByteArray &)> onUnacknowledged;

    //! Called when the radio drops into the bootloader: it waits for auto-baud.
    void enter();
    void receive(const QByteArray &bytes);
    bool hasPartial() const { return !m_rx.isEmpty(); }
    //! An unfinished packet stopped arriving: it is dropped, as junk.
    void dropPartial();
    //! The host closed the line: a response still owed an acknowledgement
    //! is reported as unacknowledged.
    void lineClosed();

    //! As an update cut off half-way leaves it: the first half of `image`
    //! programmed, the rest erased, and the line already synchronised.
    void holdHalfWritten(const QByteArray &image);
    //! The radio starts its image only when the last sector (its
    //! configuration, which marks the image valid) is not blank.
    bool imageValid() const;

    const QByteArray &flash() const { return m_flash; }
    //! The version the flashed image carries; empty when it carries none.
    QString imageVersion() const { return versionIn(m_flash); }

    static QString versionIn(const QByteArray &image);
    static quint8 checksum(const QByteArray &bytes);
    static quint32 crc32(const char *data, int size);

private:
    void parse();
    void handle(const QByteArray &packet);
    quint8 execute(quint8 command, const QByteArray &payload);
    void respond(const QByteArray &data);
    void send(const QByteArray &bytes);
    void junk(int count);
    //! What a memory read sees at `address`: flash, a few known registers, else zero.
    char memoryByte(quint32 address) const;
    bool inFlash(quint64 address, quint64 size) const;

    SimOptions m_options;
    QByteArray m_flash;
    QByteArray m_rx;
    QByteArray m_lastResponse; //!< resent when the host NACKs it
    bool m_synced = false;     //!< auto-baud seen since entering
    bool m_awaitingAck = false;
    bool m_silent = false;
    bool m_flashTouched = false;      //!< erased or programmed since the emulator started
    bool m_silentUntilClosed = false; //!< --bl-silent-at: the silence ends with the line
    int m_silentAtSeen = 0;
    quint8 m_status = Success;
    quint8 m_statusOf = 0; //!< command whose result m_status is
    quint32 m_downloadAddress = 0;
    quint32 m_downloadLeft = 0; //!< bytes the running download still expects
    int m_commands = 0;
    int m_responses = 0;
};
