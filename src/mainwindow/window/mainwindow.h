#pragma once

#include "devicetypes.h"
#include "manuallauncher.h"
#include "projectinfodata.h"
#include "rfspectrumhistory.h"
#include "scanplan.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <memory>

class AlarmController;
class AutosaveController;
class DebugWindow;
class DeviceReturnWatch;
class FirmwareController;
class DeviceComms;
class FwUpdateDialog;
class InstanceChannel;
class KivoIdPanel;
class ScanSession;
class MarkerTable;
class MarkersController;
class ProjectInfoDialog;
class QAction;
class QCloseEvent;
class QDockWidget;
class QLabel;
class QToolBar;
class QToolButton;
class RemoteController;
class ShownPage;
class SurveyController;
class TabPage;
class TabPage2400;
class TabPage900;
class TnwTabWidget;
class UtilizationDock;
struct PageActions;

//! The window's form: every action and widget, by the object names it gives.
struct MainWindowForm
{
    QAction *actionConnect = nullptr;
    QAction *actionQuit = nullptr;
    QAction *actionDisconnect = nullptr;
    QAction *actionSnapshot = nullptr;
    QAction *actionSave = nullptr;
    QAction *actionRecord = nullptr;
    QAction *actionStop = nullptr;
    QAction *actionOpen = nullptr;
    QAction *actionToggle_View = nullptr;
    QAction *actionShow_Wifi = nullptr;
    QAction *actionToggle_Wifi_List = nullptr;
    QAction *actionUpdate_Firmware = nullptr;
    QAction *actionLumaweave_KivoIds = nullptr;
    QAction *actionAbout = nullptr;
    QAction *actionUser_Manual = nullptr;
    QAction *actionToggle_Channels = nullptr;
    QAction *actionTarnwell_Website = nullptr;
    QAction *actionProject_Info = nullptr;
    QAction *actionPlay = nullptr;
    QAction *actionPause = nullptr;
    QAction *actionSnapshotEmail = nullptr;
    QAction *actionExport_Csv = nullptr;
    QAction *actionUtilization = nullptr;
    QAction *actionFind_Bursts = nullptr;
    QAction *actionExport_Report = nullptr;
    QAction *actionMarkers = nullptr;

    QWidget *centralwidget = nullptr;
    TnwTabWidget *tabWidget = nullptr;
    QToolBar *toolBar = nullptr;
    QToolButton *helpButton = nullptr;
    QDockWidget *dockWidgetWifiList = nullptr;
    QWidget *dockWidgetContentsWifiList = nullptr;
    QDockWidget *dockWidgetKivoIds = nullptr;
    QWidget *dockWidgetContentsKivoIds = nullptr;
    QDockWidget *dockWidgetUtilization = nullptr;
    QDockWidget *dockWidgetMarkers = nullptr;

