#include "capturealarms.h"

#include <QTimer>

#include <cstdio>

CaptureAlarms::CaptureAlarms(const CaptureOptions &options, double lowMHz, double highMHz,
                             bool progressLine, QObject *parent)
    : QObject(parent), m_band(options.band == 900 ? LimitBand::Band900 : LimitBand::Band2400),
      m_lowMHz(lowMHz), m_highMHz(highMHz), m_progressLine(progressLine)
{
    m_monitor.setLimits(options.limits);
    QString error; // the options were checked when they were read
    if (!options.onAlarm.isEmpty())
        m_command.setCommandLine(options.onAlarm, &error);
    connect(&m_monitor, &AlarmMonitor::alarm, this, [this](const AlarmEvent &e, LimitBand) {
        QTimer::singleShot(0, this, [this, e] { onAlarm(e); });
    });
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
