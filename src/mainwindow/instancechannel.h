#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// The single-instance channel. The first instance listens; a later start
// connects, writes its arguments as UTF-8 lines and exits. The socket lives in
// $XDG_RUNTIME_DIR when there is one, so two users never meet on one name.
class InstanceChannel : public QObject
{
    Q_OBJECT
public:
    //! Lines longer than this are cut; a peer sending more lines than
    //! `MaxLines` is disconnected. Real command lines are far below both.
    static constexpr int MaxLineLength = 4096;
    static constexpr int MaxLines = 256;

    explicit InstanceChannel(QObject *parent = nullptr);
    ~InstanceChannel() override;

    //! "Orvanel", as a full path in $XDG_RUNTIME_DIR when that is set.
    static QString serverName();

    //! Client side: connects to a running instance within `timeoutMs` and
    //! sends `arguments`, one per line. Returns false when nobody listens.
    static bool forwardArguments(const QStringList &arguments, int timeoutMs = 1000);

    //! Server side: listens under serverName(), removing a stale socket that
    //! a crashed instance left behind. Returns the result of listen().
    bool listen();
    QLocalServer *server() const { return m_server; }

signals:
    //! Everything one peer sent, emitted when that peer disconnects.
    void argumentsReceived(const QStringList &arguments);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    void onDisconnected(QLocalSocket *socket);

    struct Peer
    {
        QStringList lines;
        QByteArray partial; //!< bytes of a line not yet ended by a line feed
        bool overflowed = false;
    };

    QLocalServer *m_server = nullptr;
    QHash<QLocalSocket *, Peer> m_peers;
};
