#pragma once

#include "captureoptions.h"
#include "rfspectrumhistory.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CaptureAlarms;
class DeviceComms;
class ScanSession;

//! One headless capture: connect, program the band, collect sweeps until
//! the duration ends, a stop is asked for or the device fails, then write the
//! recording (and CSV) and report through finished(exit code).
class CaptureSession : public QObject
{
    Q_OBJECT
public:
    CaptureSession(const CaptureOptions &options, DeviceComms *device, bool progressLine,
                   QObject *parent = nullptr);

    void start();
    //! Ends the capture (SIGINT, SIGTERM): stop scanning, then write.
    void requestStop();
    //! A failure the session reported (through its message boxes).
    void deviceFailed(const QString &text);

    int sweepCount() const { return m_taken; }

    //! --survey and --report of `history`: the table, the recommendation and
    //! the sources on stdout, the report file; false when it could not be
    //! written.
    static bool survey(const RfSpectrumHistory &history, const CaptureOptions &options);
    //! Surveys options.inputPath (a recording or CSV): exit code 0, or 1 when
    //! the file cannot be read or the report not written.
    static int surveyFile(const CaptureOptions &options);

    //! The limits being checked; null without --limits.
    CaptureAlarms *alarms() const { return m_alarms; }

signals:
    void finished(int exitCode);
    //! Each sweep taken, as it is recorded.
    void sweepTaken(qint64 timeStamp, const RfSpectrumScan &spectrum);

private:
    void onConnectedChanged(bool connected);
    void onScanningChanged(bool scanning);
    void onSweep(qint64 timeStamp, const RfSpectrumScan &spectrum);
    void report();
    void writeAndFinish();
    void finishWith(int exitCode);
    qint64 estimatedFileSize() const;

    CaptureOptions m_options;
    DeviceComms *m_device;
    ScanSession *m_scan; //!< what is scanned, as the program scans it
    bool m_progressLine;
    RfSpectrumHistory m_history;
    QString m_failure;
    bool m_scanStarted = false;
    bool m_stopping = false;
    bool m_done = false;
    QElapsedTimer m_elapsed;
    QTimer m_durationTimer;
    QTimer m_reportTimer;
    CaptureAlarms *m_alarms = nullptr; //!< with --limits
    QTimer m_stopGrace;                //!< a scan that does not end after stop is left behind
    qint64 m_bytes = 0;
    int m_taken = 0;
    bool m_keepHistory = true; //!< a node that only publishes keeps nothing
};
