#pragma once

#include "alarmcommand.h"
#include "alarmmonitor.h"
#include "captureoptions.h"
#include "rfspectrumscan.h"

#include <QObject>

//! --limits and --on-alarm of a capture: each sweep is evaluated as it comes;
//! each alarm start and end is a line on stdout and runs the command.
class CaptureAlarms : public QObject
{
    Q_OBJECT
public:
    //! `lowMHz`..`highMHz`: the range a sweep's points span. `progressLine`:
    //! stdout shows an updating progress line, which an alarm line replaces.
    CaptureAlarms(const CaptureOptions &options, double lowMHz, double highMHz, bool progressLine,
                  QObject *parent = nullptr);

    bool active() const { return !m_monitor.isEmpty(); }
    //! Cheap enough for the device thread's hand-over: the line and the
    //! command follow from the event loop.
    void onSweep(qint64 timeStamp, const RfSpectrumScan &spectrum);
    //! The capture ends: every alarm still on ends now, with its line and
    //! command; drained() follows once the commands have ended (or were
    //! killed after their timeout).
    void finish();

signals:
    //! After the line and the command: a publishing node sends it on.
    void alarmRaised(const AlarmEvent &event);
    void drained();

private:
    void onAlarm(const AlarmEvent &event);
    void checkDrained();

    AlarmMonitor m_monitor;
    AlarmCommand m_command;
    LimitBand m_band;
    double m_lowMHz;
    double m_highMHz;
    bool m_progressLine;
    bool m_finishing = false;
    bool m_drained = false;
};
