#pragma once

#include "levelcountindex.h"
#include "pointgrid.h"
#include "spectrumstatistics.h"
#include "surveychannels.h"

#include <QList>
#include <QStringList>
#include <QVector>

//! Per-bin level histograms as the statistics accumulator keeps them:
//! `columns` x 256 counts, level v of bin i at [i * 256 + v + 128].
struct LevelHistogramView
{
    const qint32 *counts = nullptr;
    int columns = 0;

    const qint32 *bin(int i) const { return counts + i * 256 + 128; }
};

//! Share of the samples with data whose level is at or above `thresholdDbm`,
//! per bin; NaN for a bin without any data. No-data samples count neither way.
QVector<double> dutyCycles(const LevelHistogramView &h, double thresholdDbm);

//! The level below which a tenth of the counted levels lie (the smallest
//! level whose cumulative count reaches 10 %), ignoring no-data; NoDataLevel
//! when nothing was counted. `histogram` points at level 0 of 256 counts.
int tenthPercentile(const qint64 *histogram256);
//! The tenth percentile of all bins' levels together.
int noiseFloor(const LevelHistogramView &h);

//! One channel's share of the time on air.
struct ChannelUtilization
{
    SurveyChannel channel;
    int firstBin = -1; //!< bins inside the channel's range; -1 = none
    int lastBin = -1;
    bool partial = false;         //!< the range reaches beyond the swept span
    double utilization = qQNaN(); //!< mean of the bins' duty cycles, 0..1
    double peak = qQNaN();        //!< highest bin duty cycle (the worst point), 0..1
    //! The strongest level one of the channel's points holds in at least
    //! three sweeps out of four, dBm; NaN without data.
    double persistentDbm = qQNaN();
    double persistentMHz = qQNaN(); //!< where that point lies
    //! A persistent signal at least CarrierMarginDb above the noise floor sits
    //! inside: whatever the mean, a link there would sit on it.
    bool carrier = false;
    QStringList overlaps; //!< KiVo IDs: the Wi-Fi channels 1, 6, 11 their range overlaps
    QStringList networks; //!< Wi-Fi channels: "SSID (bssid)" heard on it

    bool hasData() const { return !qIsNaN(utilization); }
    //! "carrier at 2458.0 MHz, −12 dBm", "on air 80.1 % (worst point 95.0 %)"
    QString reasonToAvoid() const;
};

//! How far above the noise floor a persistent level makes a carrier, dB.
constexpr double CarrierMarginDb = 20.0;
//! The share of the sweeps a level must be held in to be persistent: 3/4.
constexpr int PersistentShareNum = 3;
constexpr int PersistentShareDen = 4;

//! True when the two channels' ranges share more than an edge.
bool rangesOverlap(const SurveyChannel &a, const SurveyChannel &b);

//! What the survey says about one selection.
struct UtilizationResult
{
    int sampleCount = 0;
    int noiseFloorDbm = NoDataLevel;
    double thresholdDbm = qQNaN();
    QVector<ChannelUtilization> channels;
    //! Index into channels: the least used of Wi-Fi 1, 6, 11 without a carrier.
    int bestWifi = -1;
    //! Indices: per universe count, the least used fully swept ID without a
    //! carrier whose range stays clear of the recommended Wi-Fi channel.
    QList<int> bestKivoIds;
    int busiestWifi = -1; //!< index: most used of Wi-Fi 1, 6, 11, when any is used
    //! Indices of Wi-Fi 1, 6, 11 not to use: those with a carrier, and the busiest.
    QList<int> avoidWifi;

    bool isBest(int index) const { return index == bestWifi || bestKivoIds.contains(index); }
    //! "Use Wi-Fi 1; KiVo ID 24340 (5 universes)…; avoid Wi-Fi 11: carrier at
    //! 2458.0 MHz, −12 dBm."
    QString recommendationText() const;
};

//! Default threshold above the noise floor.
constexpr double DefaultThresholdMarginDb = 10.0;

//! Utilization of `channels` from the histograms of the points of `grid`. A
//! channel reaching outside `span`, the swept interval, is partial. A NaN
//! threshold means the noise floor plus DefaultThresholdMarginDb.
UtilizationResult computeUtilization(const LevelHistogramView &h, const PointGrid &grid,
                                     const QwtInterval &span,
                                     const QVector<SurveyChannel> &channels,
                                     double thresholdDbm = qQNaN());

//! One access point over a selection.
struct HeardNetwork
{
    QString ssid;
    QString bssid;
    int frequency = 0; //!< MHz
    int channel = 0;   //!< Wi-Fi channel, 0 when the frequency is none
    int strongest = 0; //!< dBm
    int weakest = 0;   //!< dBm
};

//! Each distinct bssid in the scans the selection's samples carry, in the
//! order first heard.
QVector<HeardNetwork> heardNetworks(const RfSpectrumSampleList &selection);

//! Fills the Wi-Fi channels' network lists ("SSID <bssid>").
void attachNetworks(UtilizationResult &result, const QVector<HeardNetwork> &networks);

//! Wi-Fi channel (1..14) whose centre is `frequencyMHz`, else 0.
int wifiChannelOf(int frequencyMHz);

//! Keeps the histograms of the page's selection up to date (incrementally, as
//! the plots do) and answers the utilization of each new selection. Given
//! the history the selection was taken from, it also keeps that history's
//! level counts as sweeps arrive, and a long selection reads them instead of
//! its sweeps: the whole capture of hours, or any range of it, costs a few
//! blocks of counts. Both ways give the same counts, hence the same result.
class UtilizationAnalyzer
{
public:
    explicit UtilizationAnalyzer(int blockSweeps = LevelCountIndex::DefaultBlockSweeps)
        : m_index(blockSweeps)
    {
    }
    //! The result for `selection` over `frequencyInterval`; an empty
    //! selection gives an empty result. `history`, when given, is the page's
    //! whole list the selection is a run of (the selection itself when it is
    //! the whole capture).
    UtilizationResult update(const RfSpectrumSampleList &selection,
                             const QwtInterval &frequencyInterval, double thresholdDbm = qQNaN(),
                             const RfSpectrumSampleList *history = nullptr);
    //! Counts the sweeps of `history` the index lacks, the long part of a
    //! first update after a recording is opened; may run on another thread
    //! while nothing else uses the analyzer. False when `progress` stopped it.
    bool follow(const RfSpectrumSampleList &history,
                const LevelCountIndex::Progress &progress = LevelCountIndex::Progress());
    //! Sweeps follow() would count for `history`.
    int pendingFor(const RfSpectrumSampleList &history) const
    {
        return m_index.pendingFor(history);
    }
    const SpectrumStatisticsAccumulator &accumulator() const { return m_accumulator; }
    //! True when the last update read the index, false when it counted.
    bool lastUsedIndex() const { return m_usedIndex; }
    void clear();

private:
    SpectrumStatisticsAccumulator m_accumulator;
    LevelCountIndex m_index;
    QVector<qint32> m_rangeCounts; //!< counts of the last selection read from the index
    bool m_usedIndex = false;
    QwtInterval m_band;
    int m_points = -1;
    PointGrid m_grid;
    QVector<SurveyChannel> m_channels;
};
