#pragma once

#include "dfuoutputparser.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <memory>

class QTemporaryDir;

// Runs the system's dfu-util on the host image, only ever on the scanner's
// host processor: first "-l -d VID:PID" lists the DFU devices with the
// scanner's USB id, and exactly one must be there; then
// "-d VID:PID -p PATH -a 0 -D <file> -s :leave" writes to that one device.
// The image goes into a private temporary directory made for this run (only
// the user can enter it, the file is not writable by others), so no other
// local user can swap the file dfu-util writes into the device. The device
// re-enumerates in DFU mode some time after it was told to: while none is
// listed (or dfu-util says it found none) the search is repeated, for a
// bounded time. dfu-util is judged by what it printed as well as by its exit
// code: with ":leave" many devices fail the last status request after
// "File downloaded successfully", which is a success (with a warning). A
// program that cannot be started, crashes, overruns its time or exits
// non-zero otherwise is a failure, never success.
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

    static constexpr int ExitNoDevice = 74; //!< also every other I/O error
    //! The scanner's host processor in DFU mode, "vvvv:pppp".
    static QString deviceId();
    //! How many devices with the scanner's DFU id dfu-util lists now (waits
    //! for it, at most `timeoutMs`); 0 when dfu-util is missing or fails.
    static int countListed(int timeoutMs = 3000);

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
    void list();
    void onListed(int exitCode, QProcess::ExitStatus exitStatus);
    //! No device (yet): tries again while the search window lasts.
    bool searchAgain();
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
    QString m_lastError;  //!< last line dfu-util wrote to stderr
    QString m_allErrors;  //!< everything it wrote to stderr this run
    QString m_allOutput;  //!< everything it wrote to stdout this run
    QString m_devicePath; //!< the one listed device, once found
    QString m_deviceSerial;
    bool m_listing = false; //!< the running process is the listing
    bool m_active = false;
    bool m_killed = false; //!< killed for overrunning its time
};
