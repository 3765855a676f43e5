#include "mqttlink.h"

#include "venuelog.h"

#include <QDateTime>
#include <QFile>
#include <QUrl>

#include <mosquitto.h>

#include <mutex>

namespace {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

bool readFirstLine(const QString &path, QString *out, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    // A secret file is a few bytes; more is a wrong file, not a password.
    QByteArray line = f.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    *out = QString::fromUtf8(line);
    return true;
}

} // namespace

bool MqttSettings::parseUrl(const QString &url, MqttSettings *out, QString *error)
{
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme();
    if (!u.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))) {
        *error = QStringLiteral("\"%1\" is not mqtt[s]://HOST[:PORT]/PREFIX").arg(url);
        return false;
    }
    if (u.host().isEmpty()) {
        *error = QStringLiteral("\"%1\" names no broker host").arg(url);
        return false;
    }
    if (!u.userInfo().isEmpty()) {
        *error = QStringLiteral("credentials do not belong in the broker address; use "
                                "--mqtt-user-file and --mqtt-password-file");
        return false;
    }
    QString prefix = u.path();
    while (prefix.startsWith(QLatin1Char('/')))
        prefix.remove(0, 1);
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    if (prefix.isEmpty() || u.hasFragment() || u.hasQuery() || prefix.contains(QLatin1Char('+')) ||
        prefix.contains(QLatin1Char('#')) || prefix.contains(QStringLiteral("//"))) {
        *error = QStringLiteral("\"%1\": the topic prefix must be one or more levels without "
                                "'+' or '#'")
                     .arg(url);
        return false;
    }
    MqttSettings s = *out;
    s.tls = scheme == QLatin1String("mqtts");
    s.host = u.host();
    s.port = quint16(u.port(s.tls ? 8883 : 1883));
    s.prefix = prefix;
    *out = s;
    return true;
}

bool MqttSettings::loadCredentials(const QString &userFile, const QString &passwordFile,
                                   const QString &caFilePath,
                                   const QProcessEnvironment &environment, QString *error)
{
    user = environment.value(QStringLiteral("ORVANEL_MQTT_USER"));
    password = environment.value(QStringLiteral("ORVANEL_MQTT_PASSWORD"));
    caFile = caFilePath.isEmpty() ? environment.value(QStringLiteral("ORVANEL_MQTT_CA_FILE"))
                                  : caFilePath;
    if (!userFile.isEmpty() && !readFirstLine(userFile, &user, error))
        return false;
    if (!passwordFile.isEmpty() && !readFirstLine(passwordFile, &password, error))
        return false;
    if (!password.isEmpty() && user.isEmpty()) {
        *error = QStringLiteral("a broker password needs a user name");
        return false;
    }
    if (!caFile.isEmpty() && !QFile::exists(caFile)) {
        *error = QStringLiteral("CA file %1 does not exist").arg(caFile);
        return false;
    }
    return true;
}

QString MqttSettings::displayUrl() const
{
    return QStringLiteral("%1://%2:%3/%4")
        .arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), host)
        .arg(port)
        .arg(prefix);
}

MqttLink::MqttLink(const MqttSettings &settings, const QString &clientId, QObject *parent)
    : QObject(parent), m_settings(settings), m_clientId(clientId)
{
    initLibrary();
}

MqttLink::~MqttLink()
{
    close();
}

void MqttLink::setWill(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    m_willTopic = topic;
    m_willPayload = payload;
    m_willQos = qos;
    m_willRetain = retain;
}

void MqttLink::addSubscription(const QString &filter, int qos)
{
    m_subscriptions.append(qMakePair(filter.toUtf8(), qos));
}

