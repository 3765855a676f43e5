#pragma once

#include <QtGlobal>

#include <deque>

// Sweeps per second over the last two seconds, for the status bar. It reads
// no clock of its own: the caller passes the time in milliseconds, so the
// figure can be checked without waiting.
class SweepRate
{
public:
    static constexpr qint64 WindowMs = 2000;

    //! Forgets every sweep; the next one starts a new measurement.
    void clear();
    void addSweep(qint64 nowMs);
    //! Sweeps per second over the last WindowMs up to `nowMs`. During the
    //! first WindowMs of a measurement only the time since its start counts
    //! (but at least one second), so a new scan does not read half its rate.
    double perSecond(qint64 nowMs);

private:
    void forgetBefore(qint64 nowMs);

    std::deque<qint64> m_times; //!< sweep times inside the window, oldest first
    qint64 m_start = -1;        //!< time of the measurement's first sweep
};
