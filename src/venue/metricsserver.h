#pragma once

#include "channelload.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>

class QTcpServer;
class QTcpSocket;

//! One node's figures as Prometheus reads them.
struct NodeMetrics
{
    QString node;
    QString band; //!< "2400" or "900"
    quint64 sweepsTotal = 0;
    bool deviceUp = false;
    int brokerUp = -1; //!< 1/0 when publishing, -1 when not
    quint64 sweepsPublished = 0;
    quint64 sweepsNotPublished = 0;
    QVector<ChannelLoad::Channel> channels;
    struct Alarm
    {
        QString source; //!< "limit" or "watch"
        QString name;
        bool active = false;
    };
    QVector<Alarm> alarms; //!< every alarm raised since the start

    //! The text exposition format (version 0.0.4), one HELP and TYPE per
    //! family, labels escaped.
    QByteArray exposition() const;
};

//! "ADDR:PORT", "[V6ADDR]:PORT" or ":PORT"/"PORT" (then 127.0.0.1: metrics
//! are shown to the network only when asked to). False with a message.
bool parseListenAddress(const QString &text, QHostAddress *address, quint16 *port, QString *error);

//! A minimal HTTP/1.1 server for GET /metrics, on the caller's event loop.
//! Each request is answered and the connection closed; a client that sends
//! more than a small header or nothing for a while is dropped.
class MetricsServer : public QObject
{
    Q_OBJECT
public:
    using Provider = std::function<QByteArray()>;

    explicit MetricsServer(Provider provider, QObject *parent = nullptr);

    //! False with a message when the address cannot be bound.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    Provider m_provider;
    QTcpServer *m_server;
};
