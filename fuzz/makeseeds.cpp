// Writes the seed corpus of every fuzz target from the same kinds of input the
// tests use: frames as the scanner sends them, a recording with something in
// every field, the shipped colour file, real command lines and channel lines.
#include "rblpacket.h"
#include "recordingio.h"
#include "recordingtestdata.h"
#include "rfsaframe.h"
#include "scanjournal.h"
#include "sweeppayload.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <linux/netlink.h>
#include <linux/nl80211.h>

#include <cstdio>

namespace {

QString g_root;

void put(const char *target, const char *name, const QByteArray &bytes)
{
    const QString dir = g_root + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(dir);
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        exit(1);
    }
}

QByteArray frame(quint8 command, const QByteArray &payload = QByteArray())
{
    return RfsaFrame::buildFrame(command, payload);
}

template <size_t N> QByteArray lit(const char (&text)[N])
{
    return QByteArray(text, int(N) - 1); // with embedded NULs, without the final one
}

QByteArray sweepPoints(int n)
{
    QByteArray points(n, 0);
    for (int i = 0; i < n; ++i)
        points[i] = static_cast<char>(-100 + (i * 7) % 60);
    return points;
}

void deviceSeeds()
{
    using namespace RfsaFrame;
    const QByteArray sweep = frame(CmdGetSpecNoInit) + frame(CmdGetSpecNoInit, sweepPoints(255)) +
                             frame(CmdGetSpecNoInit, sweepPoints(246)) +
                             frame(CmdGetLastError, u16(0));
    const QByteArray calibration = frame(CmdGetCalibration) +
                                   frame(CmdGetCalibration, sweepPoints(252)) +
                                   frame(CmdGetLastError, u16(0));
    QByteArray rfParams =
        frame(CmdGetRfParams) + frame(CmdGetRfParams, QByteArray("\x02\x01\xf5", 3));
    rfParams +=
        frame(CmdGetRfParams, QByteArray::fromHex("40b3880000000000") + u16(10700) + "\x03");
    rfParams +=
        frame(CmdGetRfParams, QByteArray::fromHex("40c3880000000000") + u16(10700) + "\x05");
    const QByteArray deviceVer = frame(CmdGetDeviceVer) + frame(CmdGetDeviceVer, "RFSA-2400 rev C");
    const QByteArray fwVer = frame(CmdGetFwVer) + frame(CmdGetFwVer, QByteArray("\x01\x04\x09", 3));
    const QByteArray info =
        frame(CmdGetInfoStr) + frame(CmdGetInfoStr, QByteArray("Orvanel\0x", 9));
    const QByteArray lastError = frame(CmdGetLastError) + frame(CmdGetLastError, u16(0x0102));
    const QByteArray connect = frame(CmdConnect) + frame(CmdSync);

    // The reply target reads a selector and a split position first.
    put("fuzz_rfsareply", "sweep", QByteArray("\x00\x40", 2) + sweep);
    put("fuzz_rfsareply", "calibration", QByteArray("\x01\x07", 2) + calibration);
    put("fuzz_rfsareply", "rfparams", QByteArray("\x02\x11", 2) + rfParams);
    put("fuzz_rfsareply", "devicever", QByteArray("\x03\x00", 2) + deviceVer);
    put("fuzz_rfsareply", "fwver", QByteArray("\x04\x03", 2) + fwVer);
    put("fuzz_rfsareply", "infostr", QByteArray("\x05\x02", 2) + info);
    put("fuzz_rfsareply", "lasterror", QByteArray("\x06\x05", 2) + lastError);
    put("fuzz_rfsareply", "connect", QByteArray("\x07\x01", 2) + connect);

    put("fuzz_rfsaframe", "sweep", sweep);
    put("fuzz_rfsaframe", "rfparams", rfParams);
    put("fuzz_rfsaframe", "versions", deviceVer + fwVer + info);
    put("fuzz_rfsaframe", "commands",
        frame(CmdSetFStart, encodeFrequencyMHz(2400.5)) + frame(CmdSetFStep, encodeStepKHz(200)) +
            frame(CmdSetStepCount, u16(501)) + frame(CmdSetRBW, QByteArray(1, 3)));
}

