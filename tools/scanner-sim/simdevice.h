#pragma once

#include "rfscene.h"
#include "simoptions.h"
#include "sweepsynth.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcSim)

//! One frame the device wants to send, with what the link needs to pace it.
struct SimReply
{
    enum class Kind
    {
        Ack,        //!< acknowledgement of a command
        Data,       //!< any other reply frame
        SweepStart, //!< first data frame of a sweep: comes after the measurement
        SweepData,  //!< further data frames of a sweep
        SweepEnd,   //!< the 06 frame that closes a sweep
        HostBlAck,  //!< acknowledgement after which the host processor leaves for DFU
        Bootloader  //!< bytes of the radio's ROM bootloader, not a frame
    };
    QByteArray frame;
    Kind kind = Kind::Data;
    double extraDelayMs = 0; //!< e.g. a delayed acknowledgement
};

//! The scanner's side of the protocol: reassembles command frames from the
//! byte stream, keeps the programmed sweep and answers every command. It
//! knows nothing of terminals or time; the server paces what it returns.
class SimDevice
{
public:
    //! Programmed sweep, as the set-commands leave it.
    struct Setup
    {
        int setFBand = 2; //!< 1 = 900 MHz, 2 = 2.4 GHz
        double fStartMHz = 2400;
        double fStopMHz = 2500;
        int rbw = 41;
        double fStepKHz = 200;
        int stepCount = 5;
        int spanMHz = 100;
        int spanIndex = 9;
    };

    //! Device error codes reported by getLastError (and cleared by it).
    enum Error : quint16
    {
        NoError = 0,
        UnknownCommand = 1,
        FrameError = 2,
        BadArgument = 3
    };

    //! A sweep never holds more points than this, whatever is programmed.
    static constexpr int MaxPoints = 10001;

    SimDevice(const SimOptions &options, const RfScene &scene);

    std::function<void(const QByteArray &)> onFrame; //!< a valid frame arrived
    std::function<void(const QByteArray &)> onJunk;  //!< bytes dropped while resynchronising
    std::function<void(const SimReply &)> onReply;   //!< a frame to send
    //! The radio was told to drop into its ROM bootloader (after the acknowledgement).
    std::function<void()> onResetToBootloader;

    void receive(const QByteArray &bytes);
    //! Bytes of an unfinished frame are waiting.
    bool hasPartial() const { return !m_rx.isEmpty(); }
    //! The unfinished frame has waited too long: its start byte was junk,
    //! look for the next one (a real device has an inter-byte timeout).
    void dropPartial();
    //! The port was closed: forget half-received input.
    void resetLink();

    const Setup &setup() const { return m_setup; }
    //! Span x 1000 / FStep + 1, truncated, capped to 1..MaxPoints.
    int pointsPerSweep() const;
    bool connected() const { return m_connected; }

    //! The radio came back from its bootloader with this image version (empty:
    //! the flash holds none, the configured version stays).
    void radioRestarted(const QString &imageVersion);
    QString radioVersion() const { return m_options.radioVersion; }

    static Setup bandDefaults(int setFBand);
    //! Points for a span and a step that went through the 16.16 encoding.
    static int pointsFor(int spanMHz, double stepKHz);

private:
    void parse();
    void skipStart(); //!< drops the start byte and everything up to the next one
    void handle(quint8 code, const QByteArray &payload);
    void reply(quint8 code, const QByteArray &payload, SimReply::Kind kind, double delay = 0);
    void sendSweep();
    void sendCalibration();
    QByteArray infoString(int cpu, int str) const;
    static QByteArray text(const QString &s);

    SimOptions m_options;
    SweepSynth m_synth;
    Setup m_setup;
    QByteArray m_rx;
    bool m_connected = false;
    quint16 m_lastError = NoError;
    bool m_radioDead = false; //!< --dead-radio until a valid image is flashed
    quint64 m_sweepRequests = 0;
    quint64 m_sweepsRendered = 0;
    QByteArray m_sweep; //!< reused sweep buffer
};
