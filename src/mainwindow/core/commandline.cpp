#include "commandline.h"

#include <QDir>

#include <cmath>
#include <limits>

namespace CommandLine {

bool parseRbw(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    // The register is one byte on the wire; anything larger would be cut.
    if (!ok || v > 255)
        return false;
    *value = v;
    return true;
}

bool parseAmpl(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok)
        return false;
    *value = v;
    return true;
}

bool parseFStep(const QString &text, double *value)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (v > 0) {
        // Sent as round(kHz * 65536 / 1000) in 32 bits; a step that rounds to
        // 0 or overflows would program the device with something else.
        const double encoded = std::round(v * 65536.0 / 1000.0);
        if (encoded < 1.0 || encoded > double(std::numeric_limits<quint32>::max()))
            return false;
    }
    *value = v;
    return true;
}

static bool takesValue(const QString &arg)
{
    return arg == QLatin1String("-rbw") || arg == QLatin1String("-ampl") ||
           arg == QLatin1String("-fstep") || arg == QLatin1String("-port") ||
           arg == QLatin1String("--watch");
}

QVector<Step> parse(const QStringList &arguments)
{
    QVector<Step> steps;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (!arg.startsWith(QLatin1Char('-'))) {
            Step s;
            s.kind = Step::OpenFile;
            s.text = arg;
            steps.append(s);
            continue;
        }
        Step s;
        if (arg == QLatin1String("-debug")) {
            s.kind = Step::Debug;
            steps.append(s);
        } else if (arg == QLatin1String("-qc")) {
            s.kind = Step::Qc;
            steps.append(s);
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            s.kind = Step::Help;
            steps.append(s);
        } else if (takesValue(arg)) {
            if (i + 1 >= arguments.size())
                break; // no value left to read
            const QString value = arguments.at(++i);
            bool ok = false;
            if (arg == QLatin1String("-rbw")) {
                s.kind = Step::Rbw;
                ok = parseRbw(value, &s.intValue);
            } else if (arg == QLatin1String("-ampl")) {
                s.kind = Step::Ampl;
                ok = parseAmpl(value, &s.intValue);
            } else if (arg == QLatin1String("-fstep")) {
                s.kind = Step::FStep;
                ok = parseFStep(value, &s.doubleValue);
            } else if (arg == QLatin1String("--watch")) {
                s.kind = Step::Watch; // checked where it is used, with a message
                s.text = value;
                ok = !value.isEmpty();
            } else {
                s.kind = Step::Port;
                s.text = value;
                ok = !value.isEmpty();
            }
            if (ok)
                steps.append(s);
        }
        // Unknown dash entries are ignored and consume nothing.
    }
    return steps;
}

QStringList withAbsoluteFileNames(const QStringList &arguments, const QString &directory)
{
    QStringList out = arguments;
    const QDir dir(directory);
    for (int i = 1; i < out.size(); ++i) {
        const QString &arg = out.at(i);
        if (arg.startsWith(QLatin1Char('-'))) {
            if (takesValue(arg))
                ++i; // its value is not a file name
            continue;
        }
        out[i] = QDir::cleanPath(dir.absoluteFilePath(arg));
    }
    return out;
}

QString helpText()
{
    return QStringLiteral(
        "Usage: orvanel [options] [recording.vozi ...]\n"
        "\n"
        "Recordings named on the command line open as extra tabs; the program then\n"
        "does not connect by itself. When Orvanel already runs, a second start hands\n"
        "its command line to the running window and exits.\n"
        "\n"
        "Options:\n"
        "  -port NAME   use this serial port and skip device discovery (also for\n"
        "               ports the system does not list, such as a pseudo-terminal);\n"
        "               tcp://HOST:PORT reaches a scanner shared in raw TCP (ser2net)\n"
        "  -debug       open the debug window (single commands by hand, the\n"
        "               session's log); Connect then offers every serial port\n"
        "               and skips reading the scanner's versions\n"
        "  -rbw N       RBW register value (32..255) for scans started with Scan\n"
        "  -fstep KHZ   frequency step in kHz for scans started with Scan\n"
        "  -ampl N      add N dBm (8-bit, wrapping) to every live 2.4 GHz level\n"
        "  --watch mqtt[s]://HOST[:PORT]/PREFIX\n"
        "               open every scanner that publishes under PREFIX on that MQTT\n"
        "               broker as a live page, as it comes on line (repeatable);\n"
        "               credentials from ORVANEL_MQTT_USER and ORVANEL_MQTT_PASSWORD,\n"
        "               the CA for mqtts from ORVANEL_MQTT_CA_FILE\n"
        "  -qc          QC mode: draw the QC pass line at -40 dBm, never ask to save\n"
        "               when a scan stops, no time-out message boxes\n"
        "  -h, --help   print this text and exit\n");
}

} // namespace CommandLine
