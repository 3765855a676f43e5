#pragma once

#include <QList>
#include <QObject>

class QTabWidget;
class TabPage;

// Which page the window shows. The one listener of the tab widget's current
// page: docks, actions and the scan follow `pageShown` instead of each
// listening to the tabs and guessing what a tab holds.
class ShownPage : public QObject
{
    Q_OBJECT
public:
    explicit ShownPage(QTabWidget *tabs);

    //! The page on screen; null when no tab is current.
    TabPage *page() const;
    //! The page of tab `index`; null when there is none.
    TabPage *pageAt(int index) const;
    //! Every page, in tab order.
    QList<TabPage *> pages() const;
    int index() const;

signals:
    //! Tab `index` became current (`page` null when no tab is).
    void pageShown(TabPage *page, int index);

private:
    QTabWidget *m_tabs;
};
