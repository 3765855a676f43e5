#include "recordingio.h"
#include "utilization.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

//! Histories on the 2.4 GHz grid (2400 + 0.2 i MHz) unless told otherwise.
RfSpectrumHistory history(double startMHz, double stopMHz)
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(startMHz, stopMHz);
    h.amplitudeInterval = QwtInterval(-110, -20);
    return h;
}

int bins(const RfSpectrumHistory &h)
{
    return int(std::lround(h.frequencyInterval.width() / 0.2)) + 1;
}

} // namespace

class TstUtilization : public QObject
{
    Q_OBJECT
private slots:
    void dutyCycleEqualsPlainLoop_data();
    void dutyCycleEqualsPlainLoop();
    void channelAtSpanEdge_data();
    void channelAtSpanEdge();
    void recommendation();
    void carrierNeverRecommended_data();
    void carrierNeverRecommended();
};

void TstUtilization::dutyCycleEqualsPlainLoop_data()
{
    QTest::addColumn<double>("threshold");
    QTest::addColumn<int>("noDataPercent");
    QTest::addColumn<int>("blockSweeps"); // > 0: given the history, counts kept in blocks
    QTest::newRow("default threshold") << qQNaN() << 0 << 0;
    QTest::newRow("-60 dBm, gaps") << -60.0 << 5 << 0;
    QTest::newRow("-59.5 dBm, many gaps") << -59.5 << 40 << 0;
    QTest::newRow("above every level") << 200.0 << 10 << 0;
    QTest::newRow("history's counts, blocks of 64") << -60.0 << 5 << 64;
    QTest::newRow("history's counts, blocks of 1") << qQNaN() << 5 << 1;
    QTest::newRow("history's counts, blocks of 37") << -75.0 << 40 << 37;
}

void TstUtilization::dutyCycleEqualsPlainLoop()
{
    QFETCH(double, threshold);
    QFETCH(int, noDataPercent);
    QFETCH(int, blockSweeps);
    QRandomGenerator rng(1207);
    RfSpectrumHistory h = history(2400, 2500);
    const int n = bins(h);
    const auto grow = [&](int sweeps) {
        for (int s = 0; s < sweeps; ++s) {
            // Now and then a shorter sweep, never first in a selection: its
            // missing points are no data.
            RfSpectrumScan scan(h.samples.size() % 2 == 1 && rng.bounded(25) == 0 ? n - 7 : n);
            for (qint8 &v : scan) {
                const int r = int(rng.bounded(100));
                v = r < noDataPercent
                        ? NoDataLevel
                        : qint8(r < 70 ? rng.bounded(-100, -90) : rng.bounded(-85, -30));
            }
            h.samples.append(RfSpectrumSample(h.samples.size() * 50, scan));
        }
    };
    grow(300);
    const PointGrid grid = PointGrid::forHistory(h.frequencyInterval, n);
    // One analyzer for all windows: incremental updates, and with the
    // history its counts kept as the history grows.
    UtilizationAnalyzer analyzer(qMax(1, blockSweeps));
    const RfSpectrumSampleList *given = blockSweeps > 0 ? &h.samples : nullptr;
    if (given) { // an opened recording's counting, stopped: nothing is kept
        QVERIFY(!analyzer.follow(h.samples, [](int, int) { return false; }));
        QCOMPARE(analyzer.pendingFor(h.samples), h.samples.size());
    }
    int fromCounts = 0;
    for (int round = 0; round < 25; ++round) {
        if (round == 12 && given) { // another page's history: counted afresh
            h.samples.clear();
            grow(300);
        }
        grow(12);
        const int size = h.samples.size();
        const int lo = round % 4 == 0 ? 0 : 2 * int(rng.bounded(size / 2 - 25));
        const int hi = round % 4 == 0 ? size : lo + 1 + int(rng.bounded(size - lo));
        const RfSpectrumSampleList sel = hi - lo == size ? h.samples : h.samples.mid(lo, hi - lo);
        const UtilizationResult r = analyzer.update(sel, h.frequencyInterval, threshold, given);
        fromCounts += analyzer.lastUsedIndex();

        QVector<int> levels;
        for (const RfSpectrumSample &s : sel)
            for (qint8 v : s.spectrum)
                if (v != NoDataLevel)
                    levels.append(v);
        std::sort(levels.begin(), levels.end());
        const int floor = levels.isEmpty() ? NoDataLevel : levels.at((levels.size() + 9) / 10 - 1);
        QCOMPARE(r.noiseFloorDbm, floor);
        const double thr = qIsNaN(threshold) ? floor + 10.0 : threshold;
        QCOMPARE(r.thresholdDbm, thr);

        for (const ChannelUtilization &u : r.channels) {
            double sum = 0, peak = qQNaN();
            int counted = 0;
            for (int i = 0; i < n; ++i) {
                const double f = grid.frequencyMHz(i);
                if (f < u.channel.lowMHz - 1e-9 || f > u.channel.highMHz + 1e-9)
                    continue;
                int with = 0, above = 0;
                for (const RfSpectrumSample &s : sel) {
                    const qint8 v = s.spectrum.value(i, NoDataLevel);
                    with += v != NoDataLevel;
                    above += v != NoDataLevel && v >= thr;
                }
                if (with == 0)
                    continue;
                const double d = double(above) / with;
                sum += d;
                peak = counted++ ? qMax(peak, d) : d;
            }
            QVERIFY2(counted > 0 || !u.hasData(), qPrintable(u.channel.name()));
            if (counted == 0)
                continue;
            // Exactly the plain loop's doubles, not merely close.
            QVERIFY2(u.utilization == sum / counted, qPrintable(u.channel.name()));
            QVERIFY2(u.peak == peak, qPrintable(u.channel.name()));
        }
    }
    QVERIFY2(blockSweeps == 0 || fromCounts > 10, qPrintable(QString::number(fromCounts)));
}

