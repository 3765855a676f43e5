#pragma once

#include "devicetypes.h"
#include "rfsaframe.h"
#include "serialcomms.h"

// The scanner's command protocol: one slot per command, one done signal per
// command, and the decoding of every reply. A frame written makes the next
// valid frame its acknowledgement; data replies follow while no
// acknowledgement is awaited. A sweep is: 1F, its acknowledgement, any number
// of 1F data frames of up to 255 points, and one 06 frame that closes it.
class RfsaSerialComms : public SerialComms
{
    Q_OBJECT

public:
    enum FBand : quint8
    {
        FBand_900MHz = 0,
        FBand_2400MHz = 1
    };
    Q_ENUM(FBand)
    enum SetFBand : quint8
    {
        SetFBand_900MHz = 1,
        SetFBand_2400MHz = 2
    };
    Q_ENUM(SetFBand)

    //! Command codes on the wire.
    // The wire codes live with the frame codec, shared with the emulator.
    using Command = RfsaFrame::Command;

    explicit RfsaSerialComms(const QString &portName, QObject *parent = nullptr);
    ~RfsaSerialComms() override;

    static QByteArray buildFrame(quint8 command, const QByteArray &payload = QByteArray());
    static quint16 frameCrc(const QByteArray &bytes);

    //! Takes bytes as if the port had delivered them (benchmarks and tests
    //! drive the receive path without a device this way).
    void receive(const QByteArray &bytes);

    quint8 lastCommand() const { return m_lastCommand; }
    const RfSpectrumScan &receivedSpectrum() const { return rxSpectrum; }

signals:
    void connectDone();
    void disconnectDone();
    void getDeviceVerDone(const QString &devVer);
    void getFwVerDone(const QString &fwVer);
    void getRfParamsDone(const RfParams &params);
    void getLastErrorDone(int lastError);
    void syncDone();
    void hostBLDone();
    void setFBandDone();
    void setFStartDone();
    void setFStopDone();
    void setSpanIndexDone();
    void setFStepDone();
    void setRBWDone();
    void setStepCountDone();
    void setSpanDone();
    void initParameterDone();
    void getSpecNoInitAck();
    void getSpecNoInitDone(qint64 timeStamp, const RfSpectrumScan &spectrum);
    void getCalibrationDone(qint64 timeStamp, const RfSpectrumScan &spectrum);
    void resetToBootloaderDone();
    void getInfoStrDone(uchar cpu, uchar str, const QString &data);

public slots:
    void readData() override;
    void connect();
    void disconnect();
    void getDeviceVer();
    void getFwVer();
    void getRfParams(RfsaSerialComms::FBand band);
    void getLastError();
    void sync();
    void hostBL();
    void setFBand(RfsaSerialComms::SetFBand band);
    void setFStart(double frequencyMHz);
    void setFStop(double frequencyMHz);
    void setSpanIndex(uchar index);
    void setFStep(double frequencyKHz);
    void setRBW(uchar rbwRegValue);
    void setStepCount(ushort stepCount);
    void setSpan(ushort FrequencyMHz);
    void initParameter();
    void getSpecNoInit();
    void getCalibration();
    void resetToBootloader();
    void getInfoStr(uchar cpu, uchar str);

private:
    void sendFrame(const QByteArray &frame);
    void processBuffer();
    //! Decodes the frame of `size` bytes at `offset`; false when the buffer
    //! was discarded because of it.
    bool processFrame(int offset, int size);
    void handleAck(quint8 command);
    void handleReply(quint8 command, const QByteArray &payload);
    void decodeRfParams(const QByteArray &payload);
    void deliverSpectrum(const QString &title, bool calibration);

    RfParams rfParams;
    RfSpectrumScan rxSpectrum; //!< points of the sweep (or calibration) being collected
    quint8 infoCpu = 0;        //!< arguments of the last getInfoStr, echoed in its done signal
    quint8 infoStr = 0;
    quint8 m_lastCommand = 0; //!< command code of the last frame written
};