// Bootloader answers: an acknowledgement, then for data commands the host's
// own acknowledgement is not part of what comes back, only the response.
void bootloaderSeeds()
{
    using namespace RblPacket;
    put("fuzz_rblreply", "autobaud", lit("\x00\x05") + ack());
    put("fuzz_rblreply", "pingnack", lit("\x01\x00") + nack());
    put("fuzz_rblreply", "status",
        lit("\x02\x02") + ack() + response(QByteArray(1, char(StatusSuccess))));
    put("fuzz_rblreply", "crc32", lit("\x03\x03") + ack() + response(u32(0xCBF43926u)));
    put("fuzz_rblreply", "chipid", lit("\x04\x01") + ack() + response(u32(0x3B40402Fu)));
    put("fuzz_rblreply", "memread",
        lit("\x05\x09") + ack() + response(QByteArray::fromHex("0102030405060708")));
    put("fuzz_rblreply", "senddata", lit("\x06\x00") + ack());

    put("fuzz_dfuoutput", "dfuse",
        lit("\x07"
            "dfu-util 0.11\n\nOpening DFU capable USB device...\n"
            "\rErase   \t[                         ]   0%            0 bytes"
            "\rErase   \t[=========================] 100%        16384 bytes\n"
            "Erase    done.\n"
            "\rDownload\t[===========              ]  45%        16384 bytes"
            "\rDownload\t[=========================] 100%        36388 bytes\n"
            "Download done.\n"));
    put("fuzz_dfuoutput", "split", lit("\x02\rDownload\t[==    ]  9%  512 bytes\rDownl"));
}

void captureSeeds()
{
    RfSpectrumHistory header = fullHistory();
    header.samples.clear();
    QByteArray sweeps;
    ScanJournal::appendSweep(sweeps, 1714566605000LL, RfSpectrumScan(501, -90));
    ScanJournal::appendSweep(sweeps, 1714566605050LL, RfSpectrumScan(501, -60));
    const QByteArray open =
        ScanJournal::fileStart(header) + ScanJournal::record(ScanJournal::SweepsRecord, sweeps);
    put("fuzz_journal", "open", open);
    put("fuzz_journal", "ended", open + ScanJournal::record(ScanJournal::EndRecord, QByteArray()));
    put("fuzz_csvimport", "rtlpower",
        "2024-05-01, 12:00:00, 2400000000, 2405000000, 1000000.00, 10, -50.1, -49.3, -60.0, "
        "-61.5, -70\n2024-05-01, 12:00:00, 2405000000, 2410000000, 1000000.00, 10, -52, -53, "
        "-54, -55, -56\n");
    SweepPayload sweep{SweepPayload::Band900, 902000000, 103250, 1714566605000LL,
                       RfSpectrumScan(252, -90)};
    put("fuzz_sweeppayload", "sweep900", sweep.encode());
    put("fuzz_sweeppayload", "status",
        R"({"node":"north","band":"2400","state":"scanning","plan":{"points":501}})");
}

void recordingSeeds()
{
    QByteArray full;
    {
        QBuffer buffer(&full);
        buffer.open(QIODevice::WriteOnly);
        RfSpectrumHistory h = fullHistory();
        h.samples = h.samples.mid(0, 2); // small seeds mutate faster
        RecordingIo::write(buffer, h);
    }
    put("fuzz_recording", "full", full);
    QByteArray empty;
    {
        QBuffer buffer(&empty);
        buffer.open(QIODevice::WriteOnly);
        RfSpectrumHistory h;
        h.frequencyInterval = QwtInterval(902.0, 928.0);
        RecordingIo::write(buffer, h);
    }
    put("fuzz_recording", "empty900", empty);
}

