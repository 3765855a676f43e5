#include "bursts.h"

#include "utilization.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

struct Run
{
    int first;
    int last;
};

//! A burst still growing: its spans in the newest sweep it reached.
struct OpenBurst
{
    Burst burst;
    int firstSweep = 0;
    int lastSweep = 0;
    QVector<Run> previous; //!< spans in sweep lastSweep - 1 (before this sweep's pass)
    QVector<Run> current;  //!< spans in the sweep being read
    bool merged = false;   //!< folded into another one
};

bool touch(const Run &a, const Run &b)
{
    return a.first <= b.last && b.first <= a.last;
}

QString level(int dbm)
{
    // A real minus sign: the text goes into reports and event lists.
    return dbm < 0 ? QStringLiteral("\u2212%1").arg(-dbm) : QString::number(dbm);
}

} // namespace

QString Burst::eventText() const
{
    return QCoreApplication::translate("Burst", "Burst %1\u2013%2 MHz, %3 dBm, %4 s")
        .arg(QString::number(lowMHz, 'f', 0), QString::number(highMHz, 'f', 0), level(peakDbm),
             QString::number(durationMs() / 1000.0, 'f', 1));
}

TimeEvent Burst::timeEvent() const
{
    return TimeEvent(QDateTime::fromMSecsSinceEpoch(startMs, Qt::UTC), eventText());
}

QVector<Burst> findBursts(const RfSpectrumSampleList &selection, const PointGrid &grid,
                          const BurstOptions &options, const BurstProgress &progress)
{
    QVector<Burst> found;
    if (selection.isEmpty())
        return found;
    const int columns = qMin(selection.first().spectrum.size(), MaxStatisticsColumns);
    if (columns <= 0)
        return found;

    // Each bin's own floor, so a front end's ripple or a steady carrier does
    // not make a whole region look like one endless burst.
    SpectrumStatisticsAccumulator floors;
    floors.updateHistograms(selection);
    const LevelHistogramView h{floors.levelHistograms().constData(), columns};
    QVector<int> threshold(columns, 1000);
    for (int i = 0; i < columns; ++i) {
        qint64 bin[256];
        std::copy_n(h.counts + i * 256, 256, bin);
        const int floor = tenthPercentile(bin);
        if (floor != NoDataLevel)
            threshold[i] = int(std::ceil(floor + options.marginDb));
    }

    const int minBins = qMax(1, options.minBins);
    const int minSweeps = qMax(1, options.minSweeps);
    QVector<OpenBurst> open;
    QVector<Run> runs;
    const auto close = [&](const OpenBurst &o) {
        if (!o.merged && o.lastSweep - o.firstSweep + 1 >= minSweeps) {
            Burst b = o.burst;
            b.sweeps = o.lastSweep - o.firstSweep + 1;
            b.lowMHz = grid.frequencyMHz(b.firstBin);
            b.highMHz = grid.frequencyMHz(b.lastBin);
            found.append(b);
        }
    };

    constexpr int ProgressEvery = 4096;
    for (int s = 0; s < selection.size(); ++s) {
        if (progress && s % ProgressEvery == 0 && !progress(s, selection.size()))
            return {};
        const RfSpectrumSample &sample = selection.at(s);
        const qint8 *levels = sample.spectrum.constData();
        const int present = qMin(sample.spectrum.size(), columns);
        runs.clear();
        int start = -1;
        for (int i = 0; i <= present; ++i) {
            const bool hot = i < present && levels[i] != NoDataLevel && levels[i] >= threshold[i];
            if (hot && start < 0)
                start = i;
            if (!hot && start >= 0) {
                if (i - start >= minBins)
                    runs.append(Run{start, i - 1});
                start = -1;
            }
        }

        for (const Run &run : qAsConst(runs)) {
            int owner = -1;
            for (int k = 0; k < open.size(); ++k) {
                OpenBurst &o = open[k];
                if (o.merged)
                    continue;
                const bool joins = std::any_of(o.previous.cbegin(), o.previous.cend(),
                                               [&](const Run &p) { return touch(p, run); });
                if (!joins)
                    continue;
                if (owner < 0) {
                    owner = k;
                    continue;
                }
                // The span bridges two bursts: they were one transmission.
                OpenBurst &keep = open[owner];
                keep.firstSweep = qMin(keep.firstSweep, o.firstSweep);
                keep.burst.startMs = qMin(keep.burst.startMs, o.burst.startMs);
                keep.burst.firstBin = qMin(keep.burst.firstBin, o.burst.firstBin);
                keep.burst.lastBin = qMax(keep.burst.lastBin, o.burst.lastBin);
                keep.burst.peakDbm = qMax(keep.burst.peakDbm, o.burst.peakDbm);
                keep.previous += o.previous;
                keep.current += o.current;
                o.merged = true;
            }
            int peak = NoDataLevel;
            for (int i = run.first; i <= run.last; ++i)
                peak = qMax(peak, int(levels[i]));
            if (owner < 0) {
                OpenBurst o;
                o.firstSweep = o.lastSweep = s;
                o.burst.startMs = o.burst.endMs = sample.timeStamp;
                o.burst.firstBin = run.first;
                o.burst.lastBin = run.last;
                o.burst.peakDbm = peak;
                o.current.append(run);
                open.append(o);
                continue;
            }
            OpenBurst &o = open[owner];
            o.lastSweep = s;
            o.burst.endMs = sample.timeStamp;
            o.burst.firstBin = qMin(o.burst.firstBin, run.first);
            o.burst.lastBin = qMax(o.burst.lastBin, run.last);
            o.burst.peakDbm = qMax(o.burst.peakDbm, peak);
            o.current.append(run);
        }

        // What this sweep did not continue has ended.
        QVector<OpenBurst> still;
        still.reserve(open.size());
        for (OpenBurst &o : open) {
            if (o.merged)
                continue;
            if (o.current.isEmpty()) {
                close(o);
                continue;
            }
            o.previous.swap(o.current);
            o.current.clear();
            still.append(std::move(o));
        }
        open.swap(still);
    }
    for (const OpenBurst &o : qAsConst(open))
        close(o);

    std::sort(found.begin(), found.end(), [](const Burst &a, const Burst &b) {
        return a.startMs < b.startMs || (a.startMs == b.startMs && a.firstBin < b.firstBin);
    });
    return found;
}

