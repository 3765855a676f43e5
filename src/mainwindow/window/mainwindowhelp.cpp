// The Help menu's windows and the debug window: free-standing windows that
// never keep the program running, closed with the main window.
#include "mainwindow.h"

#include "about.h"
#include "debugwindow.h"
#include "devicecomms.h"
#include "manuallauncher.h"

#include "mainwindowlog.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

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
