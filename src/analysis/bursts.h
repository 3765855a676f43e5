#pragma once

#include "rfspectrumhistory.h"
#include "surveychannels.h"

#include <QVector>

//! What counts as a burst.
struct BurstOptions
{
    int minSweeps = 2;    //!< consecutive sweeps at least
    int minBins = 3;      //!< contiguous bins at least
    double marginDb = 15; //!< above the bin's noise floor (its tenth percentile)
};

//! A transmission seen in consecutive sweeps, each with a contiguous span of
//! bins well above their noise floor; spans of neighbouring sweeps that share
//! a bin belong to the same burst.
struct Burst
{
    qint64 startMs = 0; //!< time stamp of the first sweep
    qint64 endMs = 0;   //!< time stamp of the last sweep
    int firstBin = 0;   //!< lowest bin in any of its spans
    int lastBin = 0;    //!< highest bin in any of its spans
    double lowMHz = 0;
    double highMHz = 0;
    int peakDbm = NoDataLevel;
    int sweeps = 0;

    qint64 durationMs() const { return timeSpanMs(endMs, startMs); }
    //! "Burst 2431–2443 MHz, −52 dBm, 1.2 s": the time event it becomes.
    QString eventText() const;
    TimeEvent timeEvent() const;
};

//! The bursts of `selection` in order of their start (then lowest bin); the
//! noise floor of each bin is taken over the selection itself. `grid` gives
//! the frequencies.
QVector<Burst> findBursts(const RfSpectrumSampleList &selection, const BinGrid &grid,
                          const BurstOptions &options = BurstOptions());
