#include "alarmevaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

qint64 toMs(double seconds)
{
    return qint64(std::llround(seconds * 1000));
}

} // namespace

namespace {

// Carries the hold state of each entry that stays enabled under the same
// name; an alarm that is on and has no such successor ends now, so nobody
// is left waiting for an end that would never come.
template <typename Item, typename State, typename Name>
std::vector<State> carryOver(const QVector<Item> &before, const std::vector<State> &states,
                             const QVector<Item> &after, Name name, AlarmEvent::Source source,
                             qint64 nowMs, QVector<AlarmEvent> *ended)
{
    std::vector<State> next(size_t(after.size()));
    std::vector<bool> taken(size_t(after.size()), false);
    for (int i = 0; i < before.size(); ++i) {
        const auto &hold = states.at(size_t(i)).hold;
        int j = 0;
        while (j < after.size() && (taken[size_t(j)] || !after.at(j).enabled ||
                                    name(after.at(j)) != name(before.at(i))))
            ++j;
        if (j < after.size()) {
            taken[size_t(j)] = true;
            next[size_t(j)].hold = hold;
        } else if (hold.active && ended) {
            ended->append(AlarmEvent{AlarmEvent::End, source, name(before.at(i)), hold.worstMHz,
                                     hold.worstDbm, nowMs, nowMs - hold.activeSinceMs});
        }
    }
    return next;
}

} // namespace

void AlarmEvaluator::setLimits(const QVector<LimitLine> &limits, QVector<AlarmEvent> *ended)
{
    m_limitStates = carryOver(
        m_limits, m_limitStates, limits, [](const LimitLine &l) { return l.name; },
        AlarmEvent::Limit, m_lastTimeMs, ended);
    m_limits = limits;
    m_limitsPrepared = false;
}

void AlarmEvaluator::setChannelWatches(const QVector<ChannelWatch> &watches,
                                       QVector<AlarmEvent> *ended)
{
    m_watchStates = carryOver(
        m_watches, m_watchStates, watches, [](const ChannelWatch &w) { return w.label; },
        AlarmEvent::Watch, m_lastTimeMs, ended);
    m_watches = watches;
    m_watchesPrepared = false;
}

bool AlarmEvaluator::isLimitActive(int index) const
{
    return index >= 0 && size_t(index) < m_limitStates.size() &&
           m_limitStates[size_t(index)].hold.active;
}

bool AlarmEvaluator::isWatchActive(int index) const
{
    return index >= 0 && size_t(index) < m_watchStates.size() &&
           m_watchStates[size_t(index)].hold.active;
}

void AlarmEvaluator::reset()
{
    for (LimitState &s : m_limitStates)
        s.hold = HoldState();
    for (WatchState &s : m_watchStates)
        s.hold = HoldState();
    m_limitsPrepared = false;
    m_watchesPrepared = false;
}

int AlarmEvaluator::finish(qint64 nowMs, QVector<AlarmEvent> &events)
{
    if (nowMs <= 0)
        nowMs = m_lastTimeMs;
    int ended = 0;
    const auto end = [&](HoldState &h, AlarmEvent::Source source, const QString &name) {
        if (h.active) {
            events.append(AlarmEvent{AlarmEvent::End, source, name, h.worstMHz, h.worstDbm, nowMs,
                                     std::max<qint64>(0, nowMs - h.activeSinceMs)});
            ++ended;
        }
        h = HoldState();
    };
    for (size_t i = 0; i < m_limitStates.size(); ++i)
        end(m_limitStates[i].hold, AlarmEvent::Limit, m_limits.at(int(i)).name);
    for (size_t i = 0; i < m_watchStates.size(); ++i)
        end(m_watchStates[i].hold, AlarmEvent::Watch, m_watches.at(int(i)).label);
    // The next scan may come after a long pause: neither the max traces
    // nor the busy minute carry over it.
    m_limitsPrepared = false;
    m_watchesPrepared = false;
    return ended;
}

