#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

//! The lines one peer of the single-instance channel sends, collected from
//! raw bytes as they arrive. Kept apart from the sockets so hostile input can
//! be fed to it directly.
class InstanceLines
{
public:
    //! Lines longer than this are cut; more lines than this end the peer.
    static constexpr int MaxLineLength = 4096;
    static constexpr int MaxLines = 256;

    //! Takes the next bytes; false once the peer has sent too many lines
    //! (everything then is dropped, now and later).
    bool feed(const QByteArray &bytes);
    bool overflowed() const { return m_overflowed; }
    //! The lines, with an unterminated last one; empty after an overflow.
    QStringList finish() const;

private:
    QStringList m_lines;
    QByteArray m_partial; //!< bytes of a line not yet ended by a line feed
    bool m_overflowed = false;
};

// The single-instance channel. The first instance listens; a later start
// connects, writes its arguments as UTF-8 lines and exits. The socket lives in
// $XDG_RUNTIME_DIR when there is one, so two users never meet on one name.
class InstanceChannel : public QObject
{
    Q_OBJECT
public:
    //! Lines longer than this are cut; a peer sending more lines than
    //! `MaxLines` is disconnected. Real command lines are far below both.
    static constexpr int MaxLineLength = InstanceLines::MaxLineLength;
    static constexpr int MaxLines = InstanceLines::MaxLines;

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

    //! Whether the process at the other end of a connected local socket runs
    //! as the same user as this one. Both ends check: the server refuses
    //! other users' arguments, the client does not hand its arguments to a
    //! server another user put up under our name.
    static bool peerIsSameUser(qintptr socketDescriptor);

signals:
    //! Everything one peer sent, emitted when that peer disconnects.
    void argumentsReceived(const QStringList &arguments);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    void onDisconnected(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
    QHash<QLocalSocket *, InstanceLines> m_peers;
};
