#include "channelwatch.h"

#include "kivoidinfo.h"
#include "wifiapinfo.h"

#include <QRegularExpression>

#include <cmath>

namespace {
constexpr double WifiHalfWidthMHz = 10;
} // namespace

bool ChannelWatch::setTarget(Target t, int number)
{
    double low = 0;
    double high = 0;
    LimitBand b = LimitBand::Band2400;
    if (t == WifiChannel) {
        if (number < 1 || number > 14)
            return false;
        low = wifiChannelFrequencies[size_t(number)] - WifiHalfWidthMHz;
        high = wifiChannelFrequencies[size_t(number)] + WifiHalfWidthMHz;
    } else if (t == KivoId) {
        if (!kivoIdTable().contains(number))
            return false;
        const KivoIdInfo info = kivoIdInfo(number);
        low = info.lowFrequency();
        high = info.highFrequency();
        b = info.centerFrequency < 1000 ? LimitBand::Band900 : LimitBand::Band2400;
    } else {
        return false;
    }
    target = t;
    channel = number;
    band = b;
    lowMHz = low;
    highMHz = high;
    return true;
}

QString ChannelWatch::targetText() const
{
    switch (target) {
    case WifiChannel:
        return QStringLiteral("Wi-Fi %1").arg(channel);
    case KivoId:
        return QStringLiteral("KiVo ID %1").arg(channel);
    case Range:
        break;
    }
    return QStringLiteral("%1-%2 MHz").arg(lowMHz, 0, 'g', 10).arg(highMHz, 0, 'g', 10);
}

bool ChannelWatch::setTargetText(const QString &text, QString *error)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^\s*(wi-?fi|kivo(?:\s*id)?)\s*(\d{1,6})\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text);
    const bool wifi =
        m.hasMatch() && m.captured(1).startsWith(QLatin1Char('w'), Qt::CaseInsensitive);
    if (m.hasMatch() && setTarget(wifi ? WifiChannel : KivoId, m.captured(2).toInt()))
        return true;
    *error =
        m.hasMatch()
            ? (wifi ? QStringLiteral("Wi-Fi channels are 1 to 14")
                    : QStringLiteral("KiVo ID %1 does not exist").arg(m.captured(2)))
            : QStringLiteral("\"%1\" is neither \"Wi-Fi N\" nor \"KiVo ID N\"").arg(text.trimmed());
    return false;
}

bool ChannelWatch::operator==(const ChannelWatch &o) const
{
    return label == o.label && band == o.band && lowMHz == o.lowMHz && highMHz == o.highMHz &&
           levelDbm == o.levelDbm && dutyPercent == o.dutyPercent && holdSeconds == o.holdSeconds &&
           clearSeconds == o.clearSeconds && enabled == o.enabled && target == o.target &&
           channel == o.channel;
}

namespace LimitFile {

namespace {

bool readNumber(const QJsonObject &o, const char *key, double low, double high, double *target,
                const QString &what, QString *error)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    const double d = v.toDouble(NAN);
    if (!v.isDouble() || !std::isfinite(d) || d < low || d > high) {
        *error = QStringLiteral("\"%1\" must be %2 from %3 to %4")
                     .arg(QLatin1String(key), what)
                     .arg(low)
                     .arg(high);
        return false;
    }
    *target = d;
    return true;
}

} // namespace

