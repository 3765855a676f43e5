#pragma once

#include <functional>

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QSerialPort>
#include <QString>

// Base of the device protocols. Every protocol object shares the one
// process-wide serial port; each keeps its own receive buffer and tracks
// whether an acknowledgement is awaited. Protocol objects are short-lived
// (one per command sequence) and live on the communication thread, where the
// port lives too, so nothing here is locked.
class SerialComms : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool waitingAck READ waitingAck WRITE setWaitingAck NOTIFY waitingAckChanged)

public:
    //! Names, configures and opens the shared port as needed, then clears
    //! its buffers. A port that cannot be opened is reported through error()
    //! once the event loop runs, so whoever owns the object can connect first.
    explicit SerialComms(const QString &portName, QObject *parent = nullptr);
    ~SerialComms() override;

    //! The process-wide port: made on first use with no parent and never
    //! destroyed before exit.
    static QSerialPort *sharedPort();
    //! What the protocol objects read and write: the shared serial port, or
    //! the network link when the port name is "tcp://HOST:PORT".
    static QIODevice *linkDevice();

    bool waitingAck() const { return m_waitingAck; }
    const QByteArray &receivedData() const { return rxBuffer; }
    //! Why the constructor could not open the port; empty when it could.
    QString openError() const { return m_openError; }

    //! What a protocol object reports through error() when the device has
    //! gone away; the session tells a loss from other failures by it.
    static QString deviceLostText() { return tr("The connection to the device was lost"); }

    //! Debug dumps and port close used when a sequence times out.
    void dumpReceived();
    void dumpPort();
    void closePort();

    //! For a protocol whose log() is relayed by another object's signal:
    //! asked, on this object's thread, whether that signal has a listener,
    //! so the lines are not built and posted across threads for nobody.
    void setLogRelayListened(std::function<bool()> listened)
    {
        m_relayListened = std::move(listened);
    }

public slots:
    virtual void readData() = 0;
    void setWaitingAck(bool waitingAck);

signals:
    void error(const QString &error);
    void log(const QString &log);
    void waitingAckChanged(bool waitingAck);

protected:
    //! Writes bytes to the shared port; nothing goes out when it is closed.
    bool writeToPort(const QByteArray &bytes);
    //! Puts everything written so far on the wire (waits briefly when the
    //! port is slow to take it); false when some of it could not be written.
    bool drainOutput();
    //! Whether anyone listens to log(): the hex of every frame is only built
    //! for a listener.
    bool logWanted() const;

    QByteArray rxBuffer; //!< received bytes not yet consumed as frames

private:
    void onPortError(QSerialPort::SerialPortError error);
    void openNetworkLink(const QString &portName);
    void onLinkLost(const QString &reason);

    bool m_waitingAck = false; //!< a frame was written and no valid frame has come back yet
    QString m_openError;
    std::function<bool()> m_relayListened;
};

//! True for the port errors that mean the device has gone away (pty master
//! closed, cable pulled): reads fail in a loop and writes fail with a
//! resource error. Time-outs and "no data yet" are not among them.
bool isDeviceGoneError(QSerialPort::SerialPortError error);
