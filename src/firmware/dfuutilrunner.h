#pragma once

#include "dfuoutputparser.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <memory>

class QTemporaryDir;

// Runs the system's dfu-util on the host image: "-a 0 -D <file> -s :leave".
// The image goes into a private temporary directory made for this run (only
// the user can enter it, the file is not writable by others), so no other
// local user can swap the file dfu-util writes into the device. The device
// re-enumerates in DFU mode some time after it was told to: while dfu-util
// ends with 74 ("no DFU device") the run is repeated, for a bounded time.
// A program that cannot be started, crashes, overruns its time or exits
// non-zero is a failure, never success.
class DfuUtilRunner : public QObject
{
    Q_OBJECT

public:
    struct Timings
    {
        int searchWindowMs = 15000; //!< how long exit code 74 is retried
        int retryDelayMs = 1000;
        int runTimeoutMs = 180000; //!< one dfu-util run; then it is killed
    };

    static constexpr int ExitNoDevice = 74;

    explicit DfuUtilRunner(QObject *parent = nullptr);
    ~DfuUtilRunner() override;

    void setTimings(const Timings &timings) { m_timings = timings; }
    //! ORVANEL_DFU_UTIL when set, else dfu-util found on PATH; empty when none.
    static QString program();
    bool isRunning() const { return m_active; }
    QStringList arguments() const { return m_process.arguments(); }

public slots:
    //! Writes `image` into a fresh private directory and runs dfu-util on it.
    void start(const QByteArray &image);

signals:
    void progress(DfuOutputParser::Phase phase, int percent);
    //! dfu-util found no DFU device (yet); it is tried again.
    void searching();
    void finished(bool ok, const QString &message);

private:
    void launch();
    void onReadyReadOutput();
    void onReadyReadError();
    void onErrorOccurred(QProcess::ProcessError error);
    void onFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onRunTimeout();
    void finish(bool ok, const QString &message);

    Timings m_timings;
    QProcess m_process;
    QTimer m_runTimer;
    QTimer m_retryTimer;
    QElapsedTimer m_searchClock;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_imagePath;
    DfuOutputParser m_parser;
    QString m_lastError; //!< last line dfu-util wrote to stderr
    bool m_active = false;
    bool m_killed = false; //!< killed for overrunning its time
};
