#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

//! One row of the radio's resolution-bandwidth table as the device reports it.
struct SimRfParam
{
    double rbw = 0;
    quint16 ifValue = 0;
    quint8 setting = 0;
};

//! Everything the command line can change. Defaults are those of a healthy
//! scanner with current firmware.
struct SimOptions
{
    QString linkPath;
    QString logPath;
    QString scenePath;
    int tcpPort = -1; //!< also serve the terminal on 127.0.0.1:tcpPort (0: any free port)

    QString radioVersion = QStringLiteral("1.0.0.9.0.0");
    QString hostVersion = QStringLiteral("1.0.0.9.0.69");
    QString deviceVersion = QStringLiteral("Orvanel Scanner");

    QVector<SimRfParam> rfParams900;
    QVector<SimRfParam> rfParams2400;
    quint16 sweepCount = 1;

    quint64 seed = 1;

    // Pacing: the serial line's byte time plus a measurement time per sweep,
    // or a fixed sweep rate, or nothing at all.
    double sweepTimeMs = 4.0; //!< with 523 bytes per 2.4 GHz sweep: about 20 sweeps/s
    double rate = 0;          //!< sweeps per second; 0 = paced by the line
    bool fast = false;

    // Faults, all off by default.
    QSet<int> noAck;          //!< command codes that are never answered
    int badCrcFrame = 0;      //!< 1-based index of the sent frame whose CRC is spoilt
    int garbageFrame = 0;     //!< 1-based index of the sent frame preceded by junk
    int stallSweep = 0;       //!< 1-based sweep request from which data never comes
    int hangupAfter = 0;      //!< complete sweeps after which the cable is "pulled"
    int reappearAfterMs = -1; //!< after the pull, plug in again after this long (-1: exit)
    double frameDelayMs = 0;
    QMap<int, double> delayCmd; //!< command code -> extra delay of its acknowledgement

    // The radio's ROM bootloader and its faults.
    bool startInBootloader = false;
    bool deadRadio = false;        //!< no sweep data until a valid radio image is flashed
    QSet<int> blNack;              //!< bootloader commands answered with a NACK (0x55 = auto-baud)
    QMap<int, int> blStatus;       //!< command -> what get-status answers after it
    int blBadChecksum = 0;         //!< 1-based bootloader response whose checksum is spoilt
    int blSilentAfter = 0;         //!< bootloader commands answered before going silent
    int blSilentAtCode = -1;       //!< go silent at this bootloader command ...
    int blSilentAtCount = 1;       //!< ... at its Nth occurrence, until the port is reopened
    quint32 blChipId = 0x0000B99A; //!< what get-chip-id answers
    int blFlashSectors = 0x20;     //!< 4 KiB flash sectors the radio has
    bool blBadCrc = false;         //!< the read-back CRC32 never matches
    bool blHalfWritten = false;    //!< start in the bootloader, an update cut off half-way
    QString dfuDir; //!< where the host processor shows up as a DFU device after the host-bootloader
                    //!< command

    QString testImagesDir; //!< write the test firmware images here and exit

    bool help = false;

    SimOptions();

    //! Parses the arguments (without the program name). On failure returns
    //! false and a message naming the offending option.
    bool parse(const QStringList &args, QString *error);

    static QString helpText();

    //! Parses `rbw:if:setting,...`; at most 127 entries (the count is a signed byte).
    static bool parseRfParams(const QString &text, QVector<SimRfParam> *out, QString *error);
    //! Parses a command code written as hex, with or without 0x.
    static bool parseCode(const QString &text, int *code);
};
