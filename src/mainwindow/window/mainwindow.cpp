#include "mainwindow.h"

#include "about.h"
#include "alarmcontroller.h"
#include "appversion.h"
#include "autosavecontroller.h"
#include "commandline.h"
#include "debugwindow.h"
#include "devicecomms.h"
#include "devicereturnwatch.h"
#include "dialogseam.h"
#include "firmwarecontroller.h"
#include "fwupdatedialog.h"
#include "instancechannel.h"
#include "kivoidpanel.h"
#include "manuallauncher.h"
#include "markerscontroller.h"
#include "projectinfodialog.h"
#include "rangeslider.h"
#include "recordingio.h"
#include "recordingui.h"
#include "remotecontroller.h"
#include "rtlpowercsv.h"
#include "scansession.h"
#include "serialcomms.h"
#include "shownpage.h"
#include "snapshot.h"
#include "surveycontroller.h"
#include "tabpage.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include "mainwindowlog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

const char *const MainWindow::applicationVersion = orvanelApplicationVersion;
const char *const MainWindow::expectedRadioVersion = "1.0.0.9.0.0";
const char *const MainWindow::expectedHostVersion = "1.0.0.9.0.69";

MainWindow::MainWindow(QWidget *parent, bool runStartupActions) : QMainWindow(parent)
{
    m_device = new DeviceComms(this);
    // Before the window's own listeners: they read the scan's state updated.
    m_session = new ScanSession(m_device, this);
    buildForm();
    // Before anything that follows the shown page listens.
    m_shownPage = new ShownPage(m_form.tabWidget);
    buildDataActions();
    m_form.dockWidgetWifiList->hide();
    m_form.dockWidgetKivoIds->hide();
    tabifyDockWidget(m_form.dockWidgetWifiList, m_form.dockWidgetKivoIds);
    buildKivoIdPanel();
    buildSurvey();
    buildMarkers();
    {
        const QList<QAction *> bar = m_form.toolBar->actions();
        m_remote =
            new RemoteController(this, m_form.tabWidget, m_form.pageActions(), m_form.toolBar,
                                 bar.value(bar.indexOf(m_form.actionExport_Csv) + 1));
    }

    restoreWindowGeometry();

    m_channel = new InstanceChannel(this);
    m_channel->listen();

    buildReconnect();

    if (qApp) {
        connect(qApp, &QCoreApplication::aboutToQuit, m_device, &DeviceComms::shutdown);
        connect(qApp, &QCoreApplication::aboutToQuit, this, &MainWindow::saveWindowGeometry);
    }
    connect(m_device, &DeviceComms::busyChanged, this, &MainWindow::onDcBusyChanged);
    connect(m_device, &DeviceComms::connectedChanged, this, &MainWindow::onDcConnectedChanged);
    connect(m_device, &DeviceComms::scanningChanged, this, &MainWindow::onDcScanningChanged);
    connect(m_device, &DeviceComms::scanningChanged, m_form.actionUpdate_Firmware,
            &QAction::setDisabled);
    connect(m_session, &ScanSession::sweep, this, &MainWindow::onScanSweep);
    connect(m_session, &ScanSession::stateChanged, this, &MainWindow::updateActionStates);
    connect(m_session, &ScanSession::ready, this, &MainWindow::onScanReady);
    connect(m_device, &DeviceComms::shouldTryBootload, this, &MainWindow::startBootloader);
    connect(m_device, &DeviceComms::rfsaGetRfParamsDone, this, &MainWindow::onRfParams);
    connect(m_device, &DeviceComms::deviceLost, this, &MainWindow::onDcDeviceLost);
    m_device->setLossAnnouncedByOwner(true);
    m_stateTimer.setInterval(1000);
    connect(&m_stateTimer, &QTimer::timeout, this, &MainWindow::updateSessionState);
    connect(m_device, &DeviceComms::rfsaGetInfoStrDone, this, &MainWindow::onRfsaGetInfoStrDone);
    connect(m_channel, &InstanceChannel::argumentsReceived, this,
            &MainWindow::onNewLocalConnection);

    buildHelpMenu();

    m_lblAppVersion = new QLabel(QStringLiteral("A: v") + QLatin1String(applicationVersion), this);
    m_lblRadioVersion = new QLabel(QStringLiteral("R: v---"), this);
    m_lblHostVersion = new QLabel(QStringLiteral("H: v---"), this);
    m_lblSessionState = new QLabel(this);
    m_lblSessionState->setObjectName(QStringLiteral("lblSessionState"));
    statusBar()->addPermanentWidget(m_lblSessionState);
    statusBar()->addPermanentWidget(m_lblAppVersion);
    statusBar()->addPermanentWidget(m_lblRadioVersion);
    statusBar()->addPermanentWidget(m_lblHostVersion);

    buildPages();
    m_autosave = new AutosaveController(m_page2400, m_page900, this);
    buildAlarms();
    buildOverloadWarning();
    m_survey->follow(m_shownPage->page()); // the tabs went in unannounced
    m_markers->follow(m_shownPage->page());
    connect(m_shownPage, &ShownPage::pageShown, this, &MainWindow::syncViewToggleText);

    statusBar()->showMessage(tr("Ready to connect"));
    m_form.actionPause->setEnabled(false);
    updateActionStates();
    updateSessionState();

    buildFirmwareUpdate();
    buildProjectInfo();

    QMetaObject::connectSlotsByName(this);
    connect(m_shownPage, &ShownPage::pageShown, this,
            [this](TabPage *, int index) { on_tabWidget_currentChanged(index); });

    if (runStartupActions)
        QTimer::singleShot(0, this, &MainWindow::startupActions);
}

