// Live scanning with and without the debug window: the unpaced emulator, the
// real session and main window (offscreen). The session logs every frame, a
// few kilobytes per sweep; with the window open those lines go to its log.
// After an uncounted first phase, phases alternate (closed, open, open,
// closed, ...) so a change in the machine's load or in the history's size
// hits both alike. Prints the sweep rates and the ratio.
//
//   bench_debuglog [seconds per phase]   (default 6; the emulator from env ORVANEL_SIM)
#include "benchtarget.h"
#include "debugwindow.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "mainwindow.h"
#include "rfspectrumhistory.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

// CPU seconds of the GUI thread: the machine may be shared, so the rates
// depend on its load; this does not.
static double threadCpu()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Paint events of the main window's plot canvases: what the GUI thread spends
// most of its time on besides the log.
class CanvasPaints : public QObject
{
public:
    qint64 count = 0;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && o->inherits("QwtPlotCanvas"))
            ++count;
        return false;
    }
};

int main(int argc, char **argv)
{
    // Under the offscreen platform, closing a shown top-level window changes
    // what the main window's replots cost, which swamps the log's share: the
    // comparison runs on a virtual X server where one is at hand.
    if (!qEnvironmentVariableIsSet("ORVANEL_BENCH_X")) {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (!xvfb.isEmpty()) {
            qputenv("ORVANEL_BENCH_X", "1");
            qputenv("QT_QPA_PLATFORM", "xcb");
            std::vector<char *> args{const_cast<char *>("xvfb-run"), const_cast<char *>("-a"),
                                     const_cast<char *>("-s"),
                                     const_cast<char *>("-screen 0 1600x900x24")};
            for (int i = 0; i < argc; ++i)
                args.push_back(argv[i]);
            args.push_back(nullptr);
            execv(QFile::encodeName(xvfb).constData(), args.data());
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    // The scan journal, which an aborted run would leave for the next start.
    qputenv("XDG_STATE_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 6;
    DialogSeam::setHandler([](const DialogSeam::Request &r) -> QVariant {
        std::fprintf(stderr, "dialog: %s: %s\n", qPrintable(r.title), qPrintable(r.text));
        return r.kind == DialogSeam::Request::Message ? QVariant(0x00010000) : QVariant();
    });
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();

    const QString sim = qEnvironmentVariable("ORVANEL_SIM");
    if (sim.isEmpty()) {
        std::fprintf(stderr, "ORVANEL_SIM is not set\n");
        return 1;
    }
    QProcess emulator;
    emulator.start(sim, {QStringLiteral("--fast")});
    if (!emulator.waitForStarted(5000) || !emulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "emulator did not start\n");
        return 1;
    }
    const QString pty = QString::fromLocal8Bit(emulator.readLine()).trimmed();

    MainWindow window(nullptr, false);
    window.resize(1024, 640);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "window not exposed\n");
        return 1;
    }
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

    CanvasPaints paints;
    app.installEventFilter(&paints);
    qint64 logLines = 0;
    QStringList recent; // the lines of about one sweep, for the window alone below
    QObject::connect(window.deviceComms(), &DeviceComms::log, &window,
                     [&logLines, &recent](const QString &line) {
                         ++logLines;
                         recent << line;
                         if (recent.size() > 9)
                             recent.removeFirst();
                     });
    double guiCpuClosed = 0, guiCpuOpen = 0;
    qint64 sweepsClosed = 0, sweepsOpen = 0;
    auto phase = [&](bool debugOpen, double *rate) {
        if (debugOpen && !window.debugWindow())
            window.processArguments({QStringLiteral("orvanel"), QStringLiteral("-debug")});
        if (!debugOpen && window.debugWindow())
            delete window.debugWindow();
        const qint64 s0 = sweeps;
        const qint64 p0 = paints.count;
        const double cpu0 = threadCpu();
        QElapsedTimer t;
        t.start();
        QEventLoop loop; // a real loop: the device thread waits for each sweep's hand-over
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double r = (sweeps - s0) / (t.nsecsElapsed() / 1e9);
        *rate += r;
        (debugOpen ? guiCpuOpen : guiCpuClosed) += threadCpu() - cpu0;
        (debugOpen ? sweepsOpen : sweepsClosed) += sweeps - s0;
        std::printf("phase, window %-6s    %.0f sweeps/s, %.0f canvas paints/s\n",
                    debugOpen ? "open" : "closed", r,
                    (paints.count - p0) / (t.nsecsElapsed() / 1e9));
    };
    double closedRate = 0, openRate = 0;
    // The history, and with it the cost of a sweep, grows during the run:
    // closed-open-open-closed cancels that trend.
    // The first seconds of a scan are cheaper than any later ones: not counted.
    double warmUp = 0;
    phase(false, &warmUp);
    sweepsClosed = 0;
    guiCpuClosed = 0;
    const qint64 lines0 = logLines;
    const int rounds = 2;
    for (int i = 0; i < rounds; ++i) {
        const bool first = i % 2 == 1;
        phase(first, first ? &openRate : &closedRate);
        phase(!first, first ? &closedRate : &openRate);
    }
    closedRate /= rounds;
    openRate /= rounds;
    const qint64 lines = logLines - lines0;

    // The window alone: what its log costs the GUI thread per sweep's lines.
    double perSweepUs = 0;
    if (!window.debugWindow())
        window.processArguments({QStringLiteral("orvanel"), QStringLiteral("-debug")});
    if (DebugWindow *d = window.debugWindow(); d && !recent.isEmpty()) {
        const int n = 2000;
        const double c0 = threadCpu();
        for (const QString &l : qAsConst(recent))
            std::printf("  line of %d characters\n", int(l.size()));
        for (int i = 0; i < n; ++i) {
            for (const QString &line : qAsConst(recent))
                d->log(line);
            if (i % 20 == 0) { // about what arrives between two flushes
                d->flushLog();
                QCoreApplication::processEvents(); // and its repaint
            }
        }
        d->flushLog();
        QCoreApplication::processEvents();
        perSweepUs = 1e6 * (threadCpu() - c0) / n;
    }

    window.form()->actionStop->trigger();
    window.deviceComms()->shutdown();
    emulator.terminate();
    emulator.waitForFinished(5000);

    const double ratio = closedRate > 0 ? 100.0 * openRate / closedRate : 0;
    std::printf(
        "phases                   %d x %d s after one to warm up, closed/open alternating\n",
        2 * rounds, seconds);
    std::printf("sweeps/s, window closed  %.0f\n", closedRate);
    std::printf("sweeps/s, window open    %.0f\n", openRate);
    std::printf("log lines                %lld (%.1f per sweep)\n", static_cast<long long>(lines),
                sweepsClosed + sweepsOpen ? double(lines) / (sweepsClosed + sweepsOpen) : 0.0);
    std::printf("GUI thread per sweep     closed %.0f us, open %.0f us\n",
                sweepsClosed ? 1e6 * guiCpuClosed / sweepsClosed : 0.0,
                sweepsOpen ? 1e6 * guiCpuOpen / sweepsOpen : 0.0);
    std::printf("debug log alone          %.0f us GUI thread per sweep's %d lines\n", perSweepUs,
                int(recent.size()));
    BenchTarget::report("dialogs.debuglog_rate_ratio", ratio, "%", BenchTarget::AtLeast, 80, 0);
    return 0;
}
