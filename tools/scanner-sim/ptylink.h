#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

//! The master side of a pseudo-terminal pair, the emulator's end of the
//! "cable". The program opens the slave as its serial port, may close it and
//! open it again any number of times; while no one has the slave open the
//! master reports a hang-up, and the link waits for the next open.
class PtyLink : public QObject
{
    Q_OBJECT
public:
    explicit PtyLink(QObject *parent = nullptr);
    ~PtyLink() override;

    //! Opens the pair in raw mode. On failure returns false with a reason.
    bool open(QString *error);
    QString slavePath() const { return m_slavePath; }

    //! Makes `path` a symlink to the slave; an old symlink there is replaced,
    //! anything else is left alone and reported.
    bool makeLink(const QString &path, QString *error);
    void removeLink();

    //! Whether the program has the port open (as far as the last check knows).
    bool listening() const { return m_listening; }

    //! Writes what the terminal takes now; returns the number of bytes taken
    //! (0 when the buffer is full: `writable` follows), -1 after a hang-up.
    qint64 write(const char *data, qint64 size);
    //! Asks for one `writable` signal when the terminal takes bytes again.
    void waitWritable();

    //! Closes the master, as pulling the cable does.
    void close();

signals:
    void received(const QByteArray &bytes);
    void hungUp();
    void reopened();
    void writable();

private:
    void onReadable();
    void onWritable();
    void checkReopened();
    void enterHangup();

    int m_master = -1;
    QString m_slavePath;
    QString m_linkPath;
    bool m_listening = false;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_hangupPoll = nullptr;
};