UtilizationDock *MainWindow::utilizationDock() const
{
    return m_survey->utilizationDock();
}

MarkerTable *MainWindow::markerTable() const
{
    return m_markers->table();
}

void MainWindow::buildSurvey()
{
    m_survey = new SurveyController(
        this, m_shownPage, m_kivoIdPanel, m_form.toolBar, m_form.actionExport_Csv,
        [this](const TabPage *page) { return proposedBaseName(page); },
        [this] { return m_projectInfo; });
    m_form.dockWidgetUtilization = m_survey->dock();
    m_form.actionUtilization = m_survey->toggleAction();
    m_form.actionFind_Bursts = m_survey->findBurstsAction();
    m_form.actionExport_Report = m_survey->exportReportAction();
}

void MainWindow::buildMarkers()
{
    m_markers = new MarkersController(this, m_shownPage);
    m_form.dockWidgetMarkers = m_markers->dock();
    m_form.actionMarkers = m_markers->toggleAction();
}

void MainWindow::buildKivoIdPanel()
{
    // The panel takes the place (and object name) of the form's placeholder.
    QDockWidget *dock = m_form.dockWidgetKivoIds;
    delete m_form.dockWidgetContentsKivoIds;
    m_kivoIdPanel = new KivoIdPanel(dock);
    m_kivoIdPanel->setObjectName(QStringLiteral("dockWidgetContentsKivoIds"));
    dock->setWidget(m_kivoIdPanel);
    m_form.dockWidgetContentsKivoIds = m_kivoIdPanel;
    connect(m_kivoIdPanel, &KivoIdPanel::kivoIdSelected, this, &MainWindow::onKivoIdSelected);
    connect(m_kivoIdPanel, &KivoIdPanel::kivoIdDeselected, this, &MainWindow::onKivoIdDeselected);
    // Connected before the pages go in, so the grid follows every change of
    // the current tab, also those the window makes while it is being built.
    connect(m_shownPage, &ShownPage::pageShown, this, &MainWindow::followKivoIdBand);
}

void MainWindow::followKivoIdBand(TabPage *page)
{
    if (page)
        m_kivoIdPanel->setBand(page->band() == TabPage::Band::Band900 ? KivoIdModel::Band900
                                                                      : KivoIdModel::Band2400);
}

void MainWindow::showKivoIdsOn(TabPage *page)
{
    // A page that joins later draws what the panel shows, like the others.
    page->kivoIdSelection(m_kivoIdPanel->shownKivoIds());
}

void MainWindow::buildPages()
{
    const PageActions actions = m_form.pageActions();
    m_page2400 = new TabPage2400(actions, m_form.tabWidget);
    m_page900 = new TabPage900(actions, m_form.tabWidget);
    // Block currentChanged while the band tabs go in: nothing is scanning yet.
    const bool blocked = m_form.tabWidget->blockSignals(true);
    m_form.tabWidget->addTab(m_page2400, tr("2.4 GHz"));
    m_form.tabWidget->addTab(m_page900, tr("900 MHz"));
    m_form.tabWidget->blockSignals(blocked);
    for (int i = 0; i < 2; ++i) {
        m_form.tabWidget->tabBar()->setTabButton(i, QTabBar::LeftSide, nullptr);
        m_form.tabWidget->tabBar()->setTabButton(i, QTabBar::RightSide, nullptr);
    }
}

