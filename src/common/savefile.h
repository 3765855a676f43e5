#pragma once

#include <QCoreApplication>
#include <QSaveFile>
#include <QString>

class QIODevice;

// A file written whole or not at all. The data go to a temporary file beside
// it that takes the old file's place only on commit(); a failed write, a
// cancel() or an object that goes away uncommitted leave the old file as it
// was. The file is never writable by anyone but its owner, whatever the umask
// or the old file allowed.
class SaveFile
{
    Q_DECLARE_TR_FUNCTIONS(SaveFile)

public:
    explicit SaveFile(const QString &path);

    bool open();
    //! For writers that stream into the file; valid after open().
    QIODevice &device() { return m_file; }
    bool write(const QByteArray &bytes);
    //! Fails, and keeps the old file, when any write failed.
    bool commit();
    //! Drops what was written. `reason` stands for the failure when the file
    //! itself saw none (a writer that gave up on its own).
    void cancel(const QString &reason = QString());

    QString path() const { return m_path; }
    //! Why the last step failed, e.g. "No such file or directory".
    QString reason() const;
    //! The file and the reason, for a message: "Could not write <path>: <reason>".
    QString errorText() const;

private:
    QString m_path;
    QSaveFile m_file;
    QString m_reason;
};
