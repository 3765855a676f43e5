#include "markerscontroller.h"

#include "markertable.h"
#include "plotaids.h"
#include "shownpage.h"
#include "tabpage.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QSettings>

namespace {
const QString shownKey = QStringLiteral("plot/markerTable");
}

MarkersController::MarkersController(QMainWindow *window, ShownPage *shown) : QObject(window)
{
    auto *dock = new QDockWidget(tr("Markers"), window);
    dock->setObjectName(QStringLiteral("dockWidgetMarkers"));
    dock->setMinimumSize(320, 35);
    // Without a close button: the Markers action alone shows and hides it,
    // so the two never disagree.
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setAllowedAreas(Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    m_table = new MarkerTable(nullptr, dock);
    m_table->setObjectName(QStringLiteral("dockWidgetContentsMarkers"));
    dock->setWidget(m_table);
    window->addDockWidget(Qt::RightDockWidgetArea, dock);
    m_dock = dock;

    auto *toggle = new QAction(tr("Markers"), window);
    toggle->setObjectName(QStringLiteral("actionMarkers"));
    toggle->setToolTip(tr("Marker table (T)"));
    toggle->setShortcut(QKeySequence(Qt::Key_T));
    toggle->setCheckable(true);
    toggle->setChecked(QSettings().value(shownKey, false).toBool());
    window->addAction(toggle);
    m_toggle = toggle;
    dock->setVisible(toggle->isChecked());
    connect(toggle, &QAction::toggled, this, [dock](bool on) {
        dock->setVisible(on);
        if (on)
            dock->raise();
        QSettings().setValue(shownKey, on);
    });
    connect(shown, &ShownPage::pageShown, this, &MarkersController::follow);
}

void MarkersController::follow(TabPage *page)
{
    m_table->setMarkers(page && page->plotAids() ? page->plotAids()->markers() : nullptr);
}
