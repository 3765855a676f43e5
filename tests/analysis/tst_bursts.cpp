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
};

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
    QTest::newRow("at the ends of the selection")
        << QVector<Planted>{{0, 2, 0, 4, -50, 0}, {198, 2, 496, 500, -50, 0}}
        << QVector<Expected>{{0, 1, 0, 4, -50}, {198, 199, 496, 500, -50}};
}

void TstBursts::knownPattern()
{
    QFETCH(QVector<Planted>, planted);
    QFETCH(QVector<Expected>, expected);
    constexpr qint64 T0 = 1765000000000;
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
    QVERIFY2(RecordingIo::saveFile(path, h, &error), qPrintable(error));
    const RecordingIo::Recording rec = RecordingIo::loadFile(path);
    QVERIFY(rec.complete);

    const BinGrid grid = BinGrid::forHistory(rec.history.frequencyInterval, 501);
    const QVector<Burst> found = findBursts(rec.history.samples, grid);
    QCOMPARE(found.size(), expected.size());
    for (int k = 0; k < found.size(); ++k) {
        const Burst &b = found.at(k);
        const Expected &e = expected.at(k);
        QCOMPARE(b.startMs, T0 + e.first * 50);
        QCOMPARE(b.endMs, T0 + e.last * 50);
        QCOMPARE(b.sweeps, e.last - e.first + 1);
        QCOMPARE(b.firstBin, e.low);
        QCOMPARE(b.lastBin, e.high);
        QCOMPARE(b.lowMHz, grid.frequency(e.low));
        QCOMPARE(b.highMHz, grid.frequency(e.high));
        QCOMPARE(b.peakDbm, e.peak);
        QCOMPARE(b.timeEvent().time.toMSecsSinceEpoch(), b.startMs);
    }
    if (expected.size() == 1 && expected.first().first == 10)
        QCOMPARE(found.first().eventText(),
                 QStringLiteral("Burst 2420\u20132422 MHz, \u221252 dBm, 0.2 s"));
}

QTEST_GUILESS_MAIN(TstBursts)
#include "tst_bursts.moc"
