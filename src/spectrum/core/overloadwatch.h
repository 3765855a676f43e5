#pragma once

#include "rfspectrumscan.h"

#include <QString>
#include <qwt_interval.h>

// Whether the scanner's input is overloaded: a level at or above the limit
// means a transmitter too close (or too strong) for the front end, and every
// level measured then is suspect. The warning holds until HoldMs after the
// last overloaded sweep, so a hopping carrier does not make it flicker.
class OverloadWatch
{
public:
    static constexpr int DefaultLimitDbm = -20;
    static constexpr qint64 HoldMs = 2000;

    void setLimit(int dbm) { m_limit = dbm; }
    int limit() const { return m_limit; }

    //! Index of the strongest point at or above `limit`, or -1.
    static int overloadedPoint(const RfSpectrumScan &scan, int limit);
    //! Frequency of point `index` of `points` spread evenly over `band`.
    static double pointFrequency(int index, int points, const QwtInterval &band);
    //! The warning for an overload near `frequencyMHz`.
    static QString warningText(double frequencyMHz);

    //! Takes a sweep at `nowMs` (a monotonic clock). True when the warning
    //! changed (came, moved or ended).
    bool addSweep(qint64 nowMs, const RfSpectrumScan &scan, const QwtInterval &band);
    //! Ends the warning once HoldMs have passed since the last overload;
    //! true when it ended now.
    bool expire(qint64 nowMs);
    //! Ends the warning at once (a new capture).
    void clear();

    bool active() const { return m_active; }
    //! The warning's text, empty while there is none.
    QString text() const;
    //! How long the warning still holds without a new overload, ms.
    qint64 remainingMs(qint64 nowMs) const;

private:
    int m_limit = DefaultLimitDbm;
    bool m_active = false;
    int m_frequencyMHz = 0; //!< rounded: the warning says "near"
    qint64 m_lastOverloadMs = 0;
};
