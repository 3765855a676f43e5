#include "limitline.h"

#include "channelwatch.h"

#include "limitslog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

std::optional<double> LimitLine::levelAt(double frequencyMHz) const
{
    if (points.isEmpty() || !std::isfinite(frequencyMHz) ||
        frequencyMHz < points.first().frequencyMHz || frequencyMHz > points.last().frequencyMHz)
        return std::nullopt;
    const auto after =
        std::upper_bound(points.cbegin(), points.cend(), frequencyMHz,
                         [](double f, const LimitPoint &p) { return f < p.frequencyMHz; });
    const LimitPoint &a = *(after - 1);
    if (a.frequencyMHz == frequencyMHz) {
        // On a step (points sharing a frequency) the lowest level counts: a
        // mask is drawn to catch, so the stricter side holds at the edge.
        double level = a.levelDbm;
        for (auto p = after - 1; p != points.cbegin() && (p - 1)->frequencyMHz == frequencyMHz;)
            level = std::min(level, (--p)->levelDbm);
        return level;
    }
    const LimitPoint &b = *after;
    return a.levelDbm + (b.levelDbm - a.levelDbm) * (frequencyMHz - a.frequencyMHz) /
                            (b.frequencyMHz - a.frequencyMHz);
}

bool LimitLine::operator==(const LimitLine &o) const
{
    return name == o.name && band == o.band && points == o.points && trace == o.trace &&
           maxSweeps == o.maxSweeps && holdSeconds == o.holdSeconds &&
           clearSeconds == o.clearSeconds && enabled == o.enabled;
}

QString limitBandName(LimitBand band)
{
    return band == LimitBand::Band900 ? QStringLiteral("900") : QStringLiteral("2400");
}

std::optional<LimitBand> limitBandFromName(const QString &name)
{
    if (name == QLatin1String("2400"))
        return LimitBand::Band2400;
    if (name == QLatin1String("900"))
        return LimitBand::Band900;
    return std::nullopt;
}

void limitBandRange(LimitBand band, double *lowMHz, double *highMHz)
{
    const bool is900 = band == LimitBand::Band900;
    *lowMHz = is900 ? 902 : 2400;
    *highMHz = is900 ? 928 : 2500;
}

namespace LimitFile {

namespace {

// Reads one limit object; on failure `error` says which key and why, the
// caller adds which limit.
bool readLimit(const QJsonObject &o, LimitLine *line, QString *error)
{
    const QJsonValue name = o.value(QLatin1String("name"));
    if (!name.isString() || name.toString().trimmed().isEmpty()) {
        *error = QStringLiteral("\"name\" must be a non-empty text");
        return false;
    }
    line->name = name.toString();

    const std::optional<LimitBand> band =
        limitBandFromName(o.value(QLatin1String("band")).toString());
    if (!band) {
        *error = QStringLiteral("\"band\" must be \"2400\" or \"900\"");
        return false;
    }
    line->band = *band;

    const QJsonValue traceValue = o.value(QLatin1String("trace"));
    const QString trace = traceValue.toString();
    if (traceValue.isUndefined() || trace == QLatin1String("current"))
        line->trace = LimitTrace::Current;
    else if (trace == QLatin1String("max"))
        line->trace = LimitTrace::Max;
    else {
        *error = QStringLiteral("\"trace\" must be \"current\" or \"max\"");
        return false;
    }

    const QJsonValue sweeps = o.value(QLatin1String("maxSweeps"));
    if (!sweeps.isUndefined()) {
        const double n = sweeps.toDouble(-1);
        if (!sweeps.isDouble() || n != std::floor(n) || n < 1 || n > LimitLine::MaxMaxSweeps) {
            *error = QStringLiteral("\"maxSweeps\" must be a whole number from 1 to %1")
                         .arg(LimitLine::MaxMaxSweeps);
            return false;
        }
        line->maxSweeps = int(n);
    }

    for (const auto &[key, target] : {std::pair{"holdSeconds", &line->holdSeconds},
                                      std::pair{"clearSeconds", &line->clearSeconds}}) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            continue;
        const double s = v.toDouble(-1);
        if (!v.isDouble() || !std::isfinite(s) || s < 0 || s > MaxSeconds) {
            *error = QStringLiteral("\"%1\" must be a number of seconds from 0 to %2")
                         .arg(QLatin1String(key))
                         .arg(MaxSeconds);
            return false;
        }
        *target = s;
    }

