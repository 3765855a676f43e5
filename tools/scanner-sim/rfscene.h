#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

//! One transmitter of the emulated air. Frequencies in MHz, levels in dBm.
struct SimEmitter
{
    enum class Type
    {
        Wifi,
        Narrow,
        Hopper,
        Carrier
    };
    Type type = Type::Carrier;
    double centreMHz = 0;  //!< Wifi, Narrow, Carrier
    double widthMHz = 0;   //!< occupied width; Carrier: 0
    double startMHz = 0;   //!< Hopper: lowest hop centre
    double stopMHz = 0;    //!< Hopper: highest hop centre
    double levelDbm = -60; //!< level at the top of the shape
    double duty = 1;       //!< share of the time on air, 0..1 (Wifi, Narrow)
    int hopsPerSweep = 0;  //!< Hopper: bursts seen in one sweep
    //! Narrow, Carrier: on the air for onSweeps sweeps, then off for
    //! offSweeps, over and over; offSweeps 0 keeps it on.
    int onSweeps = 1;
    int offSweeps = 0;

    bool onAirIn(quint64 sweepIndex) const
    {
        return offSweeps <= 0 || sweepIndex % quint64(onSweeps + offSweeps) < quint64(onSweeps);
    }
};

//! The emulated air: a noise floor and a list of emitters.
struct RfScene
{
    double noiseFloorDbm = -98;
    QVector<SimEmitter> emitters;

    //! Wi-Fi on channels 1, 6 and 11, a ZigBee-like channel, a hopping
    //! wireless-DMX-like link in each band and a few 900 MHz carriers.
    static RfScene defaultScene();

    //! Reads a scene from JSON (see README). On failure returns false and a
    //! message that names the offending emitter and key.
    static bool fromJson(const QByteArray &json, RfScene *scene, QString *error);
    static bool fromFile(const QString &path, RfScene *scene, QString *error);

    //! Centre of Wi-Fi channel 1..14 in MHz.
    static double wifiChannelMHz(int channel);
};
