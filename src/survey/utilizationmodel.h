#pragma once

#include "utilization.h"

#include <QAbstractTableModel>
#include <QSet>

//! The Utilization dock's table: one row per channel, the recommended ones
//! highlighted; KiVo ID rows carry a tick box. Sorting reads Qt::UserRole.
class UtilizationModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        ChannelColumn,
        RangeColumn,
        UtilizationColumn,
        PeakColumn,  //!< the worst point's duty cycle
        LevelColumn, //!< the strongest persistent level
        OverlapsColumn,
        NetworksColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setResult(const UtilizationResult &result);
    const UtilizationResult &result() const { return m_result; }
    //! Ticks or clears a KiVo ID's box without reporting it.
    void setKivoIdTicked(int kivoId, bool ticked);
    bool isKivoIdTicked(int kivoId) const { return m_ticked.contains(kivoId); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    //! The user ticked (or cleared) a KiVo ID's box.
    void kivoIdTicked(int kivoId, bool ticked);

private:
    UtilizationResult m_result;
    QSet<int> m_ticked;
};
