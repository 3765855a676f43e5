#pragma once

#include "wifiapinfo.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QSortFilterProxyModel>

//! A network as the Wi-Fi list shows it.
struct WifiRow : WifiApInfo
{
    Qt::CheckState checkState = Qt::Unchecked; //!< checked or unchecked, never partial
    bool present = false;                      //!< in the latest scan merged
};

// Every network seen since the last clear, one row each in the order first
// seen: tick box (0), name (1), level (2), channel (3). A network keeps the
// name, frequency and colour it was first seen with; only its level follows
// later scans. Absent networks stay listed, greyed.
class WifiModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column
    {
        CheckColumn,
        NameColumn,
        RssiColumn,
        ChannelColumn,
        BssidColumn,
        ColumnCount
    };

    explicit WifiModel(QObject *parent = nullptr);

    //! Channel number 1..14 of an exact channel centre, else 0.
    static int channelNumber(double frequencyMHz);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    //! Ticks and unticks a row; refused while the filter decides.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    //! Merges one scan; returns its networks that are ticked.
    WifiScan updateNetworks(const WifiScan &scan, bool checkNew);
    void setAllChecked(bool checked);
    WifiScan setFilterEnabled(bool enable);
    WifiScan setFilterThreshold(int value);
    //! Present and ticked networks, in row order.
    WifiScan checkedNetworks() const;
    void clear();

    const WifiRow &row(int i) const { return m_rows.at(i); }
    bool filterEnabled() const { return m_filterEnabled; }
    int filterThreshold() const { return m_threshold; }

private:
    Qt::CheckState filteredState(const WifiRow &row) const;
    void announceChecks(int first, int last);

    QList<WifiRow> m_rows;
    QHash<QString, int> m_rowOfBssid;
    bool m_filterEnabled = false;
    int m_threshold = -80; //!< dBm; networks below it are unticked while filtering
};

// The list's order: present networks first, ticked before unticked, then by
// the sort column (with the default descending sort on the level, strongest
// first). Filters nothing.
class WifiProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
};
