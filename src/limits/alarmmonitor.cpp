#include "alarmmonitor.h"

AlarmMonitor::AlarmMonitor(QObject *parent) : QObject(parent) {}

void AlarmMonitor::emitEvents(LimitBand band)
{
    // A slot may change the limits: emit from a copy.
    const QVector<AlarmEvent> events = m_events;
    m_events.clear();
    for (const AlarmEvent &e : events)
        emit alarm(e, band);
}

void AlarmMonitor::setLimits(const QVector<LimitLine> &limits)
{
    m_limits = limits;
    for (int b = 0; b < 2; ++b) {
        m_events.clear();
        m_evaluators[b].setLimits(limits, &m_events);
        emitEvents(b ? LimitBand::Band900 : LimitBand::Band2400);
    }
}

void AlarmMonitor::setChannelWatches(const QVector<ChannelWatch> &watches)
{
    m_watches = watches;
    for (int b = 0; b < 2; ++b) {
        m_events.clear();
        m_evaluators[b].setChannelWatches(watches, &m_events);
        emitEvents(b ? LimitBand::Band900 : LimitBand::Band2400);
    }
}

void AlarmMonitor::finish(qint64 timeMs)
{
    for (int b = 0; b < 2; ++b) {
        m_events.clear();
        m_evaluators[b].finish(timeMs, m_events);
        emitEvents(b ? LimitBand::Band900 : LimitBand::Band2400);
    }
}

void AlarmMonitor::onSweep(LimitBand band, double lowMHz, double highMHz,
                           const QVector<qint8> &levels, qint64 timeMs)
{
    if (levels.isEmpty() || isEmpty() || !(highMHz > lowMHz))
        return;
    const double step = (highMHz - lowMHz) / levels.size();
    AlarmSweep sweep;
    sweep.band = band;
    sweep.firstMHz = lowMHz + step / 2;
    sweep.stepMHz = step;
    sweep.levels = levels.constData();
    sweep.count = levels.size();
    sweep.timeMs = timeMs;
    m_events.clear();
    m_evaluators[band == LimitBand::Band900 ? 1 : 0].evaluate(sweep, m_events);
    if (!m_events.isEmpty())
        emitEvents(band);
}
