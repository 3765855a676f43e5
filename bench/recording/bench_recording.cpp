// Saving and opening a one-hour 2.4 GHz recording at 20 sweeps a second
// (72,000 samples of 501 points, about 37 MB), printed as figures:
//  - save and open times and throughput, budget 1 s each;
//  - the peak memory the open adds (VmHWM growth), budget 2x the file size;
//  - the same with a Wi-Fi scan of 8 networks carried on every sample.
// The file is read back from the page cache, as right after saving.

#include "benchtarget.h"
#include "recordingio.h"
#include "wifiapinfo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>

namespace {

constexpr int Samples = 72000;
constexpr int Points = 501;
constexpr qint64 SweepMs = 50;

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Resets the peak resident size to the current one (Linux 4.0+).
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

RfSpectrumHistory oneHour(bool withWifi)
{
    QRandomGenerator rng(20261207);
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.amplitudeInterval = QwtInterval(-100, -30);
    h.projectInfo.projectName = QStringLiteral("Bench");
    WifiScan scan;
    if (withWifi) {
        for (int n = 0; n < 8; ++n) {
            WifiApInfo ap;
            ap.bssid = QStringLiteral("<00:11:22:33:44:%1>").arg(n, 2, 16, QLatin1Char('0'));
            ap.ssid = QStringLiteral("Network %1").arg(n);
            ap.rssi = -40 - n * 5;
            ap.frequency = 2412 + 5 * n;
            ap.color = networkColorHue(ap.bssid);
            scan << ap;
        }
    }
    const qint64 start = 1714566605000LL;
    h.samples.reserve(Samples);
    for (int i = 0; i < Samples; ++i) {
        RfSpectrumScan s(Points);
        for (int p = 0; p < Points; ++p)
            s[p] = qint8(rng.bounded(10) < 7 ? rng.bounded(-100, -85) : rng.bounded(-80, -25));
        // a new Wi-Fi scan every 4 s, carried forward in between
        if (withWifi && i % 80 == 0)
            scan.first().rssi = -40 - int(rng.bounded(20));
        h.samples << RfSpectrumSample(start + i * SweepMs, s, scan);
    }
    return h;
}

void run(const QString &path, bool withWifi)
{
    qint64 saveMs = 0;
    {
        const RfSpectrumHistory h = oneHour(withWifi);
        QElapsedTimer timer;
        timer.start();
        QString error;
        if (!RecordingIo::saveFile(path, h, &error)) {
            std::printf("save failed: %s\n", qPrintable(error));
            return;
        }
        saveMs = timer.elapsed();
    }
    malloc_trim(0);
    const double mb = QFileInfo(path).size() / 1e6;

    const qint64 rssBefore = statusKb("VmRSS:");
    const bool peakReset = resetPeak();
    QElapsedTimer timer;
    timer.start();
    const RecordingIo::Recording r = RecordingIo::loadFile(path);
    const qint64 openMs = timer.elapsed();
    const qint64 peak = statusKb("VmHWM:");
    const double growthMb = (peak - rssBefore) * 1024 / 1e6;

    std::printf("%s: %d samples x %d points, file %.1f MB, read back %s\n",
                withWifi ? "with 8 Wi-Fi networks" : "spectrum only", Samples, Points, mb,
                r.complete && r.history.samples.size() == Samples ? "complete" : "INCOMPLETE");
    std::printf("  save  %5lld ms  %7.1f MB/s  (budget 1000 ms)\n", static_cast<long long>(saveMs),
                mb / qMax<qint64>(saveMs, 1) * 1000);
    std::printf("  open  %5lld ms  %7.1f MB/s  (budget 1000 ms)\n", static_cast<long long>(openMs),
                mb / qMax<qint64>(openMs, 1) * 1000);
    const QByteArray prefix = withWifi ? "recording.wifi." : "recording.";
    using namespace BenchTarget;
    report((prefix + "save").constData(), double(saveMs), "ms", AtMost, 1000, 0);
    report((prefix + "open").constData(), double(openMs), "ms", AtMost, 1000, 0);
    if (peakReset && rssBefore > 0 && peak > 0) {
        std::printf("  open  peak memory +%.1f MB = %.2f x file size  (budget 2.00)\n", growthMb,
                    growthMb / mb);
        report((prefix + "open_peak_memory").constData(), growthMb / mb, "x_file_size", AtMost, 2,
               2);
    } else {
        std::printf("  open  peak memory not measurable here\n");
    }
    QFile::remove(path);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    run(dir.filePath(QStringLiteral("hour.vozi")), false);
    run(dir.filePath(QStringLiteral("hour-wifi.vozi")), true);
    return 0;
}
