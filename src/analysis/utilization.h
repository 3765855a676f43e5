#pragma once

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
    double peak = qQNaN();        //!< highest bin duty cycle, 0..1
    QStringList networks;         //!< Wi-Fi channels: "SSID (bssid)" heard on it

    bool hasData() const { return !qIsNaN(utilization); }
};

//! What the survey says about one selection.
struct UtilizationResult
{
    int sampleCount = 0;
    int noiseFloorDbm = NoDataLevel;
    double thresholdDbm = qQNaN();
    QVector<ChannelUtilization> channels;
    int bestWifi = -1;      //!< index into channels: least used of Wi-Fi 1, 6, 11
    QList<int> bestKivoIds; //!< indices: least used fully swept ID per universe count
    int busiestWifi = -1;   //!< index: most used of Wi-Fi 1, 6, 11, when any is used

    bool isBest(int index) const { return index == bestWifi || bestKivoIds.contains(index); }
    //! "Use Wi-Fi 11, KiVo ID 24340 (5 universes)…; avoid Wi-Fi 6."
    QString recommendationText() const;
};

//! Default threshold above the noise floor.
constexpr double DefaultThresholdMarginDb = 10.0;

//! Utilization of `channels` from the histograms. A NaN threshold means the
//! noise floor plus DefaultThresholdMarginDb.
UtilizationResult computeUtilization(const LevelHistogramView &h, const BinGrid &grid,
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
//! the plots do) and answers the utilization of each new selection.
class UtilizationAnalyzer
{
public:
    //! The result for `selection` over `frequencyInterval`; an empty
    //! selection gives an empty result.
    UtilizationResult update(const RfSpectrumSampleList &selection,
                             const QwtInterval &frequencyInterval, double thresholdDbm = qQNaN());
    const SpectrumStatisticsAccumulator &accumulator() const { return m_accumulator; }
    void clear();

private:
    SpectrumStatisticsAccumulator m_accumulator;
    QwtInterval m_band;
    int m_points = -1;
    BinGrid m_grid;
    QVector<SurveyChannel> m_channels;
};
