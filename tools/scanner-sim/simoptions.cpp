#include "simoptions.h"

#include <cmath>

namespace {

// Defaults of the radio's resolution-bandwidth tables: four settings on
// 2.4 GHz, three on 900 MHz, the programmed register values among them.
const char *const default2400 = "101.5625:152:57,203.125:305:41,406.25:609:25,812.5:1219:9";
const char *const default900 = "58.0357:102:52,116.0714:203:36,232.1429:406:20";

bool parseCount(const QString &text, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0)
        return false;
    *out = v;
    return true;
}

bool parseMs(const QString &text, double *out)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0 || v > 3600000)
        return false;
    *out = v;
    return true;
}

} // namespace

SimOptions::SimOptions()
{
    QString ignored;
    parseRfParams(QString::fromLatin1(default900), &rfParams900, &ignored);
    parseRfParams(QString::fromLatin1(default2400), &rfParams2400, &ignored);
}

bool SimOptions::parseCode(const QString &text, int *code)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    if (t.isEmpty() || t.size() > 2)
        return false;
    bool ok = false;
    const int v = t.toInt(&ok, 16);
    if (!ok || v < 0 || v > 0xFF)
        return false;
    *code = v;
    return true;
}

bool SimOptions::parseRfParams(const QString &text, QVector<SimRfParam> *out, QString *error)
{
    QVector<SimRfParam> result;
    const QStringList items = text.split(QLatin1Char(','));
    if (items.size() > 127) {
        *error = QStringLiteral("at most 127 entries fit the device's table");
        return false;
    }
    for (const QString &item : items) {
        const QStringList f = item.split(QLatin1Char(':'));
        bool ok1 = false, ok2 = false, ok3 = false;
        SimRfParam p;
        if (f.size() == 3) {
            p.rbw = f.at(0).toDouble(&ok1);
            const uint ifValue = f.at(1).toUInt(&ok2);
            const uint setting = f.at(2).toUInt(&ok3);
            ok1 = ok1 && std::isfinite(p.rbw) && p.rbw >= 0;
            ok2 = ok2 && ifValue <= 0xFFFF;
            ok3 = ok3 && setting <= 0xFF;
            p.ifValue = static_cast<quint16>(ifValue);
            p.setting = static_cast<quint8>(setting);
        }
        if (!(ok1 && ok2 && ok3)) {
            *error = QStringLiteral("\"%1\" is not rbw:if:setting (rbw >= 0, if 0..65535, "
                                    "setting 0..255)")
                         .arg(item);
            return false;
        }
        result.append(p);
    }
    *out = result;
    return true;
}