void MainWindow::buildAlarms()
{
    m_alarms = new AlarmController(this, m_page2400, m_page900);
    // A stopped scan or a lost device ends the alarms still on.
    const auto endAlarms = [this](bool on) {
        if (!on)
            m_alarms->endAlarms();
    };
    connect(m_device, &DeviceComms::scanningChanged, m_alarms, endAlarms);
    connect(m_device, &DeviceComms::connectedChanged, m_alarms, endAlarms);
    // A remote node's page keeps alarms of its own, ended when its sweeps stop.
    connect(m_remote, &RemoteController::pageOpened, m_alarms, &AlarmController::watchRemotePage);
    connect(m_remote, &RemoteController::sweepShown, m_alarms, &AlarmController::onSweep);
    connect(m_remote, &RemoteController::pageStalled, m_alarms, &AlarmController::endRemoteAlarms);
    // After the project's texts, before Help.
    const QList<QAction *> bar = m_form.toolBar->actions();
    const int at = bar.indexOf(m_form.actionProject_Info) + 2;
    QAction *before = at > 1 && at < bar.size() ? bar.at(at) : nullptr;
    m_form.toolBar->insertWidget(before, m_alarms->toolButton());
    m_form.toolBar->insertSeparator(before);
}

void MainWindow::buildOverloadWarning()
{
    m_lblOverload = new QLabel(this);
    m_lblOverload->setObjectName(QStringLiteral("lblOverloadWarning"));
    m_lblOverload->setStyleSheet(QStringLiteral(
        "QLabel { background-color: #b00020; color: white; font-weight: bold; padding: 0 4px; }"));
    m_lblOverload->hide();
    statusBar()->insertPermanentWidget(0, m_lblOverload);
    // The limit is the user's (a mast-top antenna or an attenuator moves it).
    const int limit =
        QSettings().value(QStringLiteral("OverloadLimit"), OverloadWatch::DefaultLimitDbm).toInt();
    for (TabPage *page : {static_cast<TabPage *>(m_page2400), static_cast<TabPage *>(m_page900)}) {
        page->setOverloadLimit(limit);
        connect(page, &TabPage::overloadChanged, this, [this](const QString &text) {
            m_lblOverload->setText(text);
            m_lblOverload->setVisible(!text.isEmpty());
        });
    }
}

void MainWindow::restoreWindowGeometry()
{
    QRect defaultRect;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        defaultRect = QRect(0, 0, avail.width(), int(avail.height() * 0.66));
        defaultRect.moveCenter(avail.center());
    }
    QSettings settings;
    const QRect rect = settings.value(QStringLiteral("WindowGeometry"), defaultRect).toRect();
    if (rect.isValid())
        setGeometry(rect);
    if (settings.value(QStringLiteral("WindowMaximized"), false).toBool())
        showMaximized();
}

void MainWindow::saveWindowGeometry()
{
    QSettings settings;
    settings.setValue(QStringLiteral("WindowMaximized"), isMaximized());
    if (!isMaximized())
        settings.setValue(QStringLiteral("WindowGeometry"), geometry());
}

void MainWindow::onDcBusyChanged(bool busy)
{
    if (busy)
        statusBar()->showMessage(tr("Busy"));
    else
        statusBar()->clearMessage();
    updateSessionState();
}

void MainWindow::onNewLocalConnection(const QStringList &arguments)
{
    m_receivedArguments = arguments;
    qCDebug(lcMainWindow) << "Arguments from another instance:" << arguments;
    processArguments(QStringList(m_receivedArguments), nullptr);
}

void MainWindow::onKivoIdSelected(int id)
{
    for (TabPage *page : m_shownPage->pages())
        page->kivoIdSelected(id);
}

void MainWindow::onKivoIdDeselected(int id)
{
    for (TabPage *page : m_shownPage->pages())
        page->kivoIdDeselected(id);
}

void MainWindow::on_actionToggle_View_triggered()
{
    if (TabPage *page = m_shownPage->page())
        page->toggleView();
    QAction *a = m_form.actionToggle_View;
    a->setText(a->text() == tr("Waterfall View") ? tr("Spectrogram View") : tr("Waterfall View"));
    syncViewToggleText();
}

void MainWindow::syncViewToggleText()
{
    if (TabPage *page = m_shownPage->page())
        m_form.actionToggle_View->setText(page->currentView() == 0 ? tr("Spectrogram View")
                                                                   : tr("Waterfall View"));
}

void MainWindow::on_actionToggle_Wifi_List_toggled(bool enabled)
{
    const TabPage *page = m_shownPage->page();
    if (!page || page->band() != TabPage::Band::Band2400)
        return;
    m_form.dockWidgetWifiList->setVisible(enabled);
    if (enabled)
        m_form.dockWidgetWifiList->raise();
}

void MainWindow::on_actionLumaweave_KivoIds_toggled(bool enabled)
{
    m_form.dockWidgetKivoIds->setVisible(enabled);
    if (enabled)
        m_form.dockWidgetKivoIds->raise();
}

void MainWindow::on_tabWidget_tabCloseRequested(int index)
{
    if (index < 2)
        return; // band tabs have no close button
    QWidget *page = m_form.tabWidget->widget(index);
    m_autosave->discardPageJournal(page); // closing a recovered scan unsaved discards it
    m_form.tabWidget->removeTab(index);
    if (page)
        page->deleteLater();
}