void AlarmEvaluator::prepareLimits()
{
    m_limitsPrepared = true;
    const auto binMHz = [&](int bin) { return m_firstMHz + bin * m_stepMHz; };

    m_maxTraces.clear();
    m_recentSlots = 0;
    for (int i = 0; i < m_limits.size(); ++i) {
        const LimitLine &limit = m_limits.at(i);
        LimitState &s = m_limitStates[size_t(i)];
        s.firstBin = 0;
        s.lastBin = -1;
        s.maxIndex = -1;
        s.line.clear();
        if (!limit.enabled || limit.band != m_band)
            continue;
        s.line.assign(size_t(m_count), float(AlarmSweep::NoData));
        for (int bin = 0; bin < m_count; ++bin) {
            const std::optional<double> level = limit.levelAt(binMHz(bin));
            if (!level)
                continue;
            // No bin reads below NoData, so a line under it never alarms on
            // a bin without data.
            s.line[size_t(bin)] = float(std::max<double>(*level, AlarmSweep::NoData));
            if (s.lastBin < s.firstBin)
                s.firstBin = bin;
            s.lastBin = bin;
        }
        if (limit.trace != LimitTrace::Max || s.lastBin < s.firstBin)
            continue;
        const int n = std::clamp(limit.maxSweeps, 1, LimitLine::MaxMaxSweeps);
        const auto same = std::find_if(m_maxTraces.cbegin(), m_maxTraces.cend(),
                                       [n](const MaxTrace &t) { return t.sweeps == n; });
        s.maxIndex = int(same - m_maxTraces.cbegin());
        if (same == m_maxTraces.cend())
            m_maxTraces.push_back(
                MaxTrace{n, std::vector<qint8>(size_t(m_count), AlarmSweep::NoData)});
        m_recentSlots = std::max(m_recentSlots, n);
    }
    m_recent.assign(size_t(m_recentSlots) * size_t(m_count), AlarmSweep::NoData);
    m_recentNext = 0;
    m_recentFilled = 0;
}

void AlarmEvaluator::prepareWatches()
{
    m_watchesPrepared = true;

    for (int i = 0; i < m_watches.size(); ++i) {
        const ChannelWatch &watch = m_watches.at(i);
        WatchState &s = m_watchStates[size_t(i)];
        s.hit.assign(MaxWatchSweeps, 0);
        s.hits = 0;
        s.firstBin = 0;
        s.lastBin = -1;
        if (!watch.enabled || watch.band != m_band || !std::isfinite(watch.lowMHz) ||
            !std::isfinite(watch.highMHz))
            continue;
        // A hair of tolerance so a bin exactly on the edge counts despite
        // the rounding of first + bin * step.
        const double tolerance = 1e-9;
        const double low = std::ceil((watch.lowMHz - m_firstMHz) / m_stepMHz - tolerance);
        const double high = std::floor((watch.highMHz - m_firstMHz) / m_stepMHz + tolerance);
        s.firstBin = int(std::clamp(low, 0.0, double(m_count)));
        s.lastBin = int(std::clamp(high, -1.0, double(m_count - 1)));
    }
    m_watchTimes.assign(MaxWatchSweeps, 0);
    m_watchHead = 0;
    m_watchSize = 0;
}

int AlarmEvaluator::step(HoldState &h, bool violated, qint64 nowMs, double holdS, double clearS,
                         double score, double mhz, double dbm, AlarmEvent::Source source,
                         const QString &name, QVector<AlarmEvent> &events)
{
    // A clock set back must not stretch the hold or clear time by the jump.
    if (h.pendingSinceMs > nowMs)
        h.pendingSinceMs = nowMs;
    if (violated) {
        if (!h.active && h.pendingSinceMs < 0) {
            h.pendingSinceMs = nowMs;
            h.worstScore = -std::numeric_limits<double>::infinity();
        }
        if (score > h.worstScore) {
            h.worstScore = score;
            h.worstMHz = mhz;
            h.worstDbm = dbm;
        }
        if (h.active) {
            h.pendingSinceMs = -1;
            return 0;
        }
        if (nowMs - h.pendingSinceMs < toMs(holdS))
            return 0;
        h.active = true;
        h.activeSinceMs = nowMs;
        h.pendingSinceMs = -1;
        events.append(
            AlarmEvent{AlarmEvent::Start, source, name, h.worstMHz, h.worstDbm, nowMs, 0});
        return 1;
    }
    if (!h.active) {
        h.pendingSinceMs = -1;
        return 0;
    }
    if (h.pendingSinceMs < 0)
        h.pendingSinceMs = nowMs;
    if (nowMs - h.pendingSinceMs < toMs(clearS))
        return 0;
    h.active = false;
    h.pendingSinceMs = -1;
    events.append(AlarmEvent{AlarmEvent::End, source, name, h.worstMHz, h.worstDbm, nowMs,
                             nowMs - h.activeSinceMs});
    return 1;
}

