#include "captureoptions.h"

#include "alarmcommand.h"
#include "bandparameters.h"

#include <QRegularExpression>

#include <cmath>

bool CaptureOptions::parse(const QStringList &arguments, QString *error)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString opt = arguments.at(i);
        if (opt == QLatin1String("-h") || opt == QLatin1String("--help")) {
            help = true;
            return true;
        }
        if (opt == QLatin1String("--survey")) {
            survey = true;
            continue;
        }
        if (!opt.startsWith(QLatin1String("-")) && inputPath.isEmpty()) {
            inputPath = opt;
            continue;
        }
        if (i + 1 >= arguments.size() || !opt.startsWith(QLatin1String("--"))) {
            *error = opt.startsWith(QLatin1String("--"))
                         ? QStringLiteral("%1 needs a value").arg(opt)
                         : QStringLiteral("unexpected argument %1").arg(opt);
            return false;
        }
        const QString v = arguments.at(++i);
        bool ok = true;
        if (opt == QLatin1String("--port")) {
            port = v;
        } else if (opt == QLatin1String("--band")) {
            band = v.toInt(&ok);
            ok = ok && (band == 2400 || band == 900);
        } else if (opt == QLatin1String("--duration")) {
            durationMs = parseDuration(v);
            ok = durationMs > 0;
        } else if (opt == QLatin1String("--rbw")) {
            rbw = v.toInt(&ok);
            ok = ok && rbw >= 32 && rbw <= 255;
        } else if (opt == QLatin1String("--fstep")) {
            fStepKHz = v.toDouble(&ok);
            ok = ok && std::isfinite(fStepKHz) && fStepKHz > 0 && fStepKHz <= 65535;
        } else if (opt == QLatin1String("--out")) {
            outPath = v;
        } else if (opt == QLatin1String("--csv")) {
            csvPath = v;
        } else if (opt == QLatin1String("--report")) {
            reportPath = v;
        } else if (opt == QLatin1String("--limits")) {
            limitsPath = v;
            QString reason;
            if (!LimitFile::load(v, &limits, &watches, &reason)) {
                *error = QStringLiteral("the limit file %1 cannot be used: %2").arg(v, reason);
                return false;
            }
        } else if (opt == QLatin1String("--on-alarm")) {
            onAlarm = v;
            QString reason;
            AlarmCommand check;
            if (!check.setCommandLine(v, &reason)) {
                *error = QStringLiteral("bad value for --on-alarm: %1").arg(reason);
                return false;
            }
        } else if (opt == QLatin1String("--project")) {
            project.projectName = v;
        } else if (opt == QLatin1String("--project-id")) {
            project.projectId = v;
        } else if (opt == QLatin1String("--location")) {
            project.scanLocation = v;
        } else if (opt == QLatin1String("--technician")) {
            project.technicianName = v;
        } else if (opt == QLatin1String("--publish")) {
            publishUrl = v;
        } else if (opt == QLatin1String("--node")) {
            node = v;
            // One topic level and one metrics label: no '/', '+', '#', quotes.
            static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
            ok = name.match(v).hasMatch();
        } else if (opt == QLatin1String("--mqtt-user-file")) {
            mqttUserFile = v;
        } else if (opt == QLatin1String("--mqtt-password-file")) {
            mqttPasswordFile = v;
        } else if (opt == QLatin1String("--mqtt-ca-file")) {
            mqttCaFile = v;
        } else if (opt == QLatin1String("--metrics")) {
            metricsAddress = v;
        } else if (opt == QLatin1String("--mqtt-user") || opt == QLatin1String("--mqtt-password")) {
            // Every user of the machine can read a command line.
            *error = QStringLiteral("%1 is not taken on the command line: use %1-file or the "
                                    "environment variable %2")
                         .arg(opt, opt == QLatin1String("--mqtt-user")
                                       ? QStringLiteral("ORVANEL_MQTT_USER")
                                       : QStringLiteral("ORVANEL_MQTT_PASSWORD"));
            return false;
        } else {
            *error = QStringLiteral("unknown option %1").arg(opt);
            return false;
        }
        if (!ok) {
            *error = QStringLiteral("bad value for %1: %2").arg(opt, v);
            return false;
        }
    }
    if (!onAlarm.isEmpty() && limitsPath.isEmpty()) {
        *error = QStringLiteral("--on-alarm needs --limits FILE.json");
        return false;
    }
    if (!inputPath.isEmpty()) {
        if (!survey && reportPath.isEmpty()) {
            *error = QStringLiteral("a file to read needs --survey or --report");
            return false;
        }
        return true;
    }
    if (!publishUrl.isEmpty() && node.isEmpty()) {
        *error = QStringLiteral("--publish needs --node NAME");
        return false;
    }
    if (outPath.isEmpty() && !isNode()) {
        *error = QStringLiteral("--out FILE.vozi is required (or --publish, --metrics)");
        return false;
    }
    return true;
}

