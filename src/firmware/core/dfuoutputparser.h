#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Reads dfu-util's progress stream. dfu-util prints each update as a
// carriage-return line such as
//   "\rDownload\t[=========                ]  36%        12288 bytes"
// (a DfuSe file first shows an "Erase   " bar from 0 to 100 %, then the
// "Download" bar) and reads arrive in arbitrary pieces, so an update may be
// split anywhere. Pure: text in, phase and percentage out.
class DfuOutputParser
{
public:
    enum class Phase
    {
        None,
        Erase,
        Download
    };

    //! Takes the next piece of standard output; true when the phase or the
    //! percentage changed.
    bool feed(const QString &chunk);

    Phase phase() const { return m_phase; }
    //! Percentage of the current phase, -1 before the first one.
    int percent() const { return m_percent; }
    //! Complete lines seen since the last call, for the log.
    QStringList takeLines();

    static QString phaseName(Phase phase);

    //! One DFU device as `dfu-util -l` lists it (one line per alternate
    //! setting, so a device may be listed several times).
    struct Device
    {
        QString id;     //!< "vvvv:pppp", lower-case hex
        QString path;   //!< bus-port path, e.g. "1-1.3"
        QString serial; //!< may be empty or "UNKNOWN"
    };
    //! The distinct devices (by path) with USB id `id` ("0483:df11") in the
    //! "Found DFU: [...]" lines of a listing; run-time (non-DFU) interfaces
    //! are not counted.
    static QList<Device> listedDevices(const QString &listing, const QString &id);

private:
    bool parseSegment(const QString &segment);

    QString m_pending; //!< text after the last line break, possibly incomplete
    QStringList m_lines;
    Phase m_phase = Phase::None;
    int m_percent = -1;
};
