#include "simbootloader.h"

#include "simdevice.h"

#include <zlib.h>

const QByteArray SimBootloader::VersionMarker = QByteArrayLiteral("ORVANEL-RADIO-VERSION:");

namespace {

const QByteArray Ack = QByteArray::fromHex("00cc");
const QByteArray Nack = QByteArray::fromHex("0033");
const QByteArray AutoBaudBytes = QByteArray::fromHex("5555");
constexpr int MaxVersionLength = 64;

quint32 be32(const QByteArray &p, int at)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<quint8>(p.at(at + i));
    return v;
}

QByteArray toBe32(quint32 v)
{
    QByteArray out(4, 0);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>(v >> (24 - 8 * i));
    return out;
}

//! The registers a client reads to identify the chip and its flash size.
struct Register
{
    quint32 address;
    quint8 bytes[4];
};
const Register registers[] = {
    {0x50001318, {0x2F, 0xA0, 0x99, 0x7B}}, // user ID: the chip package and revision
    {0x50001294, {0x00, 0x50, 0x02, 0x00}}, // ICEPICK device ID
    {0x40082250, {0x03, 0x00, 0x00, 0x00}}, // RAM size register
};
// Its first byte is the number of flash sectors.
constexpr quint32 FlashSizeRegister = 0x4003002C;

} // namespace

SimBootloader::SimBootloader(const SimOptions &options)
    : m_options(options), m_flash(options.blFlashSectors * SectorSize, char(0xFF))
{
}

void SimBootloader::holdHalfWritten(const QByteArray &image)
{
    m_flash.fill(char(0xFF));
    const int half = qMin(image.size(), m_flash.size()) / 2 / SectorSize * SectorSize;
    m_flash.replace(0, half, image.left(half));
    m_flashTouched = true;
    m_synced = true;
}

bool SimBootloader::imageValid() const
{
    // Untouched, the flash holds the image the radio came with (not modelled
    // byte by byte).
    if (!m_flashTouched)
        return true;
    const QByteArray last = m_flash.right(SectorSize);
    return last.count(char(0xFF)) != last.size();
}

quint8 SimBootloader::checksum(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char c : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    return sum;
}

quint32 SimBootloader::crc32(const char *data, int size)
{
    return static_cast<quint32>(
        ::crc32(::crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(data), uInt(size)));
}

QString SimBootloader::versionIn(const QByteArray &image)
{
    const int at = image.indexOf(VersionMarker);
    if (at < 0)
        return QString();
    const int start = at + VersionMarker.size();
    const int end = image.indexOf('\0', start);
    if (end <= start || end - start > MaxVersionLength)
        return QString();
    const QByteArray text = image.mid(start, end - start);
    for (char c : text) {
        if (c < 0x20 || c > 0x7E)
            return QString(); // erased or half-written flash, not a version
    }
    return QString::fromLatin1(text);
}

void SimBootloader::enter()
{
    m_rx.clear();
    m_lastResponse.clear();
    m_synced = false;
    m_awaitingAck = false;
    m_status = Success;
    m_statusOf = 0;
    m_downloadLeft = 0;
}

void SimBootloader::receive(const QByteArray &bytes)
{
    m_rx.append(bytes);
    parse();
}

void SimBootloader::dropPartial()
{
    if (!m_rx.isEmpty())
        junk(m_rx.size());
}

void SimBootloader::lineClosed()
{
    dropPartial();
    if (m_silentUntilClosed) {
        qCInfo(lcSim, "bootloader answers again");
        m_silent = false;
        m_silentUntilClosed = false;
    }
    if (m_awaitingAck && onUnacknowledged)
        onUnacknowledged(m_lastResponse);
    m_awaitingAck = false;
}

void SimBootloader::send(const QByteArray &bytes)
{
    if (onSend)
        onSend(bytes);
}

void SimBootloader::junk(int count)
{
    if (onReceived)
        onReceived(m_rx.left(count));
    m_rx.remove(0, count);
}

bool SimBootloader::inFlash(quint64 address, quint64 size) const
{
    return address + size <= quint64(m_flash.size());
}

