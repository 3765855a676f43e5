// Sweeps per second through the whole device session: the emulator in
// --fast mode on a pty, DeviceComms with its communication thread, and a
// receiver on the GUI thread that only counts. Also the GUI thread's CPU
// time per delivered sweep (hand-over, queued log lines, flags).
//
// The emulator is found in env ORVANEL_SIM (`make bench` sets it).

#include "bandparameters.h"
#include "benchtarget.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

// Points per sweep of the two default sets (Span * 1000 / FStep + 1, truncated).
constexpr int Points2400 = 501;
constexpr int Points900 = 252;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Runs the event loop (sleeping between events, so the GUI thread's CPU time
// is its real work) until `done` or `ms` have passed.
bool waitFor(const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer t;
    t.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || t.elapsed() > ms)
            loop.quit();
    });
    poll.start(20);
    if (!done())
        loop.exec();
    return done();
}

struct Run
{
    int sweeps = 0;
    double seconds = 0;
    double guiCpu = 0;
    int badLength = 0;
};

Run scan(DeviceComms &dc, const QVariantMap &set, int points, double seconds)
{
    Run r;
    int delivered = 0;
    auto c = QObject::connect(&dc, &DeviceComms::rfsaGetSpecNoInitDone,
                              [&](qint64, const RfSpectrumScan &s) {
                                  ++delivered;
                                  if (s.size() != points)
                                      ++r.badLength;
                              });
    dc.sendRfSetupAndScan(set);
    waitFor([&] { return delivered >= 10; }, 15000); // warmed up
    const int start = delivered;
    const double cpu0 = threadCpuSeconds();
    QElapsedTimer t;
    t.start();
    waitFor([&] { return false; }, int(seconds * 1000));
    r.seconds = t.nsecsElapsed() / 1e9;
    r.guiCpu = threadCpuSeconds() - cpu0;
    r.sweeps = delivered - start;
    emit dc.stopScanning();
    waitFor([&] { return !dc.scanning(); }, 15000);
    QObject::disconnect(c);
    return r;
}

void print(const char *label, const Run &r, int points)
{
    std::printf("%-28s %8.0f sweeps/s of %d points  GUI thread %6.1f us/sweep  (%d sweeps in "
                "%.1f s%s)\n",
                label, r.sweeps / r.seconds, points, r.sweeps ? r.guiCpu / r.sweeps * 1e6 : 0.0,
                r.sweeps, r.seconds, r.badLength ? ", SOME OF WRONG LENGTH" : "");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerDeviceMetaTypes();
    DialogSeam::setHandler([](const DialogSeam::Request &r) {
        std::printf("message box: %s\n", qPrintable(r.text));
        return QVariant(r.defaultButton);
    });
    SimProcess sim;
    if (!sim.start({"--fast"})) {
        std::printf("cannot start the emulator: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    int status = 0;
    {
        DeviceComms dc;
        dc.setPortName(sim.ptyPath());
        dc.connectToDevice(true);
        if (!waitFor([&] { return dc.connected() && !dc.busy(); }, 15000)) {
            std::printf("could not connect\n");
            return 1;
        }
        std::printf("device session over the emulator's pty, --fast (target >= 2000 sweeps/s "
                    "of 501 points)\n");
        const Run a = scan(dc, rfParams2400(), Points2400, 3.0);
        print("2.4 GHz", a, Points2400);
        waitFor([&] { return !dc.busy(); }, 15000);
        const Run b = scan(dc, rfParams900(), Points900, 3.0);
        print("900 MHz", b, Points900);
        status = (a.badLength || b.badLength) ? 1 : 0;
        BenchTarget::report("session.sweeps_per_s", a.sweeps / a.seconds, "sweeps/s",
                            BenchTarget::AtLeast, 2000, 0);
        dc.shutdown();
    }
    return status;
}
