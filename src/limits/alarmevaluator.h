#pragma once

#include "channelwatch.h"
#include "limitline.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <vector>

//! One sweep as the evaluator reads it; `levels` stays owned by the caller.
struct AlarmSweep
{
    LimitBand band = LimitBand::Band2400;
    double firstMHz = 0;
    double stepMHz = 0;
    const qint8 *levels = nullptr; //!< dBm per bin, NoData where the bin has none
    int count = 0;
    qint64 timeMs = 0;

    static constexpr qint8 NoData = -128;
};

struct AlarmEvent
{
    enum State
    {
        Start,
        End
    };
    enum Source
    {
        Limit,
        Watch
    };

    State state = Start;
    Source source = Limit;
    QString name;            //!< the limit's name or the watch's label
    double frequencyMHz = 0; //!< the worst point so far: furthest over the line or strongest
    double levelDbm = 0;
    qint64 timeMs = 0;     //!< the sweep that raised or cleared the alarm
    qint64 durationMs = 0; //!< on End, how long the alarm lasted
    //! The remote scanner whose sweeps raised it; empty for our own.
    QString node = QString();
};

//! Turns sweeps into alarm starts and ends. A limit alarms once its trace
//! has been above the line for holdSeconds and clears once it has stayed
//! under for clearSeconds, so a level hovering at the line cannot flap.
//! Setting limits or watches, or a new sweep grid, prepares the tables;
//! after that evaluate() allocates nothing (given room in `events`).
class AlarmEvaluator
{
public:
    static constexpr qint64 WatchWindowMs = 60000;
    static constexpr int MaxWatchSweeps = 4096; //!< per minute; faster sweeping shortens the window
    static constexpr int MaxBins = 65536;

    //! Replaces the limits. A limit that stays enabled under the same name
    //! keeps its alarm; the alarms of the others end at the last sweep's
    //! time and are appended to `ended`.
    void setLimits(const QVector<LimitLine> &limits, QVector<AlarmEvent> *ended = nullptr);
    void setChannelWatches(const QVector<ChannelWatch> &watches,
                           QVector<AlarmEvent> *ended = nullptr);
    const QVector<LimitLine> &limits() const { return m_limits; }
    const QVector<ChannelWatch> &channelWatches() const { return m_watches; }

    //! Appends the alarms that start or end with this sweep to `events` and
    //! returns how many. A sweep with no bins or an unusable grid is ignored.
    int evaluate(const AlarmSweep &sweep, QVector<AlarmEvent> &events);

    //! Ends every active alarm at `nowMs` (the last sweep's time when 0):
    //! the scan stopped, so nothing would end them otherwise. Returns how
    //! many ended; the history starts over.
    int finish(qint64 nowMs, QVector<AlarmEvent> &events);

    bool isLimitActive(int index) const;
    bool isWatchActive(int index) const;
    //! Forgets active alarms (without reporting their end) and history.
    void reset();

private:
    struct HoldState
    {
        bool active = false;
        qint64 pendingSinceMs = -1; //!< start of the current run towards a change of state
        qint64 activeSinceMs = 0;
        double worstScore = 0;
        double worstMHz = 0;
        double worstDbm = 0;
    };
    struct LimitState
    {
        std::vector<float> line; //!< the line's level per bin, at least NoData
        int firstBin = 0;
        int lastBin = -1;
        int maxIndex = -1; //!< into m_maxTraces, or -1 for the current trace
        HoldState hold;
    };
    struct WatchState
    {
        int firstBin = 0;
        int lastBin = -1;
        int hits = 0;
        std::vector<quint8> hit; //!< per ring entry
        HoldState hold;
    };
    struct MaxTrace
    {
        int sweeps = 1;
        std::vector<qint8> levels;
    };

    void prepareLimits();
    void prepareWatches();
    static int step(HoldState &h, bool violated, qint64 nowMs, double holdS, double clearS,
                    double score, double mhz, double dbm, AlarmEvent::Source source,
                    const QString &name, QVector<AlarmEvent> &events);

    QVector<LimitLine> m_limits;
    QVector<ChannelWatch> m_watches;
    std::vector<LimitState> m_limitStates;
    std::vector<WatchState> m_watchStates;
    std::vector<MaxTrace> m_maxTraces;

    // The grid the tables were prepared for.
    qint64 m_lastTimeMs = 0;
    bool m_gridKnown = false;
    bool m_limitsPrepared = false;
    bool m_watchesPrepared = false;
    LimitBand m_band = LimitBand::Band2400;
    double m_firstMHz = 0;
    double m_stepMHz = 0;
    int m_count = 0;

    std::vector<qint8> m_recent; //!< ring of the last m_recentSlots sweeps for max traces
    int m_recentSlots = 0;
    int m_recentNext = 0;
    int m_recentFilled = 0;

    std::vector<qint64> m_watchTimes; //!< ring of sweep times in the watch window
    int m_watchHead = 0;              //!< oldest entry
    int m_watchSize = 0;
};