void textSeeds(const QString &colourFile)
{
    QFile colours(colourFile);
    if (!colours.open(QIODevice::ReadOnly)) {
        fprintf(stderr, "cannot read %s\n", qPrintable(colourFile));
        exit(1);
    }
    put("fuzz_customcolors", "shipped", colours.readAll());
    put("fuzz_customcolors", "small",
        R"({"SpectroPlot":[{"value":1,"color":"#ff0000","alpha":255},{"value":0,"color":"#000000"}]})");

    put("fuzz_commandline", "files", lit("show.vozi\0/abs/second.vozi\0-qc\0third"));
    put("fuzz_commandline", "options",
        lit("-debug\0-rbw\0"
            "3\0-ampl\0-20\0-fstep\0"
            "200.5\0-port\0/dev/ttyACM0\0-h"));
    put("fuzz_commandline", "bad", lit("-rbw\0x\0-fstep\0inf\0-unknown\0--help\0-ampl"));

    put("fuzz_instancelines", "arguments", lit("\x10/home/u/show.vozi\n-qc\n-rbw\n3\n"));
    put("fuzz_instancelines", "unterminated", lit("\x00-port\n/dev/ttyACM0"));
}

// Netlink attributes and messages laid out as the kernel lays them out: host
// byte order, every attribute padded to four bytes.
QByteArray attr(quint16 type, const QByteArray &payload)
{
    QByteArray a(4, '\0');
    qToLittleEndian<quint16>(quint16(4 + payload.size()), a.data());
    qToLittleEndian<quint16>(type, a.data() + 2);
    a += payload;
    a += QByteArray((4 - a.size() % 4) % 4, '\0');
    return a;
}

QByteArray u32attr(quint16 type, quint32 value)
{
    QByteArray v(4, '\0');
    qToLittleEndian<quint32>(value, v.data());
    return attr(type, v);
}

QByteArray genlMessage(quint8 command, const QByteArray &attributes)
{
    QByteArray m(NLMSG_HDRLEN + 4, '\0');
    qToLittleEndian<quint32>(quint32(m.size() + attributes.size()), m.data());
    qToLittleEndian<quint16>(28, m.data() + 4); // the nl80211 family id
    m[NLMSG_HDRLEN] = char(command);
    return m + attributes;
}

void wifiSeeds()
{
    const QByteArray ies =
        QByteArray::fromHex("0005") + "Stage" + QByteArray::fromHex("010482848b96");
    const QByteArray bss = attr(NL80211_BSS_BSSID, QByteArray::fromHex("001122aabbcc")) +
                           u32attr(NL80211_BSS_FREQUENCY, 2437) +
                           u32attr(NL80211_BSS_SIGNAL_MBM, quint32(-5200)) +
                           attr(NL80211_BSS_INFORMATION_ELEMENTS, ies);
    put("fuzz_nl80211", "scanentry",
        genlMessage(NL80211_CMD_NEW_SCAN_RESULTS,
                    u32attr(NL80211_ATTR_IFINDEX, 3) + attr(NL80211_ATTR_BSS, bss)));
    put("fuzz_nl80211", "interface",
        genlMessage(NL80211_CMD_NEW_INTERFACE,
                    u32attr(NL80211_ATTR_IFINDEX, 3) + attr(NL80211_ATTR_IFNAME, "wlan0\0") +
                        u32attr(NL80211_ATTR_IFTYPE, NL80211_IFTYPE_STATION)));
    put("fuzz_nl80211", "elements", ies);
    put("fuzz_wififile", "survey",
        R"({"scanDelayMs": 1500, "networks": [{"ssid": "Stage", "bssid": "02:00:00:00:01:06",)"
        R"( "frequencyMHz": 2437, "rssiDbm": -52}, {"ssid": "", "bssid": "02:00:00:00:01:07",)"
        R"( "frequencyMHz": 5180, "rssiDbm": -80}]})");
    put("fuzz_wififile", "nodelay", R"({"networks": []})");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s <seed dir> <customColors.txt>\n", argv[0]);
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    deviceSeeds();
    bootloaderSeeds();
    captureSeeds();
    recordingSeeds();
    wifiSeeds();
    textSeeds(QString::fromLocal8Bit(argv[2]));
    return 0;
}
