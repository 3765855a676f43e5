// Flashes a 128 KiB radio image into the scanner emulator's bootloader with
// its 115200-baud byte pacing on, the way the update dialog does (reset to
// bootloader, auto-baud, 32 sector writes, CRC32, reset), and compares the
// time with the raw line time of every byte exchanged.

#include "devicecomms.h"
#include "rblpacket.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

static constexpr double Limit = 1.3;
static constexpr int Wait = 60000;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerDeviceMetaTypes();
    if (SimProcess::executable().isEmpty()) {
        std::printf("ORVANEL_SIM not set: the scanner emulator is needed\n");
        return 1;
    }
    QTemporaryDir dir;
    QProcess make;
    make.start(SimProcess::executable(), {"--make-test-images", dir.path()});
    make.waitForFinished(Wait);
    QFile file(dir.filePath("7140_orvanel_radio.bin"));
    if (make.exitCode() != 0 || !file.open(QIODevice::ReadOnly)) {
        std::printf("The emulator made no test image\n");
        return 1;
    }
    const QByteArray image = file.readAll();

    SimProcess sim;
    if (!sim.start()) {
        std::printf("%s\n", qPrintable(sim.errorText()));
        return 1;
    }
    DeviceComms dc;
    dc.setPortName(sim.ptyPath());
    qint64 bytes = 0;
    QObject::connect(&dc, &DeviceComms::log, [&bytes](const QString &line) {
        if (line.startsWith(QLatin1String(">> ")) || line.startsWith(QLatin1String("<< ")))
            bytes += (line.size() - 3) / 2;
    });
    bool failed = false;
    QObject::connect(&dc, &DeviceComms::error, [&failed] { failed = true; });
    QObject::connect(&dc, &DeviceComms::timeout, [&failed] { failed = true; });
    const auto step = [&](auto signal, auto request) {
        QSignalSpy spy(&dc, signal);
        request();
        return !failed && (spy.count() > 0 || spy.wait(Wait)) && !failed;
    };

    if (!step(&DeviceComms::rfsaResetToBootloaderDone, [&] { dc.rfsaResetToBootloader(); })) {
        std::printf("The emulator did not enter its bootloader\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    bytes = 0;
    bool ok = step(&DeviceComms::rblAutoBaudDone, [&] { dc.rblAutoBaud(); });
    for (int at = 0; ok && at < image.size(); at += RblPacket::SectorSize) {
        ok = step(&DeviceComms::rblWriteSectorDone,
                  [&] { dc.rblWriteSector(quint32(at), image.mid(at, RblPacket::SectorSize)); });
        // The next sector starts as the dialog starts it: once the session
        // has seen this one end.
        while (ok && dc.busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    quint32 crc = 0;
    QSignalSpy crcSpy(&dc, &DeviceComms::rblCmdCrc32Done);
    ok = ok &&
         step(&DeviceComms::rblCmdCrc32Done, [&] { dc.rblCmdCrc32(0, quint32(image.size()), 0); });
    if (ok)
        crc = crcSpy.value(0).value(0).toUInt();
    ok = ok && step(&DeviceComms::rblCmdResetDone, [&] { dc.rblCmdReset(); });
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (!ok || crc != RblPacket::crc32(image)) {
        std::printf("Flashing failed (crc %08x, expected %08x)\n", crc, RblPacket::crc32(image));
        return 1;
    }
    // 8N1: ten bits on the line per byte.
    const double lineSeconds = bytes * 10.0 / 115200.0;
    const double ratio = seconds / lineSeconds;
    std::printf("flashed %d bytes in %.2f s; %lld bytes exchanged, %.2f s of raw line time\n",
                image.size(), seconds, static_cast<long long>(bytes), lineSeconds);
    std::printf("TARGET firmware.flash_vs_line_time %.2f x <=%.1f %s\n", ratio, Limit,
                ratio <= Limit ? "met" : "missed");
    return 0;
}
