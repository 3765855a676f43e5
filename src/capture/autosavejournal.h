#pragma once

#include "rfspectrumhistory.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

class JournalFileWriter;

// Keeps one live page's sweeps in an autosave journal (scanjournal.h) while
// it scans. Taking a sweep only appends its bytes to a buffer on the GUI
// thread; every FlushIntervalMs, or once it holds FlushBytes, the buffer
// goes to a writer thread, which appends it as one record and syncs it to
// the disk, so at most a few seconds of sweeps are ever at risk. Files are
// created 0600 in a 0700 directory.
class AutosaveJournal : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlushIntervalMs = 2000;
    //! A flood of sweeps (the emulator unpaced: thousands a second) would
    //! otherwise gather megabytes between two flushes, each held again as
    //! its record while written; at the scanner's own rate two seconds fill
    //! about 20 KB.
    static constexpr int FlushBytes = 1024 * 1024;

    explicit AutosaveJournal(QObject *parent = nullptr);
    //! Hands the last sweeps to the writer and waits for it: a journal that
    //! was not finished stays on disk for the next start to offer.
    ~AutosaveJournal() override;

    //! Starts a new journal file at `filePath` for a page whose intervals and
    //! project information `header` holds. A journal already open is closed
    //! first (not finished).
    void begin(const QString &filePath, const RfSpectrumHistory &header);
    bool isActive() const { return !m_path.isEmpty(); }
    QString filePath() const { return m_path; }

    //! Cheap: copies the sweep's bytes into the pending buffer.
    void addSweep(qint64 timeStamp, const RfSpectrumScan &spectrum);
    //! The bytes taken but not yet handed to the writer.
    int pendingBytes() const { return m_pending.size(); }
    //! Hands what is pending to the writer thread now.
    void flush();
    //! Ends the journal: an end record, then the file is removed when
    //! `remove` is true (the scan was stopped, saved or discarded).
    void finish(bool remove);
    //! Waits until the writer has written everything handed to it (tests
    //! and benchmarks).
    void sync();

    //! A new journal file name in the journal directory for `bandTag`.
    static QString newFilePath(const QString &bandTag);

private:
    QThread m_thread;
    JournalFileWriter *m_writer = nullptr; //!< lives on m_thread
    QTimer m_flushTimer;
    QByteArray m_pending; //!< sweeps not yet handed to the writer
    QString m_path;
};
