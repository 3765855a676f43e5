// Spectrum statistics and history memory, printed as figures:
//  - one update of a 2,400-sample selection of 501 bins sliding by one sample
//    (a 120 s live window of 2.4 GHz sweeps at 20 per second): incremental
//    accumulator against the plain reference loop, in the same run;
//  - bytes per stored 501-bin sample in a history of 72,000 samples.

#include "bandhistory.h"
#include "benchtarget.h"
#include "referencestatistics.h"
#include "spectrumstatistics.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>
#include <malloc.h>

namespace {

constexpr int Bins = 501;
constexpr int Window = 2400;
constexpr int Slides = 400;
constexpr int ReferenceRuns = 8;
constexpr int HistorySamples = 72000;

RfSpectrumScan sweep(QRandomGenerator &rng)
{
    RfSpectrumScan s;
    // Built by appending, as a decoder does, so the history's trimming of
    // spare capacity is part of what is measured.
    for (int i = 0; i < Bins; ++i) {
        const quint32 kind = rng.bounded(10);
        s.append(qint8(kind < 7 ? rng.bounded(-100, -85) : rng.bounded(-80, -25)));
    }
    return s;
}

double maxDifference(const SpectrumStatistics &a, const SpectrumStatistics &b)
{
    if (a.densityMatrix.size() != b.densityMatrix.size() || a.hitMatrix != b.hitMatrix ||
        a.maxHoldTrace != b.maxHoldTrace || a.peak != b.peak)
        return 1e300;
    double worst = 0;
    for (int i = 0; i < a.densityMatrix.size(); ++i)
        worst = qMax(worst, qAbs(a.densityMatrix.at(i) - b.densityMatrix.at(i)));
    for (int i = 0; i < a.averageTrace.size(); ++i)
        worst = qMax(worst, qAbs(a.averageTrace.at(i) - b.averageTrace.at(i)));
    return worst;
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

int main()
{
    QRandomGenerator rng(20261207);
    const QwtInterval range(-100, -30);

    RfSpectrumSampleList history;
    for (int i = 0; i < Window + Slides; ++i)
        history.append(RfSpectrumSample(qint64(i) * 50, sweep(rng)));

    SpectrumStatisticsAccumulator accumulator;
    QElapsedTimer timer;
    timer.start();
    accumulator.computeSpectrumStatistics(history.mid(0, Window), range);
    const double rebuildMs = timer.nsecsElapsed() / 1e6;

    qint64 updateNs = 0;
    qint64 selectionNs = 0;
    int incremental = 0;
    for (int s = 1; s <= Slides; ++s) {
        timer.restart();
        const RfSpectrumSampleList selection = history.mid(s, Window);
        selectionNs += timer.nsecsElapsed();
        timer.restart();
        accumulator.computeSpectrumStatistics(selection, range);
        updateNs += timer.nsecsElapsed();
        if (accumulator.lastUpdate() == SpectrumStatisticsAccumulator::Update::Incremental)
            ++incremental;
    }
    const double incrementalMs = updateNs / 1e6 / Slides;

    // As in the plot, whose rasters keep the previous matrices while the
    // next update is computed: the accumulator then writes fresh buffers.
    qint64 heldNs = 0;
    SpectrumStatistics shown = accumulator.statistics();
    for (int s = Slides - 1; s >= 1; --s) {
        const RfSpectrumSampleList selection = history.mid(s, Window);
        timer.restart();
        accumulator.computeSpectrumStatistics(selection, range);
        heldNs += timer.nsecsElapsed();
        shown = accumulator.statistics();
    }
    const double heldMs = heldNs / 1e6 / (Slides - 1);

    qint64 referenceNs = 0;
    SpectrumStatistics reference;
    for (int r = 0; r < ReferenceRuns; ++r) {
        const RfSpectrumSampleList selection = history.mid(1 + r, Window);
        timer.restart();
        reference = reference::computeSpectrumStatistics(selection, range);
        referenceNs += timer.nsecsElapsed();
    }
    const double referenceMs = referenceNs / 1e6 / ReferenceRuns;
    accumulator.computeSpectrumStatistics(history.mid(ReferenceRuns, Window), range);
    const double difference = maxDifference(accumulator.statistics(), reference);

    std::printf("statistics: %d-sample selection x %d bins, sliding by one sample\n", Window, Bins);
    std::printf("  incremental update:     %8.3f ms per update (%d of %d incremental)\n",
                incrementalMs, incremental, Slides);
    std::printf("  same, plot holding the previous matrices: %.3f ms per update\n", heldMs);
    std::printf("  reference loop:         %8.3f ms per update\n", referenceMs);
    std::printf("  speed-up:               %8.1f x (target >= 50 x)\n",
                referenceMs / incrementalMs);
    std::printf("  first build (rebuild):  %8.3f ms\n", rebuildMs);
    std::printf("  selection copy (mid):   %8.3f ms per update\n", selectionNs / 1e6 / Slides);
    std::printf("  largest difference to the reference: %.3g\n", difference);
    BenchTarget::report("statistics.update", incrementalMs, "ms", BenchTarget::AtMost, 1, 3);
    BenchTarget::report("statistics.speedup", referenceMs / incrementalMs, "x",
                        BenchTarget::AtLeast, 50);

    // Memory: a live history fed the way a page feeds it, networks carried
    // forward as one shared scan.
    history.clear();
    accumulator.clear();
    WifiScan networks;
    for (int i = 0; i < 5; ++i)
        networks.append(makeWifiApInfo(QByteArray(6, char(i)), "net", 3, -60, 2437000));
    QList<RfSpectrumScan> sweeps;
    for (int i = 0; i < 64; ++i)
        sweeps.append(sweep(rng));

    malloc_trim(0);
    const size_t before = heapInUse();
    {
        BandHistory band;
        qint64 upper = 0;
        for (int i = 0; i < HistorySamples; ++i) {
            // A fresh vector per sweep, as the decoder delivers them.
            RfSpectrumScan levels;
            for (qint8 v : sweeps.at(i % sweeps.size()))
                levels.append(v);
            const TimeBarUpdate u = band.addNewSpectrumSample(
                RfSpectrumSample(qint64(i) * 50, levels, networks), upper);
            if (u.movesView)
                upper = u.upperValue;
        }
        const size_t after = heapInUse();
        const double perSample = double(after - before) / HistorySamples;
        std::printf("history memory: %d samples of %d bins\n", HistorySamples, Bins);
        std::printf("  heap per stored sample: %8.1f bytes (target <= 600)\n", perSample);
        BenchTarget::report("statistics.history_bytes_per_sample", perSample, "bytes",
                            BenchTarget::AtMost, 600);
    }
    return 0;
}
