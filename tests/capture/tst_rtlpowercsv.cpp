// rtl_power CSV out and in: rows as other tools read them, imports of
// rtl_power and hackrf_sweep files, and the round trip.
#include "pointgrid.h"
#include "rtlpowercsv.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>

namespace {

const QwtInterval band2400(2400, 2500);
const QwtInterval band900(902, 928);

// 2024-05-01 14:30:05.250 UTC (the test runs with TZ=UTC).
constexpr qint64 T0 = 1714573805250;

//! A reader as rtl_power's users write them: value i at Hz low + i * Hz step.
QVector<QPair<double, double>> readAsOthersDo(const QByteArray &row)
{
    QVector<QPair<double, double>> out;
    const QList<QByteArray> f = row.trimmed().split(',');
    const double low = f.at(2).toDouble(), step = f.at(4).toDouble();
    for (int i = 6; i < f.size(); ++i)
        out.append({low + (i - 6) * step, f.at(i).trimmed().toDouble()});
    return out;
}

} // namespace

class TestRtlPowerCsv : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("TZ", "UTC"); }

    void exportEqualsHandWrittenRows()
    {
        RfSpectrumScan s = {-60, -128, -97};
        RfSpectrumSample a(T0, s), b(T0 + 50, {-1, 127, -127});
        QCOMPARE(RtlPowerCsv::exportRow(a, band2400),
                 QByteArray("2024-05-01, 14:30:05.250, 2400000000, 2550000000, 50000000, 1, -60, "
                            "nan, -97\n"));
        QCOMPARE(RtlPowerCsv::exportRow(b, band2400),
                 QByteArray("2024-05-01, 14:30:05.300, 2400000000, 2550000000, 50000000, 1, -1, "
                            "127, -127\n"));
    }

    void readersPlacePointsAtTheirFrequency_data()
    {
        QTest::addColumn<QwtInterval>("interval");
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("stepMHz");
        QTest::newRow("2.4 GHz") << band2400 << 501 << 0.2;
        QTest::newRow("900 MHz") << band900 << 252 << 0.10325;
        QTest::newRow("2.4 GHz, -fstep 100") << band2400 << 1001 << 0.1;
    }
    void readersPlacePointsAtTheirFrequency()
    {
        QFETCH(QwtInterval, interval);
        QFETCH(int, points);
        QFETCH(double, stepMHz);
        RfSpectrumScan s(points);
        for (int i = 0; i < points; ++i)
            s[i] = qint8(-120 + i % 100);
        const auto values = readAsOthersDo(RtlPowerCsv::exportRow({T0, s}, interval));
        QCOMPARE(values.size(), points);
        for (int i = 0; i < points; ++i) {
            QVERIFY(std::abs(values[i].first - (interval.minValue() + i * stepMHz) * 1e6) < 1.0);
            QCOMPARE(values[i].second, double(s[i]));
        }
    }

    void import_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("sweeps");
        QTest::addColumn<QwtInterval>("interval");
        QTest::addColumn<int>("point"); //!< a point to check in the first sweep
        QTest::addColumn<int>("level"); //!< its level
        QTest::addColumn<int>("skipped");

        // rtl_power: one sweep in two hops with one time stamp, then another.
        QTest::newRow("rtl_power hops joined")
            << QByteArray("2024-05-01, 14:30:05, 902000000, 915000000, 103250, 10, -50, -60\n"
                          "2024-05-01, 14:30:05, 915000000, 928000000, 103250, 10, -70.4, -80\n"
                          "2024-05-01, 14:30:06, 902000000, 915000000, 103250, 10, -51\n")
            << true << 2 << band900 << 0 << -50 << 0;
        // 915 MHz lies between points 125 (914.906) and 126 (915.010): nearest is 126.
        QTest::newRow("rtl_power nearest point")
            << QByteArray("2024-05-01, 14:30:05, 915000000, 928000000, 103250, 10, -70.4\n") << true
            << 1 << band900 << 126 << -70 << 0;
        // hackrf_sweep: 1 MHz bins, so 5 points share a bin's value; the
        // strongest of two bins landing on one point wins.
        QTest::newRow("hackrf_sweep strongest")
            << QByteArray("2019-01-03, 11:57:34.967805, 2400000000, 2405000000, 100000.00, 20, "
                          "-70.5, -40, -90\n")
            << true << 1 << band2400 << 1 << -40 << 0;
        QTest::newRow("NaN and -inf are no data")
            << QByteArray("2024-05-01, 14:30:05, 2400000000, 2400400000, 200000, 1, nan, -inf, "
                          "-60\n")
            << true << 1 << band2400 << 1 << -128 << 0;
        QTest::newRow("out of range and text are no data")
            << QByteArray("2024-05-01, 14:30:05, 2400000000, 2400400000, 200000, 1, -128, x, "
                          "130\n")
            << true << 1 << band2400 << 2 << -128 << 0;
        QTest::newRow("truncated row skipped")
            << QByteArray("2024-05-01, 14:30:05, 2400000000, 2400400000, 200000, 1, -60\n"
                          "2024-05-01, 14:30:06, 2400000000, 24004")
            << true << 1 << band2400 << 0 << -60 << 1;
        QTest::newRow("5 GHz refused")
            << QByteArray("2024-05-01, 14:30:05, 5150000000, 5350000000, 1000000, 1, -60\n")
            << false << 0 << QwtInterval() << 0 << 0 << 0;
        QTest::newRow("not CSV") << QByteArray("\x00\xff garbage\n", 11) << false << 0
                                 << QwtInterval() << 0 << 0 << 0;
        QTest::newRow("huge counts not trusted")
            << QByteArray("2024-05-01, 14:30:05, 2400000000, 99999999999999, 200000, "
                          "2147483647, -60\n")
            << true << 1 << band2400 << 0 << -60 << 0;
    }
    void import()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(int, sweeps);
        QFETCH(QwtInterval, interval);
        QFETCH(int, point);
        QFETCH(int, level);
        QFETCH(int, skipped);
        const RtlPowerCsv::Import r = RtlPowerCsv::parse(text);
        QCOMPARE(r.ok, ok);
        if (!ok) {
            QVERIFY(!r.errorText.isEmpty());
            return;
        }
        QCOMPARE(r.history.samples.size(), sweeps);
        QCOMPARE(r.history.frequencyInterval, interval);
        QCOMPARE(r.rowsSkipped, skipped);
        const RfSpectrumScan &s = r.history.samples.constFirst().spectrum;
        QCOMPARE(s.size(), interval.minValue() < 1000 ? 252 : 501);
        QCOMPARE(int(s.at(point)), level);
        // Points no value reached hold no data.
        QCOMPARE(int(s.constLast()), -128);
    }

    void roundTripKeepsLevels_data()
    {
        QTest::addColumn<QwtInterval>("interval");
        QTest::addColumn<int>("points");
        QTest::newRow("2.4 GHz") << band2400 << 501;
        QTest::newRow("900 MHz") << band900 << 252;
    }
    void roundTripKeepsLevels()
    {
        QFETCH(QwtInterval, interval);
        QFETCH(int, points);
        QRandomGenerator rng(7);
        RfSpectrumSampleList samples;
        for (int k = 0; k < 40; ++k) {
            RfSpectrumScan s(points);
            for (qint8 &v : s)
                v = qint8(rng.bounded(-128, 128));
            samples.append(RfSpectrumSample(T0 + k * 50, s));
        }
        QByteArray csv;
        for (const RfSpectrumSample &s : samples)
            csv += RtlPowerCsv::exportRow(s, interval);
        const RtlPowerCsv::Import r = RtlPowerCsv::parse(csv);
        QVERIFY2(r.ok, qPrintable(r.errorText));
        QCOMPARE(r.history.frequencyInterval, interval);
        QCOMPARE(r.history.samples, samples);
    }
};

QTEST_GUILESS_MAIN(TestRtlPowerCsv)
#include "tst_rtlpowercsv.moc"
