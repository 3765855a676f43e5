#include "ptylink.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyLink::PtyLink(QObject *parent) : QObject(parent)
{
    m_hangupPoll = new QTimer(this);
    m_hangupPoll->setInterval(10);
    connect(m_hangupPoll, &QTimer::timeout, this, &PtyLink::checkReopened);
}

PtyLink::~PtyLink()
{
    close();
    removeLink();
}

bool PtyLink::open(QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        *error = QStringLiteral("cannot name the pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);

    // On Linux the master's terminal settings are the slave's: raw mode here
    // means no echo, no line editing and no CR/LF translation for whoever
    // opens the slave, even before it configures the port itself.
    termios t{};
    if (::tcgetattr(m_master, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B115200);
        ::cfsetospeed(&t, B115200);
        ::tcsetattr(m_master, TCSANOW, &t);
    }

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyLink::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyLink::onWritable);

    // A fresh master reads as idle (no hang-up) until a slave has come and
    // gone; after that it reports the hang-up until the next open.
    pollfd p{m_master, POLLIN, 0};
    m_listening = !(::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP));
    m_readNotifier->setEnabled(m_listening);
    if (!m_listening)
        m_hangupPoll->start();
    return true;
}

bool PtyLink::makeLink(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        QFile::remove(path); // a stale link from an earlier run
    } else if (info.exists()) {
        *error = QStringLiteral("%1 exists and is not a symlink; not replacing it").arg(path);
        return false;
    }
    if (::symlink(m_slavePath.toLocal8Bit().constData(), path.toLocal8Bit().constData()) != 0) {
        *error = QStringLiteral("cannot create the link %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_linkPath = path;
    return true;
}

void PtyLink::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    // Only remove it if it still points at our terminal: someone may have
    // started another emulator on the same path since.
    const QFileInfo info(m_linkPath);
    if (info.isSymLink() && info.symLinkTarget() == m_slavePath)
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

qint64 PtyLink::write(const char *data, qint64 size)
{
    if (m_master < 0 || !m_listening)
        return -1;
    const ssize_t n = ::write(m_master, data, static_cast<size_t>(size));
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    enterHangup();
    return -1;
}

void PtyLink::waitWritable()
{
    if (m_writeNotifier && m_listening)
        m_writeNotifier->setEnabled(true);
}

void PtyLink::onWritable()
{
    m_writeNotifier->setEnabled(false);
    emit writable();
}

void PtyLink::onReadable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            emit received(QByteArray(buf, static_cast<int>(n)));
            if (m_master < 0 || !m_listening)
                return;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // EIO (or end of file): the last holder of the slave has closed it.
        enterHangup();
        return;
    }
}

void PtyLink::enterHangup()
{
    if (!m_listening)
        return;
    m_listening = false;
    // The master stays readable (with EIO) while no one listens: stop
    // watching it and poll for the next open instead of spinning.
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    m_hangupPoll->start();
    emit hungUp();
}

void PtyLink::checkReopened()
{
    if (m_master < 0) {
        m_hangupPoll->stop();
        return;
    }
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return;
    if (p.revents & POLLHUP) {
        // The program may have opened the port, written and closed it again
        // between two looks: take what it wrote, so the log shows it, even
        // though no answer can reach it any more.
        if (p.revents & POLLIN) {
            char buf[4096];
            ssize_t n;
            while ((n = ::read(m_master, buf, sizeof buf)) > 0)
                emit received(QByteArray(buf, static_cast<int>(n)));
        }
        return;
    }
    m_hangupPoll->stop();
    m_listening = true;
    m_readNotifier->setEnabled(true);
    emit reopened();
}

void PtyLink::close()
{
    if (m_master < 0)
        return;
    m_hangupPoll->stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    ::close(m_master);
    m_master = -1;
    m_listening = false;
}
