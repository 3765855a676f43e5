#pragma once

#include "projectinfodata.h"
#include "rfspectrumhistory.h"

#include <QMetaObject>
#include <QObject>

#include <functional>

class KivoIdPanel;
class QAction;
class QDockWidget;
class QMainWindow;
class QToolBar;
class ShownPage;
class TabPage;
class UtilizationDock;

// The site survey in the window: the Utilization dock following the page on
// screen, "Find bursts" turning chosen bursts into time events, and the
// survey report of the shown range.
class SurveyController : public QObject
{
    Q_OBJECT
public:
    //! The base of a file name the window proposes for a page's data.
    using PageNamer = std::function<QString(const TabPage *)>;

    //! The survey's actions go into `toolBar` right after `after`.
    SurveyController(QMainWindow *window, ShownPage *shown, KivoIdPanel *kivoIdPanel,
                     QToolBar *toolBar, QAction *after, PageNamer pageName,
                     std::function<ProjectInfoData()> projectInfo);

    UtilizationDock *utilizationDock() const { return m_utilizationDock; }
    QDockWidget *dock() const { return m_dock; }
    QAction *toggleAction() const { return m_toggle; }
    QAction *findBurstsAction() const { return m_findBursts; }
    QAction *exportReportAction() const { return m_exportReport; }

    //! The dock works on `page` from now on (on nothing when null).
    void follow(TabPage *page);
    void findBursts();
    void exportReport();

private:
    //! The shown page and its selection (its whole history if nothing is
    //! selected); empty, with `nothingText` shown, when there is nothing.
    RfSpectrumSampleList shownSelection(TabPage **page, const QString &title,
                                        const QString &nothingText);

    QMainWindow *m_window;
    ShownPage *m_shown;
    KivoIdPanel *m_kivoIdPanel;
    PageNamer m_pageName;
    std::function<ProjectInfoData()> m_projectInfo;
    UtilizationDock *m_utilizationDock = nullptr;
    QDockWidget *m_dock = nullptr;
    QAction *m_toggle = nullptr;
    QAction *m_findBursts = nullptr;
    QAction *m_exportReport = nullptr;
    QMetaObject::Connection m_follow; //!< the shown page's selections to the dock
};