bool SimOptions::parse(const QStringList &args, QString *error)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &opt = args.at(i);
        auto value = [&](QString *v) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("option %1 needs a value").arg(opt);
                return false;
            }
            *v = args.at(++i);
            return true;
        };
        auto bad = [&](const QString &v, const QString &what) {
            *error = QStringLiteral("bad value \"%1\" for %2: %3").arg(v, opt, what);
            return false;
        };
        QString v;
        if (opt == QLatin1String("--help") || opt == QLatin1String("-h")) {
            help = true;
        } else if (opt == QLatin1String("--fast")) {
            fast = true;
        } else if (opt == QLatin1String("--start-in-bootloader")) {
            startInBootloader = true;
        } else if (opt == QLatin1String("--dead-radio")) {
            deadRadio = true;
        } else if (opt == QLatin1String("--bl-bad-crc")) {
            blBadCrc = true;
        } else if (opt == QLatin1String("--bl-half-written")) {
            blHalfWritten = true;
            startInBootloader = true;
        } else if (opt == QLatin1String("--bl-chip-id")) {
            if (!value(&v))
                return false;
            bool ok = false;
            blChipId = v.toUInt(&ok, 16);
            if (!ok || v.size() > 10)
                return bad(v, QStringLiteral("expected a 32-bit number in hex"));
        } else if (opt == QLatin1String("--bl-flash-sectors")) {
            if (!value(&v))
                return false;
            if (!parseCount(v, &blFlashSectors) || blFlashSectors < 1 || blFlashSectors > 255)
                return bad(v, QStringLiteral("expected 1..255"));
        } else if (opt == QLatin1String("--bl-silent-at")) {
            if (!value(&v))
                return false;
            const int colon = v.indexOf(QLatin1Char(':'));
            blSilentAtCount = 1;
            if (!parseCode(v.left(colon), &blSilentAtCode) ||
                (colon >= 0 &&
                 (!parseCount(v.mid(colon + 1), &blSilentAtCount) || blSilentAtCount < 1)))
                return bad(v, QStringLiteral("expected CODE or CODE:N, like 24:40"));
        } else if (opt == QLatin1String("--dfu-dir")) {
            if (!value(&v))
                return false;
            if (v.isEmpty())
                return bad(v, QStringLiteral("expected a directory"));
            dfuDir = v;
        } else if (opt == QLatin1String("--make-test-images")) {
            if (!value(&v))
                return false;
            if (v.isEmpty())
                return bad(v, QStringLiteral("expected a directory"));
            testImagesDir = v;
        } else if (opt == QLatin1String("--bl-nack")) {
            if (!value(&v))
                return false;
            int code = 0;
            if (!parseCode(v, &code))
                return bad(v, QStringLiteral("expected a command code in hex, like 26 or 0x26"));
            blNack.insert(code);
        } else if (opt == QLatin1String("--bl-status")) {
            if (!value(&v))
                return false;
            const int eq = v.indexOf(QLatin1Char('='));
            int code = 0;
            int status = 0;
            if (eq < 0 || !parseCode(v.left(eq), &code) || !parseCode(v.mid(eq + 1), &status))
                return bad(v, QStringLiteral("expected CODE=STATUS in hex, like 24=44"));
            blStatus.insert(code, status);
        } else if (opt == QLatin1String("--outdated")) {
            radioVersion = QStringLiteral("1.0.0.8.0.0");
            hostVersion = QStringLiteral("1.0.0.8.0.60");
        } else if (opt == QLatin1String("--link")) {
            if (!value(&v))
                return false;
            if (v.isEmpty())
                return bad(v, QStringLiteral("expected a path"));
            linkPath = v;
        } else if (opt == QLatin1String("--tcp")) {
            if (!value(&v))
                return false;
            bool ok = false;
            tcpPort = v.toInt(&ok);
            if (!ok || tcpPort < 0 || tcpPort > 65535)
                return bad(v, QStringLiteral("expected a TCP port 0..65535"));
        } else if (opt == QLatin1String("--log")) {
            if (!value(&v))
                return false;
            if (v.isEmpty())
                return bad(v, QStringLiteral("expected a path"));
            logPath = v;
        } else if (opt == QLatin1String("--scene")) {
            if (!value(&v))
                return false;
            scenePath = v;
        } else if (opt == QLatin1String("--radio-version")) {
            if (!value(&radioVersion))
                return false;
        } else if (opt == QLatin1String("--host-version")) {
            if (!value(&hostVersion))
                return false;
        } else if (opt == QLatin1String("--device-version")) {
            if (!value(&deviceVersion))
                return false;
        } else if (opt == QLatin1String("--rf-params-900") ||
                   opt == QLatin1String("--rf-params-2400")) {
            if (!value(&v))
                return false;
            QString why;
            QVector<SimRfParam> *target =
                opt.endsWith(QLatin1String("900")) ? &rfParams900 : &rfParams2400;
            if (!parseRfParams(v, target, &why))
                return bad(v, why);
        } else if (opt == QLatin1String("--sweep-count")) {
            if (!value(&v))
                return false;
            int n = 0;
            if (!parseCount(v, &n) || n > 0xFFFF)
                return bad(v, QStringLiteral("expected an integer 0..65535"));
            sweepCount = static_cast<quint16>(n);
        } else if (opt == QLatin1String("--seed")) {
            if (!value(&v))
                return false;
            bool ok = false;
            seed = v.toULongLong(&ok);
            if (!ok)
                return bad(v, QStringLiteral("expected a non-negative integer"));
        } else if (opt == QLatin1String("--sweep-time")) {
            if (!value(&v))
                return false;
            if (!parseMs(v, &sweepTimeMs))
                return bad(v, QStringLiteral("expected milliseconds >= 0"));
        } else if (opt == QLatin1String("--rate")) {
            if (!value(&v))
                return false;
            bool ok = false;
            rate = v.toDouble(&ok);
            if (!ok || !std::isfinite(rate) || rate <= 0 || rate > 1e6)
                return bad(v, QStringLiteral("expected sweeps per second > 0"));
        } else if (opt == QLatin1String("--no-ack")) {
            if (!value(&v))
                return false;
            int code = 0;
            if (!parseCode(v, &code))
                return bad(v, QStringLiteral("expected a command code in hex, like 1f or 0x1f"));
            noAck.insert(code);
        } else if (opt == QLatin1String("--bad-crc") || opt == QLatin1String("--garbage") ||
                   opt == QLatin1String("--stall-sweep") ||
                   opt == QLatin1String("--hangup-after") ||
                   opt == QLatin1String("--bl-bad-checksum") ||
                   opt == QLatin1String("--bl-silent-after")) {
            if (!value(&v))
                return false;
            int n = 0;
            if (!parseCount(v, &n) || n == 0)
                return bad(v, QStringLiteral("expected an integer >= 1"));
            if (opt == QLatin1String("--bad-crc"))
                badCrcFrame = n;
            else if (opt == QLatin1String("--garbage"))
                garbageFrame = n;
            else if (opt == QLatin1String("--stall-sweep"))
                stallSweep = n;
            else if (opt == QLatin1String("--bl-bad-checksum"))
                blBadChecksum = n;
            else if (opt == QLatin1String("--bl-silent-after"))
                blSilentAfter = n;
            else
                hangupAfter = n;
        } else if (opt == QLatin1String("--reappear-after")) {
            if (!value(&v))
                return false;
            double ms = 0;
            if (!parseMs(v, &ms))
                return bad(v, QStringLiteral("expected milliseconds >= 0"));
            reappearAfterMs = int(ms);
        } else if (opt == QLatin1String("--frame-delay")) {
            if (!value(&v))
                return false;
            if (!parseMs(v, &frameDelayMs))
                return bad(v, QStringLiteral("expected milliseconds >= 0"));
        } else if (opt == QLatin1String("--delay-cmd")) {
            if (!value(&v))
                return false;
            const int eq = v.indexOf(QLatin1Char('='));
            int code = 0;
            double ms = 0;
            if (eq < 0 || !parseCode(v.left(eq), &code) || !parseMs(v.mid(eq + 1), &ms))
                return bad(v, QStringLiteral("expected CODE=MS, like 14=2500"));
            delayCmd.insert(code, ms);
        } else {
            *error = QStringLiteral("unknown option \"%1\" (see --help)").arg(opt);
            return false;
        }
    }
    return true;
}

