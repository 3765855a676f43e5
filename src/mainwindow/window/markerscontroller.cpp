#include "markerscontroller.h"

#include "markertable.h"
#include "plotaids.h"
#include "shownpage.h"
#include "sweepmarker.h"
#include "tabpage.h"

#include <QAction>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

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
    auto *contents = new QWidget(dock);
    m_table = new MarkerTable(nullptr, contents);
    m_table->setObjectName(QStringLiteral("dockWidgetContentsMarkers"));
    // The sweep marked on the waterfall, with its time, under the markers.
    m_sweepRow = new QWidget(contents);
    m_sweepLabel = new QLabel(m_sweepRow);
    m_sweepLabel->setObjectName(QStringLiteral("markedSweepLabel"));
    m_sweepClear = new QPushButton(tr("Clear"), m_sweepRow);
    m_sweepClear->setToolTip(tr("Clear the marked sweep (Shift+M)"));
    auto *row = new QHBoxLayout(m_sweepRow);
    row->setContentsMargins(4, 0, 4, 0);
    row->addWidget(m_sweepLabel, 1);
    row->addWidget(m_sweepClear);
    m_sweepRow->hide();
    connect(m_sweepClear, &QPushButton::clicked, this, [this] {
        if (m_page && m_page->sweepMarker())
            m_page->sweepMarker()->clear();
    });
    auto *layout = new QVBoxLayout(contents);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_sweepRow);
    dock->setWidget(contents);
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
    disconnect(m_sweepChanged);
    m_page = page;
    if (page && page->sweepMarker())
        m_sweepChanged = connect(page->sweepMarker(), &SweepMarker::changed, this,
                                 &MarkersController::showMarkedSweep);
    showMarkedSweep();
}

void MarkersController::showMarkedSweep()
{
    const QString text =
        m_page && m_page->sweepMarker() ? m_page->sweepMarker()->text() : QString();
    m_sweepLabel->setText(text);
    m_sweepRow->setVisible(!text.isEmpty());
}
