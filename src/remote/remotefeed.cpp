#include "remotefeed.h"

#include <QtMath>

RemoteFeed::RemoteFeed(const QString &band, double firstMHz, double lastMHz)
    : m_band(band), m_firstMHz(firstMHz), m_lastMHz(lastMHz)
{
}

RemoteFeed::Verdict RemoteFeed::offer(const SweepPayload &sweep)
{
    if (sweep.bandName() != m_band) {
        m_reason = QStringLiteral("a %1 MHz sweep on a %2 MHz page").arg(sweep.bandName(), m_band);
        return Verdict::Refuse;
    }
    // The page draws its points over its own range: a node scanning another
    // plan would be drawn at frequencies it never measured. The scanner's
    // own step is not always the range divided evenly (900 MHz ends a
    // fraction of a step short), so a step's difference is the same plan.
    const double tolerance = sweep.stepMHz() * 1.01;
    const double last = sweep.firstMHz() + sweep.stepMHz() * (sweep.levels.size() - 1);
    if (sweep.levels.size() < 2 || qAbs(sweep.firstMHz() - m_firstMHz) > tolerance ||
        qAbs(last - m_lastMHz) > tolerance) {
        m_reason = QStringLiteral("%1 points from %2 to %3 MHz do not fit the page's %4 to %5 MHz")
                       .arg(sweep.levels.size())
                       .arg(sweep.firstMHz())
                       .arg(last)
                       .arg(m_firstMHz)
                       .arg(m_lastMHz);
        return Verdict::Refuse;
    }
    // The statistics of a history count per point: one length for all.
    if (m_points != 0 && sweep.levels.size() != m_points) {
        m_reason = QStringLiteral("%1 points where the page has %2")
                       .arg(sweep.levels.size())
                       .arg(m_points);
        return Verdict::Refuse;
    }
    if (m_last != 0 && sweep.timeStamp <= m_last) {
        m_reason = QStringLiteral("time stamp %1 is not after the last one, %2")
                       .arg(sweep.timeStamp)
                       .arg(m_last);
        return Verdict::Refuse;
    }
    m_points = sweep.levels.size();
    const qint64 previous = m_last;
    m_last = sweep.timeStamp;
    if (previous == 0)
        return Verdict::Take;
    const qint64 interval = sweep.timeStamp - previous;
    if (m_interval > 0 && interval > qMax<double>(MinGapMs, GapIntervals * m_interval))
        return Verdict::TakeAfterGap;
    // A slow average: one late sweep should not make the next gap jitter.
    m_interval = m_interval > 0 ? 0.9 * m_interval + 0.1 * double(interval) : double(interval);
    return Verdict::Take;
}

RfSpectrumScan RemoteFeed::levels(const SweepPayload &sweep)
{
    return sweep.levels; // the same signed dBm per point, -128 for none
}