QString SimOptions::helpText()
{
    return QStringLiteral(
        "Usage: orvanel-scanner-sim [options]\n"
        "Emulates the Orvanel scanner on a pseudo-terminal. The first line of output is\n"
        "the terminal's path; open it as the scanner's serial port. Ctrl+C ends it.\n"
        "\n"
        "Port and logging:\n"
        "  --link PATH            also make PATH a symlink to the terminal (removed on exit)\n"
        "  --tcp PORT             also serve the terminal as raw TCP on 127.0.0.1:PORT, as\n"
        "                         ser2net does (0: any free port; second output line names it)\n"
        "  --log FILE             log every frame: <seconds> <dir> <hex> (RX, TX, RX-JUNK,\n"
        "                         TX-JUNK; BL-RX, BL-TX in the bootloader)\n"
        "\n"
        "Identity:\n"
        "  --device-version S     device version text (default \"Orvanel Scanner\")\n"
        "  --radio-version S      radio firmware version (default 1.0.0.9.0.0)\n"
        "  --host-version S       host firmware version (default 1.0.0.9.0.69)\n"
        "  --outdated             radio 1.0.0.8.0.0 and host 1.0.0.8.0.60\n"
        "  --rf-params-900 LIST   900 MHz RBW table, LIST = rbw:if:setting,...\n"
        "  --rf-params-2400 LIST  2.4 GHz RBW table, same form\n"
        "  --sweep-count N        sweep count in the RF-parameter header (default 1)\n"
        "\n"
        "RF scene:\n"
        "  --seed N               seed of the deterministic scene (default 1)\n"
        "  --scene FILE           JSON file describing the emitters (see README)\n"
        "\n"
        "Pacing (default: bytes at 115200 baud 8N1 plus the sweep time):\n"
        "  --sweep-time MS        measurement time per sweep (default 4, about 20/s on 2.4 GHz)\n"
        "  --rate N               deliver N sweeps per second regardless of the baud rate\n"
        "  --fast                 no pacing at all\n"
        "\n"
        "Faults (combinable; frame and sweep numbers are 1-based):\n"
        "  --no-ack CODE          never answer command CODE (hex: 1f or 0x1f); repeatable\n"
        "  --bad-crc N            corrupt the CRC of the Nth frame sent\n"
        "  --garbage N            send junk bytes right before the Nth frame sent\n"
        "  --stall-sweep N        from the Nth sweep request on: acknowledge, send no data\n"
        "  --hangup-after N       after N complete sweeps close the terminal and exit 0\n"
        "  --reappear-after MS    with --hangup-after: instead of exiting, come back MS later\n"
        "                         on a new terminal (same --link path; its path is printed)\n"
        "  --frame-delay MS       wait MS before every frame sent\n"
        "  --delay-cmd CODE=MS    delay the acknowledgement of CODE by MS; repeatable\n"
        "  --dead-radio           acknowledge sweep requests without data until a valid\n"
        "                         radio image has been flashed\n"
        "\n"
        "Radio ROM bootloader (entered by the reset-to-bootloader command):\n"
        "  --start-in-bootloader  start with the radio in its bootloader\n"
        "  --bl-nack CODE         NACK bootloader command CODE (hex; 55 = auto-baud); repeatable\n"
        "  --bl-status CODE=ST    get-status after command CODE answers ST (hex); repeatable\n"
        "  --bl-bad-checksum N    spoil the checksum of the Nth bootloader response\n"
        "  --bl-silent-after N    answer N bootloader commands (auto-baud included), then none\n"
        "  --bl-silent-at CODE[:N] stop answering at the Nth bootloader command CODE (hex,\n"
        "                         default N = 1) until the port is closed and opened again\n"
        "  --bl-chip-id HEX       chip id the bootloader reports (default 0000b99a)\n"
        "  --bl-flash-sectors N   flash size in 4 KiB sectors (default 32)\n"
        "  --bl-bad-crc           the read-back CRC32 never matches what was written\n"
        "  --bl-half-written      start in the bootloader, already synchronised, holding the\n"
        "                         first half of the test radio image (an update cut off)\n"
        "  The radio starts its image only when the last flash sector (its configuration)\n"
        "  is not blank; otherwise it stays in its ROM bootloader after a reset.\n"
        "  A bootloader response the host does not acknowledge before its next packet or\n"
        "  before closing the port is logged as BL-UNACKED; the emulator then exits with 3.\n"
        "\n"
        "Host DFU bootloader:\n"
        "  --dfu-dir DIR          after the host-bootloader command the port goes away and\n"
        "                         DIR/device appears, the line dfu-util -l prints for the\n"
        "                         host in DFU mode (for a stand-in dfu-util)\n"
        "\n"
        "Firmware images:\n"
        "  --make-test-images DIR write the emulator's test images 7140_orvanel_radio.bin\n"
        "                         and 7140_orvanel_host.dfu into DIR and exit\n"
        "\n"
        "  --help                 this text\n"
        "Bad option values end the program with exit code 2.\n");
}