void TstUtilization::channelAtSpanEdge_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("stop");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<int>("firstBin");
    QTest::addColumn<int>("lastBin");
    QTest::addColumn<bool>("partial");
    QTest::newRow("Wi-Fi 1 inside the band") << 2400.0 << 2500.0 << "Wi-Fi 1" << 10 << 110 << false;
    QTest::newRow("Wi-Fi 1 cut by the span") << 2410.0 << 2500.0 << "Wi-Fi 1" << 0 << 60 << true;
    QTest::newRow("Wi-Fi 14 cut at the top")
        << 2400.0 << 2490.0 << "Wi-Fi 14" << 370 << 450 << true;
    QTest::newRow("KiVo ID 24110 cut") << 2410.0 << 2500.0 << "KiVo ID 24110" << 0 << 84 << true;
    QTest::newRow("ZigBee 11 outside") << 2410.0 << 2500.0 << "ZigBee 11" << -2 << -2 << true;
}

void TstUtilization::channelAtSpanEdge()
{
    QFETCH(double, start);
    QFETCH(double, stop);
    QFETCH(QString, channel);
    QFETCH(int, firstBin);
    QFETCH(int, lastBin);
    QFETCH(bool, partial);
    RfSpectrumHistory h = history(start, stop);
    const int n = bins(h);
    // Quiet only from the span's start up to 2430 MHz: what is cut by the
    // edge would otherwise win the ranking.
    for (int s = 0; s < 20; ++s) {
        RfSpectrumScan scan(n);
        for (int i = 0; i < n; ++i)
            scan[i] = qint8(start + i * 0.2 <= 2430 ? -100 : (s % 2 ? -100 : -40));
        h.samples.append(RfSpectrumSample(s * 50, scan));
    }
    UtilizationAnalyzer analyzer;
    const UtilizationResult r = analyzer.update(h.samples, h.frequencyInterval, -70);
    const auto it =
        std::find_if(r.channels.cbegin(), r.channels.cend(),
                     [&](const ChannelUtilization &u) { return u.channel.name() == channel; });
    if (firstBin == -2) {
        QVERIFY(it == r.channels.cend());
        return;
    }
    QVERIFY(it != r.channels.cend());
    QCOMPARE(it->firstBin, firstBin);
    QCOMPARE(it->lastBin, lastBin);
    QCOMPARE(it->partial, partial);
    QVERIFY(it->hasData());
    // An ID cut by the edge never ranks, however quiet its swept part is.
    for (int i : r.bestKivoIds)
        QVERIFY(!r.channels.at(i).partial);
}