QVariantMap CaptureOptions::scanParameters() const
{
    QVariantMap p = band == 900 ? rfParams900() : rfParams2400();
    if (rbw >= 32)
        p.insert(QStringLiteral("RBW"), rbw);
    if (fStepKHz > 0)
        p.insert(QStringLiteral("FStep"), fStepKHz);
    return p;
}

qint64 CaptureOptions::parseDuration(const QString &text)
{
    static const QRegularExpression whole(
        QStringLiteral("^(?:(\\d+)h)?(?:(\\d+)m)?(?:(\\d+)s?)?$"));
    const QRegularExpressionMatch m = whole.match(text.trimmed());
    if (text.trimmed().isEmpty() || !m.hasMatch())
        return -1;
    const qint64 h = m.captured(1).toLongLong();
    const qint64 min = m.captured(2).toLongLong();
    const qint64 s = m.captured(3).toLongLong();
    // A week is more than any venue needs and keeps the sum far from overflow.
    if (h > 24 * 7 || min > 60 * 24 * 7 || s > 3600 * 24 * 7)
        return -1;
    const qint64 ms = ((h * 60 + min) * 60 + s) * 1000;
    return ms > 0 ? ms : -1;
}

QString CaptureOptions::helpText()
{
    return QStringLiteral(
        "Usage: orvanel-capture [options] --out FILE.vozi\n"
        "       orvanel-capture --survey [--report FILE.html] FILE.vozi|FILE.csv\n"
        "Records the scanner's sweeps without a display until the duration ends or\n"
        "SIGINT/SIGTERM, then writes a recording the program opens. Given a recording\n"
        "or an rtl_power/hackrf_sweep CSV file instead, surveys that file (no device).\n\n"
        "  --port NAME        serial port, or tcp://HOST:PORT (default: find the scanner)\n"
        "  --band 2400|900    band to scan (default 2400)\n"
        "  --duration D       e.g. 30s, 10m, 1h, 1h30m (default: until interrupted)\n"
        "  --rbw N            RBW register value, 32..255\n"
        "  --fstep KHZ        frequency step in kHz\n"
        "  --out FILE.vozi    the recording to write\n"
        "  --csv FILE.csv     also write rtl_power CSV\n"
        "  --survey           print channel utilization, the channels to use and bursts\n"
        "  --report FILE.html also write the survey report (HTML, without pictures)\n"
        "  --limits FILE.json limit lines and channel watches: each alarm start and\n"
        "                     end (also at the capture's end) is a log line\n"
        "  --on-alarm COMMAND run COMMAND (split into words, no shell) for each alarm\n"
        "                     start and end, without waiting; its environment holds\n"
        "                     ORVANEL_ALARM_STATE (start|end), ORVANEL_ALARM_LIMIT,\n"
        "                     ORVANEL_ALARM_FREQUENCY_MHZ, ORVANEL_ALARM_LEVEL_DBM,\n"
        "                     ORVANEL_ALARM_TIME (ISO 8601) and, on end,\n"
        "                     ORVANEL_ALARM_DURATION_S; killed after 10 s\n"
        "  --project NAME, --project-id ID, --location TEXT, --technician NAME\n"
        "                     project information stored in the recording\n"
        "  --publish mqtt[s]://HOST[:PORT]/PREFIX\n"
        "                     publish status, sweeps and channel load to an MQTT broker\n"
        "                     under PREFIX/NODE/ (--out is then optional)\n"
        "  --node NAME        this scanner's name under the prefix (letters, digits, -_.)\n"
        "  --mqtt-user-file F, --mqtt-password-file F\n"
        "                     broker credentials, first line of each file (or the\n"
        "                     environment: ORVANEL_MQTT_USER, ORVANEL_MQTT_PASSWORD)\n"
        "  --mqtt-ca-file F   CA certificate for mqtts:// (or ORVANEL_MQTT_CA_FILE;\n"
        "                     default: the system's)\n"
        "  --metrics [ADDR:]PORT\n"
        "                     serve Prometheus metrics on http://ADDR:PORT/metrics\n"
        "                     (ADDR defaults to 127.0.0.1)\n"
        "Exit codes: 0 done, 1 device or file error (what was captured is still\n"
        "written; a file to survey that cannot be read), 2 bad options.\n");
}
