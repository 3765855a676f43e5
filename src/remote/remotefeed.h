#pragma once

#include "nodestatus.h"
#include "rfspectrumscan.h"
#include "sweeppayload.h"

#include <QString>
#include <QtGlobal>

//! What reaches a remote node's page and what does not, without widgets: a
//! sweep that does not fit the page's frequency grid, or comes out of order,
//! is refused; a sweep after a silence first asks for the silence to be
//! shown as a gap.
class RemoteFeed
{
public:
    //! A silence shorter than this is jitter, not a gap, ms.
    static constexpr qint64 MinGapMs = 1000;
    //! ... and so is one shorter than this many typical intervals.
    static constexpr int GapIntervals = 4;

    //! The grid of the page: its band ("2400" or "900") and frequency range.
    RemoteFeed(const QString &band, double firstMHz, double lastMHz);

    enum class Verdict
    {
        Take,         //!< append it
        TakeAfterGap, //!< pad the silence before it, then append it
        Refuse        //!< drop it; reason() says why
    };
    Verdict offer(const SweepPayload &sweep);
    QString reason() const { return m_reason; }

    //! The sweep as the page takes it.
    static RfSpectrumScan levels(const SweepPayload &sweep);

    qint64 lastTimeStamp() const { return m_last; }
    double typicalIntervalMs() const { return m_interval; }

private:
    QString m_band;
    double m_firstMHz;
    double m_lastMHz;
    int m_points = 0; //!< of the first sweep taken
    qint64 m_last = 0;
    double m_interval = 0;
    QString m_reason;
};
