#include "bursts.h"
#include "recordingio.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

//! One transmission drawn into the synthetic recording: from sweep `first`
//! for `sweeps` sweeps over bins [low, high], moving `drift` bins per sweep.
struct Planted
{
    int first, sweeps, low, high, level, drift;
};
Q_DECLARE_METATYPE(QVector<Planted>)

//! Expected burst: sweeps [first, last], bins [low, high], peak.
struct Expected
{
    int first, last, low, high, peak;
};
Q_DECLARE_METATYPE(QVector<Expected>)

class TstBursts : public QObject
{
    Q_OBJECT
private slots:
    void knownPattern_data();
    void knownPattern();
    void sources_data();
    void sources();
};

constexpr qint64 T0 = 1765000000000;

//! 200 sweeps of noise with `planted` drawn in, through a saved recording.
RfSpectrumHistory plantedHistory(const QVector<Planted> &planted)
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.amplitudeInterval = QwtInterval(-110, -20);
    QRandomGenerator rng(42);
    for (int s = 0; s < 200; ++s) {
        RfSpectrumScan scan(501);
        for (qint8 &v : scan)
            v = qint8(rng.bounded(-100, -89)); // 10 dB of noise: never 15 dB above its floor
        for (const Planted &p : planted) {
            if (s < p.first || s >= p.first + p.sweeps)
                continue;
            const int shift = (s - p.first) * p.drift;
            for (int i = p.low + shift; i <= p.high + shift; ++i)
                scan[i] = qint8(i == p.low + shift + 1 ? p.level : p.level - 3);
        }
        h.samples.append(RfSpectrumSample(T0 + s * 50, scan));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bursts.vozi"));
    QString error;
    if (!RecordingIo::saveFile(path, h, &error))
        qFatal("%s", qPrintable(error));
    return RecordingIo::loadFile(path).history;
}

void TstBursts::knownPattern_data()
{
    QTest::addColumn<QVector<Planted>>("planted");
    QTest::addColumn<QVector<Expected>>("expected");
    QTest::newRow("pure noise") << QVector<Planted>{} << QVector<Expected>{};
    QTest::newRow("one burst") << QVector<Planted>{{10, 5, 100, 110, -52, 0}}
                               << QVector<Expected>{{10, 14, 100, 110, -52}};
    QTest::newRow("same channel twice, parallel elsewhere")
        << QVector<Planted>{{10, 3, 100, 110, -60, 0},
                            {20, 2, 100, 110, -55, 0},
                            {11, 4, 300, 302, -70, 0}}
        << QVector<Expected>{
               {10, 12, 100, 110, -60}, {11, 14, 300, 302, -70}, {20, 21, 100, 110, -55}};
    QTest::newRow("too short, too narrow")
        << QVector<Planted>{{30, 1, 50, 80, -40, 0}, {40, 6, 200, 201, -40, 0}}
        << QVector<Expected>{};
    QTest::newRow("drifting hop, one burst") << QVector<Planted>{{50, 4, 400, 404, -58, 3}}
                                             << QVector<Expected>{{50, 53, 400, 413, -58}};
    QTest::newRow("hop sharing one point, one burst") << QVector<Planted>{{60, 3, 400, 404, -58, 4}}
                                                      << QVector<Expected>{{60, 62, 400, 412, -58}};
    QTest::newRow("at the ends of the selection")
        << QVector<Planted>{{0, 2, 0, 4, -50, 0}, {198, 2, 496, 500, -50, 0}}
        << QVector<Expected>{{0, 1, 0, 4, -50}, {198, 199, 496, 500, -50}};
}

void TstBursts::knownPattern()
{
    QFETCH(QVector<Planted>, planted);
    QFETCH(QVector<Expected>, expected);
    const RfSpectrumHistory h = plantedHistory(planted);
    const PointGrid grid = PointGrid::forHistory(h.frequencyInterval, 501);
    const QVector<Burst> found = findBursts(h.samples, grid);
    QCOMPARE(found.size(), expected.size());
    for (int k = 0; k < found.size(); ++k) {
        const Burst &b = found.at(k);
        const Expected &e = expected.at(k);
        QCOMPARE(b.startMs, T0 + e.first * 50);
        QCOMPARE(b.endMs, T0 + e.last * 50);
        QCOMPARE(b.sweeps, e.last - e.first + 1);
        QCOMPARE(b.firstBin, e.low);
        QCOMPARE(b.lastBin, e.high);
        QCOMPARE(b.lowMHz, grid.frequencyMHz(e.low));
        QCOMPARE(b.highMHz, grid.frequencyMHz(e.high));
        QCOMPARE(b.peakDbm, e.peak);
        QCOMPARE(b.timeEvent().time.toMSecsSinceEpoch(), b.startMs);
    }
    if (expected.size() == 1 && expected.first().first == 10)
        QCOMPARE(found.first().eventText(),
                 QStringLiteral("Burst 2420\u20132422 MHz, \u221252 dBm, 0.2 s"));
}

// Kinds in the order listed: C continuous, H hopping/intermittent with its
// burst count, I isolated.
void TstBursts::sources_data()
{
    QTest::addColumn<QVector<Planted>>("planted");
    QTest::addColumn<QString>("kinds");
    QVector<Planted> hops;
    for (int k = 0; k < 12; ++k)
        hops.append({10 + 15 * k, 2, 200 + 20 * k, 202 + 20 * k, -60, 0});
    const Planted block{30, 160, 20, 120, -50, 0}; // 80 % of the sweeps
    const Planted lone{100, 4, 470, 490, -40, 0};
    QTest::newRow("continuous block") << QVector<Planted>{block} << "C";
    QTest::newRow("hopping pattern") << hops << "H12";
    QTest::newRow("isolated bursts") << QVector<Planted>{lone, {20, 3, 440, 442, -70, 0}} << "I I";
    QTest::newRow("all together") << (QVector<Planted>{block, lone} + hops) << "C H12 I";
}

void TstBursts::sources()
{
    QFETCH(QVector<Planted>, planted);
    QFETCH(QString, kinds);
    const RfSpectrumHistory h = plantedHistory(planted);
    const QVector<BurstSource> sources = classifyBursts(
        findBursts(h.samples, PointGrid::forHistory(h.frequencyInterval, 501)), h.samples.size());
    QStringList got;
    for (const BurstSource &s : sources)
        got.append(s.kind == BurstSource::Continuous ? QStringLiteral("C")
                   : s.kind == BurstSource::Isolated ? QStringLiteral("I")
                                                     : QStringLiteral("H%1").arg(s.count()));
    QCOMPARE(got.join(QLatin1Char(' ')), kinds);
    // Occupied spectrum is one event, never a burst per sweep.
    for (const BurstSource &s : sources)
        QCOMPARE(s.timeEvents().size(), s.kind == BurstSource::Continuous ? 1 : s.count());
}

QTEST_GUILESS_MAIN(TstBursts)
#include "tst_bursts.moc"
