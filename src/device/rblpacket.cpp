#include "rblpacket.h"

#include <QCoreApplication>

#include <array>

namespace RblPacket {

quint8 checksum(const char *data, int size)
{
    quint8 sum = 0;
    for (int i = 0; i < size; ++i)
        sum = static_cast<quint8>(sum + static_cast<quint8>(data[i]));
    return sum;
}

QByteArray command(quint8 code, const QByteArray &payload)
{
    QByteArray packet;
    packet.reserve(payload.size() + 3);
    packet.append(static_cast<char>(payload.size() + 3));
    packet.append('\0');
    packet.append(static_cast<char>(code));
    packet.append(payload);
    packet[1] = static_cast<char>(checksum(packet.constData() + 2, packet.size() - 2));
    return packet;
}

QByteArray response(const QByteArray &data)
{
    QByteArray packet;
    packet.append(static_cast<char>(data.size() + 2));
    packet.append(static_cast<char>(checksum(data.constData(), data.size())));
    packet.append(data);
    return packet;
}

QByteArray autoBaud()
{
    return QByteArray("\x55\x55", 2);
}

QByteArray ack()
{
    return QByteArray("\x00\xCC", 2);
}

QByteArray nack()
{
    return QByteArray("\x00\x33", 2);
}

QByteArray u32(quint32 value)
{
    QByteArray b(4, '\0');
    b[0] = static_cast<char>(value >> 24);
    b[1] = static_cast<char>(value >> 16);
    b[2] = static_cast<char>(value >> 8);
    b[3] = static_cast<char>(value);
    return b;
}

quint32 readU32(const char *data)
{
    const auto *d = reinterpret_cast<const quint8 *>(data);
    return (quint32(d[0]) << 24) | (quint32(d[1]) << 16) | (quint32(d[2]) << 8) | quint32(d[3]);
}

QString statusText(quint8 status)
{
    switch (status) {
    case StatusUnknownCommand:
        return QCoreApplication::translate("RblPacket", "Unknown Command");
    case StatusInvalidCommand:
        return QCoreApplication::translate("RblPacket", "Invalid Command");
    case StatusInvalidAddress:
        return QCoreApplication::translate("RblPacket", "Invalid Address");
    case StatusFlashFail:
        return QCoreApplication::translate("RblPacket", "Flash Fail");
    default:
        return QString();
    }
}

static std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

quint32 crc32(const char *data, qint64 size, quint32 crc)
{
    static const std::array<quint32, 256> table = makeCrcTable();
    crc = ~crc;
    for (qint64 i = 0; i < size; ++i)
        crc = table[(crc ^ static_cast<quint8>(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

} // namespace RblPacket

QString RblPacket::chipProblem(quint32 chipId, int flashSectors, qint64 imageSize)
{
    if ((chipId & 0xFFFF) != RadioChipFamily)
        return QCoreApplication::translate("RblPacket",
                                           "The chip in the bootloader (id %1) is not the "
                                           "scanner's radio")
            .arg(chipId, 8, 16, QLatin1Char('0'));
    const qint64 flashSize = qint64(flashSectors) * SectorSize;
    if (imageSize <= 0 || imageSize > flashSize)
        return QCoreApplication::translate("RblPacket",
                                           "The radio image (%1 bytes) does not fit the radio's "
                                           "flash (%2 bytes)")
            .arg(imageSize)
            .arg(flashSize);
    return QString();
}
