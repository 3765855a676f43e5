#pragma once

#include "limitline.h"

#include <QDialog>
#include <QVector>

class QTableWidget;

//! The limit lines in a small table: one row per line, its points written
//! as "frequency level" pairs separated by ";". Import and export go through
//! the limit file, so what the table accepts is what a file may hold.
class LimitsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LimitsDialog(QWidget *parent = nullptr);

    void setLimits(const QVector<LimitLine> &limits);
    //! The table's lines; false with the problem named when a row is wrong.
    bool limits(QVector<LimitLine> *limits, QString *error) const;
    QTableWidget *table() const { return m_table; }

    static QString pointsText(const QVector<LimitPoint> &points);

public slots:
    void accept() override;
    void addRow();
    void importFile();
    void exportFile();

private:
    void appendRow(const LimitLine &line);

    QTableWidget *m_table = nullptr;
};
