#include "rfscene.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

#include <cmath>

namespace {

// Sensible limits keep a typo from building a scene that cannot be drawn
// (a width of 1e9 MHz, a million hops per sweep).
constexpr double MinMHz = 1;
constexpr double MaxMHz = 10000;
constexpr double MinDbm = -127;
constexpr double MaxDbm = 30;
constexpr int MaxHops = 1000;
constexpr int MaxCycleSweeps = 1000000;
constexpr int MaxEmitters = 256;

class Reader
{
public:
    Reader(const QJsonObject &o, const QString &where, QString *error)
        : o(o), where(where), error(error)
    {
    }

    bool has(const char *key) const { return o.contains(QLatin1String(key)); }

    bool number(const char *key, double lo, double hi, double *out, bool required = true)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            if (!required)
                return true;
            return fail(QStringLiteral("missing \"%1\"").arg(QLatin1String(key)));
        }
        if (!v.isDouble() || !std::isfinite(v.toDouble()) || v.toDouble() < lo || v.toDouble() > hi)
            return fail(QStringLiteral("\"%1\" must be a number from %2 to %3")
                            .arg(QLatin1String(key))
                            .arg(lo)
                            .arg(hi));
        *out = v.toDouble();
        return true;
    }

    bool integer(const char *key, int lo, int hi, int *out, bool required = true)
    {
        double d = *out;
        if (!number(key, lo, hi, &d, required))
            return false;
        if (d != std::floor(d))
            return fail(QStringLiteral("\"%1\" must be a whole number").arg(QLatin1String(key)));
        *out = static_cast<int>(d);
        return true;
    }

    bool onlyKeys(std::initializer_list<const char *> keys)
    {
        QSet<QString> allowed;
        for (const char *k : keys)
            allowed.insert(QLatin1String(k));
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!allowed.contains(it.key()))
                return fail(QStringLiteral("unknown key \"%1\"").arg(it.key()));
        }
        return true;
    }

    bool fail(const QString &what)
    {
        *error = where + QStringLiteral(": ") + what;
        return false;
    }

private:
    QJsonObject o;
    QString where;
    QString *error;
};

bool readEmitter(const QJsonObject &o, const QString &where, SimEmitter *e, QString *error)
{
    Reader r(o, where, error);
    const QString type = o.value(QLatin1String("type")).toString();
    if (type == QLatin1String("wifi")) {
        e->type = SimEmitter::Type::Wifi;
        if (!r.onlyKeys({"type", "channel", "centreMHz", "widthMHz", "levelDbm", "duty"}))
            return false;
        if (r.has("channel") == r.has("centreMHz"))
            return r.fail(QStringLiteral("give either \"channel\" or \"centreMHz\""));
        if (r.has("channel")) {
            int channel = 0;
            if (!r.integer("channel", 1, 14, &channel))
                return false;
            e->centreMHz = RfScene::wifiChannelMHz(channel);
        } else if (!r.number("centreMHz", MinMHz, MaxMHz, &e->centreMHz)) {
            return false;
        }
        e->widthMHz = 20;
        e->duty = 0.5;
        return r.number("widthMHz", 0.01, 200, &e->widthMHz, false) &&
               r.number("levelDbm", MinDbm, MaxDbm, &e->levelDbm) &&
               r.number("duty", 0, 1, &e->duty, false);
    }
    if (type == QLatin1String("narrow")) {
        e->type = SimEmitter::Type::Narrow;
        e->duty = 1;
        return r.onlyKeys({"type", "centreMHz", "widthMHz", "levelDbm", "duty", "onSweeps",
                           "offSweeps"}) &&
               r.number("centreMHz", MinMHz, MaxMHz, &e->centreMHz) &&
               r.number("widthMHz", 0.01, 200, &e->widthMHz) &&
               r.number("levelDbm", MinDbm, MaxDbm, &e->levelDbm) &&
               r.number("duty", 0, 1, &e->duty, false) &&
               r.integer("onSweeps", 1, MaxCycleSweeps, &e->onSweeps, false) &&
               r.integer("offSweeps", 0, MaxCycleSweeps, &e->offSweeps, false);
    }
    if (type == QLatin1String("hopper")) {
        e->type = SimEmitter::Type::Hopper;
        if (!(r.onlyKeys({"type", "startMHz", "stopMHz", "widthMHz", "levelDbm", "hopsPerSweep"}) &&
              r.number("startMHz", MinMHz, MaxMHz, &e->startMHz) &&
              r.number("stopMHz", MinMHz, MaxMHz, &e->stopMHz) &&
              r.number("widthMHz", 0.01, 200, &e->widthMHz) &&
              r.number("levelDbm", MinDbm, MaxDbm, &e->levelDbm) &&
              r.integer("hopsPerSweep", 0, MaxHops, &e->hopsPerSweep)))
            return false;
        if (e->stopMHz < e->startMHz)
            return r.fail(QStringLiteral("\"stopMHz\" is below \"startMHz\""));
        return true;
    }
    if (type == QLatin1String("carrier")) {
        e->type = SimEmitter::Type::Carrier;
        e->widthMHz = 0;
        return r.onlyKeys({"type", "centreMHz", "levelDbm", "onSweeps", "offSweeps"}) &&
               r.number("centreMHz", MinMHz, MaxMHz, &e->centreMHz) &&
               r.number("levelDbm", MinDbm, MaxDbm, &e->levelDbm) &&
               r.integer("onSweeps", 1, MaxCycleSweeps, &e->onSweeps, false) &&
               r.integer("offSweeps", 0, MaxCycleSweeps, &e->offSweeps, false);
    }
    return r.fail(QStringLiteral("\"type\" must be one of wifi, narrow, hopper, carrier"));
}

