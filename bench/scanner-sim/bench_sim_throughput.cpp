// How fast the emulator serves sweeps over its pty. A reader drains the port
// and requests the next sweep as soon as the previous one is complete, as the
// program's scan sequence does; only complete 501-point sweeps count.
//   ORVANEL_SIM=<build>/tools/scanner-sim/orvanel-scanner-sim bench_sim_throughput [seconds]
#include "benchtarget.h"
#include "rfsaframe.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>

#include <cstdio>

namespace {

struct Result
{
    int sweeps = 0;
    int bad = 0;
    double seconds = 0;
};

Result run(const QStringList &args, double seconds)
{
    Result r;
    SimProcess sim;
    if (!sim.start(args + QStringList{"--log", "/dev/null"})) {
        std::fprintf(stderr, "cannot start the emulator: %s\n", qPrintable(sim.errorText()));
        return r;
    }
    QSerialPort port(sim.ptyPath());
    port.setBaudRate(QSerialPort::Baud115200);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.ptyPath()));
        return r;
    }
    const QByteArray request = RfsaFrame::buildFrame(0x1F);
    QByteArray rx;
    int points = 0;
    bool acked = false;
    QElapsedTimer t;
    t.start();
    port.write(request);
    while (t.elapsed() < seconds * 1000) {
        if (!port.waitForReadyRead(1000))
            break;
        rx += port.readAll();
        int at = 0;
        for (;;) {
            // Frames are parsed in place; the buffer is trimmed once per read.
            const RfsaFrame::Parsed p =
                RfsaFrame::parseFront(QByteArray::fromRawData(rx.constData() + at, rx.size() - at));
            if (p.status == RfsaFrame::Scan::NeedMore)
                break;
            if (p.status != RfsaFrame::Scan::Frame) {
                ++r.bad;
                at = rx.size();
                break;
            }
            at += p.size;
            if (!acked) {
                acked = true;
                points = 0;
            } else if (p.command == 0x1F) {
                points += p.payload.size();
            } else if (p.command == 0x06) {
                if (points == 501)
                    ++r.sweeps;
                else
                    ++r.bad;
                acked = false;
                port.write(request);
            }
        }
        rx.remove(0, at);
    }
    r.seconds = t.elapsed() / 1000.0;
    return r;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (SimProcess::executable().isEmpty()) {
        std::fprintf(stderr, "set ORVANEL_SIM to the emulator (make bench does)\n");
        return 1;
    }
    const double seconds = argc > 1 ? QByteArray(argv[1]).toDouble() : 3.0;
    const double target = 3000;

    const Result fast = run({"--fast"}, seconds);
    const double rate = fast.seconds > 0 ? fast.sweeps / fast.seconds : 0;
    std::printf("emulator --fast: %d complete 501-point sweeps in %.2f s = %.0f sweeps/s "
                "(target >= %.0f, ratio %.2f), %d bad\n",
                fast.sweeps, fast.seconds, rate, target, rate / target, fast.bad);
    std::printf("  = %.1f MB/s of sweep frames\n", rate * 523 / 1e6);
    BenchTarget::report("sim.sweeps_per_s", rate, "sweeps/s", BenchTarget::AtLeast, target, 0);

    const Result paced = run({}, std::min(seconds, 2.0));
    std::printf("emulator default pacing: %.1f sweeps/s (a real scanner: about 20)\n",
                paced.seconds > 0 ? paced.sweeps / paced.seconds : 0.0);
    return fast.bad || paced.bad ? 1 : 0;
}
