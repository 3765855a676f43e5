#pragma once

#include "channelwatch.h"
#include "limitline.h"

#include <QDialog>
#include <QVector>

class QTabWidget;
class QTableWidget;

//! The limit lines in a small table: one row per line, its points written
//! as "frequency level" pairs separated by ";". Import and export go through
//! the limit file, so what the table accepts is what a file may hold. A
//! second table holds the channel watches, one row per Wi-Fi channel or
//! KiVo ID.
class LimitsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LimitsDialog(QWidget *parent = nullptr);

    void setLimits(const QVector<LimitLine> &limits);
    //! The table's lines; false with the problem named when a row is wrong.
    bool limits(QVector<LimitLine> *limits, QString *error) const;
    void setChannelWatches(const QVector<ChannelWatch> &watches);
    //! Both tables; false with the problem named when a row is wrong.
    bool limits(QVector<LimitLine> *limits, QVector<ChannelWatch> *watches, QString *error) const;
    QTableWidget *table() const { return m_table; }
    QTableWidget *watchTable() const { return m_watchTable; }

    static QString pointsText(const QVector<LimitPoint> &points);

public slots:
    void accept() override;
    void addRow();
    void addWatchRow();
    void importFile();
    void exportFile();

private:
    void appendRow(const LimitLine &line);
    void appendWatchRow(const ChannelWatch &watch);
    //! The rows as a limit file, or empty with `error` set.
    QByteArray document(QString *error) const;

    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_table = nullptr;
    QTableWidget *m_watchTable = nullptr;
};
