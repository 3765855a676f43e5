// Data in and out, printed as figures and TARGET lines:
//  - autosave: GUI-thread time per sweep (taking the sweep plus the share of
//    the batch hand-over every 2 s at 20 sweeps/s), budget 20 us;
//  - recovering an 8-hour journal (576,000 sweeps of 501 points), budget 10 s;
//  - exporting a one-hour recording (72,000 sweeps) as rtl_power CSV, budget 2 s.
#include "autosavejournal.h"
#include "benchtarget.h"
#include "rtlpowercsv.h"
#include "scanjournal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Points = 501;
constexpr qint64 SweepMs = 50;
constexpr int SweepsPerBatch = 40; // 2 s at 20 sweeps/s
constexpr qint64 T0 = 1714573805250;

RfSpectrumScan scan(int k)
{
    RfSpectrumScan s(Points);
    for (int i = 0; i < Points; ++i)
        s[i] = qint8(-100 + (i * 7 + k) % 70);
    return s;
}

RfSpectrumHistory header()
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.amplitudeInterval = QwtInterval(-100, -30);
    return h;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_STATE_HOME", dir.path().toLocal8Bit());
    const QVector<RfSpectrumScan> scans = [] {
        QVector<RfSpectrumScan> v;
        for (int k = 0; k < 64; ++k)
            v << scan(k);
        return v;
    }();

    // Autosave cost on the GUI thread.
    {
        AutosaveJournal journal;
        journal.begin(AutosaveJournal::newFilePath(QStringLiteral("bench")), header());
        constexpr int Sweeps = 40000;
        QElapsedTimer t;
        qint64 ns = 0;
        for (int k = 0; k < Sweeps; ++k) {
            t.start();
            journal.addSweep(T0 + k * SweepMs, scans[k % scans.size()]);
            if (k % SweepsPerBatch == SweepsPerBatch - 1)
                journal.flush();
            ns += t.nsecsElapsed();
        }
        journal.sync();
        const double us = ns / 1000.0 / Sweeps;
        std::printf("autosave: %d sweeps, %.3f us of GUI-thread time per sweep\n", Sweeps, us);
        BenchTarget::report("capture.autosave_gui_us_per_sweep", us, "us", BenchTarget::AtMost, 20,
                            2);
        journal.finish(true);
        journal.sync();
    }

    // An 8-hour journal, recovered.
    {
        constexpr int Sweeps = 576000;
        const QString path = dir.filePath(QStringLiteral("8h.journal"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(ScanJournal::fileStart(header()));
        QByteArray payload;
        for (int k = 0; k < Sweeps; ++k) {
            ScanJournal::appendSweep(payload, T0 + k * SweepMs, scans[k % scans.size()]);
            if (k % SweepsPerBatch == SweepsPerBatch - 1) {
                f.write(ScanJournal::record(ScanJournal::SweepsRecord, payload));
                payload.clear();
            }
        }
        f.close();
        QElapsedTimer t;
        t.start();
        const ScanJournal::Contents c = ScanJournal::readFile(path);
        const double s = t.nsecsElapsed() / 1e9;
        std::printf("recovery: %d sweeps, %.1f MB journal, %.3f s\n", c.history.samples.size(),
                    QFileInfo(path).size() / 1e6, s);
        if (c.history.samples.size() != Sweeps)
            std::printf("recovery lost sweeps\n");
        BenchTarget::report("capture.recover_8h_s", c.history.samples.size() == Sweeps ? s : 1e9,
                            "s", BenchTarget::AtMost, 10, 2);
        QFile::remove(path);
    }

    // A one-hour recording as CSV.
    {
        constexpr int Sweeps = 72000;
        RfSpectrumSampleList samples;
        for (int k = 0; k < Sweeps; ++k)
            samples.append(RfSpectrumSample(T0 + k * SweepMs, scans[k % scans.size()]));
        const QString path = dir.filePath(QStringLiteral("hour.csv"));
        QElapsedTimer t;
        t.start();
        const bool ok = RtlPowerCsv::exportFile(path, samples, QwtInterval(2400, 2500));
        const double s = t.nsecsElapsed() / 1e9;
        std::printf("CSV export: %d sweeps, %.1f MB, %.3f s\n", Sweeps,
                    QFileInfo(path).size() / 1e6, s);
        if (!ok)
            std::printf("CSV export failed\n");
        BenchTarget::report("capture.csv_export_1h_s", ok ? s : 1e9, "s", BenchTarget::AtMost, 2,
                            2);
    }
    return 0;
}
