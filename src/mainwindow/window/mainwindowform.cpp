// The main window's form, built in code with the object names the slots are
// connected by.
#include "mainwindow.h"
#include "tabpage.h"
#include "tnwtabwidget.h"
#include "wifilist.h"

#include <QAction>
#include <QDockWidget>
#include <QGridLayout>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

PageActions MainWindowForm::pageActions() const
{
    PageActions a;
    a.snapshot = actionSnapshot;
    a.save = actionSave;
    a.record = actionRecord;
    a.stop = actionStop;
    a.toggleView = actionToggle_View;
    a.kivoIds = actionLumaweave_KivoIds;
    a.toggleChannels = actionToggle_Channels;
    a.showWifi = actionShow_Wifi;
    a.wifiList = actionToggle_Wifi_List;
    a.markers = actionMarkers;
    a.wifiListWidget = qobject_cast<WifiList *>(dockWidgetContentsWifiList);
    return a;
}

static QAction *makeAction(QMainWindow *window, const char *name, const QString &text,
                           const QString &toolTip = QString(),
                           const QKeySequence &shortcut = QKeySequence(), bool checkable = false)
{
    auto *action = new QAction(text, window);
    action->setObjectName(QLatin1String(name));
    if (!toolTip.isEmpty())
        action->setToolTip(toolTip);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    action->setCheckable(checkable);
    // Shortcuts must work whichever page shows the action's button.
    window->addAction(action);
    return action;
}

static QDockWidget *makeDock(QMainWindow *window, const char *name, const QString &title,
                             const char *contentsName, QWidget **contents)
{
    auto *dock = new QDockWidget(title, window);
    dock->setObjectName(QLatin1String(name));
    dock->setMinimumSize(320, 35);
    dock->setFloating(false);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setAllowedAreas(Qt::RightDockWidgetArea);
    *contents = new QWidget(dock);
    (*contents)->setObjectName(QLatin1String(contentsName));
    dock->setWidget(*contents);
    window->addDockWidget(Qt::RightDockWidgetArea, dock);
    return dock;
}

