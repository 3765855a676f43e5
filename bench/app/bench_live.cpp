// Live scanning end to end: the emulator over its pty, the real session,
// window, pages and plots. Prints sweeps taken per second, frames drawn per
// second, the process's share of a core, how late a zero-delay timer fires
// on the GUI thread, and the time to the first shown window.
//
//   bench_live [seconds] [--paced] [--size WxH] [--waterfall] [--settle S]
//
// Without options (default 60 s): the emulator unpaced, a flood of sweeps,
// offscreen. --paced: the emulator at the scanner's own rate, and the
// targets are frames shown and the whole program's share of a core at the
// window's size (--size; a screen that large is needed, e.g. under Xvfb with
// QT_QPA_PLATFORM=xcb, see bench_display). --waterfall shows the waterfall.
// --settle: seconds before measuring (default 5, paced only); past 120 the
// two-minute window is full and a sweep changes only the cells it reaches
// and the one leaving touched, where before every share changes.
// The emulator comes from env ORVANEL_SIM.
#include "benchtarget.h"
#include "devicecomms.h"
#include "devicetypes.h"
#include "dialogseam.h"
#include "mainwindow.h"
#include "rfspectrumhistory.h"
#include "spectroplot.h"
#include "tabpage2400.h"
#include "waterfallplot.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <sys/resource.h>
#include <vector>

