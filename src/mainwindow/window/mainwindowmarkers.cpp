// The marker dock: one table for the window, listing the markers of the page
// on screen.
#include "mainwindow.h"

#include "markertable.h"
#include "plotaids.h"
#include "tabpage.h"
#include "tnwtabwidget.h"

#include <QAction>
#include <QDockWidget>
#include <QSettings>

namespace {
const QString shownKey = QStringLiteral("plot/markerTable");
}

void MainWindow::buildMarkers()
{
    auto *dock = new QDockWidget(tr("Markers"), this);
    dock->setObjectName(QStringLiteral("dockWidgetMarkers"));
    dock->setMinimumSize(320, 35);
    // Without a close button: the Markers action alone shows and hides it,
    // so the two never disagree.
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setAllowedAreas(Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    m_markerTable = new MarkerTable(nullptr, dock);
    m_markerTable->setObjectName(QStringLiteral("dockWidgetContentsMarkers"));
    dock->setWidget(m_markerTable);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    m_form.dockWidgetMarkers = dock;

    auto *toggle = new QAction(tr("Markers"), this);
    toggle->setObjectName(QStringLiteral("actionMarkers"));
    toggle->setToolTip(tr("Marker table (T)"));
    toggle->setShortcut(QKeySequence(Qt::Key_T));
    toggle->setCheckable(true);
    toggle->setChecked(QSettings().value(shownKey, false).toBool());
    addAction(toggle);
    m_form.actionMarkers = toggle;
    dock->setVisible(toggle->isChecked());
    connect(toggle, &QAction::toggled, this, [dock](bool on) {
        dock->setVisible(on);
        if (on)
            dock->raise();
        QSettings().setValue(shownKey, on);
    });
    connect(m_form.tabWidget, &QTabWidget::currentChanged, this,
            [this](int index) { followMarkerPage(m_form.tabWidget->widget(index)); });
}

void MainWindow::followMarkerPage(QWidget *widget)
{
    auto *page = qobject_cast<TabPage *>(widget);
    m_markerTable->setMarkers(page && page->plotAids() ? page->plotAids()->markers() : nullptr);
}
