#pragma once

#include "alarmevaluator.h"

#include <QObject>
#include <QVector>

//! Evaluates the sweeps of both bands as a scan delivers them, for the window
//! and the capture tool alike: a sweep's points are spread evenly over its
//! band's range, point i covering [low + i step, low + (i + 1) step) and
//! measured at its centre. Every alarm start and end is emitted once.
class AlarmMonitor : public QObject
{
    Q_OBJECT
public:
    explicit AlarmMonitor(QObject *parent = nullptr);

    //! Replaces the lines; alarms of lines that went away end now (emitted).
    void setLimits(const QVector<LimitLine> &limits);
    const QVector<LimitLine> &limits() const { return m_limits; }
    //! Replaces the channel watches, like setLimits.
    void setChannelWatches(const QVector<ChannelWatch> &watches);
    const QVector<ChannelWatch> &channelWatches() const { return m_watches; }
    bool isEmpty() const { return m_limits.isEmpty() && m_watches.isEmpty(); }

    //! The scan ended: every alarm still on ends now (emitted), so each
    //! start has its end. `timeMs` 0 takes each band's last sweep time.
    void finish(qint64 timeMs = 0);

    //! One sweep of `band` whose points span lowMHz..highMHz.
    void onSweep(LimitBand band, double lowMHz, double highMHz, const QVector<qint8> &levels,
                 qint64 timeMs);

signals:
    //! `band`: the band of the sweep (or of the line, for an alarm ended by setLimits).
    void alarm(AlarmEvent event, LimitBand band);

private:
    void emitEvents(LimitBand band);

    QVector<LimitLine> m_limits;
    QVector<ChannelWatch> m_watches;
    AlarmEvaluator m_evaluators[2]; //!< 2.4 GHz, 900 MHz: each keeps its own grid
    QVector<AlarmEvent> m_events;   //!< reused for every sweep
};
