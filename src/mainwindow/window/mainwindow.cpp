#include "mainwindow.h"

#include "alarmcontroller.h"
#include "appversion.h"
#include "autosavecontroller.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "instancechannel.h"
#include "kivoidpanel.h"
#include "markerscontroller.h"
#include "projectinfodialog.h"
#include "remotecontroller.h"
#include "scansession.h"
#include "shownpage.h"
#include "surveycontroller.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include "mainwindowlog.h"
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

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
    m_clock.start();
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
