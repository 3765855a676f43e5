#pragma once

#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// The pseudo-terminal the protocol targets' shared port opens once and keeps
// open (a port that cannot open would try again for every input, a few
// milliseconds each). Its master side is emptied before every input, as a
// device reads what it is sent: the protocol objects put everything they
// write on the wire before the next step, so a terminal nobody reads would
// fill up and make every write wait for room.
class FuzzPty
{
public:
    static FuzzPty &instance()
    {
        static FuzzPty pty;
        return pty;
    }

    const QString &path() const { return m_path; }

    void drain() const
    {
        char buffer[4096];
        while (::read(m_master, buffer, sizeof buffer) > 0) {
        }
    }

private:
    FuzzPty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            abort();
        m_path = QString::fromLocal8Bit(ptsname(m_master));
    }

    int m_master = -1;
    QString m_path;
};
