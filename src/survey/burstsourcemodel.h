#pragma once

#include "bursts.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

//! The sources Find bursts came up with, one row each. Sorting reads
//! Qt::UserRole (numbers where the text is a number with a unit).
class BurstSourceModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        KindColumn,
        FromColumn,
        RangeColumn,
        PeakColumn,
        BurstsColumn,
        DurationColumn, //!< first burst's start to last burst's end
        ShareColumn,    //!< share of the sweeps on air
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setSources(const QVector<BurstSource> &sources);
    const QVector<BurstSource> &sources() const { return m_sources; }
    //! Takes the rows out of the list; returns the sources removed.
    QVector<BurstSource> takeRows(QList<int> rows);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVector<BurstSource> m_sources;
};

//! Shows the sources at least as strong and as long as asked whose range
//! meets the chosen span.
class BurstSourceFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setMinimumLevel(int dbm);
    void setMinimumDurationMs(qint64 ms);
    //! Sources whose range meets [lowMHz, highMHz]; an empty span shows none.
    void setSpan(double lowMHz, double highMHz);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    int m_minimumLevel = NoDataLevel;
    qint64 m_minimumDurationMs = 0;
    double m_lowMHz = -1e300;
    double m_highMHz = 1e300;
};

//! True when the two describe the same source of the same findings.
bool sameSource(const BurstSource &a, const BurstSource &b);
