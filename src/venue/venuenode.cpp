#include "venuenode.h"

#include "appversion.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

VenueNode::VenueNode(const QString &node, QObject *parent) : QObject(parent), m_node(node)
{
    m_status.node = node;
    m_status.version = QString::fromLatin1(orvanelApplicationVersion);
    m_utilizationTimer.setInterval(int(ChannelLoad::WindowMs));
    connect(&m_utilizationTimer, &QTimer::timeout, this, &VenueNode::publishUtilization);
}

VenueNode::~VenueNode()
{
    stop();
}

bool VenueNode::start(const VenueNodeOptions &options, const QProcessEnvironment &environment,
                      QString *error)
{
    if (!options.metricsAddress.isEmpty()) {
        QHostAddress address;
        quint16 port = 0;
        if (!parseListenAddress(options.metricsAddress, &address, &port, error) ||
            !startMetrics(address, port, error))
            return false;
    }
    if (options.publishUrl.isEmpty())
        return true;
    MqttSettings settings;
    return MqttSettings::parseUrl(options.publishUrl, &settings, error) &&
           settings.loadCredentials(options.userFile, options.passwordFile, options.caFile,
                                    environment, error) &&
           startPublishing(settings, error);
}

bool VenueNode::startPublishing(const MqttSettings &settings, QString *error)
{
    m_publisher = std::make_unique<VenuePublisher>(settings, m_node);
    m_publisher->setStatus(m_status);
    if (!m_publisher->start(error)) {
        m_publisher.reset();
        return false;
    }
    m_utilizationTimer.start();
    return true;
}

bool VenueNode::startMetrics(const QHostAddress &address, quint16 port, QString *error)
{
    m_metrics = std::make_unique<MetricsServer>([this] { return metrics().exposition(); });
    if (!m_metrics->listen(address, port, error)) {
        m_metrics.reset();
        return false;
    }
    return true;
}

void VenueNode::stop()
{
    m_utilizationTimer.stop();
    if (m_publisher)
        m_publisher->stop();
    m_metrics.reset();
}

void VenueNode::setPlan(int band, double firstMHz, double stepKHz, int points)
{
    m_status.band = band == 900 ? QStringLiteral("900") : QStringLiteral("2400");
    m_status.firstMHz = firstMHz;
    m_status.stepKHz = stepKHz;
    m_status.points = points;
    m_template.band = band == 900 ? SweepPayload::Band900 : SweepPayload::Band2400;
    m_template.firstHz = quint32(qRound64(firstMHz * 1e6));
    m_template.stepHz = quint32(qRound64(stepKHz * 1e3));
    m_load.setBand(band == 900 ? 915 : 2450);
    publishStatus();
}

void VenueNode::setDevice(const QString &device)
{
    m_status.device = device;
    publishStatus();
}

void VenueNode::setState(NodeStatus::State state)
{
    if (m_status.state == state)
        return;
    m_status.state = state;
    publishStatus();
}

void VenueNode::publishStatus()
{
    m_status.time = QDateTime::currentMSecsSinceEpoch();
    if (m_publisher)
        m_publisher->setStatus(m_status);
}

void VenueNode::addSweep(qint64 timeStamp, const QVector<qint8> &levels)
{
    ++m_sweeps;
    m_load.addSweep(timeStamp, levels);
    if (!m_publisher)
        return;
    m_template.timeStamp = timeStamp;
    m_template.levels = levels; // shared, not copied
    m_publisher->publishSweep(m_template);
}

void VenueNode::publishUtilization()
{
    if (m_publisher && m_load.sweepsInWindow() > 0)
        m_publisher->publishUtilization(
            m_load.utilizationJson(m_node, m_status.band, QDateTime::currentMSecsSinceEpoch()));
}

QByteArray VenueNode::alarmJson(const QString &node, const AlarmEvent &event)
{
    QJsonObject o{
        {QStringLiteral("node"), node},
        {QStringLiteral("state"),
         event.state == AlarmEvent::Start ? QStringLiteral("start") : QStringLiteral("end")},
        {QStringLiteral("source"),
         event.source == AlarmEvent::Limit ? QStringLiteral("limit") : QStringLiteral("watch")},
        {QStringLiteral("name"), event.name},
        {QStringLiteral("frequencyMHz"), event.frequencyMHz},
        {QStringLiteral("levelDbm"), event.levelDbm},
        {QStringLiteral("time"), double(event.timeMs)}};
    if (event.state == AlarmEvent::End)
        o.insert(QStringLiteral("durationMs"), double(event.durationMs));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void VenueNode::addAlarmEvents(const QVector<AlarmEvent> &events)
{
    for (const AlarmEvent &e : events) {
        m_alarms.insert(qMakePair(int(e.source), e.name), e.state == AlarmEvent::Start);
        if (m_publisher)
            m_publisher->publishAlarm(alarmJson(m_node, e));
    }
}

NodeMetrics VenueNode::metrics()
{
    NodeMetrics m;
    m.node = m_node;
    m.band = m_status.band;
    m.sweepsTotal = m_sweeps;
    m.deviceUp = m_status.state != NodeStatus::Offline;
    if (m_publisher) {
        m.brokerUp = m_publisher->isConnected() ? 1 : 0;
        m.sweepsPublished = m_publisher->sweepsPublished();
        m.sweepsNotPublished = m_publisher->sweepsNotPublished();
    }
    m.channels = m_load.channels();
    for (auto it = m_alarms.cbegin(); it != m_alarms.cend(); ++it)
        m.alarms.append({it.key().first == AlarmEvent::Limit ? QStringLiteral("limit")
                                                             : QStringLiteral("watch"),
                         it.key().second, it.value()});
    return m;
}
