#include "sweeprate.h"

void SweepRate::clear()
{
    m_times.clear();
    m_start = -1;
}

void SweepRate::addSweep(qint64 nowMs)
{
    if (m_start < 0)
        m_start = nowMs;
    m_times.push_back(nowMs);
    forgetBefore(nowMs);
}

double SweepRate::perSecond(qint64 nowMs)
{
    forgetBefore(nowMs);
    if (m_times.empty())
        return 0.0;
    const qint64 span = qBound<qint64>(1000, nowMs - m_start, WindowMs);
    return double(m_times.size()) * 1000.0 / double(span);
}

void SweepRate::forgetBefore(qint64 nowMs)
{
    while (!m_times.empty() && m_times.front() <= nowMs - WindowMs)
        m_times.pop_front();
}
