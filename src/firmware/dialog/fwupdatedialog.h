#pragma once

#include "dfuoutputparser.h"

#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

class DeviceComms;
class DfuUtilRunner;
class QAction;
class QLabel;
class QProgressBar;
class QToolButton;

// Runs the scanner's two firmware updates: the radio image through the radio
// processor's ROM bootloader, sector by sector, verified by the bootloader's
// CRC32 before the reset; the host image by restarting the host processor in
// USB DFU mode and running dfu-util on it. While an update runs the session
// is locked (nothing else may use the port), the dialog cannot be closed and
// only its own steps go to the device. Any failure ends the update with its
// message, releases the lock and leaves the buttons usable.
class FwUpdateDialog : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(bool updRadio READ updRadio WRITE setUpdRadio NOTIFY updRadioChanged)
    Q_PROPERTY(bool updHost READ updHost WRITE setUpdHost NOTIFY updHostChanged)

public:
    struct Timings
    {
        int autoBaudDelayMs = 100;    //!< after the reset-to-bootloader acknowledgement
        int firstSectorDelayMs = 100; //!< after auto-baud
        int hostBlDelayMs = 100;      //!< before the host-bootloader command
        int dfuStartDelayMs = 3000;   //!< before the first dfu-util run
        int idleWaitMs = 10000;       //!< for a running scan or sequence to end
        int dfuSearchWindowMs = 15000;
        int dfuRetryDelayMs = 1000;
        int dfuRunTimeoutMs = 180000;
    };

    FwUpdateDialog(DeviceComms *deviceComms, QWidget *parent = nullptr);
    ~FwUpdateDialog() override;

    bool updRadio() const { return m_updRadio; }
    bool updHost() const { return m_updHost; }
    void setUpdRadio(bool updRadio);
    void setUpdHost(bool updHost);

    //! A step is pending or a later one is still to come.
    bool running() const { return m_step != Step::Idle; }
    //! The radio is known to wait in its ROM bootloader (an update did not
    //! finish): the radio update then starts there, without the reset to
    //! the bootloader, which the scanner can no longer answer.
    bool radioWaiting() const { return m_radioWaiting; }
    void setRadioWaiting(bool waiting);
    static QString radioWaitingText();

    //! What the device reports (empty: not known) and what the update writes.
    void setCurrentVersions(const QString &radio, const QString &host);
    void setNewVersions(const QString &radio, const QString &host);
    //! Opens the dialog as an offer; "Remind me later" (or closing it
    //! without an update) postpones it for the rest of the session, and
    //! later offers return false without showing anything.
    bool offer();
    //! Starts the radio update on a radio waiting in its bootloader.
    void finishRadioUpdate();
    //! Runs dfu-util on a host processor already waiting in DFU mode.
    void finishHostUpdate();
    void setTimings(const Timings &timings);
    DfuUtilRunner *dfuUtil() const { return m_dfu; }

signals:
    void updRadioChanged(bool updRadio);
    void updHostChanged(bool updHost);
    //! The update ended: ok, or failed with `message`.
    void updateFinished(bool ok, const QString &message);

public slots:
    void startRadio();
    void startHost();
    void onRadioAutoBaudDone();
    void onRadioChipIdDone(quint32 chipId);
    void onRadioFlashSizeDone(const QByteArray &data);
    void onRadioEraseDone();
    void onRadioSectorWriteDone();
    void onRadioCrc32Done(quint32 crc);
    void onRadioResetDone();
    void onHostBlDone();
    void runDfuUtil();
    void onDfuUtilProgress(DfuOutputParser::Phase phase, int percent);
    void onDfuUtilFinished(bool ok, const QString &message);
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_actionStart_triggered();
    void on_actionForce_Radio_triggered();
    void on_actionForce_Host_triggered();
    void on_actionCancel_triggered();

private:
    //! Updates the one processor an earlier update left unfinished.
    void startOnly(bool radio);
    enum class Step
    {
        Idle,
        WaitIdle, //!< waiting for a scan or sequence to end
        ResetToBootloader,
        Probe, //!< the scanner did not answer: is the radio in its bootloader?
        AutoBaud,
        ChipId,
        FlashSize,
        Erase,
        Sectors,
        Verify,
        Reset,
        HostBootloader,
        DfuWait,
        DfuUtil
    };

    void buildForm();
    void refreshIdleState();
    void waitForIdle();
    void writeSector();
    void checkChip();
    //! Shows `text` for the step now running, with its own progress range.
    void showStep(const QString &text, int maximum);
    //! Refuses before anything is erased; the radio restarts its old image.
    void refuseRadio(const QString &text);
    //! Runs `step` after `ms` unless the update ends first.
    void later(int ms, std::function<void()> step);
    void onSessionFailure(const QString &text);
    void fail(const QString &text, bool showBox);
    void succeed();
    void endRun();

    DeviceComms *m_dc;
    DfuUtilRunner *m_dfu;
    Timings m_timings;
    bool m_updRadio = false;
    bool m_updHost = false;
    bool m_radioWaiting = false;
    bool m_hostWaiting = false;    //!< the host processor is already in DFU mode
    bool m_hostAfterRadio = false; //!< both updates wanted at Start: the host follows the radio
    Step m_step = Step::Idle;
    QByteArray radioImage;
    QByteArray m_hostImage;
    int sectorIndex = 0;
    int sectorCount = 0;
    quint32 m_chipId = 0;
    QTimer m_stepTimer; //!< the one pending delayed step
    std::function<void()> m_delayedStep;
    QTimer m_idlePoll;
    QElapsedTimer m_idleClock;
    QMetaObject::Connection m_hostBlConnection; //!< only while the host step runs

    void showVersions();

    QString m_currentRadio, m_currentHost, m_newRadio, m_newHost;
    bool m_offerOpen = false; //!< shown as an offer, no update started yet
    bool m_postponed = false; //!< the user put the offer off for this session
    enum class Target
    {
        None,
        Radio,
        Host
    } m_target = Target::None;

    QLabel *lblVersions;
    QLabel *lblWarning;
    QLabel *lblInfo;
    QProgressBar *pbProgress;
    QToolButton *tbCancel;
    QToolButton *tbStart;
    QToolButton *tbExtra;
    QAction *actionStart;
    QAction *actionForce_Radio;
    QAction *actionForce_Host;
    QAction *actionCancel;
};