// CPU seconds of the calling thread and of the whole process: the machine
// may be shared, so the rates above depend on the load; these do not.
static double threadCpu()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static double processCpu()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());

    // As the program sets the allocator (see main): large blocks stay in the
    // heap instead of being faulted in afresh for every picture.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool paced = args.removeAll(QStringLiteral("--paced")) > 0;
    const bool waterfall = args.removeAll(QStringLiteral("--waterfall")) > 0;
    QSize size;
    int settleS = 5;
    const int settleAt = args.indexOf(QStringLiteral("--settle"));
    if (settleAt >= 0 && settleAt + 1 < args.size()) {
        settleS = qBound(0, args.at(settleAt + 1).toInt(), 3600);
        args.erase(args.begin() + settleAt, args.begin() + settleAt + 2);
    }
    const int sizeAt = args.indexOf(QStringLiteral("--size"));
    if (sizeAt >= 0 && sizeAt + 1 < args.size()) {
        const QStringList wh = args.at(sizeAt + 1).split(QLatin1Char('x'));
        if (wh.size() == 2)
            size = QSize(wh.at(0).toInt(), wh.at(1).toInt());
        args.erase(args.begin() + sizeAt, args.begin() + sizeAt + 2);
    }
    const int seconds = !args.isEmpty() ? qMax(1, args.first().toInt()) : 60;
    DialogSeam::setHandler([](const DialogSeam::Request &r) -> QVariant {
        std::fprintf(stderr, "dialog: %s: %s\n", qPrintable(r.title), qPrintable(r.text));
        return r.kind == DialogSeam::Request::Message ? QVariant(0x00010000) : QVariant();
    });

    // Start-up as main() does it: style sheet, meta-types, window shown.
    QFile sheet(QStringLiteral(":qdarkstyle/style.qss"));
    if (sheet.open(QIODevice::ReadOnly | QIODevice::Text))
        app.setStyleSheet(QTextStream(&sheet).readAll());
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    MainWindow window(nullptr, false);
    // The program's own first geometry: the screen's width by two thirds of
    // its height. (A window larger than the offscreen screen is resized back
    // and forth by the platform, which measures the platform, not us.)
    if (size.isValid()) {
        window.move(0, 0);
        window.resize(size);
    }
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "window not exposed\n");
        return 1;
    }
    const qint64 startupMs = sinceStart.elapsed();

    const QString sim = qEnvironmentVariable("ORVANEL_SIM");
    if (sim.isEmpty()) {
        std::fprintf(stderr, "ORVANEL_SIM is not set\n");
        return 1;
    }
    QProcess emulator;
    emulator.start(sim, paced ? QStringList() : QStringList{QStringLiteral("--fast")});
    if (!emulator.waitForStarted(5000) || !emulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "emulator did not start\n");
        return 1;
    }
    const QString pty = QString::fromLocal8Bit(emulator.readLine()).trimmed();
    window.processArguments({QStringLiteral("orvanel"), QStringLiteral("-port"), pty});

    qint64 sweeps = 0;
    QObject::connect(window.deviceComms(), &DeviceComms::rfsaGetSpecNoInitDone, &window,
                     [&sweeps](qint64, const RfSpectrumScan &) { ++sweeps; });

    window.form()->actionConnect->trigger();
    QElapsedTimer wait;
    wait.start();
    while (!window.deviceComms()->scanning() && wait.elapsed() < 15000)
        QTest::qWait(10);
    if (!window.deviceComms()->scanning()) {
        std::fprintf(stderr, "no scan started\n");
        return 1;
    }

    // GUI latency: every 50 ms ask for a zero-delay timer and note how late
    // it fires.
    std::vector<double> latencies;
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, &window, [&latencies, &window] {
        auto *t = new QElapsedTimer;
        t->start();
        QTimer::singleShot(0, &window, [t, &latencies] {
            latencies.push_back(t->nsecsElapsed() / 1e6);
            delete t;
        });
    });

    TabPage *page = window.page2400();
    if (waterfall)
        page->toggleView();
    if (paced) { // the first drawings and layouts are not the steady state
        QEventLoop settle;
        QTimer::singleShot(settleS * 1000, &settle, &QEventLoop::quit);
        settle.exec();
    }
    const qint64 sweeps0 = sweeps;
    const int frames0 = page->redrawCount();
    const double gui0 = threadCpu();
    const double proc0 = processCpu();
    QElapsedTimer run;
    run.start();
    probe.start();
    // A real event loop: QTest::qWait sleeps between its rounds, and the
    // device thread would wait for the GUI thread through every sleep.
    {
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    probe.stop();
    const double elapsed = run.nsecsElapsed() / 1e9;
    const double guiCpu = threadCpu() - gui0;
    const double procCpu = processCpu() - proc0;
    const qint64 taken = sweeps - sweeps0;
    const int frames = page->redrawCount() - frames0;

    window.form()->actionStop->trigger();
    window.deviceComms()->shutdown();
    emulator.terminate();
    emulator.waitForFinished(5000);

    std::sort(latencies.begin(), latencies.end());
    auto pct = [&latencies](double p) {
        if (latencies.empty())
            return 0.0;
        return latencies[std::min(latencies.size() - 1, size_t(p * latencies.size()))];
    };
    const QSize canvas = (waterfall ? static_cast<QWidget *>(page->waterfallPlot())
                                    : static_cast<QWidget *>(page->spectroPlot()))
                             ->size();
    std::printf("window                   %dx%d (%s plot %dx%d)%s\n", window.width(),
                window.height(), waterfall ? "waterfall" : "spectrum", canvas.width(),
                canvas.height(), paced ? ", scanner pacing" : ", emulator unpaced");
    std::printf("duration                 %.1f s\n", elapsed);
    std::printf("sweeps taken             %lld (%.0f sweeps/s)\n", static_cast<long long>(taken),
                taken / elapsed);
    std::printf("frames drawn             %d (%.1f frames/s, %.2f per sweep taken)\n", frames,
                frames / elapsed, taken ? double(frames) / taken : 0.0);
    std::printf("samples in the history   %d\n", page->bandHistory().sampleCount());
    std::printf("CPU                      GUI thread %.1f%%, process %.1f%% of one core; "
                "GUI thread %.0f us per sweep taken\n",
                100 * guiCpu / elapsed, 100 * procCpu / elapsed,
                taken ? 1e6 * guiCpu / taken : 0.0);
    std::printf("GUI latency (zero timer) median %.1f ms, p99 %.1f ms, max %.1f ms "
                "(target <= 50 ms)\n",
                pct(0.5), pct(0.99), latencies.empty() ? 0.0 : latencies.back());
    std::printf("start-up to shown window %lld ms (target <= 1000 ms)\n",
                static_cast<long long>(startupMs));
    using namespace BenchTarget;
    if (paced) {
        // Of the scanner's 20 sweeps a second; the share of a core is the
        // whole program's (every thread), the window system's not counted.
        const bool uhd = window.width() > 1920;
        const QByteArray name = QByteArray("app.paced_") +
                                (waterfall ? "waterfall_" : "spectrum_") +
                                (uhd ? "2160p" : "1080p");
        // 19 of the scanner's 20: the emulator's pacing (the serial line's
        // byte time) gives a little under 20 sweeps a second.
        report((name + "_frames_per_sweep").constData(), taken ? double(frames) / taken : 0.0,
               "frames/sweep", AtLeast, 0.95, 2);
        report((name + "_cpu").constData(), 100 * procCpu / elapsed, "%", AtMost, uhd ? 20 : 8);
        return 0;
    }
    report("app.sweeps_per_s", taken / elapsed, "sweeps/s", AtLeast, 1000, 0);
    report("app.frames_per_s", frames / elapsed, "frames/s", AtLeast, 20);
    report("app.gui_latency_p99", pct(0.99), "ms", AtMost, 50);
    report("app.startup", double(startupMs), "ms", AtMost, 1000, 0);
    return 0;
}
