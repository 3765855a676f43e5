#include "rfsaserialcomms.h"

#include "clock.h"
#include "devicelog.h"
#include "rfsaframe.h"

#include <QDataStream>
#include <QDateTime>
#include <QStringList>

#include <cstring>

using namespace RfsaFrame;

namespace {

// RF-parameter progress is process-wide on purpose: the header and its
// entries may be read by different protocol objects. Only the communication
// thread touches it.
constexpr quint8 HeaderExpected = 0xFF;
quint8 g_expectedEntries = HeaderExpected; //!< entries announced, or HeaderExpected
quint8 g_nextEntry = 0;                    //!< index of the next entry frame

QString textUpToZero(const QByteArray &payload)
{
    const int zero = payload.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? payload : payload.left(zero));
}

} // namespace

void registerDeviceMetaTypes()
{
    qRegisterMetaType<RfParamsEntry>("RfParamsEntry");
    qRegisterMetaType<RfParams>("RfParams");
    qRegisterMetaType<QVector<qint8>>();
    qRegisterMetaType<RfSpectrumScan>("RfSpectrumScan");
    qRegisterMetaType<RfsaSerialComms::FBand>("RfsaSerialComms::FBand");
    qRegisterMetaType<RfsaSerialComms::SetFBand>("RfsaSerialComms::SetFBand");
}

RfsaSerialComms::RfsaSerialComms(const QString &portName, QObject *parent)
    : SerialComms(portName, parent)
{
    // The device drops the link once it has acknowledged a disconnect.
    QObject::connect(this, &RfsaSerialComms::disconnectDone, this, &SerialComms::closePort);
}

RfsaSerialComms::~RfsaSerialComms() = default;

QByteArray RfsaSerialComms::buildFrame(quint8 command, const QByteArray &payload)
{
    return RfsaFrame::buildFrame(command, payload);
}

quint16 RfsaSerialComms::frameCrc(const QByteArray &bytes)
{
    return RfsaFrame::frameCrc(bytes);
}

// ---- sending -------------------------------------------------------------

void RfsaSerialComms::sendFrame(const QByteArray &frame)
{
    if (logWanted())
        emit log(QStringLiteral(">> ") + RfsaFrame::hex(frame));
    writeToPort(frame);
    setWaitingAck(true);
    m_lastCommand = frame.size() > 2 ? static_cast<quint8>(frame.at(2)) : 0;
}

void RfsaSerialComms::connect()
{
    sendFrame(buildFrame(CmdConnect));
}

void RfsaSerialComms::disconnect()
{
    sendFrame(buildFrame(CmdDisconnect));
}

void RfsaSerialComms::getDeviceVer()
{
    sendFrame(buildFrame(CmdGetDeviceVer));
}

void RfsaSerialComms::getFwVer()
{
    sendFrame(buildFrame(CmdGetFwVer));
}

void RfsaSerialComms::getRfParams(RfsaSerialComms::FBand band)
{
    // A sequence that ended midway must not leave the next header to be
    // mistaken for an entry.
    g_expectedEntries = HeaderExpected;
    g_nextEntry = 0;
    sendFrame(buildFrame(CmdGetRfParams, QByteArray(1, static_cast<char>(band))));
}

void RfsaSerialComms::getLastError()
{
    sendFrame(buildFrame(CmdGetLastError));
}

void RfsaSerialComms::sync()
{
    sendFrame(buildFrame(CmdSync));
}

void RfsaSerialComms::hostBL()
{
    sendFrame(buildFrame(CmdHostBL));
}

void RfsaSerialComms::setFBand(RfsaSerialComms::SetFBand band)
{
    sendFrame(buildFrame(CmdSetFBand, QByteArray(1, static_cast<char>(band))));
}

void RfsaSerialComms::setFStart(double frequencyMHz)
{
    sendFrame(buildFrame(CmdSetFStart, RfsaFrame::encodeFrequencyMHz(frequencyMHz)));
}

void RfsaSerialComms::setFStop(double frequencyMHz)
{
    sendFrame(buildFrame(CmdSetFStop, RfsaFrame::encodeFrequencyMHz(frequencyMHz)));
}

void RfsaSerialComms::setSpanIndex(uchar index)
{
    sendFrame(buildFrame(CmdSetSpanIndex, QByteArray(1, static_cast<char>(index))));
}

void RfsaSerialComms::setFStep(double frequencyKHz)
{
    if (!RfsaFrame::stepKHzEncodable(frequencyKHz))
        qCWarning(lcDevice) << "Frequency step out of range, sent as 0:" << frequencyKHz;
    sendFrame(buildFrame(CmdSetFStep, RfsaFrame::encodeStepKHz(frequencyKHz)));
}

void RfsaSerialComms::setRBW(uchar rbwRegValue)
{
    sendFrame(buildFrame(CmdSetRBW, QByteArray(1, static_cast<char>(rbwRegValue))));
}

void RfsaSerialComms::setStepCount(ushort stepCount)
{
    sendFrame(buildFrame(CmdSetStepCount, RfsaFrame::u16(stepCount)));
}

