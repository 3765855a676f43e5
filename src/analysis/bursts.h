#pragma once

#include "pointgrid.h"
#include "rfspectrumhistory.h"
#include "surveychannels.h"

#include <QVector>

#include <functional>

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
//! `progress`, when set, is called now and then with the sweeps read so far
//! and the total; when it returns false the search stops and gives nothing.
using BurstProgress = std::function<bool(int done, int total)>;
QVector<Burst> findBursts(const RfSpectrumSampleList &selection, const PointGrid &grid,
                          const BurstOptions &options = BurstOptions(),
                          const BurstProgress &progress = BurstProgress());

//! What the bursts of a selection come from. A burst present in most sweeps
//! of the selection is occupied spectrum, not a burst; short bursts of one
//! kind (alike in width and level) that repeat are one hopping or
//! intermittent source; the rest stand alone.
struct BurstSource
{
    enum Kind
    {
        Continuous,
        Intermittent, //!< hopping or intermittent
        Isolated
    };
    Kind kind = Isolated;
    QVector<Burst> bursts; //!< in order of their start
    double lowMHz = 0;
    double highMHz = 0;
    qint64 startMs = 0;
    qint64 endMs = 0;
    int peakDbm = NoDataLevel;
    double duty = 0; //!< share of the selection's sweeps it was on air in, 0..1

    int count() const { return bursts.size(); }
    //! "Continuous", "Hopping/intermittent", "Isolated".
    QString kindText() const;
    //! "Hopping/intermittent 2402–2479 MHz, −58 dBm, 143 bursts, 12.0 % of sweeps"
    QString text() const;
    //! What "add as events" adds: occupied spectrum once, else each burst.
    QList<TimeEvent> timeEvents() const;
};

//! Share of the sweeps a burst must span to count as continuous.
constexpr double ContinuousShare = 0.5;
//! Bursts alike that make one intermittent source, at least.
constexpr int MinRepeatedBursts = 3;

//! The sources of `bursts` found in a selection of `sweeps` sweeps:
//! continuous first, then intermittent by count, then isolated by time.
QVector<BurstSource> classifyBursts(const QVector<Burst> &bursts, int sweeps);
