#include "shownpage.h"

#include "tabpage.h"

#include <QTabWidget>

ShownPage::ShownPage(QTabWidget *tabs) : QObject(tabs), m_tabs(tabs)
{
    connect(tabs, &QTabWidget::currentChanged, this,
            [this](int index) { emit pageShown(pageAt(index), index); });
}

TabPage *ShownPage::page() const
{
    return pageAt(m_tabs->currentIndex());
}

TabPage *ShownPage::pageAt(int index) const
{
    // Every tab holds a page; the cast only guards a tab still being built.
    return qobject_cast<TabPage *>(m_tabs->widget(index));
}

QList<TabPage *> ShownPage::pages() const
{
    QList<TabPage *> pages;
    for (int i = 0; i < m_tabs->count(); ++i)
        if (TabPage *page = pageAt(i))
            pages.append(page);
    return pages;
}

int ShownPage::index() const
{
    return m_tabs->currentIndex();
}
