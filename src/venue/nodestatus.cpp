#include "nodestatus.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

QString NodeStatus::stateName(State state)
{
    switch (state) {
    case Scanning:
        return QStringLiteral("scanning");
    case Connected:
        return QStringLiteral("connected");
    case Offline:
        break;
    }
    return QStringLiteral("offline");
}

QByteArray NodeStatus::toJson() const
{
    const QJsonObject plan{{QStringLiteral("firstMHz"), firstMHz},
                           {QStringLiteral("stepKHz"), stepKHz},
                           {QStringLiteral("points"), points}};
    const QJsonObject o{
        {QStringLiteral("node"), node},        {QStringLiteral("device"), device},
        {QStringLiteral("band"), band},        {QStringLiteral("plan"), plan},
        {QStringLiteral("version"), version},  {QStringLiteral("state"), stateName(state)},
        {QStringLiteral("time"), double(time)}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool NodeStatus::fromJson(const QByteArray &json, NodeStatus *out, QString *reason)
{
    const auto refuse = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (json.trimmed() == "offline") {
        *out = NodeStatus();
        return true;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (!doc.isObject())
        return refuse(error.error != QJsonParseError::NoError ? error.errorString()
                                                              : QStringLiteral("not an object"));
    const QJsonObject o = doc.object();
    const QString state = o.value(QStringLiteral("state")).toString();
    NodeStatus s;
    if (state == QLatin1String("scanning"))
        s.state = Scanning;
    else if (state == QLatin1String("connected"))
        s.state = Connected;
    else if (state != QLatin1String("offline"))
        return refuse(QStringLiteral("unknown state \"%1\"").arg(state.left(32)));
    s.node = o.value(QStringLiteral("node")).toString();
    s.device = o.value(QStringLiteral("device")).toString();
    s.band = o.value(QStringLiteral("band")).toString();
    const QJsonObject plan = o.value(QStringLiteral("plan")).toObject();
    s.firstMHz = plan.value(QStringLiteral("firstMHz")).toDouble();
    s.stepKHz = plan.value(QStringLiteral("stepKHz")).toDouble();
    s.points = plan.value(QStringLiteral("points")).toInt();
    s.version = o.value(QStringLiteral("version")).toString();
    s.time = qint64(o.value(QStringLiteral("time")).toDouble());
    *out = s;
    return true;
}

bool isValidNodeName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    return re.match(name).hasMatch();
}
