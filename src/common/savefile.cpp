#include "savefile.h"

SaveFile::SaveFile(const QString &path) : m_path(path), m_file(path) {}

bool SaveFile::open()
{
    if (!m_file.open(QIODevice::WriteOnly))
        return false;
    // The temporary file has the old file's mode, or the umask's for a new
    // one; either may let others change what this program wrote.
    const QFileDevice::Permissions writeByOthers =
        QFileDevice::WriteGroup | QFileDevice::WriteOther;
    const QFileDevice::Permissions mode = m_file.permissions();
    if ((mode & writeByOthers) && !m_file.setPermissions(mode & ~writeByOthers)) {
        m_reason = m_file.errorString();
        m_file.cancelWriting();
        return false;
    }
    return true;
}

bool SaveFile::write(const QByteArray &bytes)
{
    // A full disk or a file size limit first shows as a short write with no
    // error; the next attempt fails with the reason. Committing after the
    // short write would replace the old file with a cut one.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = m_file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            cancel();
            return false;
        }
        done += n;
    }
    return true;
}

bool SaveFile::commit()
{
    // After a failed write QSaveFile refuses the commit and drops the
    // temporary file by itself.
    return m_file.error() == QFileDevice::NoError && m_file.commit();
}

void SaveFile::cancel(const QString &reason)
{
    // Cancelling sets an error of its own; keep the one that led here.
    m_reason = m_file.error() != QFileDevice::NoError ? m_file.errorString() : reason;
    m_file.cancelWriting();
}

QString SaveFile::reason() const
{
    return m_reason.isEmpty() ? m_file.errorString() : m_reason;
}

QString SaveFile::errorText() const
{
    return tr("Could not write %1: %2").arg(m_path, reason());
}
