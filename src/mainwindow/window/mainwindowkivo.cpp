// The KiVo ID dock: the panel's selections reach every page, and the panel
// shows the grid of the band on screen.
#include "mainwindow.h"

#include "kivoidpanel.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "tnwtabwidget.h"

#include <QDockWidget>

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
    connect(m_form.tabWidget, &QTabWidget::currentChanged, this,
            [this](int index) { followKivoIdBand(m_form.tabWidget->widget(index)); });
}

void MainWindow::followKivoIdBand(QWidget *page)
{
    if (qobject_cast<TabPage900 *>(page))
        m_kivoIdPanel->setBand(KivoIdModel::Band900);
    else if (qobject_cast<TabPage2400 *>(page))
        m_kivoIdPanel->setBand(KivoIdModel::Band2400);
}

void MainWindow::showKivoIdsOn(TabPage *page)
{
    // A page that joins later draws what the panel shows, like the others.
    page->kivoIdSelection(m_kivoIdPanel->shownKivoIds());
}