void MainWindow::on_actionTarnwell_Website_triggered()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("https://www.tarnwell.com/")));
}

// What the scan hands on to what a crash or a quit would lose.
void MainWindow::countSweepTaken(ScanPlan::Band band)
{
    m_autosave->countSweepTaken(band);
}

void MainWindow::forgetSavedSweeps()
{
    m_autosave->forgetSavedSweeps();
}

int MainWindow::unsavedSweeps(ScanPlan::Band band)
{
    return m_autosave->unsavedSweeps(band);
}

void MainWindow::autosaveSweep(ScanPlan::Band band, qint64 timeStamp,
                               const RfSpectrumScan &spectrum)
{
    m_autosave->addSweep(band, timeStamp, spectrum, m_session->scanWanted());
}

void MainWindow::endAutosave(bool remove)
{
    m_autosave->end(remove);
}

void MainWindow::offerRecovery()
{
    m_autosave->offerRecovery([this](const RfSpectrumHistory &history, const QString &title) {
        return addHistoryPage(history, title);
    });
}

// The firmware update and a device that comes back are controllers of their
// own; the window's slots forward to them.

FwUpdateDialog *MainWindow::fwUpdateDialog() const
{
    return m_firmware->dialog();
}

bool MainWindow::waitingForDevice() const
{
    return m_returnWatch->waiting();
}

void MainWindow::buildFirmwareUpdate()
{
    m_firmware = new FirmwareController(m_device, this, QLatin1String(expectedRadioVersion),
                                        QLatin1String(expectedHostVersion));
    // While the update owns the session the window offers nothing that
    // would use the port.
    connect(m_device, &DeviceComms::updateLockChanged, this, [this] { updateActionStates(); });
    connect(m_firmware, &FirmwareController::reconnectWanted, this,
            &MainWindow::on_actionConnect_triggered);
}

void MainWindow::onRfsaGetInfoStrDone(uchar cpu, uchar str, QString data)
{
    if (str != 0)
        return;
    if (cpu == 0) {
        m_lblRadioVersion->setText(QStringLiteral("R: v") + data);
        m_firmware->radioVersionReported(data);
    } else if (cpu == 1) {
        m_lblHostVersion->setText(QStringLiteral("H: v") + data);
        m_firmware->hostVersionReported(data);
    }
}

void MainWindow::startBootloader()
{
    m_firmware->offerRadioRecovery();
}

void MainWindow::on_actionUpdate_Firmware_triggered()
{
    m_firmware->open();
}

void MainWindow::buildReconnect()
{
    m_returnWatch = new DeviceReturnWatch(m_device, this);
    connect(m_returnWatch, &DeviceReturnWatch::connectWanted, this, [this](const QString &port) {
        m_rfParamsSeen = 0;
        m_device->setPortName(port);
        m_device->connectToDevice(m_debugMode);
    });
}

bool MainWindow::resumeAfterReconnect()
{
    const int resume = m_returnWatch->takeResumeBand();
    if (resume < 0)
        return false;
    const auto band = ScanPlan::Band(resume);
    // The page the scan went to is the one shown; nothing scans yet, so the
    // switch restarts nothing.
    if (m_form.tabWidget->currentIndex() != int(band))
        m_form.tabWidget->setCurrentIndex(int(band));
    bandPage(band)->fillMissingHist();
    m_session->start(band);
    updateActionStates();
    updateSessionState();
    return true;
}

// The command line and the start-up actions.
void MainWindow::processArguments(const QStringList &arguments, bool *fileOpened)
{
    if (arguments.size() <= 1)
        return;
    const QVector<CommandLine::Step> steps = CommandLine::parse(arguments);
    int debugWindows = 0; // opened last, so a "-port" anywhere joins their port lists
    for (const CommandLine::Step &step : steps) {
        switch (step.kind) {
        case CommandLine::Step::OpenFile:
            if (QFileInfo(step.text).isFile()) {
                openRecordingFile(step.text);
                if (fileOpened)
                    *fileOpened = true;
            }
            break;
        case CommandLine::Step::Debug:
            m_debugMode = true;
            ++debugWindows;
            break;
        case CommandLine::Step::Rbw:
            m_session->setRbwOverride(step.intValue);
            break;
        case CommandLine::Step::Ampl:
            m_session->setAmplitudeOffset(step.intValue);
            break;
        case CommandLine::Step::FStep:
            m_session->setFStepOverride(step.doubleValue);
            break;
        case CommandLine::Step::Qc:
            m_qcMode = true;
            applyQcMode();
            break;
        case CommandLine::Step::Port:
            m_portOverride = step.text;
            break;
        case CommandLine::Step::Watch:
            watchRemoteScanners(step.text);
            break;
        case CommandLine::Step::Help:
            break; // main() prints the help before any window exists
        }
    }
    for (int i = 0; i < debugWindows; ++i)
        openDebugWindow();
}