    PageActions pageActions() const;
};

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static const char *const applicationVersion;
    static const char *const expectedRadioVersion;
    static const char *const expectedHostVersion;

    //! `runStartupActions` false leaves out the zero-delay start-up (argument
    //! processing and automatic connect); tests drive those themselves.
    explicit MainWindow(QWidget *parent = nullptr, bool runStartupActions = true);
    ~MainWindow() override;

    const MainWindowForm *form() const { return &m_form; }
    DeviceComms *deviceComms() const { return m_device; }
    //! What is scanned and how; the window only asks it and shows its sweeps.
    ScanSession *scanSession() const { return m_session; }
    InstanceChannel *instanceChannel() const { return m_channel; }
    TabPage2400 *page2400() const { return m_page2400; }
    TabPage900 *page900() const { return m_page900; }
    KivoIdPanel *kivoIdPanel() const { return m_kivoIdPanel; }
    UtilizationDock *utilizationDock() const;
    MarkerTable *markerTable() const;
    FwUpdateDialog *fwUpdateDialog() const;
    AlarmController *alarmController() const { return m_alarms; }
    //! The pages of scanners elsewhere, watched through a broker.
    RemoteController *remoteController() const { return m_remote; }

    //! Carries out a command line (the first entry is the program path).
    //! `fileOpened`, when given, becomes true if a named file existed.
    void processArguments(const QStringList &arguments, bool *fileOpened = nullptr);

    //! Opens a ".vozi" recording (or an rtl_power / hackrf_sweep ".csv") as
    //! a new tab; false when it cannot be read.
    bool openRecordingFile(const QString &path);
    //! Offers each scan an earlier run left in an autosave journal ("Recover
    //! the last scan?"): Yes opens it as a recording page, No discards it.
    void offerRecovery();

    bool debugMode() const { return m_debugMode; }
    bool qcMode() const { return m_qcMode; }
    int rbwOverride() const;
    int amplitudeOffset() const;
    double fStepOverride() const;
    QString portOverride() const { return m_portOverride; }
    //! True from Scan until Stop, across the pause of a tab switch.
    bool scanWanted() const;
    bool restartPending() const;
    //! The device went away while scanning and is waited for.
    bool waitingForDevice() const;
    //! The band the window scans and shows on Scan; a tab is only the
    //! user's choice of band when the user selected it.
    ScanPlan::Band lastBandShown() const;
    ProjectInfoData projectInfo() const { return m_projectInfo; }
    //! The newest debug window ("-debug"), null before one or once closed.
    DebugWindow *debugWindow() const;
    //! Replaces how the manual is opened (tests check the decision).
    void setManualLauncher(std::unique_ptr<ManualLauncher> launcher);
    //! Where a window of `size` goes beside `window`, inside `available`.
    static QRect placeBeside(const QRect &window, const QSize &size, const QRect &available);

public slots:
    void onDcBusyChanged(bool busy);
    void onDcConnectedChanged(bool connected);
    void onDcScanningChanged(bool scanning);
    void onDcNewSpecScanAvailable(qint64 timeStamp, RfSpectrumScan spectrum);
    void startBootloader();
    void onRfsaGetInfoStrDone(uchar cpu, uchar str, QString data);
    void saveWindowGeometry();
    void onNewLocalConnection(const QStringList &arguments);
    void onKivoIdSelected(int id);
    void onKivoIdDeselected(int id);
    void startupActions();
    void setProjectInfoToHist();
    //! The device went away or stopped sending (the session shows no box).
    void onDcDeviceLost(const QString &text);
    //! SIGTERM or Ctrl+C: Quit without the save question (refused while an
    //! update runs).
    void quitOnSignal();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_actionQuit_triggered();
    void on_actionConnect_triggered();
    void on_actionDisconnect_triggered();
    void on_actionRecord_triggered();
    void on_actionStop_triggered();
    void on_actionSnapshot_triggered();
    void on_actionSave_triggered();
    void on_actionOpen_triggered();
    void on_actionToggle_View_triggered();
    void on_actionToggle_Wifi_List_toggled(bool enabled);
    void on_actionLumaweave_KivoIds_toggled(bool enabled);
    void on_actionUpdate_Firmware_triggered();
    void on_tabWidget_tabCloseRequested(int index);
    void on_actionUser_Manual_triggered();
    void on_actionTarnwell_Website_triggered();
    void on_actionAbout_triggered();
    void on_actionProject_Info_triggered();
    void on_actionExport_Csv_triggered();

