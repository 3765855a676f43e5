#pragma once

#include "rfspectrumhistory.h"
#include "utilization.h"

#include <QByteArray>
#include <QString>
#include <QVector>

//! The channels' load over the last minute of one node's sweeps: what the
//! utilization topic and the metrics report. Wi-Fi channels and KiVo IDs
//! of the band, as the site survey finds them.
class ChannelLoad
{
public:
    static constexpr qint64 WindowMs = 60000;
    //! A minute at 100 sweeps/s; a faster (or misbehaving) source shortens
    //! the window rather than growing it.
    static constexpr int MaxSweeps = 6000;

    struct Channel
    {
        SurveyChannel channel;
        double dutyCycle = 0; //!< share on air, 0..1 (mean over the channel's points)
        double peakDbm = 0;   //!< strongest level any of its points had
    };

    //! Starts over for the band whose interval contains `frequencyMHz`.
    void setBand(double frequencyMHz);
    //! Takes one sweep of the band's point count; sweeps of another length
    //! (a different plan) or from before the last one (a clock set back)
    //! start the window over.
    void addSweep(qint64 timeStamp, const QVector<qint8> &levels);
    void clear();

    int sweepsInWindow() const { return m_window.size(); }
    //! The channels with data in the window, computed on demand.
    QVector<Channel> channels();
    //! The last result's noise floor and threshold, dBm (after channels()).
    int noiseFloorDbm() const { return m_noiseFloor; }
    double thresholdDbm() const { return m_threshold; }

    //! PREFIX/NODE/utilization: {"node", "band", "time", "windowS",
    //! "sweeps", "noiseFloorDbm", "thresholdDbm", "channels": [{"name",
    //! "kind" ("wifi"|"kivo"), "number", "lowMHz", "highMHz", "dutyCycle",
    //! "peakDbm"}]}.
    QByteArray utilizationJson(const QString &node, const QString &band, qint64 time);

private:
    QwtInterval m_band;
    RfSpectrumSampleList m_window;
    UtilizationAnalyzer m_analyzer;
    int m_computedFor = -1; //!< m_added when m_result was computed
    int m_added = 0;
    QVector<Channel> m_result;
    int m_noiseFloor = NoDataLevel;
    double m_threshold = qQNaN();
};
