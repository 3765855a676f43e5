#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <atomic>

struct mosquitto;
struct mosquitto_message;

//! Where and how to reach the broker: mqtt[s]://HOST[:PORT]/PREFIX.
struct MqttSettings
{
    QString host;
    quint16 port = 1883;
    QString prefix; //!< topic prefix, no leading or trailing '/'
    bool tls = false;
    QString user;     //!< empty: anonymous
    QString password; //!< only with a user
    QString caFile;   //!< mqtts: the CA to trust; empty: the system's
    int keepAliveS = 10;
    int reconnectMinS = 1; //!< first retry; doubled up to reconnectMaxS
    int reconnectMaxS = 30;

    //! False with a message when `url` is not mqtt[s]://HOST[:PORT]/PREFIX
    //! with a prefix usable in topics (no '+', '#', empty levels).
    static bool parseUrl(const QString &url, MqttSettings *out, QString *error);

    //! Secrets never come from the command line, where every user of the
    //! machine can read them: the user name and password from files (first
    //! line, the file's own line end removed) or else from ORVANEL_MQTT_USER
    //! and ORVANEL_MQTT_PASSWORD; the CA file from the option or
    //! ORVANEL_MQTT_CA_FILE. False with a message on an unreadable file.
    bool loadCredentials(const QString &userFile, const QString &passwordFile,
                         const QString &caFile, const QProcessEnvironment &environment,
                         QString *error);

    //! "mqtt://host:port/prefix", without credentials, for logs.
    QString displayUrl() const;
};

//! One connection to the broker through libmosquitto's own network thread, so
//! that neither a slow nor a vanished broker ever holds up the caller. Lost
//! connections are retried with exponential backoff; subscriptions given
//! before open() are renewed on every connect. Signals reach the receiver
//! queued from the network thread.
class MqttLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxMessageBytes = 1 << 20;

    MqttLink(const MqttSettings &settings, const QString &clientId, QObject *parent = nullptr);
    ~MqttLink() override;

    const MqttSettings &settings() const { return m_settings; }

    //! What the broker publishes for us when we vanish without a goodbye.
    //! Before open().
    void setWill(const QString &topic, const QByteArray &payload, int qos, bool retain);
    //! Topic filters to subscribe on every connect. Before open().
    void addSubscription(const QString &filter, int qos);

    //! Starts connecting in the background; false with a message only when
    //! the settings cannot work at all (TLS files, out of memory). A broker
    //! that is not there yet is retried.
    bool open(QString *error);
    //! Says goodbye (no last will) and stops the network thread.
    void close();

    //! Queues one message; false when it was not queued (QoS 0 while not
    //! connected, a full queue). Never waits for the network.
    bool publish(const QString &topic, const QByteArray &payload, int qos, bool retain);

    bool isConnected() const { return m_connected.load(); }

signals:
    void connectedChanged(bool connected);
    //! `receivedMs`: wall-clock time the network thread took it.
    void messageReceived(const QString &topic, const QByteArray &payload, qint64 receivedMs,
                         bool retained);
    //! The broker could not be reached or refused us (a TLS certificate that
    //! does not verify, a wrong password): said once per different reason,
    //! while the retries go on.
    void connectionFailed(const QString &reason);

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onLog(mosquitto *, void *self, int level, const char *text);
    void fail(const QString &reason);

    MqttSettings m_settings;
    QString m_clientId;
    QString m_willTopic;
    QByteArray m_willPayload;
    int m_willQos = 0;
    bool m_willRetain = false;
    QList<QPair<QByteArray, int>> m_subscriptions;
    mosquitto *m_mosq = nullptr;
    bool m_loopRunning = false;
    std::atomic<bool> m_connected{false};
    std::atomic<int> m_lastConnectError{-1};
    QString m_lastFailure; //!< network thread only
};
