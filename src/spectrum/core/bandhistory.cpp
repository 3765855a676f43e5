#include "bandhistory.h"

#include "clock.h"

#include <QDateTime>

BandHistory::BandHistory(const RfSpectrumHistory &recorded) : m_history(recorded) {}

void BandHistory::setFrequencyInterval(const QwtInterval &interval)
{
    m_history.frequencyInterval = interval;
}

void BandHistory::setAmplitudeInterval(const QwtInterval &interval)
{
    m_history.amplitudeInterval = interval;
}

WifiScan BandHistory::lastWifiNetworks() const
{
    return m_history.samples.isEmpty() ? WifiScan() : m_history.samples.last().wifiNetworks;
}

void BandHistory::setLastWifiNetworks(const WifiScan &networks)
{
    if (!m_history.samples.isEmpty())
        m_history.samples.last().wifiNetworks = networks;
}

TimeBarUpdate BandHistory::addNewSpectrumSample(const RfSpectrumSample &spectrumSample,
                                                qint64 timeBarUpperValue)
{
    RfSpectrumSampleList &samples = m_history.samples;
    samples.append(spectrumSample);
    // A sweep vector built by appending may carry spare capacity; a history of
    // hours holds tens of thousands of them.
    RfSpectrumScan &stored = samples.last().spectrum;
    if (stored.capacity() > stored.size())
        stored.squeeze();

    const int n = samples.size();
    if (n < 2) {
        m_meanSampleInterval = 0.0;
    } else {
        const qint64 step = timeSpanMs(samples.at(n - 1).timeStamp, samples.at(n - 2).timeStamp);
        if (n == 2)
            m_meanSampleInterval = double(step);
        else
            m_meanSampleInterval =
                m_meanSampleInterval - m_meanSampleInterval / n + double(step) / n;
    }

    TimeBarUpdate update;
    update.setsRange = true;
    update.rangeMaximum = n;
    // The bar's maximum is n once the range is set: an upper value at n - 1
    // or beyond means it sat at the newest sample before this one arrived.
    if (timeBarUpperValue >= n - 1) {
        const TimeBarUpdate follow = followNewest();
        update.movesView = true;
        update.lowerValue = follow.lowerValue;
        update.upperValue = follow.upperValue;
    }
    return update;
}

TimeBarUpdate BandHistory::followNewest()
{
    const RfSpectrumSampleList &samples = m_history.samples;
    TimeBarUpdate update;
    const int n = samples.size();
    update.setsRange = true;
    update.rangeMaximum = n;
    if (n == 0)
        return update;
    const qint64 newest = samples.at(n - 1).timeStamp;
    while (m_liveWindowStart < n - 1 &&
           timeSpanMs(newest, samples.at(m_liveWindowStart).timeStamp) > LiveWindowMs)
        ++m_liveWindowStart;
    update.movesView = true;
    update.lowerValue = m_liveWindowStart;
    update.upperValue = n;
    return update;
}

namespace {
constexpr int MaxFillerSamples = 2'000'000;
}

TimeBarUpdate BandHistory::fillMissingHist(qint64 nowMs)
{
    RfSpectrumSampleList &samples = m_history.samples;
    if (samples.size() <= 1)
        return TimeBarUpdate();

    const RfSpectrumScan filler(samples.last().spectrum.size(), NoDataLevel);
    qint64 t = samples.last().timeStamp;
    // A clock that jumped far ahead (or a tiny mean interval) would ask for
    // more fillers than a list can hold: pad at most about a day at the
    // live rate and leave the rest of the gap empty.
    int budget = MaxFillerSamples;
    while (budget-- > 0 && m_meanSampleInterval < double(timeSpanMs(nowMs, t))) {
        // The fraction is dropped on every step, so an interval below 1 ms
        // (or 0 and below, after equal time stamps) would never advance:
        // pad nothing further rather than loop forever.
        const qint64 next = qint64(double(t) + m_meanSampleInterval);
        if (next <= t)
            break;
        t = next;
        samples.append(RfSpectrumSample(t, filler));
    }
    return followNewest();
}

TimeBarUpdate BandHistory::fillMissingHist()
{
    return fillMissingHist(Clock::nowMs());
}

void BandHistory::clearHist()
{
    m_liveWindowStart = 0;
    m_history.samples.clear();
    // The plot drops every label marker when the history is cleared; labels
    // left here would reach the next recording though nobody can see or
    // remove them.
    m_history.spectroLabels.clear();
}

void BandHistory::addTimeEvent(const TimeEvent &event)
{
    m_history.timeEvents.append(event);
}

bool BandHistory::removeTimeEvent(const TimeEvent &event)
{
    return m_history.timeEvents.removeOne(event);
}

void BandHistory::addSpectroLabel(const SpectroLabel &label)
{
    m_history.spectroLabels.append(label);
}

bool BandHistory::removeSpectroLabel(const SpectroLabel &label)
{
    return m_history.spectroLabels.removeOne(label);
}

void BandHistory::setProjectInfo(const ProjectInfoData &data)
{
    m_history.projectInfo = data;
}

RfSpectrumSampleList BandHistory::selection(qint64 lower, qint64 upper) const
{
    const qint64 n = m_history.samples.size();
    lower = qBound<qint64>(0, lower, n);
    upper = qBound<qint64>(0, upper, n);
    if (lower >= upper)
        return RfSpectrumSampleList();
    return m_history.samples.mid(int(lower), int(upper - lower));
}

TimeBarUpdate BandHistory::recordedView() const
{
    TimeBarUpdate update;
    update.setsRange = true;
    update.rangeMaximum = m_history.samples.size();
    update.movesView = true;
    update.lowerValue = liveWindowStartFor(m_history.samples);
    update.upperValue = m_history.samples.size();
    return update;
}

int BandHistory::liveWindowStartFor(const RfSpectrumSampleList &samples, int from)
{
    const int n = samples.size();
    if (n == 0)
        return 0;
    int start = qBound(0, from, n - 1);
    const qint64 newest = samples.at(n - 1).timeStamp;
    while (start < n - 1 && timeSpanMs(newest, samples.at(start).timeStamp) > LiveWindowMs)
        ++start;
    return start;
}