void TstUtilization::recommendation()
{
    // Wi-Fi 6 on air 80 % of the sweeps, the rest of ID 24310's range 50 %.
    RfSpectrumHistory h = history(2400, 2500);
    const int n = bins(h);
    QRandomGenerator rng(24310);
    for (int s = 0; s < 400; ++s) {
        RfSpectrumScan scan(n);
        for (int i = 0; i < n; ++i) {
            const double f = 2400 + 0.2 * i;
            const bool busy = (f >= 2427 && f <= 2447)         ? rng.bounded(10) < 8
                              : (f >= 2400.37 && f <= 2455.72) ? rng.bounded(2) == 0
                                                               : false;
            scan[i] = qint8(busy ? rng.bounded(-60, -45) : rng.bounded(-100, -94));
        }
        h.samples.append(RfSpectrumSample(1765000000000 + s * 50, scan));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("busy.vozi"));
    QString error;
    QVERIFY2(RecordingIo::saveFile(path, h, &error), qPrintable(error));
    const RecordingIo::Recording rec = RecordingIo::loadFile(path);
    QVERIFY(rec.complete);

    UtilizationAnalyzer analyzer;
    const UtilizationResult r = analyzer.update(rec.history.samples, rec.history.frequencyInterval);
    QCOMPARE(r.recommendationText(),
             QStringLiteral("Use Wi-Fi 11; KiVo ID 24110 (1 universe), 24240 (2 universes); "
                            "avoid Wi-Fi 6: carrier at 2427.0 MHz, \u221259 dBm."));
}

void TstUtilization::carrierNeverRecommended_data()
{
    QTest::addColumn<double>("carrierMHz");
    QTest::addColumn<int>("carrierDbm");
    QTest::addColumn<QString>("best");
    QTest::addColumn<QString>("says");
    QTest::newRow("narrow carrier in the quietest channel")
        << 2458.0 << -12 << "Wi-Fi 1"
        << "avoid Wi-Fi 11: carrier at 2458.0 MHz, \u221212 dBm";
    QTest::newRow("20 dB above the floor") << 2458.0 << -74 << "Wi-Fi 1"
                                           << "avoid Wi-Fi 11: carrier at 2458.0 MHz";
    QTest::newRow("weak carrier") << 2458.0 << -85 << "Wi-Fi 11"
                                  << "; avoid Wi-Fi 6: on air";
    QTest::newRow("carrier in a KiVo ID only") << 2478.0 << -30 << "Wi-Fi 11"
                                               << "; avoid Wi-Fi 6: on air";
}

void TstUtilization::carrierNeverRecommended()
{
    QFETCH(double, carrierMHz);
    QFETCH(int, carrierDbm);
    QFETCH(QString, best);
    QFETCH(QString, says);
    // Wi-Fi 1 on air 30 % of the sweeps, Wi-Fi 6 50 %, a steady carrier.
    RfSpectrumHistory h = history(2400, 2500);
    const int n = bins(h);
    QRandomGenerator rng(2458);
    for (int s = 0; s < 300; ++s) {
        RfSpectrumScan scan(n);
        for (int i = 0; i < n; ++i) {
            const double f = 2400 + 0.2 * i;
            const bool busy =
                (f >= 2402 && f <= 2422 && s % 10 < 3) || (f >= 2427 && f <= 2447 && s % 2 == 0);
            scan[i] = qint8(busy ? -60 : rng.bounded(-95, -91));
        }
        scan[int(std::lround((carrierMHz - 2400) / 0.2))] = qint8(carrierDbm);
        h.samples.append(RfSpectrumSample(s * 50, scan));
    }
    UtilizationAnalyzer analyzer;
    const UtilizationResult r = analyzer.update(h.samples, h.frequencyInterval);
    QVERIFY(r.bestWifi >= 0);
    QCOMPARE(r.channels.at(r.bestWifi).channel.name(), best);
    QVERIFY2(r.recommendationText().contains(says), qPrintable(r.recommendationText()));
    // The plan holds together: nothing recommended carries a carrier, and no
    // recommended ID shares the air with the recommended Wi-Fi channel.
    QVERIFY(!r.channels.at(r.bestWifi).carrier);
    QVERIFY(!r.bestKivoIds.isEmpty());
    for (int i : r.bestKivoIds) {
        QVERIFY(!r.channels.at(i).carrier);
        QVERIFY(!rangesOverlap(r.channels.at(i).channel, r.channels.at(r.bestWifi).channel));
        QVERIFY(!r.channels.at(i).overlaps.contains(best));
        QVERIFY(r.channels.at(i).channel.lowMHz > carrierMHz ||
                r.channels.at(i).channel.highMHz < carrierMHz || carrierDbm == -85);
    }
}

QTEST_GUILESS_MAIN(TstUtilization)
#include "tst_utilization.moc"
