#include "venuesubscriber.h"

#include "venuelog.h"

VenueSubscriber::VenueSubscriber(const MqttSettings &settings, QObject *parent)
    : VenueSubscriber(settings, QString(), Scope::Everything, parent)
{
}

VenueSubscriber::VenueSubscriber(const MqttSettings &settings, const QString &node, Scope scope,
                                 QObject *parent)
    : QObject(parent), m_link(settings, QString())
{
    qRegisterMetaType<NodeStatus>();
    qRegisterMetaType<SweepPayload>();
    // One node's page subscribes to that node alone, so the broker sends
    // nothing of the others, and its unsubscription ends with the page.
    const QString level = node.isEmpty() ? QStringLiteral("+") : node;
    const QString base = settings.prefix + QLatin1Char('/') + level + QLatin1Char('/');
    m_link.addSubscription(base + QStringLiteral("status"), 1);
    if (scope == Scope::Everything) {
        m_link.addSubscription(base + QStringLiteral("sweeps"), 0);
        m_link.addSubscription(base + QStringLiteral("utilization"), 1);
        m_link.addSubscription(base + QStringLiteral("alarms"), 1);
    }
    connect(&m_link, &MqttLink::connectedChanged, this, &VenueSubscriber::connectedChanged);
    connect(&m_link, &MqttLink::connectionFailed, this, &VenueSubscriber::connectionFailed);
    connect(&m_link, &MqttLink::messageReceived, this, &VenueSubscriber::onMessage);
}

bool VenueSubscriber::start(QString *error)
{
    return m_link.open(error);
}

void VenueSubscriber::stop()
{
    m_link.close();
}

void VenueSubscriber::refuse(const QString &node, const QString &what, const QString &reason)
{
    ++m_refused;
    const quint64 n = ++m_refusedPerNode[node];
    // A node gone wrong may send thousands a minute: say the first few, then
    // now and then.
    if (n <= 10 || n % 1000 == 0)
        qCWarning(lcVenue, "refused %s from node %s (%llu so far): %s", qPrintable(what),
                  qPrintable(node), static_cast<unsigned long long>(n), qPrintable(reason));
    emit payloadRefused(node, reason);
}

void VenueSubscriber::onMessage(const QString &topic, const QByteArray &payload, qint64 receivedMs)
{
    const QString prefix = m_link.settings().prefix + QLatin1Char('/');
    if (!topic.startsWith(prefix))
        return;
    const QStringList levels = topic.mid(prefix.size()).split(QLatin1Char('/'));
    if (levels.size() != 2 || !isValidNodeName(levels.first()))
        return;
    const QString &node = levels.first();
    const QString &kind = levels.last();
    if (kind == QLatin1String("sweeps")) {
        SweepPayload sweep;
        QString reason;
        if (!SweepPayload::decode(payload, &sweep, &reason))
            return refuse(node, QStringLiteral("a sweep"), reason);
        emit sweepReceived(node, sweep, receivedMs - sweep.timeStamp);
    } else if (kind == QLatin1String("status")) {
        NodeStatus status;
        QString reason;
        // An empty retained message clears the node's topic: it is gone.
        if (payload.isEmpty()) {
            if (m_nodes.remove(node))
                emit nodeStatusChanged(node, NodeStatus());
            return;
        }
        if (!NodeStatus::fromJson(payload, &status, &reason))
            return refuse(node, QStringLiteral("a status"), reason);
        status.node = node; // the topic names the node, whatever the text claims
        m_nodes.insert(node, status);
        emit nodeStatusChanged(node, status);
    } else if (kind == QLatin1String("utilization")) {
        emit utilizationReceived(node, payload);
    } else if (kind == QLatin1String("alarms")) {
        emit alarmReceived(node, payload);
    }
}