int AlarmEvaluator::evaluate(const AlarmSweep &sweep, QVector<AlarmEvent> &events)
{
    if (!sweep.levels || sweep.count <= 0 || sweep.count > MaxBins ||
        !std::isfinite(sweep.firstMHz) || !std::isfinite(sweep.stepMHz) || sweep.stepMHz <= 0)
        return 0;
    m_lastTimeMs = sweep.timeMs;
    if (!m_gridKnown || sweep.band != m_band || sweep.firstMHz != m_firstMHz ||
        sweep.stepMHz != m_stepMHz || sweep.count != m_count) {
        // A new grid means new bins: the lines are recomputed and the
        // history, which was taken on other bins, starts over.
        m_gridKnown = true;
        m_band = sweep.band;
        m_firstMHz = sweep.firstMHz;
        m_stepMHz = sweep.stepMHz;
        m_count = sweep.count;
        m_limitsPrepared = false;
        m_watchesPrepared = false;
    }
    if (!m_limitsPrepared)
        prepareLimits();
    if (!m_watchesPrepared)
        prepareWatches();

    const int count = m_count;
    if (m_recentSlots > 0) {
        qint8 *slot = m_recent.data() + size_t(m_recentNext) * size_t(count);
        std::copy(sweep.levels, sweep.levels + count, slot);
        m_recentNext = (m_recentNext + 1) % m_recentSlots;
        m_recentFilled = std::min(m_recentFilled + 1, m_recentSlots);
        for (MaxTrace &t : m_maxTraces) {
            qint8 *out = t.levels.data();
            std::copy(sweep.levels, sweep.levels + count, out);
            const int n = std::min(t.sweeps, m_recentFilled);
            for (int back = 2; back <= n; ++back) {
                const int at = (m_recentNext - back + m_recentSlots) % m_recentSlots;
                const qint8 *older = m_recent.data() + size_t(at) * size_t(count);
                for (int b = 0; b < count; ++b)
                    out[b] = std::max(out[b], older[b]);
            }
        }
    }

    int added = 0;
    for (int i = 0; i < m_limits.size(); ++i) {
        LimitState &s = m_limitStates[size_t(i)];
        if (s.lastBin < s.firstBin)
            continue;
        const qint8 *trace =
            s.maxIndex >= 0 ? m_maxTraces[size_t(s.maxIndex)].levels.data() : sweep.levels;
        const float *line = s.line.data();
        float worst = -std::numeric_limits<float>::infinity();
        int worstBin = s.firstBin;
        for (int b = s.firstBin; b <= s.lastBin; ++b) {
            const float over = float(trace[b]) - line[b];
            if (over > worst) {
                worst = over;
                worstBin = b;
            }
        }
        const LimitLine &limit = m_limits.at(i);
        added += step(s.hold, worst > 0, sweep.timeMs, limit.holdSeconds, limit.clearSeconds, worst,
                      m_firstMHz + worstBin * m_stepMHz, trace[worstBin], AlarmEvent::Limit,
                      limit.name, events);
    }

    if (m_watches.isEmpty())
        return added;
    // The window slides by time; when it is full the oldest sweep leaves
    // early rather than the ring growing.
    const auto dropOldest = [this] {
        for (WatchState &s : m_watchStates)
            s.hits -= s.hit[size_t(m_watchHead)];
        m_watchHead = (m_watchHead + 1) % MaxWatchSweeps;
        --m_watchSize;
    };
    if (m_watchSize == MaxWatchSweeps)
        dropOldest();
    // After the clock is set back the window's sweeps lie in the future;
    // the minute starts over rather than holding them for the jump's length.
    const int newest = (m_watchHead + m_watchSize - 1 + MaxWatchSweeps) % MaxWatchSweeps;
    if (m_watchSize > 0 && m_watchTimes[size_t(newest)] > sweep.timeMs)
        while (m_watchSize > 0)
            dropOldest();
    while (m_watchSize > 0 && m_watchTimes[size_t(m_watchHead)] <= sweep.timeMs - WatchWindowMs)
        dropOldest();
    const int slot = (m_watchHead + m_watchSize) % MaxWatchSweeps;
    m_watchTimes[size_t(slot)] = sweep.timeMs;
    ++m_watchSize;
    for (int i = 0; i < m_watches.size(); ++i) {
        WatchState &s = m_watchStates[size_t(i)];
        s.hit[size_t(slot)] = 0;
        if (s.lastBin < s.firstBin)
            continue;
        const ChannelWatch &watch = m_watches.at(i);
        int strongest = s.firstBin;
        for (int b = s.firstBin + 1; b <= s.lastBin; ++b)
            if (sweep.levels[b] > sweep.levels[strongest])
                strongest = b;
        const bool hit = sweep.levels[strongest] > watch.levelDbm;
        s.hit[size_t(slot)] = hit ? 1 : 0;
        s.hits += s.hit[size_t(slot)];
        const bool busy = s.hits * 100.0 > watch.dutyPercent * m_watchSize;
        added += step(s.hold, busy, sweep.timeMs, watch.holdSeconds, watch.clearSeconds,
                      sweep.levels[strongest], m_firstMHz + strongest * m_stepMHz,
                      sweep.levels[strongest], AlarmEvent::Watch, watch.label, events);
    }
    return added;
}
