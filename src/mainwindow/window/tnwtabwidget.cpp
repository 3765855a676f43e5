#include "tnwtabwidget.h"

#include "mainwindowlog.h"
#include <QResizeEvent>

TnwTabWidget::TnwTabBar::TnwTabBar(QWidget *parent) : QTabBar(parent) {}

QSize TnwTabWidget::TnwTabBar::tabSizeHint(int index) const
{
    QSize hint = QTabBar::tabSizeHint(index);
    const int tabs = count() > 0 ? count() : 1;
    int w = qMin(m_maxTabWidth, width() / tabs);
    // The two band tabs are drawn a little narrower than the recordings'.
    if (index == 0 || index == 1)
        w -= 2;
    hint.setWidth(w);
    return hint;
}

TnwTabWidget::TnwTabWidget(QWidget *parent) : QTabWidget(parent)
{
    auto *bar = new TnwTabBar(this);
    bar->setDocumentMode(true);
    bar->setElideMode(Qt::ElideMiddle);
    setTabBar(bar);
}

void TnwTabWidget::resizeEvent(QResizeEvent *event)
{
    tabBar()->setFixedWidth(width());
    QTabWidget::resizeEvent(event);
    qCDebug(lcMainWindow) << "TabBar:" << tabBar()->minimumSize();
}
