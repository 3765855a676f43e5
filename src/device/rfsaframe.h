#pragma once

#include <QByteArray>
#include <QtGlobal>

// The scanner's frame layer as pure functions, shared by the program's
// protocol object and by the scanner emulator:
//   2A | length N | command | N payload bytes | CRC-16 (high byte first)
// The CRC (poly 0x1021, init 0x002A, MSB first, no final XOR) covers every
// byte but the start byte and the CRC itself.
namespace RfsaFrame {

//! Command codes on the wire; replies and acknowledgements echo them.
enum Command : quint8
{
    CmdConnect = 0x01,
    CmdDisconnect = 0x02,
    CmdGetDeviceVer = 0x03,
    CmdGetFwVer = 0x04,
    CmdGetRfParams = 0x05,
    CmdGetLastError = 0x06,
    CmdSync = 0x07,
    CmdSetFBand = 0x14,
    CmdSetFStart = 0x15,
    CmdSetFStop = 0x16,
    CmdSetSpanIndex = 0x17,
    CmdSetFStep = 0x18,
    CmdSetRBW = 0x19,
    CmdSetStepCount = 0x1A,
    CmdSetSpan = 0x1B,
    CmdGetSpecNoInit = 0x1F,
    CmdResetToBootloader = 0x80,
    CmdHostBL = 0x81,
    CmdGetInfoStr = 0x82,
    CmdGetCalibration = 0x83
};

constexpr quint8 StartByte = 0x2A;
constexpr int Overhead = 5;     //!< start, length, command and two CRC bytes
constexpr int MaxPayload = 255; //!< the length field is one byte

//! CRC over all bytes of `bytes` but the first (the start byte).
quint16 frameCrc(const QByteArray &bytes);
//! CRC over a raw byte range, no byte skipped.
quint16 crc16(const char *data, int size, quint16 crc = 0x002A);

//! Lays out a frame; only the low eight bits of the payload size go in the
//! length byte, as the device expects, so callers keep payloads <= 255 bytes.
QByteArray buildFrame(quint8 command, const QByteArray &payload = QByteArray());

//! Result of looking at the front of a receive buffer.
enum class Scan
{
    NeedMore, //!< fewer bytes than a whole frame
    Corrupt,  //!< the buffer does not start with the start byte
    BadCrc,   //!< a whole frame whose CRC does not match
    Frame     //!< a whole, valid frame
};

struct Parsed
{
    Scan status = Scan::NeedMore;
    int size = 0; //!< bytes the frame occupies at the front (N + 5)
    quint8 command = 0;
    QByteArray payload;
};

//! Looks at the first frame of `buffer` without consuming it.
Parsed parseFront(const QByteArray &buffer);

//! 16.16 encodings of the set-frequency commands. The fraction is rounded to
//! the nearest 1/65536 and a rounding up to 65536 carries into the integer
//! part, so 2400.999999 goes out as 2401 rather than wrapping to 2400.
QByteArray encodeFrequencyMHz(double frequencyMHz);
//! Step in kHz as the unsigned 32-bit value kHz * 65536 / 1000, rounded.
QByteArray encodeStepKHz(double frequencyKHz);
//! Whether a step fits the 32-bit encoding (finite, not negative, no overflow).
bool stepKHzEncodable(double frequencyKHz);

QByteArray u16(quint16 value);
QByteArray u32(quint32 value);

//! Lower-case hexadecimal without separators, as the frame log shows it.
QString hex(const QByteArray &bytes);

} // namespace RfsaFrame