bool MqttLink::open(QString *error)
{
    close();
    const auto fail = [this, error](const QString &what, int rc) {
        *error = QStringLiteral("%1: %2").arg(what, QString::fromUtf8(mosquitto_strerror(rc)));
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
        return false;
    };
    const QByteArray id = m_clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq) {
        *error = QStringLiteral("cannot create an MQTT client");
        return false;
    }
    mosquitto_connect_callback_set(m_mosq, &MqttLink::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttLink::onDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttLink::onMessage);
    mosquitto_log_callback_set(m_mosq, &MqttLink::onLog);
    mosquitto_reconnect_delay_set(
        m_mosq, unsigned(qMax(1, m_settings.reconnectMinS)),
        unsigned(qMax(m_settings.reconnectMinS, m_settings.reconnectMaxS)), true);
    // Sweeps are small and wanted now, not gathered for a fuller packet.
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    int rc = MOSQ_ERR_SUCCESS;
    if (!m_settings.user.isEmpty()) {
        rc = mosquitto_username_pw_set(
            m_mosq, m_settings.user.toUtf8().constData(),
            m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData());
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(QStringLiteral("broker credentials"), rc);
    }
    if (m_settings.tls) {
        if (m_settings.caFile.isEmpty()) {
            rc = mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            rc = mosquitto_tls_set(m_mosq, m_settings.caFile.toUtf8().constData(), nullptr, nullptr,
                                   nullptr, nullptr);
        }
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(QStringLiteral("TLS set-up"), rc);
    }
    if (!m_willTopic.isEmpty()) {
        rc = mosquitto_will_set(m_mosq, m_willTopic.toUtf8().constData(), m_willPayload.size(),
                                m_willPayload.constData(), m_willQos, m_willRetain);
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(QStringLiteral("last will"), rc);
    }
    // A broker that is not there yet is no failure: the network thread keeps
    // trying with backoff, as it does after a lost connection.
    rc = mosquitto_connect_async(m_mosq, m_settings.host.toUtf8().constData(), m_settings.port,
                                 m_settings.keepAliveS);
    if (rc == MOSQ_ERR_INVAL)
        return fail(QStringLiteral("broker address"), rc);
    if (rc != MOSQ_ERR_SUCCESS)
        qCInfo(lcVenue, "broker %s not reachable yet (%s); retrying",
               qPrintable(m_settings.displayUrl()), mosquitto_strerror(rc));
    rc = mosquitto_loop_start(m_mosq);
    if (rc != MOSQ_ERR_SUCCESS)
        return fail(QStringLiteral("MQTT network thread"), rc);
    m_loopRunning = true;
    return true;
}

void MqttLink::close()
{
    if (!m_mosq)
        return;
    mosquitto_disconnect(m_mosq);
    if (m_loopRunning)
        mosquitto_loop_stop(m_mosq, false);
    m_loopRunning = false;
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
    if (m_connected.exchange(false))
        emit connectedChanged(false);
}

bool MqttLink::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    if (!m_mosq || (qos == 0 && !m_connected.load()))
        return false;
    const int rc = mosquitto_publish(m_mosq, nullptr, topic.toUtf8().constData(), payload.size(),
                                     payload.constData(), qos, retain);
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttLink::onConnect(mosquitto *mosq, void *self, int rc)
{
    auto *link = static_cast<MqttLink *>(self);
    if (rc != 0) {
        if (link->m_lastConnectError.exchange(rc) != rc)
            qCWarning(lcVenue, "broker %s refused the connection: %s",
                      qPrintable(link->m_settings.displayUrl()), mosquitto_connack_string(rc));
        link->fail(QString::fromUtf8(mosquitto_connack_string(rc)));
        return;
    }
    link->m_lastConnectError.store(-1);
    link->m_lastFailure.clear();
    for (const auto &s : qAsConst(link->m_subscriptions))
        mosquitto_subscribe(mosq, nullptr, s.first.constData(), s.second);
    qCInfo(lcVenue, "connected to %s", qPrintable(link->m_settings.displayUrl()));
    link->m_connected.store(true);
    emit link->connectedChanged(true);
}

void MqttLink::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *link = static_cast<MqttLink *>(self);
    if (rc != 0)
        qCWarning(lcVenue, "lost the broker %s; retrying",
                  qPrintable(link->m_settings.displayUrl()));
    if (link->m_connected.exchange(false))
        emit link->connectedChanged(false);
}

void MqttLink::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *link = static_cast<MqttLink *>(self);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    // Nothing this program reads comes near this; a flood of huge messages
    // should not be copied again on its way to being refused.
    if (message->payloadlen > MqttLink::MaxMessageBytes) {
        qCWarning(lcVenue, "dropped a message of %d bytes on %s", message->payloadlen,
                  message->topic);
        return;
    }
    emit link->messageReceived(
        QString::fromUtf8(message->topic),
        QByteArray(static_cast<const char *>(message->payload), message->payloadlen), now,
        message->retain);
}

void MqttLink::fail(const QString &reason)
{
    if (reason == m_lastFailure)
        return;
    m_lastFailure = reason;
    emit connectionFailed(reason);
}

void MqttLink::onLog(mosquitto *, void *self, int level, const char *text)
{
    // Only errors: a TLS handshake that fails says why here and nowhere else.
    if (level != MOSQ_LOG_ERR || !text)
        return;
    auto *link = static_cast<MqttLink *>(self);
    const QString reason = QString::fromUtf8(text);
    if (reason != link->m_lastFailure)
        qCWarning(lcVenue, "broker %s: %s", qPrintable(link->m_settings.displayUrl()), text);
    link->fail(reason);
}