void SimBootloader::parse()
{
    while (!m_rx.isEmpty()) {
        if (m_silent) {
            junk(m_rx.size());
            return;
        }
        if (!m_synced) {
            // Until auto-baud the UART is not locked; whatever else comes is noise.
            const int at = m_rx.indexOf(AutoBaudBytes);
            if (at < 0) {
                const bool half = static_cast<quint8>(m_rx.back()) == 0x55;
                if (m_rx.size() > 1 || !half)
                    junk(m_rx.size() - (half ? 1 : 0));
                return;
            }
            if (at > 0)
                junk(at);
            junk(2);
            if (++m_commands > m_options.blSilentAfter && m_options.blSilentAfter > 0) {
                m_silent = true;
                continue;
            }
            if (m_options.blNack.contains(AutoBaud)) {
                send(Nack);
            } else {
                m_synced = true;
                send(Ack);
            }
            continue;
        }
        const quint8 size = static_cast<quint8>(m_rx.at(0));
        if (size == 0) {
            if (m_rx.size() < 2)
                return;
            const quint8 second = static_cast<quint8>(m_rx.at(1));
            if (second != 0xCC && second != 0x33) {
                junk(1); // zero padding before a packet
                continue;
            }
            junk(2);
            if (m_awaitingAck && second == 0x33) {
                send(m_lastResponse);
            } else {
                m_awaitingAck = false;
            }
            continue;
        }
        if (size < 3) {
            // Too short to hold a checksum and a command.
            junk(1);
            send(Nack);
            continue;
        }
        if (m_rx.size() < size)
            return;
        const QByteArray packet = m_rx.left(size);
        junk(size);
        // A host that moves on without acknowledging gives up the response;
        // a real bootloader would then misread the packet, so it is a fault
        // of the host and is reported.
        if (m_awaitingAck && onUnacknowledged)
            onUnacknowledged(m_lastResponse);
        m_awaitingAck = false;
        handle(packet);
    }
}

void SimBootloader::handle(const QByteArray &packet)
{
    if (++m_commands > m_options.blSilentAfter && m_options.blSilentAfter > 0) {
        qCInfo(lcSim, "bootloader silent after %d commands as told", m_options.blSilentAfter);
        m_silent = true;
        return;
    }
    const quint8 command = static_cast<quint8>(packet.at(2));
    if (command == m_options.blSilentAtCode && ++m_silentAtSeen == m_options.blSilentAtCount) {
        qCInfo(lcSim, "bootloader silent at command %02x as told, until the port is reopened",
               command);
        m_silent = true;
        m_silentUntilClosed = true;
        return;
    }
    if (checksum(packet.mid(2)) != static_cast<quint8>(packet.at(1))) {
        qCInfo(lcSim, "bootloader packet with a bad checksum: NACK");
        send(Nack);
        return;
    }
    if (m_options.blNack.contains(command)) {
        qCInfo(lcSim, "bootloader NACKs command %02x as told", command);
        send(Nack);
        return;
    }
    send(Ack);
    if (command == CmdGetStatus) {
        const auto forced = m_options.blStatus.constFind(m_statusOf);
        respond(QByteArray(1, static_cast<char>(forced != m_options.blStatus.constEnd()
                                                    ? quint8(forced.value())
                                                    : m_status)));
        return;
    }
    m_status = execute(command, packet.mid(3));
    m_statusOf = command;
}

