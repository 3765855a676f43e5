// Throughput of the scanner receive path: 10,000 encoded 2.4 GHz sweeps
// (1F acknowledgement, 1F data frames of at most 255 points, 06 closing
// frame) pushed through RfsaSerialComms, compared with what the 115200-baud
// line can carry.

#include "benchtarget.h"
#include "ptypair.h"
#include "rfsaframe.h"
#include "rfsaserialcomms.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

constexpr int Sweeps = 10000;
constexpr int Points = 501;
constexpr double LineBytesPerSecond = 115200.0 / 10.0; // 8N1: ten bits a byte

QByteArray encodedSweep(int index)
{
    QByteArray bytes = RfsaFrame::buildFrame(0x1F);
    QByteArray points(Points, 0);
    for (int i = 0; i < Points; ++i)
        points[i] = static_cast<char>(-40 - ((i * 7 + index) % 80));
    for (int at = 0; at < Points; at += RfsaFrame::MaxPayload)
        bytes += RfsaFrame::buildFrame(0x1F, points.mid(at, RfsaFrame::MaxPayload));
    bytes += RfsaFrame::buildFrame(0x06, RfsaFrame::u16(0));
    return bytes;
}

struct Result
{
    double seconds = 0;
    qint64 bytes = 0;
    int sweeps = 0;
};

Result run(RfsaSerialComms &comms, const QVector<QByteArray> &sweeps, int readSize)
{
    Result r;
    int delivered = 0;
    auto c = QObject::connect(&comms, &RfsaSerialComms::getSpecNoInitDone,
                              [&](qint64, const RfSpectrumScan &s) {
                                  if (s.size() == Points)
                                      ++delivered;
                              });
    QElapsedTimer t;
    t.start();
    for (const QByteArray &sweep : sweeps) {
        comms.getSpecNoInit(); // the acknowledgement needs a command in flight
        if (readSize <= 0) {
            comms.receive(sweep);
        } else {
            for (int at = 0; at < sweep.size(); at += readSize)
                comms.receive(sweep.mid(at, readSize));
        }
        r.bytes += sweep.size();
        // keep the port's write buffer from growing without an event loop
        if ((delivered & 255) == 0)
            QCoreApplication::processEvents();
    }
    r.seconds = t.nsecsElapsed() / 1e9;
    r.sweeps = delivered;
    QObject::disconnect(c);
    return r;
}

void print(const char *label, const Result &r)
{
    const double mbps = r.bytes / r.seconds / 1e6;
    std::printf("%-44s %7.1f MB/s  %9.0f sweeps/s  %8.0fx line rate  (%d/%d sweeps, %.1f MB)\n",
                label, mbps, r.sweeps / r.seconds, r.bytes / r.seconds / LineBytesPerSecond,
                r.sweeps, Sweeps, r.bytes / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerDeviceMetaTypes();
    PtyPair pty;
    if (!pty.isValid()) {
        std::printf("no pseudo-terminal available\n");
        return 1;
    }
    RfsaSerialComms comms(pty.slavePath());
    QVector<QByteArray> sweeps;
    sweeps.reserve(Sweeps);
    for (int i = 0; i < Sweeps; ++i)
        sweeps << encodedSweep(i);

    std::printf("receive path, %d sweeps of %d points (target >= 12 MB/s)\n", Sweeps, Points);
    const Result oneRead = run(comms, sweeps, 0);
    print("one read per sweep, no log listener", oneRead);
    print("64-byte reads, no log listener", run(comms, sweeps, 64));
    qint64 logLines = 0;
    QObject::connect(&comms, &SerialComms::log, [&](const QString &) { ++logLines; });
    const Result withLog = run(comms, sweeps, 64);
    print("64-byte reads, log listener (debug window)", withLog);
    std::printf("log lines: %lld\n", static_cast<long long>(logLines));
    pty.readAvailable();
    BenchTarget::report("decode.mb_per_s", oneRead.bytes / oneRead.seconds / 1e6, "MB/s",
                        BenchTarget::AtLeast, 12);
    return 0;
}
