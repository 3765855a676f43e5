#pragma once

#include "rfspectrumhistory.h"

//! What a band page does to its time bar after a history operation. The
//! history stays free of widgets; the page applies this to its RangeSlider:
//!   if (u.setsRange)  timeBar->setRange(0, u.rangeMaximum);
//!   if (u.movesView) { timeBar->setLowerValue(u.lowerValue);
//!                      timeBar->setUpperValue(u.upperValue); }
struct TimeBarUpdate
{
    bool setsRange = false;
    qint64 rangeMaximum = 0; //!< the bar's range becomes [0, rangeMaximum]
    bool movesView = false;
    qint64 lowerValue = 0;
    qint64 upperValue = 0;
};

//! A band page's history together with the two values its operations keep:
//! the start of the live view window and the running mean sample interval.
//! A page owns one of these and its time bar; every operation that moves the
//! view returns the TimeBarUpdate the page applies.
class BandHistory
{
public:
    //! The live view shows the newest sample and every sample at most this
    //! much older.
    static constexpr qint64 LiveWindowMs = 120000;

    BandHistory() = default;
    //! A history read from a recording; the live values start at 0.
    explicit BandHistory(const RfSpectrumHistory &recorded);

    //! A copy of the whole record (lists share storage until written).
    RfSpectrumHistory history() const { return m_history; }
    const RfSpectrumHistory &constHistory() const { return m_history; }
    const RfSpectrumSampleList &samples() const { return m_history.samples; }
    int sampleCount() const { return m_history.samples.size(); }

    void setFrequencyInterval(const QwtInterval &interval);
    void setAmplitudeInterval(const QwtInterval &interval);
    QwtInterval frequencyInterval() const { return m_history.frequencyInterval; }
    QwtInterval amplitudeInterval() const { return m_history.amplitudeInterval; }

    int liveWindowStart() const { return m_liveWindowStart; }
    double meanSampleInterval() const { return m_meanSampleInterval; }

    //! Networks of the newest sample (empty without samples); 2.4 GHz sweeps
    //! carry them forward.
    WifiScan lastWifiNetworks() const;
    //! A finished Wi-Fi scan replaces the networks of the newest sample; does
    //! nothing without samples.
    void setLastWifiNetworks(const WifiScan &networks);

    //! Appends one sample, updates the mean interval and, when the bar's upper
    //! handle followed the newest sample (timeBarUpperValue >= n - 1), moves
    //! the view to the live window.
    TimeBarUpdate addNewSpectrumSample(const RfSpectrumSample &spectrumSample,
                                       qint64 timeBarUpperValue);

    //! Pads the time the band was not swept with no-data samples, one mean
    //! interval apart, up to `nowMs`, then shows the live window. Adds nothing
    //! (and moves nothing) with at most one sample; adds nothing when the mean
    //! interval would not advance the time stamp.
    TimeBarUpdate fillMissingHist(qint64 nowMs);
    TimeBarUpdate fillMissingHist(); //!< with the current time

    //! Drops every sample and every label (the plot removes its label markers
    //! at the same time); time events stay.
    void clearHist();

    void addTimeEvent(const TimeEvent &event);
    //! Removes the first equal event; false when there is none.
    bool removeTimeEvent(const TimeEvent &event);
    void addSpectroLabel(const SpectroLabel &label);
    //! Removes the first equal label; false when there is none.
    bool removeSpectroLabel(const SpectroLabel &label);
    void setProjectInfo(const ProjectInfoData &data);

    //! Samples [lower, upper) of the time bar, clamped to the history; empty
    //! when lower >= upper.
    RfSpectrumSampleList selection(qint64 lower, qint64 upper) const;

    //! The time bar of a page built from a recording: range [0, n], lower =
    //! first sample at most LiveWindowMs older than the last one, upper = n.
    TimeBarUpdate recordedView() const;

    //! First index at or after `from` whose sample is at most LiveWindowMs
    //! older than the last sample (0 for an empty list).
    static int liveWindowStartFor(const RfSpectrumSampleList &samples, int from = 0);

private:
    TimeBarUpdate followNewest();

    RfSpectrumHistory m_history;
    int m_liveWindowStart = 0;         //!< only grows; clearHist resets it
    double m_meanSampleInterval = 0.0; //!< ms, running mean of the spacing
};