namespace {

QString mhzRange(double low, double high)
{
    return QStringLiteral("%1\u2013%2 MHz")
        .arg(QString::number(low, 'f', 0), QString::number(high, 'f', 0));
}

//! Alike bursts share a key: widths within a power of two, peaks within the
//! same 10 dB.
qint64 likeness(const Burst &b)
{
    const int width = b.lastBin - b.firstBin + 1;
    int widthClass = 0;
    while ((2 << widthClass) <= width)
        ++widthClass;
    const int levelClass = (b.peakDbm + 130) / 10;
    return qint64(widthClass) * 1000 + levelClass;
}

BurstSource sourceOf(BurstSource::Kind kind, const QVector<Burst> &bursts, int sweeps)
{
    BurstSource s;
    s.kind = kind;
    s.bursts = bursts;
    s.lowMHz = bursts.first().lowMHz;
    s.highMHz = bursts.first().highMHz;
    s.startMs = bursts.first().startMs;
    s.endMs = bursts.first().endMs;
    qint64 onAir = 0;
    for (const Burst &b : bursts) {
        s.lowMHz = qMin(s.lowMHz, b.lowMHz);
        s.highMHz = qMax(s.highMHz, b.highMHz);
        s.startMs = qMin(s.startMs, b.startMs);
        s.endMs = qMax(s.endMs, b.endMs);
        s.peakDbm = qMax(s.peakDbm, b.peakDbm);
        onAir += b.sweeps;
    }
    s.duty = sweeps > 0 ? qMin(1.0, double(onAir) / sweeps) : 0.0;
    return s;
}

} // namespace

QString BurstSource::kindText() const
{
    switch (kind) {
    case Continuous:
        return QCoreApplication::translate("Burst", "Continuous");
    case Intermittent:
        return QCoreApplication::translate("Burst", "Hopping/intermittent");
    case Isolated:
        break;
    }
    return QCoreApplication::translate("Burst", "Isolated");
}

QString BurstSource::text() const
{
    const QString share = QString::number(duty * 100, 'f', 1);
    if (kind == Continuous)
        return QCoreApplication::translate("Burst", "Continuous %1, %2 dBm, %3 % of sweeps")
            .arg(mhzRange(lowMHz, highMHz), level(peakDbm), share);
    if (kind == Intermittent)
        return QCoreApplication::translate("Burst",
                                           "Hopping/intermittent %1, %2 dBm, %3 bursts, %4 % of "
                                           "sweeps")
            .arg(mhzRange(lowMHz, highMHz), level(peakDbm))
            .arg(count())
            .arg(share);
    return bursts.first().eventText();
}

QList<TimeEvent> BurstSource::timeEvents() const
{
    QList<TimeEvent> events;
    if (kind == Continuous) {
        events.append(TimeEvent(QDateTime::fromMSecsSinceEpoch(startMs, Qt::UTC),
                                QCoreApplication::translate("Burst", "Occupied %1, %2 dBm")
                                    .arg(mhzRange(lowMHz, highMHz), level(peakDbm))));
        return events;
    }
    for (const Burst &b : bursts)
        events.append(b.timeEvent());
    return events;
}

QVector<BurstSource> classifyBursts(const QVector<Burst> &bursts, int sweeps)
{
    QVector<BurstSource> continuous;
    QVector<BurstSource> intermittent;
    QVector<BurstSource> isolated;
    QHash<qint64, QVector<Burst>> alike;
    QList<qint64> order;
    for (const Burst &b : bursts) {
        if (sweeps > 0 && b.sweeps >= ContinuousShare * sweeps) {
            continuous.append(sourceOf(BurstSource::Continuous, {b}, sweeps));
            continue;
        }
        const qint64 key = likeness(b);
        auto it = alike.find(key);
        if (it == alike.end()) {
            order.append(key);
            it = alike.insert(key, {});
        }
        it->append(b);
    }
    for (qint64 key : qAsConst(order)) {
        const QVector<Burst> &group = alike[key];
        if (group.size() >= MinRepeatedBursts) {
            intermittent.append(sourceOf(BurstSource::Intermittent, group, sweeps));
            continue;
        }
        for (const Burst &b : group)
            isolated.append(sourceOf(BurstSource::Isolated, {b}, sweeps));
    }
    std::stable_sort(
        intermittent.begin(), intermittent.end(),
        [](const BurstSource &a, const BurstSource &b) { return a.count() > b.count(); });
    std::stable_sort(
        isolated.begin(), isolated.end(),
        [](const BurstSource &a, const BurstSource &b) { return a.startMs < b.startMs; });
    return continuous + intermittent + isolated;
}
