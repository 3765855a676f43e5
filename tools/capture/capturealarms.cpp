#include "capturealarms.h"

#include <QTimer>

#include <cstdio>

CaptureAlarms::CaptureAlarms(const CaptureOptions &options, double lowMHz, double highMHz,
                             bool progressLine, QObject *parent)
    : QObject(parent), m_band(options.band == 900 ? LimitBand::Band900 : LimitBand::Band2400),
      m_lowMHz(lowMHz), m_highMHz(highMHz), m_progressLine(progressLine)
{
    m_monitor.setLimits(options.limits);
    m_monitor.setChannelWatches(options.watches);
    QString error; // the options were checked when they were read
    if (!options.onAlarm.isEmpty())
        m_command.setCommandLine(options.onAlarm, &error);
    connect(&m_monitor, &AlarmMonitor::alarm, this, [this](const AlarmEvent &e, LimitBand) {
        QTimer::singleShot(0, this, [this, e] { onAlarm(e); });
    });
    connect(&m_command, &AlarmCommand::finished, this, &CaptureAlarms::checkDrained);
}

void CaptureAlarms::finish()
{
    if (m_finishing)
        return;
    m_finishing = true;
    // The ends queue up behind any start still on its way from the last
    // sweeps, so the log reads start before end.
    m_monitor.finish();
    QTimer::singleShot(0, this, &CaptureAlarms::checkDrained);
}

void CaptureAlarms::checkDrained()
{
    if (m_finishing && !m_drained && m_command.running() == 0) {
        m_drained = true;
        emit drained();
    }
}

void CaptureAlarms::onSweep(qint64 timeStamp, const RfSpectrumScan &spectrum)
{
    m_monitor.onSweep(m_band, m_lowMHz, m_highMHz, spectrum, timeStamp);
}

void CaptureAlarms::onAlarm(const AlarmEvent &event)
{
    // On a terminal the line replaces the progress line, which the next
    // report brings back.
    std::fprintf(stdout, "%s%s\n", m_progressLine ? "\r" : "",
                 qPrintable(AlarmCommand::logLine(event)));
    std::fflush(stdout);
    m_command.run(event);
    emit alarmRaised(event);
}