    const QJsonValue enabled = o.value(QLatin1String("enabled"));
    if (!enabled.isUndefined() && !enabled.isBool()) {
        *error = QStringLiteral("\"enabled\" must be true or false");
        return false;
    }
    line->enabled = enabled.toBool(true);

    const QJsonValue pointsValue = o.value(QLatin1String("points"));
    const QJsonArray points = pointsValue.toArray();
    if (!pointsValue.isArray() || points.isEmpty() || points.size() > MaxPoints) {
        *error = QStringLiteral("\"points\" must be a list of 1 to %1 points").arg(MaxPoints);
        return false;
    }
    double low = 0;
    double high = 0;
    limitBandRange(line->band, &low, &high);
    line->points.clear();
    line->points.reserve(points.size());
    for (int i = 0; i < points.size(); ++i) {
        const QJsonArray p = points.at(i).toArray();
        const double f = p.size() == 2 && p.at(0).isDouble() ? p.at(0).toDouble() : NAN;
        const double l = p.size() == 2 && p.at(1).isDouble() ? p.at(1).toDouble() : NAN;
        if (!std::isfinite(f) || !std::isfinite(l)) {
            *error =
                QStringLiteral("\"points\" item %1 must be [frequency MHz, level dBm]").arg(i + 1);
            return false;
        }
        if (f < low || f > high) {
            *error = QStringLiteral("\"points\" item %1: %2 MHz is outside the %3 band (%4-%5 MHz)")
                         .arg(i + 1)
                         .arg(f)
                         .arg(limitBandName(line->band))
                         .arg(low)
                         .arg(high);
            return false;
        }
        if (l < MinLevelDbm || l > MaxLevelDbm) {
            *error = QStringLiteral("\"points\" item %1: %2 dBm is outside %3..%4 dBm")
                         .arg(i + 1)
                         .arg(l)
                         .arg(MinLevelDbm)
                         .arg(MaxLevelDbm);
            return false;
        }
        line->points.append({f, l});
    }
    // Other tools may list the points in any order; equal frequencies keep
    // their order so a step stays a step.
    std::stable_sort(
        line->points.begin(), line->points.end(),
        [](const LimitPoint &a, const LimitPoint &b) { return a.frequencyMHz < b.frequencyMHz; });
    return true;
}

} // namespace

bool fromJson(const QByteArray &json, QVector<LimitLine> *limits, QString *error)
{
    return fromJson(json, limits, nullptr, error);
}

