#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

//! One sweep as it travels on PREFIX/NODE/sweeps. Big-endian, 24 bytes of
//! header, then one signed dBm level per point (-128 = no data):
//!
//!   0  4  magic "OVSW"
//!   4  1  version (1)
//!   5  1  band: 0 = 900 MHz, 1 = 2.4 GHz
//!   6  2  point count (1..MaxPoints)
//!   8  4  first frequency, Hz
//!  12  4  step between points, Hz
//!  16  8  time stamp, ms since 1970-01-01 UTC
//!  24  n  levels
//!
//! A reader refuses a newer version rather than guess at its layout.
struct SweepPayload
{
    enum Band : quint8
    {
        Band900 = 0,
        Band2400 = 1
    };

    static constexpr char Magic[4] = {'O', 'V', 'S', 'W'};
    static constexpr quint8 Version = 1;
    static constexpr int HeaderSize = 24;
    //! Far above either band's sweep (501 points), far below what could hurt.
    static constexpr int MaxPoints = 4096;

    Band band = Band2400;
    quint32 firstHz = 0;
    quint32 stepHz = 0;
    qint64 timeStamp = 0;
    QVector<qint8> levels;

    //! The band's name in the status JSON: "900" or "2400".
    QString bandName() const
    {
        return band == Band900 ? QStringLiteral("900") : QStringLiteral("2400");
    }
    double firstMHz() const { return firstHz / 1e6; }
    double stepMHz() const { return stepHz / 1e6; }

    //! The payload; empty when there are no levels or more than MaxPoints.
    QByteArray encode() const;

    //! Reads `bytes` into `out`. False with a reason (and `out` untouched)
    //! when it is not a whole, sane payload of a version this program reads;
    //! nothing is allocated before the count has been checked against the
    //! payload's length.
    static bool decode(const QByteArray &bytes, SweepPayload *out, QString *reason);

    bool operator==(const SweepPayload &o) const
    {
        return band == o.band && firstHz == o.firstHz && stepHz == o.stepHz &&
               timeStamp == o.timeStamp && levels == o.levels;
    }
};