bool readWatch(const QJsonObject &o, ChannelWatch *watch, QString *error)
{
    const QJsonValue name = o.value(QLatin1String("name"));
    if (!name.isString() || name.toString().trimmed().isEmpty()) {
        *error = QStringLiteral("\"name\" must be a non-empty text");
        return false;
    }
    watch->label = name.toString();

    const QJsonValue wifi = o.value(QLatin1String("wifiChannel"));
    const QJsonValue kivo = o.value(QLatin1String("kivoId"));
    const QJsonValue bandValue = o.value(QLatin1String("band"));
    if (!wifi.isUndefined() && !kivo.isUndefined()) {
        *error = QStringLiteral("give either \"wifiChannel\" or \"kivoId\", not both");
        return false;
    }
    if (wifi.isUndefined() && kivo.isUndefined()) {
        // A plain range, as a watch set up by other means is written.
        const std::optional<LimitBand> band = limitBandFromName(bandValue.toString());
        double low = 0;
        double high = 0;
        if (band)
            limitBandRange(*band, &low, &high);
        watch->target = ChannelWatch::Range;
        watch->channel = 0;
        watch->lowMHz = watch->highMHz = NAN;
        if (!band ||
            !readNumber(o, "lowMHz", low, high, &watch->lowMHz,
                        QStringLiteral("a frequency in MHz"), error) ||
            !readNumber(o, "highMHz", low, high, &watch->highMHz,
                        QStringLiteral("a frequency in MHz"), error) ||
            !(watch->lowMHz <= watch->highMHz)) {
            if (!band || !(watch->lowMHz <= watch->highMHz))
                *error = QStringLiteral("give \"wifiChannel\" or \"kivoId\" (or \"band\", "
                                        "\"lowMHz\" and \"highMHz\")");
            return false;
        }
        watch->band = *band;
    } else {
        const bool isWifi = !wifi.isUndefined();
        const QJsonValue number = isWifi ? wifi : kivo;
        const double n = number.toDouble(NAN);
        if (!number.isDouble() || n != std::floor(n) || std::fabs(n) > 1e6 ||
            !watch->setTarget(isWifi ? ChannelWatch::WifiChannel : ChannelWatch::KivoId, int(n))) {
            *error = isWifi ? QStringLiteral("\"wifiChannel\" must be a channel from 1 to 14")
                            : QStringLiteral("\"kivoId\" must be an ID of the KiVo ID table");
            return false;
        }
        // The channel decides the band; a "band" that says otherwise is a
        // mistake, not something to choose between.
        if (!bandValue.isUndefined() && limitBandFromName(bandValue.toString()) != watch->band) {
            *error = QStringLiteral("\"band\" must be \"%1\" for %2")
                         .arg(limitBandName(watch->band), watch->targetText());
            return false;
        }
    }
    if (o.value(QLatin1String("percent")).isUndefined()) {
        *error = QStringLiteral("\"percent\" is missing");
        return false;
    }
    if (!readNumber(o, "percent", 0, 100, &watch->dutyPercent, QStringLiteral("a percentage"),
                    error) ||
        !readNumber(o, "levelDbm", MinLevelDbm, MaxLevelDbm, &watch->levelDbm,
                    QStringLiteral("a level in dBm"), error) ||
        !readNumber(o, "holdSeconds", 0, MaxSeconds, &watch->holdSeconds,
                    QStringLiteral("a number of seconds"), error) ||
        !readNumber(o, "clearSeconds", 0, MaxSeconds, &watch->clearSeconds,
                    QStringLiteral("a number of seconds"), error))
        return false;

    const QJsonValue enabled = o.value(QLatin1String("enabled"));
    if (!enabled.isUndefined() && !enabled.isBool()) {
        *error = QStringLiteral("\"enabled\" must be true or false");
        return false;
    }
    watch->enabled = enabled.toBool(true);
    return true;
}

QJsonObject watchToJson(const ChannelWatch &watch)
{
    QJsonObject o{
        {QStringLiteral("name"), watch.label},
        {QStringLiteral("band"), limitBandName(watch.band)},
        {QStringLiteral("percent"), watch.dutyPercent},
        {QStringLiteral("levelDbm"), watch.levelDbm},
        {QStringLiteral("holdSeconds"), watch.holdSeconds},
        {QStringLiteral("clearSeconds"), watch.clearSeconds},
        {QStringLiteral("enabled"), watch.enabled},
    };
    if (watch.target == ChannelWatch::Range) {
        o.insert(QStringLiteral("lowMHz"), watch.lowMHz);
        o.insert(QStringLiteral("highMHz"), watch.highMHz);
    } else {
        o.insert(watch.target == ChannelWatch::KivoId ? QStringLiteral("kivoId")
                                                      : QStringLiteral("wifiChannel"),
                 watch.channel);
    }
    return o;
}

} // namespace LimitFile
