#pragma once

#include <QHeaderView>
#include <QModelIndex>
#include <QTableView>

//! A header that reports the pointer over it as "no cell".
class KivoIdTableHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    explicit KivoIdTableHeaderView(Qt::Orientation orientation, QWidget *parent = nullptr);

signals:
    void hoverIndexChanged(QModelIndex index);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
};

// The KiVo ID grid: a click toggles one cell, a header section selects its
// row or column. Every pointer move reports the cell under it (invalid over
// empty space and the headers), and leaving the view reports "no cell" too,
// so a hover highlight never outlives the pointer.
class KivoIdTableView : public QTableView
{
    Q_OBJECT
public:
    explicit KivoIdTableView(QWidget *parent = nullptr);

signals:
    void hoverIndexChanged(QModelIndex index);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
};