void RfsaSerialComms::setSpan(ushort FrequencyMHz)
{
    sendFrame(buildFrame(CmdSetSpan, RfsaFrame::u16(FrequencyMHz)));
}

void RfsaSerialComms::initParameter()
{
    // The device has no such command: nothing is sent and nothing answers.
}

void RfsaSerialComms::getSpecNoInit()
{
    sendFrame(buildFrame(CmdGetSpecNoInit));
}

void RfsaSerialComms::getCalibration()
{
    sendFrame(buildFrame(CmdGetCalibration));
}

void RfsaSerialComms::resetToBootloader()
{
    sendFrame(buildFrame(CmdResetToBootloader));
}

void RfsaSerialComms::getInfoStr(uchar cpu, uchar str)
{
    infoCpu = cpu;
    infoStr = str;
    QByteArray payload;
    payload.append(static_cast<char>(cpu));
    payload.append(static_cast<char>(str));
    sendFrame(buildFrame(CmdGetInfoStr, payload));
}

// ---- receiving -----------------------------------------------------------

void RfsaSerialComms::readData()
{
    rxBuffer.append(linkDevice()->readAll());
    processBuffer();
}

void RfsaSerialComms::receive(const QByteArray &bytes)
{
    rxBuffer.append(bytes);
    processBuffer();
}

void RfsaSerialComms::processBuffer()
{
    // Frames are consumed by moving an offset and compacting once at the
    // end, so a large read is not shifted once per frame.
    int pos = 0;
    while (rxBuffer.size() - pos > 4) {
        const auto *data = reinterpret_cast<const quint8 *>(rxBuffer.constData());
        if (data[pos] != RfsaFrame::StartByte) {
            // No resynchronisation on the next start byte: a 2A inside a
            // payload would make it worse than waiting for the watchdog.
            const QByteArray rest = rxBuffer.mid(pos);
            emit log(QStringLiteral("Data Corruption! ") + RfsaFrame::hex(rest));
            qCCritical(lcDevice).noquote() << "Data Corruption!" << rest.toHex(' ');
            rxBuffer.clear();
            return;
        }
        const int size = data[pos + 1] + RfsaFrame::Overhead;
        if (rxBuffer.size() - pos < size)
            break;
        if (!processFrame(pos, size))
            return;
        pos += size;
    }
    if (pos > 0)
        rxBuffer.remove(0, pos);
}

bool RfsaSerialComms::processFrame(int offset, int size)
{
    const char *frame = rxBuffer.constData() + offset;
    if (static_cast<quint8>(frame[0]) != RfsaFrame::StartByte) {
        emit error(tr("Bad data received"));
        rxBuffer.clear();
        return false;
    }
    const quint16 crc = RfsaFrame::crc16(frame + 1, size - 3);
    const quint16 got = static_cast<quint16>((static_cast<quint8>(frame[size - 2]) << 8) |
                                             static_cast<quint8>(frame[size - 1]));
    if (crc != got) {
        emit log(QStringLiteral("CRC error: ") + RfsaFrame::hex(QByteArray(frame, size)));
        rxBuffer.clear();
        emit error(tr("Crc error on received data"));
        return false;
    }
    const quint8 command = static_cast<quint8>(frame[2]);
    if (logWanted())
        emit log(QStringLiteral("<< ") + RfsaFrame::hex(QByteArray(frame, size)));
    if (waitingAck()) {
        setWaitingAck(false);
        handleAck(command);
    } else {
        handleReply(command, QByteArray(frame + 3, size - RfsaFrame::Overhead));
    }
    return true;
}

void RfsaSerialComms::handleAck(quint8 command)
{
    switch (command) {
    case CmdConnect:
        emit connectDone();
        break;
    case CmdDisconnect:
        emit disconnectDone();
        break;
    case CmdSync:
        emit syncDone();
        break;
    case CmdSetFBand:
        emit setFBandDone();
        break;
    case CmdSetFStart:
        emit setFStartDone();
        break;
    case CmdSetFStop:
        emit setFStopDone();
        break;
    case CmdSetSpanIndex:
        emit setSpanIndexDone();
        break;
    case CmdSetFStep:
        emit setFStepDone();
        break;
    case CmdSetRBW:
        emit setRBWDone();
        break;
    case CmdSetStepCount:
        emit setStepCountDone();
        break;
    case CmdSetSpan:
        emit setSpanDone();
        break;
    case CmdGetSpecNoInit:
        // A fresh vector rather than clear(): the last sweep may still be
        // shared with its receiver, and clearing would copy it first.
        rxSpectrum = RfSpectrumScan();
        rxSpectrum.reserve(512);
        emit getSpecNoInitAck();
        break;
    case CmdResetToBootloader:
        emit resetToBootloaderDone();
        break;
    case CmdHostBL:
        emit hostBLDone();
        break;
    default:
        // Commands that answer with data: the reply proper follows.
        break;
    }
}

