#include "venuepublisher.h"

#include <QDateTime>

VenuePublisher::VenuePublisher(const MqttSettings &settings, const QString &node, QObject *parent)
    : QObject(parent), m_link(settings, QStringLiteral("orvanel-") + node), m_node(node)
{
    m_status.node = node;
    connect(&m_link, &MqttLink::connectedChanged, this, [this](bool connected) {
        // A broker that restarted without persistence forgot the retained
        // status: say it again on every connect.
        if (connected && m_started)
            m_link.publish(topic("status"), m_status.toJson(), 1, true);
        emit connectedChanged(connected);
    });
}

VenuePublisher::~VenuePublisher()
{
    stop();
}

QString VenuePublisher::topic(const char *kind) const
{
    return m_link.settings().prefix + QLatin1Char('/') + m_node + QLatin1Char('/') +
           QLatin1String(kind);
}

QByteArray VenuePublisher::offlineStatus() const
{
    NodeStatus s = m_status;
    s.state = NodeStatus::Offline;
    s.time = QDateTime::currentMSecsSinceEpoch();
    return s.toJson();
}

bool VenuePublisher::start(QString *error)
{
    m_link.setWill(topic("status"), offlineStatus(), 1, true);
    m_started = m_link.open(error);
    return m_started;
}

void VenuePublisher::stop()
{
    if (!m_started)
        return;
    m_started = false;
    m_link.publish(topic("status"), offlineStatus(), 1, true);
    m_link.close();
}

void VenuePublisher::setStatus(const NodeStatus &status)
{
    m_status = status;
    m_status.node = m_node;
    if (m_status.time == 0)
        m_status.time = QDateTime::currentMSecsSinceEpoch();
    if (m_started)
        m_link.publish(topic("status"), m_status.toJson(), 1, true);
}

bool VenuePublisher::publishSweep(const SweepPayload &sweep)
{
    const QByteArray payload = sweep.encode();
    const bool ok =
        m_started && !payload.isEmpty() && m_link.publish(topic("sweeps"), payload, 0, false);
    ++(ok ? m_published : m_notPublished);
    return ok;
}

void VenuePublisher::publishUtilization(const QByteArray &json)
{
    if (m_started)
        m_link.publish(topic("utilization"), json, 1, true);
}

void VenuePublisher::publishAlarm(const QByteArray &json)
{
    if (m_started)
        m_link.publish(topic("alarms"), json, 1, false);
}