bool fromJson(const QByteArray &json, QVector<LimitLine> *limits, QVector<ChannelWatch> *watches,
              QString *error)
{
    QString problem;
    const auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        qCWarning(lcLimits) << "limit file refused:" << message;
        return false;
    };
    if (json.size() > MaxFileBytes)
        return fail(QStringLiteral("the file is larger than %1 bytes").arg(MaxFileBytes));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(QStringLiteral("not valid JSON at byte %1: %2")
                        .arg(parseError.offset)
                        .arg(parseError.errorString()));
    const QJsonValue list = doc.object().value(QLatin1String("limits"));
    const QJsonValue watchList = doc.object().value(QLatin1String("watches"));
    const bool onlyWatches = watches && list.isUndefined() && watchList.isArray();
    if (!doc.isObject() || (!list.isArray() && !onlyWatches))
        return fail(QStringLiteral("the file has no \"limits\" list"));
    const QJsonArray array = list.toArray();
    if (array.size() > MaxLimits)
        return fail(QStringLiteral("the file has %1 limits, at most %2 are allowed")
                        .arg(array.size())
                        .arg(MaxLimits));
    QVector<LimitLine> read;
    read.reserve(array.size());
    for (int i = 0; i < array.size(); ++i) {
        LimitLine line;
        const QJsonObject o = array.at(i).toObject();
        const QString name = o.value(QLatin1String("name")).toString();
        const QString which = name.isEmpty()
                                  ? QStringLiteral("limit %1").arg(i + 1)
                                  : QStringLiteral("limit %1 (\"%2\")").arg(i + 1).arg(name);
        if (!array.at(i).isObject())
            return fail(QStringLiteral("%1 is not an object").arg(which));
        if (!readLimit(o, &line, &problem))
            return fail(QStringLiteral("%1: %2").arg(which, problem));
        read.append(line);
    }

    QVector<ChannelWatch> readWatches;
    if (watches && !watchList.isUndefined()) {
        if (!watchList.isArray())
            return fail(QStringLiteral("\"watches\" is not a list"));
        const QJsonArray items = watchList.toArray();
        if (items.size() > MaxWatches)
            return fail(QStringLiteral("the file has %1 watches, at most %2 are allowed")
                            .arg(items.size())
                            .arg(MaxWatches));
        for (int i = 0; i < items.size(); ++i) {
            ChannelWatch watch;
            const QString name = items.at(i).toObject().value(QLatin1String("name")).toString();
            const QString which = name.isEmpty()
                                      ? QStringLiteral("watch %1").arg(i + 1)
                                      : QStringLiteral("watch %1 (\"%2\")").arg(i + 1).arg(name);
            if (!items.at(i).isObject())
                return fail(QStringLiteral("%1 is not an object").arg(which));
            if (!readWatch(items.at(i).toObject(), &watch, &problem))
                return fail(QStringLiteral("%1: %2").arg(which, problem));
            readWatches.append(watch);
        }
    }
    *limits = read;
    if (watches)
        *watches = readWatches;
    return true;
}

QByteArray toJson(const QVector<LimitLine> &limits)
{
    return toJson(limits, {});
}

QByteArray toJson(const QVector<LimitLine> &limits, const QVector<ChannelWatch> &watches)
{
    QJsonArray array;
    for (const LimitLine &line : limits) {
        QJsonArray points;
        for (const LimitPoint &p : line.points)
            points.append(QJsonArray{p.frequencyMHz, p.levelDbm});
        array.append(QJsonObject{
            {QStringLiteral("name"), line.name},
            {QStringLiteral("band"), limitBandName(line.band)},
            {QStringLiteral("points"), points},
            {QStringLiteral("trace"),
             line.trace == LimitTrace::Max ? QStringLiteral("max") : QStringLiteral("current")},
            {QStringLiteral("maxSweeps"), line.maxSweeps},
            {QStringLiteral("holdSeconds"), line.holdSeconds},
            {QStringLiteral("clearSeconds"), line.clearSeconds},
            {QStringLiteral("enabled"), line.enabled},
        });
    }
    QJsonObject root{{QStringLiteral("limits"), array}};
    if (!watches.isEmpty()) {
        QJsonArray watchArray;
        for (const ChannelWatch &watch : watches)
            watchArray.append(watchToJson(watch));
        root.insert(QStringLiteral("watches"), watchArray);
    }
    return QJsonDocument(root).toJson();
}

bool load(const QString &path, QVector<LimitLine> *limits, QString *error)
{
    return load(path, limits, nullptr, error);
}

bool load(const QString &path, QVector<LimitLine> *limits, QVector<ChannelWatch> *watches,
          QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    // Read one byte past the bound so an oversized file is refused without
    // reading it whole.
    return fromJson(file.read(MaxFileBytes + 1), limits, watches, error);
}

bool save(const QString &path, const QVector<LimitLine> &limits, QString *error)
{
    return save(path, limits, {}, error);
}

bool save(const QString &path, const QVector<LimitLine> &limits,
          const QVector<ChannelWatch> &watches, QString *error)
{
    QSaveFile file(path);
    const auto fail = [&] {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    // The temporary file takes the umask or an old file's mode; a limit file
    // decides what raises alarms, so nobody else may change it.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ReadGroup | QFileDevice::ReadOther))
        return fail();
    const QByteArray json = toJson(limits, watches);
    if (file.write(json) != json.size())
        return fail();
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace LimitFile
