#pragma once

#include "channelload.h"
#include "metricsserver.h"
#include "nodestatus.h"
#include "venuepublisher.h"

#include "alarmevaluator.h"

#include <QMap>
#include <QObject>
#include <QPair>
#include <QTimer>

#include <memory>

//! How a node was asked to take part, as a command line gives it.
struct VenueNodeOptions
{
    QString publishUrl; //!< empty: no broker
    QString userFile;
    QString passwordFile;
    QString caFile;
    QString metricsAddress; //!< empty: no metrics
};

//! What a scanner's computer offers the venue: its sweeps to the broker, the
//! channels' load each minute, and its figures to Prometheus. Both parts are
//! optional; sweeps are taken on the caller's thread and handed on without
//! waiting for the network.
class VenueNode : public QObject
{
    Q_OBJECT
public:
    explicit VenueNode(const QString &node, QObject *parent = nullptr);
    ~VenueNode() override;

    //! Both parts as `options` ask, secrets from files or `environment`.
    //! False with a message when an address, a file or the port is unusable.
    bool start(const VenueNodeOptions &options, const QProcessEnvironment &environment,
               QString *error);
    bool startPublishing(const MqttSettings &settings, QString *error);
    bool startMetrics(const QHostAddress &address, quint16 port, QString *error);
    //! Says "offline" and stops serving.
    void stop();

    //! The plan being swept: 900 or 2400, point 0's frequency and the step.
    void setPlan(int band, double firstMHz, double stepKHz, int points);
    void setDevice(const QString &device);
    void setState(NodeStatus::State state);
    //! One sweep as the scanner gave it.
    void addSweep(qint64 timeStamp, const QVector<qint8> &levels);

    //! Alarms that started or ended, from whoever evaluates the limits:
    //! published on PREFIX/NODE/alarms and kept as states for the metrics.
    void addAlarmEvents(const QVector<AlarmEvent> &events);
    //! {"node", "state" ("start"|"end"), "source" ("limit"|"watch"), "name",
    //! "frequencyMHz", "levelDbm", "time", "durationMs" (ends only)}.
    static QByteArray alarmJson(const QString &node, const AlarmEvent &event);

    NodeMetrics metrics();
    VenuePublisher *publisher() const { return m_publisher.get(); }
    MetricsServer *metricsServer() const { return m_metrics.get(); }
    //! How often utilization is published; a minute unless a test says so.
    void setUtilizationIntervalMs(int ms) { m_utilizationTimer.setInterval(ms); }

private:
    void publishStatus();
    void publishUtilization();

    QString m_node;
    NodeStatus m_status;
    SweepPayload m_template;
    ChannelLoad m_load;
    quint64 m_sweeps = 0;
    QMap<QPair<int, QString>, bool> m_alarms; //!< (source, name) -> active
    std::unique_ptr<VenuePublisher> m_publisher;
    std::unique_ptr<MetricsServer> m_metrics;
    QTimer m_utilizationTimer;
};