void MainWindow::watchRemoteScanners(const QString &url)
{
    QString error;
    if (!m_remote->watchAll(url, &error))
        DialogSeam::warning(tr("Watch Remote Scanners"),
                            tr("Remote scanners cannot be watched:\n%1").arg(error));
}

void MainWindow::applyQcMode()
{
    for (TabPage *page : m_shownPage->pages())
        page->addQcPassLine();
    m_device->setQcMode(true);
}

void MainWindow::startupActions()
{
    offerRecovery();
    bool fileOpened = false;
    processArguments(QCoreApplication::arguments(), &fileOpened);
    // A program started to watch scanners elsewhere looks for one of its own
    // only when told which.
    if (!fileOpened && (!m_remote->watchesBroker() || !m_portOverride.isEmpty()))
        m_form.actionConnect->trigger();
    m_form.actionShow_Wifi->trigger();
}

// What the window tells about the session: the state label in the status bar
// and the one message when the device goes away.
void MainWindow::updateSessionState()
{
    const QString port = m_device->currentPortName();
    QString text;
    if (m_device->scanning() && m_session->scanBand() >= 0) {
        const QString band =
            m_session->scanBand() == ScanPlan::Band900 ? tr("900 MHz") : tr("2.4 GHz");
        const int rate = qRound(m_session->sweepsPerSecond());
        text = tr("Scanning %1 on %2, %3 sweeps/s").arg(band, port).arg(rate);
        if (m_returnWatch->recentlyResumed())
            text = tr("Reconnected") + QStringLiteral(". ") + text;
    } else if (m_device->connected()) {
        text = tr("Connected on %1").arg(port);
    } else if (waitingForDevice()) {
        text = tr("Device lost: waiting for it to come back");
    } else if (m_device->busy()) {
        text = tr("Connecting…");
    } else if (m_deviceLost) {
        text = tr("Device lost");
    } else {
        text = tr("Not connected");
    }
    m_lblSessionState->setText(text);
    showScanSettings();
}

void MainWindow::askToSave(const QString &why)
{
    QString text = tr("Do you want to save the recording?");
    if (!why.isEmpty())
        text = why + (why.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ")) +
               text;
    const int answer = DialogSeam::question(tr("Recording stopped"), text,
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        m_form.actionSave->trigger();
    else if (answer == QMessageBox::No) {
        // Discarded: nothing to recover at the next start, nothing to ask
        // about on Quit.
        m_autosave->discardUnsaved();
    }
}

void MainWindow::onDcDeviceLost(const QString &text)
{
    m_deviceLost = true;
    // A port that went away comes back when the cable is plugged in again;
    // a device that stopped sending on a port still there is another fault.
    const bool portGone = text.startsWith(SerialComms::deviceLostText());
    if (portGone && m_session->scanWanted() && !m_qcMode && m_session->scanBand() >= 0 &&
        !waitingForDevice()) {
        // A loose cable must not end a survey: wait for the device instead
        // of asking to save. Stop ends the wait (and asks then).
        m_returnWatch->waitFor(ScanPlan::Band(m_session->scanBand()));
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                updateSessionState();
                updateActionStates();
                statusBar()->showMessage(
                    text + QStringLiteral(". ") +
                    tr("Plug the scanner in again: the scan resumes by itself."));
            },
            Qt::QueuedConnection);
        return;
    }
    if (waitingForDevice())
        return; // a failed attempt to reconnect: keep waiting quietly
    const bool capturing = m_session->scanWanted() && !m_qcMode;
    // The session lowers its flags right after this signal: speak once it
    // has, so the window behind the box already shows the device gone (and
    // the scanned page, which stays current, can be saved from the box).
    QMetaObject::invokeMethod(
        this,
        [this, text, capturing] {
            updateSessionState();
            if (capturing)
                askToSave(text);
            else
                DialogSeam::critical(tr("Error"), text);
        },
        Qt::QueuedConnection);
}

