#include "autosavejournal.h"

#include "capturelog.h"
#include "clock.h"
#include "scanjournal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

//! The file end of a journal; lives on the writer thread.
class JournalFileWriter : public QObject
{
public:
    ~JournalFileWriter() override { closeFile(); }

    void open(const QString &path, const QByteArray &start)
    {
        closeFile();
        QString error;
        if (!ScanJournal::ensureDirectory(&error)) {
            qCWarning(lcCapture).noquote() << "Autosave off:" << error;
            return;
        }
        m_fd = ::open(QFile::encodeName(path).constData(),
                      O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            qCWarning(lcCapture).noquote()
                << "Autosave off: cannot create" << path << ":" << std::strerror(errno);
            return;
        }
        ::fchmod(m_fd, 0600); // whatever the file was before
        m_path = path;
        m_failed = false;
        writeAll(start);
    }

    void append(const QByteArray &bytes) { writeAll(bytes); }

    void finish(const QByteArray &endRecord, bool remove)
    {
        if (m_fd < 0)
            return;
        writeAll(endRecord);
        closeFile();
        if (remove)
            QFile::remove(m_path);
    }

    void closeFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    void writeAll(const QByteArray &bytes)
    {
        if (m_fd < 0)
            return;
        const char *p = bytes.constData();
        qint64 left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(m_fd, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (!m_failed)
                    qCWarning(lcCapture).noquote()
                        << "Autosave write failed:" << std::strerror(errno);
                m_failed = true; // say it once; later batches try again
                return;
            }
            p += n;
            left -= n;
        }
        // On the disk, not just in the page cache: a power cut is a crash too.
        ::fdatasync(m_fd);
    }

    int m_fd = -1;
    QString m_path;
    bool m_failed = false;
};

AutosaveJournal::AutosaveJournal(QObject *parent) : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("AutosaveJournal"));
    m_writer = new JournalFileWriter;
    m_writer->moveToThread(&m_thread);
    m_thread.start(QThread::LowPriority);
    m_flushTimer.setInterval(FlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &AutosaveJournal::flush);
}

AutosaveJournal::~AutosaveJournal()
{
    // Everything handed over must be written before the loop ends: quit()
    // drops events still waiting.
    sync();
    m_thread.quit();
    m_thread.wait();
    delete m_writer; // its thread has ended: nothing else touches it now
}

void AutosaveJournal::begin(const QString &filePath, const RfSpectrumHistory &header)
{
    flush();
    m_pending.clear();
    m_path = filePath;
    const QByteArray start = ScanJournal::fileStart(header);
    JournalFileWriter *w = m_writer;
    QMetaObject::invokeMethod(
        w, [w, filePath, start] { w->open(filePath, start); }, Qt::QueuedConnection);
    m_flushTimer.start();
}

void AutosaveJournal::addSweep(qint64 timeStamp, const RfSpectrumScan &spectrum)
{
    if (m_path.isEmpty())
        return;
    ScanJournal::appendSweep(m_pending, timeStamp, spectrum);
    if (m_pending.size() >= FlushBytes)
        flush();
}

void AutosaveJournal::flush()
{
    if (m_pending.isEmpty())
        return;
    JournalFileWriter *w = m_writer;
    // The record (and its CRC) is made on the writer thread.
    QMetaObject::invokeMethod(
        w,
        [w, payload = std::exchange(m_pending, QByteArray())] {
            w->append(ScanJournal::record(ScanJournal::SweepsRecord, payload));
        },
        Qt::QueuedConnection);
}

void AutosaveJournal::finish(bool remove)
{
    if (m_path.isEmpty())
        return;
    flush();
    m_flushTimer.stop();
    const QByteArray end = ScanJournal::record(ScanJournal::EndRecord, QByteArray());
    JournalFileWriter *w = m_writer;
    QMetaObject::invokeMethod(
        w, [w, end, remove] { w->finish(end, remove); }, Qt::QueuedConnection);
    m_path.clear();
}

void AutosaveJournal::sync()
{
    flush();
    QMetaObject::invokeMethod(
        m_writer, [] {}, Qt::BlockingQueuedConnection);
}

QString AutosaveJournal::newFilePath(const QString &bandTag)
{
    return ScanJournal::directory() +
           QStringLiteral("/scan-%1-%2-%3%4")
               .arg(bandTag)
               .arg(Clock::now().toString(QStringLiteral("yyyyMMddTHHmmsszzz")))
               .arg(QCoreApplication::applicationPid())
               .arg(ScanJournal::FileSuffix);
}
