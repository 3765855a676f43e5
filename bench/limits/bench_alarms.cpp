// Alarm evaluation per sweep: 8 limit lines (half on the max of the last 10
// sweeps) and 16 channel watches on 501-bin 2400-2500 MHz sweeps arriving
// every 50 ms, with an emitter that comes and goes so alarms start and end.

#include "alarmevaluator.h"
#include "benchtarget.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>

namespace {

constexpr int Bins = 501;
constexpr int Distinct = 1000;
constexpr int Sweeps = 40000;

} // namespace

int main()
{
    QRandomGenerator rng(20261208);
    QVector<QVector<qint8>> sweeps(Distinct, QVector<qint8>(Bins));
    for (int s = 0; s < Distinct; ++s) {
        for (int b = 0; b < Bins; ++b)
            sweeps[s][b] = qint8(rng.bounded(-100, -88));
        // On for 5 s, off for 5 s, hopping over the band.
        if ((s / 100) % 2 == 0) {
            const int at = int(rng.bounded(Bins - 10));
            for (int b = at; b < at + 10; ++b)
                sweeps[s][b] = -45;
        }
    }

    QVector<LimitLine> limits;
    for (int i = 0; i < 8; ++i) {
        LimitLine l;
        l.name = QStringLiteral("mask %1").arg(i);
        l.points = {{2400, -60.0 - i}, {2450, -55.0 - i}, {2450, -70}, {2500, -65.0 - i}};
        l.trace = i % 2 ? LimitTrace::Max : LimitTrace::Current;
        l.maxSweeps = 10;
        l.holdSeconds = 1;
        limits.append(l);
    }
    QVector<ChannelWatch> watches;
    for (int i = 0; i < 16; ++i) {
        const double centre = 2402 + i * 6;
        watches.append(ChannelWatch{QStringLiteral("ch %1").arg(i), LimitBand::Band2400, centre - 2,
                                    centre + 2, -70, 20, 2, 2, true});
    }
    AlarmEvaluator evaluator;
    evaluator.setLimits(limits);
    evaluator.setChannelWatches(watches);
    QVector<AlarmEvent> events;
    events.reserve(64);
    int total = 0;

    QElapsedTimer t;
    t.start();
    for (int s = 0; s < Sweeps; ++s) {
        events.clear();
        const AlarmSweep sweep{
            LimitBand::Band2400,   2400, 0.2, sweeps.at(s % Distinct).constData(), Bins,
            1765000000000 + s * 50};
        total += evaluator.evaluate(sweep, events);
    }
    const double perSweepUs = t.nsecsElapsed() / 1e3 / Sweeps;
    std::printf("alarms: %d sweeps of %d bins, 8 limits, 16 watches, %.2f us each (%d events)\n",
                Sweeps, Bins, perSweepUs, total);
    return BenchTarget::report("limits.alarm_eval_us", perSweepUs, "us", BenchTarget::AtMost, 50, 2)
               ? 0
               : 1;
}
