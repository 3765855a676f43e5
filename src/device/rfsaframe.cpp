#include "rfsaframe.h"

#include <QString>

#include <cmath>

namespace RfsaFrame {

quint16 crc16(const char *data, int size, quint16 crc)
{
    for (int i = 0; i < size; ++i) {
        const quint8 byte = static_cast<quint8>(data[i]);
        crc = static_cast<quint16>((crc >> 8) | (crc << 8));
        crc ^= byte;
        crc ^= static_cast<quint16>((crc & 0xFF) >> 4);
        crc ^= static_cast<quint16>(crc << 12);
        crc ^= static_cast<quint16>((crc & 0xFF) << 5);
    }
    return crc;
}

quint16 frameCrc(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return 0x002A;
    return crc16(bytes.constData() + 1, bytes.size() - 1);
}

QByteArray buildFrame(quint8 command, const QByteArray &payload)
{
    QByteArray frame;
    frame.reserve(payload.size() + Overhead);
    frame.append(static_cast<char>(StartByte));
    frame.append(static_cast<char>(payload.size() & 0xFF));
    frame.append(static_cast<char>(command));
    frame.append(payload);
    const quint16 crc = frameCrc(frame);
    frame.append(static_cast<char>(crc >> 8));
    frame.append(static_cast<char>(crc & 0xFF));
    return frame;
}

Parsed parseFront(const QByteArray &buffer)
{
    Parsed p;
    if (buffer.size() < Overhead)
        return p;
    if (static_cast<quint8>(buffer.at(0)) != StartByte) {
        p.status = Scan::Corrupt;
        return p;
    }
    const int n = static_cast<quint8>(buffer.at(1));
    if (buffer.size() < n + Overhead)
        return p;
    p.size = n + Overhead;
    const quint16 expected = crc16(buffer.constData() + 1, n + 2);
    const quint16 got = static_cast<quint16>((static_cast<quint8>(buffer.at(n + 3)) << 8) |
                                             static_cast<quint8>(buffer.at(n + 4)));
    p.command = static_cast<quint8>(buffer.at(2));
    if (expected != got) {
        p.status = Scan::BadCrc;
        return p;
    }
    p.status = Scan::Frame;
    p.payload = buffer.mid(3, n);
    return p;
}

QByteArray u16(quint16 value)
{
    QByteArray b(2, 0);
    b[0] = static_cast<char>(value >> 8);
    b[1] = static_cast<char>(value & 0xFF);
    return b;
}

QByteArray u32(quint32 value)
{
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    return b;
}

QByteArray encodeFrequencyMHz(double frequencyMHz)
{
    if (!std::isfinite(frequencyMHz))
        frequencyMHz = 0;
    double whole = std::floor(frequencyMHz);
    long long fraction = std::llround((frequencyMHz - whole) * 65536.0);
    if (fraction >= 65536) {
        whole += 1;
        fraction -= 65536;
    }
    const quint16 integerPart = static_cast<quint16>(static_cast<long long>(whole) & 0xFFFF);
    return u16(integerPart) + u16(static_cast<quint16>(fraction & 0xFFFF));
}

bool stepKHzEncodable(double frequencyKHz)
{
    if (!std::isfinite(frequencyKHz) || frequencyKHz < 0)
        return false;
    return std::llround(frequencyKHz * 65536.0 / 1000.0) <= 0xFFFFFFFFLL;
}

QByteArray encodeStepKHz(double frequencyKHz)
{
    if (!stepKHzEncodable(frequencyKHz))
        return u32(0);
    return u32(static_cast<quint32>(std::llround(frequencyKHz * 65536.0 / 1000.0)));
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

} // namespace RfsaFrame
