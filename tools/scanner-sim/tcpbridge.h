#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

//! Serves the emulator's terminal over raw TCP the way ser2net shares a real
//! scanner: one client at a time; while it is connected the bridge holds the
//! terminal open and copies bytes both ways, and when it goes the terminal
//! is closed, as a program closing the port would.
class TcpBridge : public QObject
{
    Q_OBJECT
public:
    TcpBridge(const QString &slavePath, QObject *parent = nullptr);
    ~TcpBridge() override;

    //! Listens on 127.0.0.1:`port` (0: any free port). False with a reason.
    bool listen(int port, QString *error);
    quint16 port() const;

private:
    void onNewConnection();
    void onSocketReadable();
    void onTerminalReadable();
    void dropClient();

    QString m_slavePath;
    QTcpServer *m_server = nullptr;
    QTcpSocket *m_client = nullptr;
    int m_fd = -1; //!< the terminal, open while a client is connected
    QSocketNotifier *m_notifier = nullptr;
};