private:
    //! The scan's part in a page change; follows `pageShown` (a slot by
    //! name would listen to the tabs a second time).
    void on_tabWidget_currentChanged(int index);
    void buildForm();
    void buildHelpMenu();
    void buildPages();
    void buildAlarms();
    void buildOverloadWarning();
    void buildProjectInfo();
    //! One action serves every page, but each page keeps its own view: the
    //! text names the view of the page on screen.
    void syncViewToggleText();
    void restoreWindowGeometry();
    void updateActionStates();
    void setBandTabsEnabled(bool enabled);
    //! A band tab was shown: during a scan the session restarts on its band.
    void followBandTab(int index);
    //! Connected and idle: the scan starts (or the lost device's resumes).
    void onScanReady();
    void onScanSweep(qint64 timeStamp, ScanPlan::Band band, const RfSpectrumScan &spectrum);
    void onRfParams(const RfParams &params);
    void showScanSettings();
    TabPage *bandPage(ScanPlan::Band band) const;
    QString proposedBaseName(const TabPage *page) const;
    void applyQcMode();
    //! "--watch URL": the nodes under URL's prefix as live pages.
    void watchRemoteScanners(const QString &url);
    void buildFirmwareUpdate();
    //! "<why> Do you want to save the recording?"; Yes saves.
    void askToSave(const QString &why);
    void buildReconnect();
    //! Resumes the scan the lost device was doing; false when none was.
    bool resumeAfterReconnect();
    //! Quit and the close button: offers to save what is unsaved; false
    //! when the user chose to stay.
    bool confirmQuit();
    // What the scan hands to the autosave controller.
    void countSweepTaken(ScanPlan::Band band);
    void forgetSavedSweeps();
    int unsavedSweeps(ScanPlan::Band band);
    void autosaveSweep(ScanPlan::Band band, qint64 timeStamp, const RfSpectrumScan &spectrum);
    void endAutosave(bool remove);
    void updateSessionState();
    void buildKivoIdPanel();
    //! The KiVo panel shows the grid of the band on screen.
    void followKivoIdBand(TabPage *page);
    void showKivoIdsOn(TabPage *page);
    void openDebugWindow();
    QRect availableArea() const;
    void keepOwnWindow(QWidget *window);
    void buildDataActions();
    //! A page for `history` as a new tab; null when no band page fits it.
    TabPage *addHistoryPage(const RfSpectrumHistory &history, const QString &title);
    bool openCsvFile(const QString &path);
    void buildSurvey();
    void buildMarkers();

    MainWindowForm m_form;
    ShownPage *m_shownPage = nullptr;
    DeviceComms *m_device = nullptr;
    QLabel *m_lblAppVersion = nullptr;
    QLabel *m_lblRadioVersion = nullptr;
    QLabel *m_lblHostVersion = nullptr;
    FirmwareController *m_firmware = nullptr;
    DeviceReturnWatch *m_returnWatch = nullptr;
    QLabel *m_lblSessionState = nullptr; //!< the session's state in words
    QLabel *m_lblOverload = nullptr;     //!< the scanned page's overload warning
    QTimer m_stateTimer;                 //!< refreshes the sweep rate while scanning
    bool m_deviceLost = false;           //!< the last session ended with the device gone
    ProjectInfoDialog *m_projectInfoDialog = nullptr;
    ProjectInfoData m_projectInfo;
    bool m_projectInfoConfirmed = false; //!< the user saved the project texts this session
    InstanceChannel *m_channel = nullptr;
    QStringList m_receivedArguments;
    bool m_debugMode = false;
    bool m_qcMode = false;
    QString m_portOverride; //!< "-port": used as is, no discovery

    TabPage2400 *m_page2400 = nullptr;
    TabPage900 *m_page900 = nullptr;
    KivoIdPanel *m_kivoIdPanel = nullptr; //!< the KiVo dock's contents
    SurveyController *m_survey = nullptr;
    MarkersController *m_markers = nullptr;
    AutosaveController *m_autosave = nullptr;
    AlarmController *m_alarms = nullptr;
    RemoteController *m_remote = nullptr;

    ScanSession *m_session = nullptr;
    RfParams m_rfParams[2]; //!< the radio's RBW tables (2.4 GHz, 900 MHz) as it reported them
    int m_rfParamsSeen = 0; //!< tables the running connect has reported

    // Debug window, About boxes and manual viewers have no parent, so they
    // never keep the program alive; the window deletes what is left of them.
    QList<QPointer<QWidget>> m_ownWindows;
    QPointer<DebugWindow> m_debugWindow;
    std::unique_ptr<ManualLauncher> m_manualLauncher;
};