SimEmitter wifi(int channel, double level, double duty)
{
    SimEmitter e;
    e.type = SimEmitter::Type::Wifi;
    e.centreMHz = RfScene::wifiChannelMHz(channel);
    e.widthMHz = 20;
    e.levelDbm = level;
    e.duty = duty;
    return e;
}

SimEmitter hopper(double start, double stop, double width, double level, int hops)
{
    SimEmitter e;
    e.type = SimEmitter::Type::Hopper;
    e.startMHz = start;
    e.stopMHz = stop;
    e.widthMHz = width;
    e.levelDbm = level;
    e.hopsPerSweep = hops;
    return e;
}

SimEmitter carrier(double centre, double level)
{
    SimEmitter e;
    e.type = SimEmitter::Type::Carrier;
    e.centreMHz = centre;
    e.levelDbm = level;
    return e;
}

} // namespace

double RfScene::wifiChannelMHz(int channel)
{
    return channel == 14 ? 2484.0 : 2407.0 + 5.0 * channel;
}

RfScene RfScene::defaultScene()
{
    RfScene s;
    s.noiseFloorDbm = -98;
    s.emitters.append(wifi(1, -52, 0.7));
    s.emitters.append(wifi(6, -63, 0.45));
    s.emitters.append(wifi(11, -71, 0.25));

    SimEmitter zigbee; // channel 20 of the 2.4 GHz ZigBee plan
    zigbee.type = SimEmitter::Type::Narrow;
    zigbee.centreMHz = 2450;
    zigbee.widthMHz = 2;
    zigbee.levelDbm = -74;
    zigbee.duty = 0.2;
    s.emitters.append(zigbee);

    s.emitters.append(hopper(2403, 2479, 1.0, -58, 4));
    s.emitters.append(hopper(903, 927, 0.5, -61, 3));

    s.emitters.append(carrier(906.4, -74));
    s.emitters.append(carrier(913.75, -83));
    s.emitters.append(carrier(921.1, -69));
    return s;
}

bool RfScene::fromJson(const QByteArray &json, RfScene *scene, QString *error)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError) {
        *error =
            QStringLiteral("not valid JSON at offset %1: %2").arg(pe.offset).arg(pe.errorString());
        return false;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("the scene must be a JSON object");
        return false;
    }
    const QJsonObject root = doc.object();
    RfScene s;
    Reader r(root, QStringLiteral("scene"), error);
    if (!r.onlyKeys({"noiseFloorDbm", "emitters"}) ||
        !r.number("noiseFloorDbm", MinDbm, 0, &s.noiseFloorDbm, false))
        return false;
    const QJsonValue list = root.value(QLatin1String("emitters"));
    if (!list.isUndefined() && !list.isArray())
        return r.fail(QStringLiteral("\"emitters\" must be an array"));
    const QJsonArray emitters = list.toArray();
    if (emitters.size() > MaxEmitters)
        return r.fail(QStringLiteral("more than %1 emitters").arg(MaxEmitters));
    for (int i = 0; i < emitters.size(); ++i) {
        const QString where = QStringLiteral("emitter %1").arg(i + 1);
        if (!emitters.at(i).isObject()) {
            *error = where + QStringLiteral(": must be a JSON object");
            return false;
        }
        SimEmitter e;
        if (!readEmitter(emitters.at(i).toObject(), where, &e, error))
            return false;
        s.emitters.append(e);
    }
    *scene = s;
    return true;
}

bool RfScene::fromFile(const QString &path, RfScene *scene, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    // A scene is a few hundred bytes; refuse to slurp something huge by mistake.
    if (f.size() > 1024 * 1024) {
        *error = QStringLiteral("%1 is larger than 1 MiB").arg(path);
        return false;
    }
    QString why;
    if (!fromJson(f.readAll(), scene, &why)) {
        *error = path + QStringLiteral(": ") + why;
        return false;
    }
    return true;
}
