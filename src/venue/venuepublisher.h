#pragma once

#include "mqttlink.h"
#include "nodestatus.h"
#include "sweeppayload.h"

#include <QObject>

//! A node's side of the broker: PREFIX/NODE/status (retained, QoS 1, renewed
//! on every connect; the last will says "offline"), sweeps (QoS 0, dropped
//! while the broker is away, never queued up), utilization (retained, QoS 1)
//! and alarms (QoS 1).
class VenuePublisher : public QObject
{
    Q_OBJECT
public:
    VenuePublisher(const MqttSettings &settings, const QString &node, QObject *parent = nullptr);
    ~VenuePublisher() override;

    QString topic(const char *kind) const;

    //! Sets the will and starts connecting; false only when the settings
    //! cannot work (see MqttLink::open()).
    bool start(QString *error);
    //! Says "offline" and leaves.
    void stop();

    void setStatus(const NodeStatus &status);
    const NodeStatus &status() const { return m_status; }

    bool publishSweep(const SweepPayload &sweep);
    void publishUtilization(const QByteArray &json);
    void publishAlarm(const QByteArray &json);

    bool isConnected() const { return m_link.isConnected(); }
    quint64 sweepsPublished() const { return m_published; }
    quint64 sweepsNotPublished() const { return m_notPublished; }

signals:
    void connectedChanged(bool connected);

private:
    QByteArray offlineStatus() const;

    MqttLink m_link;
    QString m_node;
    NodeStatus m_status;
    bool m_started = false;
    quint64 m_published = 0;
    quint64 m_notPublished = 0;
};
