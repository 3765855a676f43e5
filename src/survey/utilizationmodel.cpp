#include "utilizationmodel.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace {

bool sameChannels(const UtilizationResult &a, const UtilizationResult &b)
{
    if (a.channels.size() != b.channels.size())
        return false;
    for (int i = 0; i < a.channels.size(); ++i) {
        const SurveyChannel &x = a.channels.at(i).channel;
        const SurveyChannel &y = b.channels.at(i).channel;
        if (x.kind != y.kind || x.number != y.number)
            return false;
    }
    return true;
}

QString percent(double share)
{
    return qIsNaN(share) ? QString() : QString::number(share * 100.0, 'f', 1);
}

} // namespace

void UtilizationModel::setResult(const UtilizationResult &result)
{
    // Rows stay put while the time bar moves, so a sorted view and the
    // user's place in it survive every update.
    if (sameChannels(m_result, result) && !m_result.channels.isEmpty()) {
        m_result = result;
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    m_result = result;
    endResetModel();
}

void UtilizationModel::setKivoIdTicked(int kivoId, bool ticked)
{
    if (ticked == m_ticked.contains(kivoId))
        return;
    if (ticked)
        m_ticked.insert(kivoId);
    else
        m_ticked.remove(kivoId);
    for (int row = 0; row < m_result.channels.size(); ++row) {
        const SurveyChannel &c = m_result.channels.at(row).channel;
        if (c.kind == SurveyChannel::KivoId && c.number == kivoId)
            emit dataChanged(index(row, ChannelColumn), index(row, ChannelColumn));
    }
}

int UtilizationModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_result.channels.size();
}

int UtilizationModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant UtilizationModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_result.channels.size())
        return QVariant();
    const ChannelUtilization &u = m_result.channels.at(index.row());
    const bool best = m_result.isBest(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case ChannelColumn:
            return u.partial ? u.channel.name() + QStringLiteral(" *") : u.channel.name();
        case RangeColumn:
            return u.channel.rangeText();
        case UtilizationColumn:
            return percent(u.utilization);
        case PeakColumn:
            return percent(u.peak);
        case LevelColumn:
            return qIsNaN(u.persistentDbm) ? QString() : QString::number(u.persistentDbm);
        case OverlapsColumn:
            return u.overlaps.join(QStringLiteral(", "));
        case NetworksColumn:
            return u.networks.join(QStringLiteral(", "));
        }
        break;
    case Qt::UserRole: // sort key
        switch (index.column()) {
        case ChannelColumn:
            return index.row();
        case RangeColumn:
            return u.channel.lowMHz;
        case UtilizationColumn:
            return u.hasData() ? u.utilization : 2.0;
        case PeakColumn:
            return u.hasData() ? u.peak : 2.0;
        case LevelColumn:
            return qIsNaN(u.persistentDbm) ? -1000.0 : u.persistentDbm;
        case OverlapsColumn:
            return u.overlaps.join(QStringLiteral(", "));
        case NetworksColumn:
            return u.networks.size();
        }
        break;
    case Qt::CheckStateRole:
        if (index.column() == ChannelColumn && u.channel.kind == SurveyChannel::KivoId)
            return m_ticked.contains(u.channel.number) ? Qt::Checked : Qt::Unchecked;
        break;
    case Qt::BackgroundRole:
        if (best)
            return QBrush(QColor(40, 110, 60));
        if (u.carrier)
            return QBrush(QColor(120, 40, 40));
        break;
    case Qt::FontRole:
        if (best) {
            QFont f;
            f.setBold(true);
            return f;
        }
        break;
    case Qt::ToolTipRole:
        if (u.partial)
            return tr("The range reaches beyond the swept span; it is not ranked.");
        if (best)
            return tr("Recommended");
        if (u.carrier)
            return tr("Not to use: %1").arg(u.reasonToAvoid());
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == UtilizationColumn || index.column() == PeakColumn ||
            index.column() == LevelColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    return QVariant();
}

QVariant UtilizationModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case ChannelColumn:
        return tr("Channel");
    case RangeColumn:
        return tr("Range");
    case UtilizationColumn:
        return tr("Utilization %");
    case PeakColumn:
        return tr("Worst point %");
    case LevelColumn:
        return tr("Level dBm");
    case OverlapsColumn:
        return tr("Overlaps");
    case NetworksColumn:
        return tr("Networks");
    }
    return QVariant();
}

Qt::ItemFlags UtilizationModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ChannelColumn &&
        index.row() < m_result.channels.size() &&
        m_result.channels.at(index.row()).channel.kind == SurveyChannel::KivoId)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool UtilizationModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !(flags(index) & Qt::ItemIsUserCheckable))
        return false;
    const int id = m_result.channels.at(index.row()).channel.number;
    const bool ticked = value.toInt() == Qt::Checked;
    if (ticked == m_ticked.contains(id))
        return true;
    setKivoIdTicked(id, ticked);
    emit kivoIdTicked(id, ticked);
    return true;
}
