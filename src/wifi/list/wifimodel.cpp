#include "wifimodel.h"

WifiModel::WifiModel(QObject *parent) : QAbstractItemModel(parent) {}

int WifiModel::channelNumber(double frequencyMHz)
{
    // Exact centres only; 14 stands apart from the 5 MHz raster.
    for (int channel = 1; channel <= 14; ++channel)
        if (wifiChannelFrequencies[size_t(channel)] == frequencyMHz)
            return channel;
    return 0;
}

QModelIndex WifiModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= m_rows.size() || column < 0 || column >= ColumnCount)
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex WifiModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int WifiModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int WifiModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

bool WifiModel::hasChildren(const QModelIndex &parent) const
{
    return !parent.isValid();
}

QVariant WifiModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const WifiRow &r = m_rows.at(index.row());
    switch (index.column()) {
    case CheckColumn:
        if (role == Qt::CheckStateRole)
            return int(r.checkState);
        if (role == Qt::ToolTipRole)
            return r.bssid;
        break;
    case NameColumn:
        if (role == Qt::DisplayRole)
            return r.ssid.isEmpty() ? tr("(hidden network)") : r.ssid;
        if (role == Qt::ForegroundRole)
            return r.present ? r.color : r.color.darker(200);
        break;
    case RssiColumn:
        if (role == Qt::DisplayRole)
            return int(r.rssi);
        break;
    case ChannelColumn:
        if (role == Qt::DisplayRole)
            return channelNumber(r.frequency);
        break;
    case BssidColumn:
        if (role == Qt::DisplayRole)
            return r.bssid;
        break;
    }
    return QVariant();
}

QVariant WifiModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case NameColumn:
        return tr("Name");
    case RssiColumn:
        return tr("RSSI [dBm]");
    case ChannelColumn:
        return tr("Channel");
    case BssidColumn:
        return tr("BSSID");
    default:
        return QVariant(); // the header draws the select-all box there
    }
}

Qt::ItemFlags WifiModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return Qt::NoItemFlags;
    if (index.column() == CheckColumn)
        return Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
    return (m_rows.at(index.row()).present ? Qt::ItemIsEnabled : Qt::NoItemFlags) |
           Qt::ItemNeverHasChildren;
}

bool WifiModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != CheckColumn ||
        index.row() >= m_rows.size() || m_filterEnabled)
        return false;
    m_rows[index.row()].checkState = value.toInt() == Qt::Checked ? Qt::Checked : Qt::Unchecked;
    emit dataChanged(createIndex(index.row(), 0), createIndex(index.row(), ColumnCount - 1),
                     {Qt::CheckStateRole});
    return true;
}

Qt::CheckState WifiModel::filteredState(const WifiRow &row) const
{
    return row.rssi < m_threshold ? Qt::Unchecked : Qt::Checked;
}

void WifiModel::announceChecks(int first, int last)
{
    emit dataChanged(createIndex(first, CheckColumn), createIndex(last, CheckColumn),
                     {Qt::CheckStateRole});
}

WifiScan WifiModel::updateNetworks(const WifiScan &scan, bool checkNew)
{
    for (WifiRow &r : m_rows)
        r.present = false;
    WifiScan result;
    for (const WifiApInfo &ap : scan) {
        const auto known = m_rowOfBssid.constFind(ap.bssid);
        if (known != m_rowOfBssid.constEnd()) {
            const int i = known.value();
            WifiRow &r = m_rows[i];
            r.present = true;
            r.rssi = ap.rssi;
            emit dataChanged(createIndex(i, RssiColumn), createIndex(i, RssiColumn),
                             {Qt::DisplayRole});
            if (m_filterEnabled) {
                m_rows[i].checkState = filteredState(m_rows.at(i));
                announceChecks(i, i);
            }
            if (m_rows.at(i).checkState == Qt::Checked)
                result.append(m_rows.at(i));
            continue;
        }
        const int i = m_rows.size();
        beginInsertRows(QModelIndex(), i, i);
        WifiRow r;
        static_cast<WifiApInfo &>(r) = ap;
        r.present = true;
        if (m_filterEnabled && ap.rssi < m_threshold)
            r.checkState = Qt::Unchecked;
        else
            r.checkState = checkNew ? Qt::Checked : Qt::Unchecked;
        m_rows.append(r);
        m_rowOfBssid.insert(ap.bssid, i);
        endInsertRows();
        if (r.checkState == Qt::Checked)
            result.append(ap);
    }
    // Rows that left the scan change their look too.
    if (!m_rows.isEmpty())
        emit dataChanged(createIndex(0, NameColumn), createIndex(m_rows.size() - 1, ChannelColumn),
                         {Qt::ForegroundRole});
    return result;
}

void WifiModel::setAllChecked(bool checked)
{
    for (WifiRow &r : m_rows)
        r.checkState = checked ? Qt::Checked : Qt::Unchecked;
    if (!m_rows.isEmpty())
        announceChecks(0, m_rows.size() - 1);
}

WifiScan WifiModel::setFilterEnabled(bool enable)
{
    m_filterEnabled = enable;
    for (WifiRow &r : m_rows)
        r.checkState = enable ? filteredState(r) : Qt::Checked;
    if (!m_rows.isEmpty())
        announceChecks(0, m_rows.size() - 1);
    return checkedNetworks();
}

WifiScan WifiModel::setFilterThreshold(int value)
{
    m_threshold = value;
    if (m_filterEnabled) {
        for (int i = 0; i < m_rows.size(); ++i) {
            m_rows[i].checkState = filteredState(m_rows.at(i));
            announceChecks(i, i);
        }
    }
    return checkedNetworks();
}

WifiScan WifiModel::checkedNetworks() const
{
    WifiScan result;
    for (const WifiRow &r : m_rows)
        if (r.present && r.checkState == Qt::Checked)
            result.append(r);
    return result;
}

void WifiModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rowOfBssid.clear();
    endResetModel();
}

bool WifiProxyModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const QAbstractItemModel *m = sourceModel();
    auto checkOf = [m](const QModelIndex &i) {
        return m->index(i.row(), WifiModel::CheckColumn).data(Qt::CheckStateRole).toUInt();
    };
    switch (left.column()) {
    case WifiModel::CheckColumn:
        return checkOf(left) < checkOf(right);
    case WifiModel::ChannelColumn:
        return left.data().toUInt() < right.data().toUInt();
    default:
        break;
    }
    const bool leftEnabled = m->flags(left) & Qt::ItemIsEnabled;
    const bool rightEnabled = m->flags(right) & Qt::ItemIsEnabled;
    if (leftEnabled != rightEnabled)
        return rightEnabled;
    const uint leftCheck = checkOf(left);
    const uint rightCheck = checkOf(right);
    if (leftCheck != rightCheck)
        return leftCheck < rightCheck;
    if (left.column() == WifiModel::NameColumn || left.column() == WifiModel::BssidColumn)
        return left.data().toString() < right.data().toString();
    return left.data().toInt() < right.data().toInt();
}
