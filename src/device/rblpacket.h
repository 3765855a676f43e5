#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The radio's ROM serial bootloader packet layer as pure functions, shared by
// the program's protocol object and by the scanner emulator:
//   size | checksum | command | payload        (host to device)
//   size | checksum | data                     (device to host)
// size counts every byte of the packet; the checksum is the byte sum (mod 256)
// of everything after it. Numbers are big-endian. Acknowledgements are the
// bare pairs 00 CC (ACK) and 00 33 (NACK); auto-baud is the bare pair 55 55.
namespace RblPacket {

enum Command : quint8
{
    CmdAutoBaud = 0x55, //!< not a packet: the two bare bytes 55 55
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
    CmdSetCcfg = 0x2D
};

enum Status : quint8
{
    StatusSuccess = 0x40,
    StatusUnknownCommand = 0x41,
    StatusInvalidCommand = 0x42,
    StatusInvalidAddress = 0x43,
    StatusFlashFail = 0x44
};

constexpr quint8 Ack = 0xCC;
constexpr quint8 Nack = 0x33;
constexpr int MaxSendData = 252; //!< data bytes one send-data packet carries
constexpr int SectorSize = 4096; //!< flash erase unit

//! Memory-mapped register whose low byte counts the flash's sectors.
constexpr quint32 FlashSizeRegister = 0x4003002C;
//! Low 16 bits of the chip id the scanner's radio reports (its chip family;
//! the upper bits carry the revision).
constexpr quint16 RadioChipFamily = 0xB99A;

//! Why the radio image must not be written to a chip reporting `chipId`
//! whose flash has `flashSectors` sectors; empty when it may.
QString chipProblem(quint32 chipId, int flashSectors, qint64 imageSize);

quint8 checksum(const char *data, int size);
//! A command packet; the payload must leave the size within one byte.
QByteArray command(quint8 code, const QByteArray &payload = QByteArray());
//! A response packet carrying `data` (the emulator's side).
QByteArray response(const QByteArray &data);
QByteArray autoBaud();
QByteArray ack();
QByteArray nack();
QByteArray u32(quint32 value);
quint32 readU32(const char *data);

//! The text a write sequence reports for a failing status; empty for
//! success and for codes outside the table.
QString statusText(quint8 status);

//! zlib's CRC-32 (reflected, polynomial 0xEDB88320, initial and final
//! inversion), which the bootloader's CRC32 command computes over flash.
quint32 crc32(const char *data, qint64 size, quint32 crc = 0);
inline quint32 crc32(const QByteArray &bytes)
{
    return crc32(bytes.constData(), bytes.size());
}

} // namespace RblPacket
