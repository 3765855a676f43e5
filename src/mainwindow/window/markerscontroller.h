#pragma once

#include <QObject>

class MarkerTable;
class QAction;
class QDockWidget;
class QLabel;
class QPushButton;
class QMainWindow;
class ShownPage;
class TabPage;

// The Markers dock: one table for the window, listing the markers of the
// page on screen, shown and hidden by its action alone.
class MarkersController : public QObject
{
    Q_OBJECT
public:
    MarkersController(QMainWindow *window, ShownPage *shown);

    MarkerTable *table() const { return m_table; }
    QDockWidget *dock() const { return m_dock; }
    QAction *toggleAction() const { return m_toggle; }
    //! Lists the markers of `page` (none when null).
    void follow(TabPage *page);

private:
    void showMarkedSweep();

    MarkerTable *m_table = nullptr;
    QWidget *m_sweepRow = nullptr; //!< the page's marked sweep, under the table
    QLabel *m_sweepLabel = nullptr;
    QPushButton *m_sweepClear = nullptr;
    TabPage *m_page = nullptr;
    QMetaObject::Connection m_sweepChanged;
    QDockWidget *m_dock = nullptr;
    QAction *m_toggle = nullptr;
};
