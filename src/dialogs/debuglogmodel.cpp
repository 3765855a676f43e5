#include "debuglogmodel.h"

DebugLogModel::DebugLogModel(int capacity, QObject *parent)
    : QAbstractListModel(parent), m_capacity(qMax(1, capacity))
{
}

int DebugLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_count;
}

QVariant DebugLogModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_count)
        return {};
    return line(index.row());
}

QString DebugLogModel::timeText(int secondOfDay)
{
    const int s = qBound(0, secondOfDay, 24 * 3600 - 1);
    const char digits[] = {char('0' + s / 36000),      char('0' + s / 3600 % 10), ':',
                           char('0' + s % 3600 / 600), char('0' + s % 600 / 60),  ':',
                           char('0' + s % 60 / 10),    char('0' + s % 10)};
    return QString::fromLatin1(digits, int(sizeof digits));
}

QString DebugLogModel::line(int row) const
{
    if (row < 0 || row >= m_count)
        return {};
    const Entry &e = at(row);
    return timeText(e.secondOfDay) + QLatin1Char(' ') + e.msg;
}

void DebugLogModel::append(const QVector<Entry> &batch)
{
    if (batch.isEmpty())
        return;
    for (const Entry &e : batch)
        m_widest = qMax(m_widest, int(e.msg.size()));
    if (batch.size() >= m_capacity) {
        // The whole log is replaced: cheaper to tell the views once.
        beginResetModel();
        m_ring = batch.mid(batch.size() - m_capacity);
        m_head = 0;
        m_count = m_capacity;
        endResetModel();
        return;
    }
    const int overflow = m_count + batch.size() - m_capacity;
    if (overflow > 0) {
        beginRemoveRows(QModelIndex(), 0, overflow - 1);
        m_head = (m_head + overflow) % m_capacity;
        m_count -= overflow;
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), m_count, m_count + batch.size() - 1);
    for (const Entry &e : batch) {
        if (m_ring.size() < m_capacity)
            m_ring.append(e); // still filling: the ring has not wrapped, m_head is 0
        else
            m_ring[(m_head + m_count) % m_capacity] = e;
        ++m_count;
    }
    endInsertRows();
}

void DebugLogModel::clear()
{
    beginResetModel();
    m_ring.clear();
    m_head = 0;
    m_count = 0;
    m_widest = 0;
    endResetModel();
}
