#include "framelog.h"

#include <cerrno>
#include <cstring>

FrameLog::~FrameLog()
{
    if (m_file)
        std::fclose(m_file);
}

bool FrameLog::open(const QString &path, QString *error)
{
    m_file = std::fopen(path.toLocal8Bit().constData(), "w");
    if (!m_file) {
        *error = QStringLiteral("cannot write the log %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void FrameLog::write(const char *direction, const QByteArray &bytes)
{
    if (!m_file)
        return;
    const double seconds = m_clock.nsecsElapsed() / 1e9;
    std::fprintf(m_file, "%.3f %s %s\n", seconds, direction, bytes.toHex().constData());
    std::fflush(m_file);
}
