// A show day played through as fast as the machine goes: the emulator
// unpaced over its pty, the real session, window, pages, statistics, plots
// (offscreen) and autosave journal, while the program's clock moves on by
// the scanner's real sweep period with every sweep, so time stamps, journal
// and time axes see the hours pass as they would. Prints resident memory,
// the history's size and the largest GUI latency per simulated hour.
//
//   bench_soak [--hours H] [--period-ms P]   (defaults 8 and 50: about the
//   20 sweeps per second the scanner takes on 2.4 GHz; the emulator from env
//   ORVANEL_SIM)
#include "benchtarget.h"
#include "clock.h"
#include "devicecomms.h"
#include "devicetypes.h"
#include "dialogseam.h"
#include "mainwindow.h"
#include "rfspectrumhistory.h"
#include "tabpage2400.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What one sweep costs the history itself: the list slot, its node and the
// spectrum's own block, each with the allocator's word and rounding.
double historyBytesPerSweep(int points)
{
    const auto block = [](size_t n) { return double((n + 8 + 15) / 16 * 16); };
    return sizeof(void *) + block(sizeof(RfSpectrumSample)) + block(24 + size_t(points));
}

qint64 journalBytes(const QString &dir)
{
    qint64 n = 0;
    for (const QFileInfo &f : QDir(dir).entryInfoList(QDir::Files))
        n += f.size();
    return n;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", (home.path() + "/state").toLocal8Bit());
    QApplication app(argc, argv);
    double hours = 8;
    int periodMs = 50;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--hours"))
            hours = qBound(0.01, args.at(i + 1).toDouble(), 48.0);
        else if (args.at(i) == QLatin1String("--period-ms"))
            periodMs = qBound(1, args.at(i + 1).toInt(), 10000);
    }
    DialogSeam::setHandler([](const DialogSeam::Request &r) -> QVariant {
        std::fprintf(stderr, "dialog: %s: %s\n", qPrintable(r.title), qPrintable(r.text));
        return r.kind == DialogSeam::Request::Message ? QVariant(0x00010000) : QVariant();
    });
    const QString sim = qEnvironmentVariable("ORVANEL_SIM");
    if (sim.isEmpty()) {
        std::fprintf(stderr, "ORVANEL_SIM is not set\n");
        return 1;
    }

    // A show day starting at 08:00 today.
    const qint64 dayStart = QDateTime(QDate::currentDate(), QTime(8, 0)).toMSecsSinceEpoch();
    Clock::setFixed(dayStart);
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    auto *window = new MainWindow(nullptr, false);
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        std::fprintf(stderr, "window not exposed\n");
    const double rssStart = residentMb();

    QProcess emulator;
    emulator.start(sim, {QStringLiteral("--fast")});
    if (!emulator.waitForStarted(5000) || !emulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "emulator did not start\n");
        return 1;
    }
    window->processArguments({QStringLiteral("orvanel"), QStringLiteral("-port"),
                              QString::fromLocal8Bit(emulator.readLine()).trimmed()});

    const qint64 totalMs = qint64(hours * 3600 * 1000);
    qint64 sweeps = 0;
    int points = 0;
    double maxLatency = 0, hourLatency = 0;
    QEventLoop loop;
    QElapsedTimer wall;
    struct Hour
    {
        double rss, beyond;
        int samples;
    };
    QVector<Hour> perHour;
    TabPage *page = window->page2400();
    const auto note = [&](double simulatedHours) {
        const int samples = page->bandHistory().sampleCount();
        const double historyMb = samples * historyBytesPerSweep(points) / (1024.0 * 1024.0);
        const double rss = residentMb();
        perHour.append({rss, rss - historyMb, samples});
        std::printf("hour %5.2f  wall %6.1f s  rss %7.1f MB  history %7d sweeps (~%6.1f MB)  "
                    "rss beyond history %6.1f MB  journal %6.1f MB  max GUI latency %6.1f ms\n",
                    simulatedHours, wall.elapsed() / 1000.0, rss, samples, historyMb,
                    rss - historyMb,
                    journalBytes(home.path() + "/state/orvanel") / (1024.0 * 1024.0), hourLatency);
        std::fflush(stdout);
        hourLatency = 0;
    };
    QObject::connect(window->deviceComms(), &DeviceComms::rfsaGetSpecNoInitDone, window,
                     [&](qint64, const RfSpectrumScan &spectrum) {
                         points = spectrum.size();
                         ++sweeps;
                         const qint64 before = Clock::nowMs() - dayStart;
                         Clock::advance(periodMs);
                         const qint64 after = before + periodMs;
                         if (after / 3600000 != before / 3600000 || after >= totalMs)
                             note(after / 3600000.0);
                         if (after >= totalMs)
                             loop.quit();
                     });

    // A scan that ends before the day is over (the emulator gone, the
    // watchdog) would leave the loop waiting for ever.
    bool endedEarly = false;
    QObject::connect(window->deviceComms(), &DeviceComms::scanningChanged, window,
                     [&](bool scanning) {
                         if (scanning || !loop.isRunning())
                             return;
                         endedEarly = true;
                         loop.quit();
                     });

    // GUI latency: every 50 ms a zero-delay timer, and how late it fires.
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, window, [&] {
        auto *t = new QElapsedTimer;
        t->start();
        QTimer::singleShot(0, window, [t, &maxLatency, &hourLatency] {
            const double ms = t->nsecsElapsed() / 1e6;
            maxLatency = std::max(maxLatency, ms);
            hourLatency = std::max(hourLatency, ms);
            delete t;
        });
    });

    window->form()->actionConnect->trigger();
    wall.start();
    probe.start();
    loop.exec();
    probe.stop();
    const double seconds = wall.elapsed() / 1000.0;
    window->form()->actionStop->trigger();
    window->deviceComms()->shutdown();
    emulator.terminate();
    emulator.waitForFinished(5000);

    std::printf("simulated                %.2f h in %.1f s (%.0f sweeps/s, %lld sweeps of %d "
                "points, one every %d ms)\n",
                hours, seconds, sweeps / std::max(seconds, 0.001), static_cast<long long>(sweeps),
                points, periodMs);
    std::printf("resident at start        %.1f MB\n", rssStart);
    std::printf("largest GUI latency      %.1f ms\n", maxLatency);
    if (endedEarly) {
        std::fprintf(stderr, "the scan ended after %lld sweeps\n", static_cast<long long>(sweeps));
        return 1;
    }
    if (perHour.isEmpty()) {
        std::fprintf(stderr, "no sweep arrived\n");
        return 1;
    }
    // Growth beyond the history: from the first simulated hour (caches,
    // plots and journal buffers at their size) to the last.
    const double growth = perHour.last().beyond - perHour.first().beyond;
    std::printf("rss beyond the history   first hour %.1f MB, last %.1f MB, growth %.1f MB\n",
                perHour.first().beyond, perHour.last().beyond, growth);
    // Eight hours are the target; a shorter run goes on at its last hour's pace.
    double rss8h = perHour.last().rss;
    if (hours < 8 && perHour.size() >= 2) {
        const Hour &a = perHour.at(perHour.size() - 2), &b = perHour.last();
        rss8h += (b.rss - a.rss) / qMax(1, b.samples - a.samples) *
                 (8 * 3600000.0 / periodMs - b.samples);
        std::printf("rss after 8 h            %.1f MB (projected from the last hour)\n", rss8h);
    }
    using namespace BenchTarget;
    // One hour alone (the run under the sanitizers) says nothing of the
    // eighth: no projection, no figure.
    if (hours >= 8 || perHour.size() >= 2)
        report("soak.rss_8h", rss8h, "MB", AtMost, 400);
    else
        std::printf("rss after 8 h            not projected: run at least two hours\n");
    report("soak.growth_beyond_history", growth, "MB", AtMost, 16);
    delete window;
    Clock::useSystem();
    return 0;
}
