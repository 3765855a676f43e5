#include "metricsserver.h"

#include "venuelog.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr int MaxRequestBytes = 8192;
constexpr int RequestTimeoutMs = 5000;

QByteArray label(const QString &value)
{
    QByteArray v = value.toUtf8();
    v.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return '"' + v + '"';
}

QByteArray number(double v)
{
    if (qIsNaN(v))
        return QByteArrayLiteral("NaN");
    return QByteArray::number(v, 'g', 10);
}

void family(QByteArray &out, const char *name, const char *type, const char *help)
{
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

QByteArray response(const QByteArray &status, const QByteArray &type, const QByteArray &body)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

QByteArray NodeMetrics::exposition() const
{
    const QByteArray nodeLabel = "node=" + label(node);
    const QByteArray nodeBand = nodeLabel + ",band=" + label(band);
    QByteArray out;
    family(out, "orvanel_sweeps_total", "counter", "Sweeps taken from the scanner.");
    out += "orvanel_sweeps_total{" + nodeBand + "} " + QByteArray::number(sweepsTotal) + '\n';
    family(out, "orvanel_device_up", "gauge", "Whether the scanner is connected (1) or not (0).");
    out += "orvanel_device_up{" + nodeLabel + "} " + (deviceUp ? "1" : "0") + '\n';
    if (brokerUp >= 0) {
        family(out, "orvanel_broker_up", "gauge",
               "Whether the node is connected to its MQTT broker (1) or not (0).");
        out += "orvanel_broker_up{" + nodeLabel + "} " + (brokerUp ? "1" : "0") + '\n';
        family(out, "orvanel_sweeps_published_total", "counter", "Sweeps handed to the broker.");
        out += "orvanel_sweeps_published_total{" + nodeLabel + "} " +
               QByteArray::number(sweepsPublished) + '\n';
        family(out, "orvanel_sweeps_unpublished_total", "counter",
               "Sweeps not published because the broker was away.");
        out += "orvanel_sweeps_unpublished_total{" + nodeLabel + "} " +
               QByteArray::number(sweepsNotPublished) + '\n';
    }
    if (!alarms.isEmpty()) {
        family(out, "orvanel_alarm_active", "gauge",
               "Whether a limit line or channel watch alarm is raised (1) or not (0).");
        for (const Alarm &a : alarms)
            out += "orvanel_alarm_active{" + nodeLabel + ",source=" + label(a.source) +
                   ",name=" + label(a.name) + "} " + (a.active ? "1" : "0") + '\n';
    }
    if (channels.isEmpty())
        return out;
    const auto channelLabels = [&](const ChannelLoad::Channel &c) {
        const bool wifi = c.channel.kind == SurveyChannel::Wifi;
        return nodeBand + ",kind=\"" + (wifi ? "wifi" : "kivo") + "\",channel=\"" +
               QByteArray::number(c.channel.number) + '"';
    };
    family(out, "orvanel_channel_duty_cycle", "gauge",
           "Share of the last minute a Wi-Fi channel or KiVo ID was on air, 0 to 1.");
    for (const ChannelLoad::Channel &c : channels)
        out += "orvanel_channel_duty_cycle{" + channelLabels(c) + "} " + number(c.dutyCycle) + '\n';
    family(out, "orvanel_channel_peak_dbm", "gauge",
           "Strongest level in a Wi-Fi channel or KiVo ID over the last minute, dBm.");
    for (const ChannelLoad::Channel &c : channels)
        out += "orvanel_channel_peak_dbm{" + channelLabels(c) + "} " + number(c.peakDbm) + '\n';
    return out;
}

bool parseListenAddress(const QString &text, QHostAddress *address, quint16 *port, QString *error)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon < 0 ? QString() : text.left(colon);
    const QString portText = colon < 0 ? text : text.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint p = portText.toUInt(&ok);
    QHostAddress a(host.isEmpty() ? QStringLiteral("127.0.0.1") : host);
    if (!ok || p == 0 || p > 65535 || a.isNull()) {
        *error = QStringLiteral("\"%1\" is not ADDRESS:PORT (an IP address and a port)").arg(text);
        return false;
    }
    *address = a;
    *port = quint16(p);
    return true;
}

MetricsServer::MetricsServer(Provider provider, QObject *parent)
    : QObject(parent), m_provider(std::move(provider)), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &MetricsServer::onNewConnection);
}

bool MetricsServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!m_server->listen(address, port)) {
        *error = QStringLiteral("cannot serve metrics on %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(m_server->errorString());
        return false;
    }
    qCInfo(lcVenue, "metrics on http://%s:%u/metrics", qPrintable(address.toString()),
           unsigned(m_server->serverPort()));
    return true;
}

quint16 MetricsServer::port() const
{
    return m_server->serverPort();
}

void MetricsServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(RequestTimeoutMs, socket, [socket] { socket->abort(); });
    }
}

void MetricsServer::onReadyRead(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray request = socket->property("request").toByteArray();
    request += socket->read(MaxRequestBytes + 1 - request.size());
    if (request.size() > MaxRequestBytes) {
        socket->abort();
        return;
    }
    const int end = request.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("request", request);
        return;
    }
    socket->setProperty("answered", true);
    const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
    QByteArray reply;
    if (line.size() != 3 || !line.at(2).startsWith("HTTP/1.")) {
        reply = response("400 Bad Request", "text/plain", "bad request\n");
    } else if (line.at(0) != "GET" && line.at(0) != "HEAD") {
        reply = response("405 Method Not Allowed", "text/plain", "GET only\n");
    } else if (line.at(1) != "/metrics" && !line.at(1).startsWith("/metrics?")) {
        reply = response("404 Not Found", "text/plain", "see /metrics\n");
    } else {
        reply = response("200 OK", "text/plain; version=0.0.4; charset=utf-8", m_provider());
        if (line.at(0) == "HEAD")
            reply.truncate(reply.indexOf("\r\n\r\n") + 4);
    }
    socket->write(reply);
    socket->disconnectFromHost();
}
