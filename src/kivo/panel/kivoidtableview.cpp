#include "kivoidtableview.h"

#include <QMouseEvent>

KivoIdTableHeaderView::KivoIdTableHeaderView(Qt::Orientation orientation, QWidget *parent)
    : QHeaderView(orientation, parent)
{
    setMouseTracking(true);
    setSectionsClickable(true);
}

void KivoIdTableHeaderView::mouseMoveEvent(QMouseEvent *event)
{
    emit hoverIndexChanged(QModelIndex());
    // The base still tracks section hover and resizing.
    QHeaderView::mouseMoveEvent(event);
}

KivoIdTableView::KivoIdTableView(QWidget *parent) : QTableView(parent)
{
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    auto *horizontal = new KivoIdTableHeaderView(Qt::Horizontal, this);
    auto *vertical = new KivoIdTableHeaderView(Qt::Vertical, this);
    setHorizontalHeader(horizontal);
    setVerticalHeader(vertical);
    connect(horizontal, &KivoIdTableHeaderView::hoverIndexChanged, this,
            &KivoIdTableView::hoverIndexChanged);
    connect(vertical, &KivoIdTableHeaderView::hoverIndexChanged, this,
            &KivoIdTableView::hoverIndexChanged);
    setShowGrid(false);
    setSelectionMode(QAbstractItemView::MultiSelection);
    setCornerButtonEnabled(false);
}

void KivoIdTableView::mouseMoveEvent(QMouseEvent *event)
{
    // Not passed on: a drag must not sweep a selection over the grid.
    emit hoverIndexChanged(indexAt(event->pos()));
}

void KivoIdTableView::leaveEvent(QEvent *event)
{
    emit hoverIndexChanged(QModelIndex());
    QTableView::leaveEvent(event);
}
