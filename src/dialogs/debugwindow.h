#pragma once

#include "debuglogmodel.h"
#include "rfsaserialcomms.h"

#include <QStringList>
#include <QTimer>
#include <QVector>
#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class DebugLogView;
class QGridLayout;
class QPushButton;
class QRadioButton;
class QSpinBox;

//! The debug window's form, by the object names it gives.
struct DebugWindowForm
{
    QGridLayout *gridLayout = nullptr;
    QComboBox *cbSerialPort = nullptr;
    QPushButton *pbConnect = nullptr;
    QPushButton *pbDisconnect = nullptr;
    QPushButton *pbGetDevVer = nullptr;
    QPushButton *pbGetFwVer = nullptr;
    QPushButton *pbGet900RfParams = nullptr;
    QPushButton *pbGet24RfParams = nullptr;
    QPushButton *pbGetLastError = nullptr;
    QPushButton *pbSync = nullptr;
    QPushButton *pbHostBL = nullptr;
    QRadioButton *rbBand900 = nullptr;
    QRadioButton *rbFBand24 = nullptr;
    QDoubleSpinBox *dsbSetFStart = nullptr;
    QPushButton *pbSetFStart = nullptr;
    QDoubleSpinBox *dsbSetFStop = nullptr;
    QPushButton *pbSetFStop = nullptr;
    QSpinBox *sbSetSpanIndex = nullptr;
    QPushButton *pbSetSpanIndex = nullptr;
    QDoubleSpinBox *dsbSetFStep = nullptr;
    QPushButton *pbSetFStep = nullptr;
    QSpinBox *sbSetRbw = nullptr;
    QPushButton *pbSetRbw = nullptr;
    QSpinBox *sbSetStepCount = nullptr;
    QPushButton *pbSetStepCount = nullptr;
    QSpinBox *sbSetSpan = nullptr;
    QPushButton *pbSeSpan = nullptr;
    QPushButton *pbClearLog = nullptr;
    QPushButton *pbGetCalibration = nullptr;
    DebugLogView *logText = nullptr;
};

// A service panel that turns button presses into single-command requests and
// shows the session's log. It knows nothing of the device: the main window
// wires its signals to the session. Commands share the port with whatever
// sequence runs, so the send buttons are off while the session is busy,
// scanning or locked for a firmware update.
class DebugWindow : public QWidget
{
    Q_OBJECT
public:
    //! Lines kept in the log; older ones are dropped.
    static constexpr int maxLogLines = 5000;

    //! `extraPorts` join the listed serial ports (pseudo-terminals named on
    //! the command line are never listed by the system).
    explicit DebugWindow(const QStringList &extraPorts = {}, QWidget *parent = nullptr);
    ~DebugWindow() override;

    const DebugWindowForm *form() const { return &m_form; }

    //! The log line for `msg` at the current local time ("14:03:07 msg").
    static QString logLine(const QString &msg);

    //! The lines shown, oldest first.
    const DebugLogModel *logModel() const { return &m_logModel; }

signals:
    void serialPortChanged(const QString &port);
    void connect();
    void disconnect();
    void getDevVerClicked();
    void getFwVerClicked();
    void getRfParamsClicked(RfsaSerialComms::FBand band);
    void getLastErrorClicked();
    void syncClicked();
    void hostBLClicked();
    void setFBand(RfsaSerialComms::SetFBand band);
    void setFStart(double frequencyMHz);
    void setFStop(double frequencyMHz);
    void setSpanIndex(uchar index);
    void setFStep(double frequencyKHz);
    void setRBW(ushort rbw);
    void setStepCount(ushort stepCount);
    void setSpan(ushort spanMHz);
    void getSpecNoInit();
    void getCalibration();

public slots:
    //! Queues a log line; lines reach the text area in batches.
    void log(const QString &msg);
    //! Moves the queued lines into the text area now.
    void flushLog();
    void setBusy(bool busy);
    void setScanning(bool scanning);
    void setUpdateLocked(bool locked);

private slots:
    void on_pbGetDevVer_clicked();
    void on_pbGetFwVer_clicked();
    void on_pbGet900RfParams_clicked();
    void on_pbGet24RfParams_clicked();
    void on_pbGetLastError_clicked();
    void on_pbSync_clicked();
    void on_pbHostBL_clicked();
    void on_rbBand900_clicked(bool checked);
    void on_rbFBand24_clicked(bool checked);
    void on_pbSetFStart_clicked();
    void on_pbSetFStop_clicked();
    void on_pbSetSpanIndex_clicked();
    void on_pbSetFStep_clicked();
    void on_pbSetRbw_clicked();
    void on_pbSetStepCount_clicked();
    void on_pbSeSpan_clicked();
    void on_pbGetCalibration_clicked();
    void on_cbSerialPort_activated(const QString &port);
    void on_pbConnect_clicked();
    void on_pbDisconnect_clicked();

private:
    void buildForm();
    void updateSendButtons();

    DebugWindowForm m_form;
    DebugLogModel m_logModel{maxLogLines};
    QVector<DebugLogModel::Entry> m_pending; //!< lines not yet shown, fewer than 2 * maxLogLines
    QTimer m_flushTimer;
    bool m_busy = false;
    bool m_scanning = false;
    bool m_updateLocked = false;
};