// Leaving the program, and what is left unsaved when it goes: Quit and the
// window's close button ask the question Stop asks, but only while some
// sweep of a live page has not been saved.
bool MainWindow::confirmQuit()
{
    if (m_qcMode)
        return true;
    // False to stay: Cancel, or a save cancelled or failed. `path`: where Yes saved.
    const auto offerSave = [this](TabPage *page, const QString &why, QString *path) {
        const int answer = DialogSeam::question(
            tr("Quit"), why + QLatin1Char(' ') + tr("Do you want to save the recording?"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            *path = RecordingUi::save(this, page->history(), proposedBaseName(page));
        return answer == QMessageBox::No || (answer == QMessageBox::Yes && !path->isEmpty());
    };
    for (const ScanPlan::Band band : {ScanPlan::Band2400, ScanPlan::Band900}) {
        const int unsaved = unsavedSweeps(band);
        if (unsaved == 0)
            continue;
        TabPage *page = bandPage(band);
        QString path;
        if (!offerSave(page,
                       tr("%n sweeps of the %1 band are not saved.", nullptr, unsaved)
                           .arg(band == ScanPlan::Band900 ? tr("900 MHz") : tr("2.4 GHz")),
                       &path))
            return false;
        if (!path.isEmpty())
            m_autosave->noteSaved(page, path);
    }
    // A remote node's page holds what it was sent and nothing else does.
    for (TabPage *page : m_remote->pages()) {
        const int unsaved = m_remote->unsavedSweeps(page);
        QString path;
        if (unsaved > 0 && !offerSave(page,
                                      tr("%n sweeps of node %1 are not saved.", nullptr, unsaved)
                                          .arg(m_remote->nodeOf(page)),
                                      &path))
            return false;
        if (!path.isEmpty())
            m_remote->noteSaved(page);
    }
    // Answered: nothing is left for the next start to offer, and sweeps
    // still arriving while the program ends belong to no recording.
    m_session->stop();
    endAutosave(true);
    return true;
}

void MainWindow::on_actionQuit_triggered()
{
    if (m_firmware->quitRefused())
        return;
    if (confirmQuit())
        QCoreApplication::exit(0);
}

void MainWindow::quitOnSignal()
{
    if (m_firmware->quitRefused())
        return;
    // Nobody is there to answer the save question: the journal is closed
    // and kept, so the next start offers the scan as it does after a crash.
    m_session->stop();
    endAutosave(false);
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!confirmQuit()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// The Help menu's windows and the debug window: free-standing windows that
// never keep the program running, closed with the main window.
MainWindow::~MainWindow()
{
    for (const QPointer<QWidget> &w : qAsConst(m_ownWindows))
        delete w.data();
}

DebugWindow *MainWindow::debugWindow() const
{
    return m_debugWindow.data();
}

void MainWindow::setManualLauncher(std::unique_ptr<ManualLauncher> launcher)
{
    m_manualLauncher = std::move(launcher);
}

QRect MainWindow::placeBeside(const QRect &window, const QSize &size, const QRect &available)
{
    // Right of the window when there is room, else left of it, else over
    // its right edge: always inside the screen, never at x = 1925 on a
    // 1920-pixel screen.
    const int w = qMin(size.width(), available.width());
    const int h = qMin(size.height(), available.height());
    int x = window.right() + 6;
    if (x + w - 1 > available.right())
        x = window.left() - 6 - w;
    if (x < available.left())
        x = available.right() - w + 1;
    const int y = qBound(available.top(), window.top(), available.bottom() - h + 1);
    return QRect(x, y, w, h);
}

QRect MainWindow::availableArea() const
{
    QScreen *screen = QGuiApplication::screenAt(frameGeometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void MainWindow::keepOwnWindow(QWidget *window)
{
    m_ownWindows.erase(std::remove_if(m_ownWindows.begin(), m_ownWindows.end(),
                                      [](const QPointer<QWidget> &p) { return p.isNull(); }),
                       m_ownWindows.end());
    m_ownWindows.append(window);
}

void MainWindow::on_actionAbout_triggered()
{
    auto *about = new About;
    keepOwnWindow(about);
    about->show();
}

void MainWindow::on_actionUser_Manual_triggered()
{
    if (!m_manualLauncher)
        m_manualLauncher = std::make_unique<ManualLauncher>();
    if (QWidget *viewer = m_manualLauncher->open(this))
        keepOwnWindow(viewer);
}

void MainWindow::openDebugWindow()
{
    auto *w = new DebugWindow(QStringList{m_portOverride});
    keepOwnWindow(w);
    m_debugWindow = w;
    const QSize wanted(qMax(500, w->minimumSizeHint().width()), height());
    w->setGeometry(placeBeside(frameGeometry(), wanted, availableArea()));
    w->show();

    DeviceComms *dc = m_device;
    connect(dc, &DeviceComms::log, w, &DebugWindow::log);
    connect(w, &DebugWindow::serialPortChanged, dc, &DeviceComms::setPortName);
    connect(w, &DebugWindow::connect, dc, &DeviceComms::rfsaConnect);
    connect(w, &DebugWindow::disconnect, dc, &DeviceComms::rfsaDisconnect);
    connect(w, &DebugWindow::getDevVerClicked, dc, &DeviceComms::rfsaGetDeviceVer);
    connect(w, &DebugWindow::getFwVerClicked, dc, &DeviceComms::rfsaGetFwVer);
    connect(w, &DebugWindow::getRfParamsClicked, dc, &DeviceComms::rfsaGetRfParams);
    connect(w, &DebugWindow::getLastErrorClicked, dc, &DeviceComms::rfsaGetLastError);
    connect(w, &DebugWindow::syncClicked, dc, &DeviceComms::rfsaSync);
    connect(w, &DebugWindow::hostBLClicked, dc, &DeviceComms::rfsaHostBL);
    connect(w, &DebugWindow::setFBand, dc, &DeviceComms::rfsaSetFBand);
    connect(w, &DebugWindow::setFStart, dc, &DeviceComms::rfsaSetFStart);
    connect(w, &DebugWindow::setFStop, dc, &DeviceComms::rfsaSetFStop);
    connect(w, &DebugWindow::setSpanIndex, dc, &DeviceComms::rfsaSetSpanIndex);
    connect(w, &DebugWindow::setFStep, dc, &DeviceComms::rfsaSetFStep);
    // The register is 8 bits wide; the field stops at 99.
    connect(w, &DebugWindow::setRBW, dc, [dc](ushort rbw) { dc->rfsaSetRBW(uchar(rbw)); });
    connect(w, &DebugWindow::setStepCount, dc, &DeviceComms::rfsaSetStepCount);
    connect(w, &DebugWindow::setSpan, dc, &DeviceComms::rfsaSetSpan);
    connect(w, &DebugWindow::getSpecNoInit, dc, &DeviceComms::rfsaGetSpecNoInit);
    connect(w, &DebugWindow::getCalibration, dc, &DeviceComms::rfsaGetCalibration);

    // Hand-sent commands would take a running sequence's replies.
    w->setBusy(dc->busy());
    w->setScanning(dc->scanning());
    connect(dc, &DeviceComms::busyChanged, w, &DebugWindow::setBusy);
    connect(dc, &DeviceComms::scanningChanged, w, &DebugWindow::setScanning);
    // A firmware update owns the port until it ends.
    w->setUpdateLocked(dc->updateLocked());
    connect(dc, &DeviceComms::updateLockChanged, w, &DebugWindow::setUpdateLocked);

    DeviceComms::logPortInfo();
}

// Data in and out of the window: rtl_power CSV import and export, and pages
// made from a history.
void MainWindow::buildDataActions()
{
    QAction *a = new QAction(tr("Export CSV"), this);
    a->setObjectName(QStringLiteral("actionExport_Csv"));
    a->setToolTip(tr("Export the shown time range as rtl_power CSV"));
    m_form.actionExport_Csv = a;
    const QList<QAction *> actions = m_form.toolBar->actions();
    const int open = actions.indexOf(m_form.actionOpen);
    m_form.toolBar->insertAction(actions.value(open + 1), a);
}

TabPage *MainWindow::addHistoryPage(const RfSpectrumHistory &history, const QString &title)
{
    TabPage *page = nullptr;
    switch (RecordingIo::pageBandForInterval(history.frequencyInterval)) {
    case RecordingIo::PageBand::Band900:
        page = new TabPage900(history, m_form.pageActions(), m_form.tabWidget);
        break;
    case RecordingIo::PageBand::Band2400:
        page = new TabPage2400(history, m_form.pageActions(), m_form.tabWidget);
        break;
    case RecordingIo::PageBand::None:
        return nullptr;
    }
    m_alarms->showOnRecordedPage(page);
    const int index = m_form.tabWidget->addTab(page, title);
    m_form.tabWidget->setTabToolTip(index, title);
    if (m_session->scanWanted())
        m_form.tabWidget->setTabEnabled(index, false); // Stop enables it
    else
        m_form.tabWidget->setCurrentIndex(index);
    return page;
}

bool MainWindow::openCsvFile(const QString &path)
{
    const RtlPowerCsv::Import csv = RtlPowerCsv::importFile(path);
    if (!csv.ok) {
        DialogSeam::warning(
            tr("Open"),
            tr("\"%1\" cannot be opened:\n%2").arg(QDir::toNativeSeparators(path), csv.errorText));
        return false;
    }
    qCInfo(lcMainWindow) << "Imported" << csv.history.samples.size() << "sweeps from" << path << "("
                         << csv.rowsSkipped << "rows skipped)";
    return addHistoryPage(csv.history, RecordingIo::tabTitle(path)) != nullptr;
}

void MainWindow::on_actionExport_Csv_triggered()
{
    TabPage *page = m_shownPage->page();
    if (!page)
        return;
    page->flushRedraw(); // the time bar shows the range the user chose
    // The whole capture unless a range was chosen on the time bar.
    RfSpectrumSampleList samples = page->analysisSelection();
    if (samples.isEmpty())
        samples = page->bandHistory().samples();
    if (samples.isEmpty()) {
        DialogSeam::information(tr("Export CSV"), tr("There are no sweeps to export."));
        return;
    }
    const QString title = tr("Export CSV");
    const QString path = RecordingUi::askSaveFileName(
        title, QDir(RecordingIo::recordingDirectory()).filePath(proposedBaseName(page)),
        tr("rtl_power CSV:") + QStringLiteral(" *.csv"), QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    QString reason;
    if (!RtlPowerCsv::exportFile(path, samples, page->bandHistory().frequencyInterval(), &reason)) {
        DialogSeam::critical(tr("Error"), tr("The CSV file could not be written as \"%1\":\n%2")
                                              .arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    RecordingIo::rememberRecordingDirectory(path);
}

// Recordings, snapshots and project information as the window offers them.
bool MainWindow::openRecordingFile(const QString &path)
{
    if (RtlPowerCsv::isCsvFileName(path))
        return openCsvFile(path);
    const RecordingIo::Recording recording = RecordingIo::loadFile(path);
    if (recording.band == RecordingIo::PageBand::None)
        return false;
    TabPage *page = nullptr;
    if (recording.band == RecordingIo::PageBand::Band900)
        page = new TabPage900(recording.history, m_form.pageActions(), m_form.tabWidget);
    else
        page = new TabPage2400(recording.history, m_form.pageActions(), m_form.tabWidget);
    showKivoIdsOn(page);
    m_alarms->showOnRecordedPage(page);
    const QString title = RecordingIo::tabTitle(path);
    const int index = m_form.tabWidget->addTab(page, title);
    m_form.tabWidget->setTabToolTip(index, title);
    qCDebug(lcMainWindow) << "Opened recording" << path << "as tab" << index;
    if (m_session->scanWanted())
        m_form.tabWidget->setTabEnabled(index, false); // Stop enables it
    else
        m_form.tabWidget->setCurrentIndex(index);
    return true;
}

QString MainWindow::proposedBaseName(const TabPage *page) const
{
    const RfSpectrumHistory history = page->history();
    return RecordingIo::proposedBaseName(
        m_projectInfo.projectName, history.projectInfo.projectName,
        RecordingIo::bandTag(m_form.tabWidget->currentIndex(), history));
}

void MainWindow::on_actionSave_triggered()
{
    TabPage *page = m_shownPage->page();
    if (!page)
        return;
    const QString path = RecordingUi::save(this, page->history(), proposedBaseName(page));
    if (path.isEmpty())
        return;
    m_autosave->noteSaved(page, path);
    m_autosave->pageSaved(page, m_session->scanWanted());
    m_remote->noteSaved(page);
}

void MainWindow::on_actionOpen_triggered()
{
    RecordingUi::open(this, [this](const QString &path) { return openRecordingFile(path); });
}

void MainWindow::on_actionSnapshot_triggered()
{
    TabPage *page = m_shownPage->page();
    if (!page)
        return;
    Snapshot::save(this, page->snapshotPixmap(), proposedBaseName(page));
}

namespace {
const char *const lastProjectKeys[] = {"LastProject/Name", "LastProject/Id", "LastProject/Location",
                                       "LastProject/Technician"};

ProjectInfoData lastProject()
{
    QSettings s;
    ProjectInfoData d;
    d.projectName = s.value(QLatin1String(lastProjectKeys[0])).toString();
    d.projectId = s.value(QLatin1String(lastProjectKeys[1])).toString();
    d.scanLocation = s.value(QLatin1String(lastProjectKeys[2])).toString();
    d.technicianName = s.value(QLatin1String(lastProjectKeys[3])).toString();
    return d;
}
} // namespace

void MainWindow::buildProjectInfo()
{
    m_projectInfoDialog = new ProjectInfoDialog(this);
    // A technician scans the same site again and again: the last project's
    // texts are offered, and still confirmed at the first scan.
    m_projectInfoDialog->setData(lastProject());
    connect(m_projectInfoDialog, &QDialog::accepted, this, [this] {
        m_projectInfoConfirmed = true;
        setProjectInfoToHist();
        QSettings s;
        const QString values[] = {m_projectInfo.projectName, m_projectInfo.projectId,
                                  m_projectInfo.scanLocation, m_projectInfo.technicianName};
        for (int i = 0; i < 4; ++i)
            s.setValue(QLatin1String(lastProjectKeys[i]), values[i]);
    });
}

void MainWindow::on_actionProject_Info_triggered()
{
    m_projectInfoDialog->setData(m_projectInfo.projectName.isEmpty() && !m_projectInfoConfirmed
                                     ? lastProject()
                                     : m_projectInfo);
    m_projectInfoDialog->show();
    m_projectInfoDialog->raise();
}

void MainWindow::setProjectInfoToHist()
{
    m_projectInfo = m_projectInfoDialog->getData();
    m_page2400->setProjectInfo(m_projectInfo);
    m_page900->setProjectInfo(m_projectInfo);
}