void RfsaSerialComms::handleReply(quint8 command, const QByteArray &payload)
{
    switch (command) {
    case CmdGetDeviceVer: {
        const QString text = textUpToZero(payload);
        emit log(QStringLiteral("Device Version: %1").arg(text));
        emit getDeviceVerDone(text);
        break;
    }
    case CmdGetFwVer: {
        QStringList parts;
        for (char c : payload)
            parts << QString::number(static_cast<qint8>(c));
        const QString text = parts.join(QLatin1Char('.'));
        emit log(QStringLiteral("Firmware Version: ") + text);
        emit getFwVerDone(text);
        break;
    }
    case CmdGetRfParams:
        decodeRfParams(payload);
        break;
    case CmdGetLastError: {
        QDataStream in(payload);
        quint16 code = 0; // a short payload reads as zero, never past its end
        in >> code;
        // Every sweep ends with this reply: its line is built only for a
        // listener, like the frames' own.
        if (logWanted())
            emit log(QStringLiteral("Last Error: %1").arg(code));
        emit getLastErrorDone(code);
        if (m_lastCommand == CmdGetSpecNoInit)
            deliverSpectrum(QStringLiteral("Current Spectrum: ("), false);
        else if (m_lastCommand == CmdGetCalibration)
            deliverSpectrum(QStringLiteral("Calibration Array: ("), true);
        break;
    }
    case CmdGetSpecNoInit:
    case CmdGetCalibration: {
        if (logWanted())
            emit log(command == CmdGetSpecNoInit ? QStringLiteral("Getting Spectrum")
                                                 : QStringLiteral("Getting calibration array"));
        const int old = rxSpectrum.size();
        rxSpectrum.resize(old + payload.size());
        std::memcpy(rxSpectrum.data() + old, payload.constData(),
                    static_cast<size_t>(payload.size()));
        break;
    }
    case CmdGetInfoStr: {
        emit log(QStringLiteral("Got Info String (%1, %2)").arg(infoCpu).arg(infoStr));
        const QString text = textUpToZero(payload);
        emit log(text);
        emit getInfoStrDone(infoCpu, infoStr, text);
        break;
    }
    default:
        break;
    }
}

void RfsaSerialComms::decodeRfParams(const QByteArray &payload)
{
    QDataStream in(payload);
    if (g_expectedEntries == HeaderExpected) {
        qint8 count = 0;
        quint16 sweepCount = 0;
        in >> count >> sweepCount;
        // The count is a signed byte: a negative one cannot be honoured and
        // must not size the table, so it counts as none (and, like a zero
        // count, the table then never completes).
        if (count < 0) {
            qCWarning(lcDevice) << "RF parameter header with impossible entry count" << count;
            count = 0;
        }
        g_expectedEntries = static_cast<quint8>(count);
        g_nextEntry = 0;
        emit log(QStringLiteral("RF Params - RBW Count: %1 Sweep Count: %2")
                     .arg(static_cast<quint8>(count))
                     .arg(sweepCount));
        rfParams.sweepCount = sweepCount;
        rfParams.entries = QVector<RfParamsEntry>(count);
        return;
    }
    if (g_nextEntry >= g_expectedEntries || g_nextEntry >= rfParams.entries.size()) {
        // Progress left over from another object's header: this object has no
        // table to put the entry in.
        qCWarning(lcDevice) << "Unexpected RF parameter entry dropped";
        return;
    }
    RfParamsEntry entry;
    quint16 ifValue = 0;
    quint8 setting = 0;
    in >> entry.rbw >> ifValue >> setting;
    entry.ifValue = ifValue;
    entry.setting = setting;
    emit log(QStringLiteral("Entry %1 - RBW: %2 IF: %3 Setting: %4")
                 .arg(g_nextEntry)
                 .arg(entry.rbw, 0, 'g')
                 .arg(entry.ifValue)
                 .arg(entry.setting));
    rfParams.entries[g_nextEntry] = entry;
    ++g_nextEntry;
    if (g_nextEntry == g_expectedEntries) {
        g_expectedEntries = HeaderExpected;
        emit getRfParamsDone(rfParams);
    }
}

void RfsaSerialComms::deliverSpectrum(const QString &title, bool calibration)
{
    const qint64 timeStamp = Clock::nowMs();
    if (logWanted()) {
        // Built as Latin-1 bytes: this line goes out with every sweep while
        // the debug window listens, and per-point QStrings dominated it.
        QByteArray line = title.toLatin1() + QByteArray::number(rxSpectrum.size()) + ") ";
        line.reserve(line.size() + rxSpectrum.size() * 5);
        char digits[5];
        for (qint8 v : qAsConst(rxSpectrum)) {
            int n = v < 0 ? -int(v) : int(v);
            int len = 0;
            do {
                digits[len++] = static_cast<char>('0' + n % 10);
                n /= 10;
            } while (n > 0);
            if (v < 0)
                line += '-';
            while (len > 0)
                line += digits[--len];
            line += ' ';
        }
        emit log(QString::fromLatin1(line));
    }
    if (calibration)
        emit getCalibrationDone(timeStamp, rxSpectrum);
    else
        emit getSpecNoInitDone(timeStamp, rxSpectrum);
}
