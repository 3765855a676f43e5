// The Wi-Fi list in its dock; the 2.4 GHz pages drive it.
#include "mainwindow.h"

#include "wifilist.h"

#include <QDockWidget>

void MainWindow::installWifiList()
{
    MainWindowForm &f = m_form;
    auto *list = new WifiList(f.dockWidgetWifiList);
    list->setObjectName(QStringLiteral("dockWidgetContentsWifiList"));
    delete f.dockWidgetContentsWifiList; // the empty placeholder
    f.dockWidgetContentsWifiList = list;
    f.dockWidgetWifiList->setWidget(list);
}
