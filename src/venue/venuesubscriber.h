#pragma once

#include "mqttlink.h"
#include "nodestatus.h"
#include "sweeppayload.h"

#include <QMap>
#include <QMetaType>
#include <QObject>

Q_DECLARE_METATYPE(NodeStatus)
Q_DECLARE_METATYPE(SweepPayload)

//! A watcher's side of the broker: the nodes under a prefix (from their
//! retained status) and their sweeps, decoded. A payload that does not decode
//! is refused with a log line and never reaches a page.
class VenueSubscriber : public QObject
{
    Q_OBJECT
public:
    //! What a watcher hears of the nodes under the prefix.
    enum class Scope
    {
        Everything, //!< status, sweeps, utilization and alarms of every node
        StatusOnly  //!< only the nodes' status: a list of them, no sweeps
    };

    explicit VenueSubscriber(const MqttSettings &settings, QObject *parent = nullptr);
    //! Only node `node` (every node when empty), only what `scope` names.
    VenueSubscriber(const MqttSettings &settings, const QString &node, Scope scope,
                    QObject *parent = nullptr);

    bool start(QString *error);
    void stop();
    bool isConnected() const { return m_link.isConnected(); }
    const MqttSettings &settings() const { return m_link.settings(); }

    //! Every node heard of, by name, with its newest status.
    const QMap<QString, NodeStatus> &nodes() const { return m_nodes; }
    quint64 refusedCount() const { return m_refused; }

signals:
    void connectedChanged(bool connected);
    //! See MqttLink::connectionFailed().
    void connectionFailed(const QString &reason);
    void nodeStatusChanged(const QString &node, const NodeStatus &status);
    //! `delayMs`: from the node's time stamp to this program's receipt.
    void sweepReceived(const QString &node, const SweepPayload &sweep, qint64 delayMs);
    void utilizationReceived(const QString &node, const QByteArray &json);
    void alarmReceived(const QString &node, const QByteArray &json);
    void payloadRefused(const QString &node, const QString &reason);

private:
    void onMessage(const QString &topic, const QByteArray &payload, qint64 receivedMs);
    void refuse(const QString &node, const QString &what, const QString &reason);

    MqttLink m_link;
    QMap<QString, NodeStatus> m_nodes;
    QMap<QString, quint64> m_refusedPerNode;
    quint64 m_refused = 0;
};
