#pragma once

// A pseudo-terminal pair for talking to the program's serial code from a
// test: the test holds the master side and hands slavePath() to the code
// under test as its port name. Header-only, POSIX.

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyPair
{
public:
    PtyPair()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0)
            return;
        if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            closeMaster();
            return;
        }
        const char *name = ::ptsname(m_master);
        if (!name) {
            closeMaster();
            return;
        }
        m_slavePath = QString::fromLocal8Bit(name);
        // Raw from the start: bytes written before the program has opened
        // (and configured) its side must not be echoed or cooked.
        termios t;
        if (::tcgetattr(m_master, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_master, TCSANOW, &t);
        }
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    //! Writes all of `bytes` to the master side (as the device sending).
    bool write(const QByteArray &bytes)
    {
        const char *p = bytes.constData();
        qint64 left = bytes.size();
        while (left > 0 && m_master >= 0) {
            const ssize_t n = ::write(m_master, p, static_cast<size_t>(left));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN) {
                    pollfd pfd{m_master, POLLOUT, 0};
                    ::poll(&pfd, 1, 100);
                    continue;
                }
                return false;
            }
            p += n;
            left -= n;
        }
        return left == 0;
    }

    //! Whatever the program has written so far; never blocks. A master whose
    //! slave is closed reads EIO, which counts as nothing.
    QByteArray readAvailable()
    {
        QByteArray out;
        char buf[4096];
        while (m_master >= 0) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, static_cast<int>(n));
        }
        return out;
    }

    //! As a pulled cable: the program's side sees a hang-up.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slavePath;
};