quint8 SimBootloader::execute(quint8 command, const QByteArray &payload)
{
    const int n = payload.size();
    switch (command) {
    case CmdPing:
    case CmdBankErase:
        if (n != 0)
            return InvalidCommand;
        if (command == CmdBankErase) {
            m_flash.fill(char(0xFF));
            m_flashTouched = true;
        }
        return Success;
    case CmdDownload: {
        if (n != 8)
            return InvalidCommand;
        const quint32 address = be32(payload, 0);
        const quint32 size = be32(payload, 4);
        if (size == 0 || size % 4 != 0 || !inFlash(address, size))
            return InvalidAddress;
        // A new download replaces one that has not finished.
        m_downloadAddress = address;
        m_downloadLeft = size;
        return Success;
    }
    case CmdSendData: {
        if (n < 1 || n > MaxSendData || quint32(n) > m_downloadLeft)
            return InvalidCommand;
        // Flash programming can only clear bits: a byte that would need one
        // set again stays wrong, and the write fails.
        bool failed = false;
        m_flashTouched = true;
        for (int i = 0; i < n; ++i) {
            char &cell = m_flash.data()[m_downloadAddress + quint32(i)];
            cell = static_cast<char>(cell & payload.at(i));
            failed = failed || cell != payload.at(i);
        }
        m_downloadAddress += quint32(n);
        m_downloadLeft -= quint32(n);
        return failed ? FlashFail : Success;
    }
    case CmdReset:
        if (n != 0)
            return InvalidCommand;
        enter();
        if (onReset)
            onReset();
        return Success;
    case CmdSectorErase: {
        if (n != 4)
            return InvalidCommand;
        const quint32 address = be32(payload, 0);
        if (!inFlash(address, 1))
            return InvalidAddress;
        const int first = int(address / SectorSize) * SectorSize;
        m_flashTouched = true;
        m_flash.replace(first, SectorSize, QByteArray(SectorSize, char(0xFF)));
        return Success;
    }
    case CmdCrc32: {
        if (n != 12) {
            respond(toBe32(0));
            return InvalidCommand;
        }
        const quint32 address = be32(payload, 0);
        const quint32 size = be32(payload, 4);
        if (!inFlash(address, size)) {
            respond(toBe32(0));
            return InvalidAddress;
        }
        respond(toBe32(crc32(m_flash.constData() + address, int(size)) ^
                       (m_options.blBadCrc ? 0x5A5A5A5Au : 0u)));
        return Success;
    }
    case CmdGetChipId:
        respond(toBe32(m_options.blChipId));
        return n == 0 ? Success : InvalidCommand;
    case CmdMemoryRead: {
        // An unanswerable read still gets a (empty) response, so a client
        // waiting for one is not left hanging; the status tells what was wrong.
        if (n != 6) {
            respond(QByteArray());
            return InvalidCommand;
        }
        const quint32 address = be32(payload, 0);
        const int type = static_cast<quint8>(payload.at(4));
        const int count = static_cast<quint8>(payload.at(5));
        const int width = type == 1 ? 4 : 1;
        if (type > 1 || count < 1 || count * width > 253) {
            respond(QByteArray());
            return InvalidCommand;
        }
        if (width == 4 && address % 4 != 0) {
            respond(QByteArray());
            return InvalidAddress;
        }
        QByteArray data(count * width, 0);
        for (int i = 0; i < data.size(); ++i)
            data[i] = memoryByte(address + quint32(i));
        respond(data);
        return Success;
    }
    case CmdMemoryWrite:
        if (n < 6)
            return InvalidCommand;
        // Flash is written by download only; elsewhere there is nothing to keep.
        return inFlash(be32(payload, 0), 1) ? InvalidAddress : Success;
    case CmdSetCcfg:
        return n == 8 ? Success : InvalidCommand;
    default:
        qCInfo(lcSim, "bootloader: unknown command %02x", command);
        return UnknownCommand;
    }
}

char SimBootloader::memoryByte(quint32 address) const
{
    if (inFlash(address, 1))
        return m_flash.at(int(address));
    const quint32 word = address & ~quint32(3);
    if (word == FlashSizeRegister)
        return address == word ? static_cast<char>(m_flash.size() / SectorSize) : char(0);
    for (const Register &r : registers) {
        if (r.address == word)
            return static_cast<char>(r.bytes[address - word]);
    }
    return 0;
}

void SimBootloader::respond(const QByteArray &data)
{
    QByteArray packet;
    packet.append(static_cast<char>(data.size() + 2));
    packet.append(static_cast<char>(checksum(data)));
    packet.append(data);
    m_lastResponse = packet;
    m_awaitingAck = true;
    if (++m_responses == m_options.blBadChecksum) {
        qCInfo(lcSim, "bootloader response %d with a spoilt checksum as told", m_responses);
        packet[1] = static_cast<char>(packet.at(1) ^ 0xA5);
    }
    send(packet);
}
