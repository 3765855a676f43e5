#include "overloadwatch.h"

#include <QCoreApplication>

#include <cmath>

int OverloadWatch::overloadedPoint(const RfSpectrumScan &scan, int limit)
{
    int best = -1;
    for (int i = 0; i < scan.size(); ++i) {
        const int level = scan.at(i);
        if (level == NoDataLevel || level < limit)
            continue;
        if (best < 0 || level > scan.at(best))
            best = i;
    }
    return best;
}

double OverloadWatch::pointFrequency(int index, int points, const QwtInterval &band)
{
    if (points < 2)
        return band.minValue();
    return band.minValue() + band.width() * index / (points - 1);
}

QString OverloadWatch::warningText(double frequencyMHz)
{
    return QCoreApplication::translate(
               "OverloadWatch",
               "Input overload near %1 MHz: move the scanner away or add an attenuator")
        .arg(std::lround(frequencyMHz));
}

bool OverloadWatch::addSweep(qint64 nowMs, const RfSpectrumScan &scan, const QwtInterval &band)
{
    const int point = overloadedPoint(scan, m_limit);
    if (point < 0)
        return expire(nowMs);
    const int frequency = int(std::lround(pointFrequency(point, scan.size(), band)));
    const bool changed = !m_active || frequency != m_frequencyMHz;
    m_active = true;
    m_frequencyMHz = frequency;
    m_lastOverloadMs = nowMs;
    return changed;
}

bool OverloadWatch::expire(qint64 nowMs)
{
    if (!m_active || nowMs - m_lastOverloadMs < HoldMs)
        return false;
    m_active = false;
    return true;
}

void OverloadWatch::clear()
{
    m_active = false;
}

QString OverloadWatch::text() const
{
    return m_active ? warningText(m_frequencyMHz) : QString();
}

qint64 OverloadWatch::remainingMs(qint64 nowMs) const
{
    return m_active ? qMax<qint64>(0, HoldMs - (nowMs - m_lastOverloadMs)) : 0;
}
