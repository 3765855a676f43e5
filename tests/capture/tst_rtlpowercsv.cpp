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

    // Each check is "MHz=level" on the first sweep; "nan" is no data.
    void binsCoverTheirWidth_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("checks");
        // `hackrf_sweep -f 2400:2490` as printed in its manual: 1 MHz bins,
        // sub-bands out of order, 2425-2430 not in these rows.
        QTest::newRow("hackrf_sweep manual")
            << QByteArray("2019-01-03, 11:57:34.967805, 2400000000, 2405000000, 1000000.00, 20, "
                          "-64.72, -63.36, -60.91, -61.74, -58.58\n"
                          "2019-01-03, 11:57:34.967805, 2410000000, 2415000000, 1000000.00, 20, "
                          "-69.22, -60.67, -59.50, -61.81, -58.16\n"
                          "2019-01-03, 11:57:34.967805, 2405000000, 2410000000, 1000000.00, 20, "
                          "-61.19, -70.14, -60.10, -57.91, -61.97\n"
                          "2019-01-03, 11:57:34.967805, 2415000000, 2420000000, 1000000.00, 20, "
                          "-72.93, -79.14, -68.79, -70.71, -82.78\n"
                          "2019-01-03, 11:57:34.967805, 2420000000, 2425000000, 1000000.00, 20, "
                          "-67.57, -61.61, -57.29, -61.90, -70.19\n"
                          "2019-01-03, 11:57:34.967805, 2430000000, 2435000000, 1000000.00, 20, "
                          "-56.04, -59.58, -66.24, -66.02, -62.12\n")
            << "2400.0=-65 2400.8=-65 2401.0=-63 2404.8=-59 2405.0=-61 2409.8=-62 2410.0=-69 "
               "2419.8=-83 2424.8=-70 2425.0=nan 2429.8=nan 2430.0=-56 2434.8=-62 2435.0=nan";
        // rtl_power at 900 MHz with 1 MHz bins: ten points to a bin.
        QTest::newRow("rtl_power wide bins")
            << QByteArray("2024-05-01, 14:30:05, 902000000, 904000000, 1000000, 10, -50, -60\n")
            << "902.0=-50 902.92925=-50 903.0325=-60 903.96175=-60 904.065=nan";
        // Two bins meeting on the same points: the stronger wins.
        QTest::newRow("overlap keeps strongest")
            << QByteArray("2024-05-01, 14:30:05, 2400000000, 2401000000, 1000000, 1, -40\n"
                          "2024-05-01, 14:30:05, 2400500000, 2401500000, 1000000, 1, -70\n")
            << "2400.4=-40 2400.6=-40 2401.0=-70 2401.4=-70 2401.6=nan";
        // A row running past the band's top: the last point takes its bin,
        // nothing is written beyond it.
        QTest::newRow("past the top edge")
            << QByteArray("2024-05-01, 14:30:05, 2498000000, 2510000000, 1000000, 1, -80, -70, "
                          "-60, -50, -40, -30, -20, -10, 0, 10, 20, 30\n")
            << "2498.0=-80 2499.8=-70 2500.0=-60";
    }
    void binsCoverTheirWidth()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, checks);
        const RtlPowerCsv::Import r = RtlPowerCsv::parse(text);
        QVERIFY2(r.ok, qPrintable(r.errorText));
        QCOMPARE(r.history.samples.size(), 1);
        const RfSpectrumScan &s = r.history.samples.constFirst().spectrum;
        const PointGrid grid = PointGrid::forBandContaining(r.history.frequencyInterval.minValue());
        QCOMPARE(s.size(), grid.points);
        for (const QString &check : checks.split(QLatin1Char(' '))) {
            const double mhz = check.section(QLatin1Char('='), 0, 0).toDouble();
            const QString want = check.section(QLatin1Char('='), 1);
            const int point = int(std::lround((mhz * 1e6 - grid.startHz) / grid.stepHz));
            const int got = s.at(point);
            QVERIFY2((want == QLatin1String("nan") ? -128 : want.toInt()) == got,
                     qPrintable(QStringLiteral("%1: %2").arg(check).arg(got)));
        }
        // No holes: every point between two filled points of a bin is filled.
        if (QTest::currentDataTag() == QLatin1String("hackrf_sweep manual"))
            for (int i = 0; i < 175; ++i)
                QCOMPARE(s.at(i) == -128, i >= 125 && i < 150);
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