void MainWindow::buildForm()
{
    MainWindowForm &f = m_form;
    setObjectName(QStringLiteral("MainWindow"));
    resize(466, 121);
    // Below this the plots' axis labels and the tool bars start to overlap.
    setMinimumSize(800, 600);

    f.actionConnect = makeAction(this, "actionConnect", tr("Connect"), tr("Connect to device"));
    f.actionQuit = makeAction(this, "actionQuit", tr("Quit"));
    f.actionDisconnect =
        makeAction(this, "actionDisconnect", tr("Disconnect"), tr("Disconnect from device"));
    f.actionSnapshot = makeAction(this, "actionSnapshot", tr("Snapshot"),
                                  tr("Take a snapshot of the current view"));
    f.actionSave = makeAction(this, "actionSave", tr("Save"), tr("Save the recording"),
                              QKeySequence(QStringLiteral("Ctrl+S")));
    f.actionRecord =
        makeAction(this, "actionRecord", tr("Scan"), tr("Start capturing the spectrum"),
                   QKeySequence(QStringLiteral("Space")));
    f.actionStop = makeAction(this, "actionStop", tr("Stop"), tr("Stop capturing the spectrum"),
                              QKeySequence(QStringLiteral("Space")));
    f.actionOpen = makeAction(this, "actionOpen", tr("Open"), tr("Open saved recording"),
                              QKeySequence(QStringLiteral("Ctrl+O")));
    f.actionToggle_View = makeAction(this, "actionToggle_View", tr("Spectrogram View"),
                                     tr("Toggle between spectrogram/waterfall view"));
    f.actionShow_Wifi = makeAction(this, "actionShow_Wifi", tr("Show Wi-Fi"),
                                   tr("Show/Hide Wi-Fi Netowrks"), QKeySequence(), true);
    f.actionToggle_Wifi_List = makeAction(this, "actionToggle_Wifi_List", tr("Wi-Fi List"),
                                          tr("Show/Hide Wi-Fi List"), QKeySequence(), true);
    f.actionUpdate_Firmware = makeAction(this, "actionUpdate_Firmware", tr("Update Firmware"));
    f.actionLumaweave_KivoIds =
        makeAction(this, "actionLumaweave_KivoIds", tr("Lumaweave KiVo IDs"),
                   tr("Show Lumaweave KiVo IDs details"), QKeySequence(), true);
    f.actionAbout =
        makeAction(this, "actionAbout", tr("About"), tr("View information about this application"));
    f.actionUser_Manual =
        makeAction(this, "actionUser_Manual", tr("User Manual"), tr("Open the user manual"));
    // The text names the channel numbers both 2.4 GHz plots show on top.
    f.actionToggle_Channels =
        makeAction(this, "actionToggle_Channels", tr("Wi-Fi Chan."),
                   tr("Channel numbers on the top axis: Wi-Fi or ZigBee (click to switch)"));
    f.actionTarnwell_Website = makeAction(this, "actionTarnwell_Website", tr("Tarnwell Website"));
    f.actionProject_Info = makeAction(this, "actionProject_Info", tr("Project Info"));
    // Playback actions exist in the form but nothing offers them yet.
    f.actionPlay = new QAction(tr("Play"), this);
    f.actionPlay->setObjectName(QStringLiteral("actionPlay"));
    f.actionPlay->setToolTip(tr("Start playback of saved record"));
    f.actionPause = new QAction(tr("Pause"), this);
    f.actionPause->setObjectName(QStringLiteral("actionPause"));
    f.actionPause->setToolTip(tr("Pause playback of saved record"));
    f.actionSnapshotEmail = new QAction(tr("Email snapshot"), this);
    f.actionSnapshotEmail->setObjectName(QStringLiteral("actionSnapshotEmail"));
    f.actionSnapshotEmail->setToolTip(
        tr("Take a snapshot of the current view and send it over email"));

    f.centralwidget = new QWidget(this);
    f.centralwidget->setObjectName(QStringLiteral("centralwidget"));
    auto *grid = new QGridLayout(f.centralwidget);
    grid->setObjectName(QStringLiteral("gridLayout"));
    f.tabWidget = new TnwTabWidget(f.centralwidget);
    f.tabWidget->setObjectName(QStringLiteral("tabWidget"));
    f.tabWidget->setTabsClosable(true);
    grid->addWidget(f.tabWidget, 0, 0);
    setCentralWidget(f.centralwidget);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("statusbar"));
    setStatusBar(status);

    f.toolBar = new QToolBar(tr("toolBar"), this);
    f.toolBar->setObjectName(QStringLiteral("toolBar"));
    f.toolBar->setMovable(false);
    f.toolBar->setFloatable(false);
    addToolBar(Qt::TopToolBarArea, f.toolBar);
    f.toolBar->addAction(f.actionConnect);
    f.toolBar->addAction(f.actionDisconnect);
    f.toolBar->addSeparator();
    f.toolBar->addAction(f.actionOpen);
    f.toolBar->addSeparator();
    f.toolBar->addAction(f.actionProject_Info);
    f.toolBar->addSeparator();

    f.dockWidgetWifiList = makeDock(this, "dockWidgetWifiList", tr("Wi-Fi List"),
                                    "dockWidgetContentsWifiList", &f.dockWidgetContentsWifiList);
    installWifiList();
    f.dockWidgetKivoIds = makeDock(this, "dockWidgetKivoIds", tr("Lumaweave KiVo IDs"),
                                   "dockWidgetContentsKivoIds", &f.dockWidgetContentsKivoIds);
    setWindowTitle(tr("Orvanel"));
}

void MainWindow::buildHelpMenu()
{
    MainWindowForm &f = m_form;
    auto *menu = new QMenu(this);
    menu->addAction(f.actionUser_Manual);
    menu->addAction(f.actionTarnwell_Website);
    menu->addAction(f.actionUpdate_Firmware);
    menu->addAction(f.actionAbout);
    f.helpButton = new QToolButton(f.toolBar);
    f.helpButton->setText(tr("Help") + QStringLiteral("  "));
    f.helpButton->setPopupMode(QToolButton::InstantPopup);
    f.helpButton->setMenu(menu);
    f.toolBar->addWidget(f.helpButton);
    f.toolBar->addSeparator();
    f.toolBar->addAction(f.actionQuit);
    f.toolBar->toggleViewAction()->setEnabled(false);
}
