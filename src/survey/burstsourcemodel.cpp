#include "burstsourcemodel.h"

#include <QDateTime>

#include <algorithm>

namespace {

QString dbmText(int dbm)
{
    // A real minus sign, as the report writes it.
    return dbm < 0 ? QStringLiteral("\u2212%1").arg(-dbm) : QString::number(dbm);
}

qint64 durationMs(const BurstSource &s)
{
    return qMax<qint64>(0, timeSpanMs(s.endMs, s.startMs));
}

} // namespace

bool sameSource(const BurstSource &a, const BurstSource &b)
{
    return a.kind == b.kind && a.startMs == b.startMs && a.endMs == b.endMs &&
           a.lowMHz == b.lowMHz && a.highMHz == b.highMHz && a.peakDbm == b.peakDbm &&
           a.count() == b.count();
}

void BurstSourceModel::setSources(const QVector<BurstSource> &sources)
{
    beginResetModel();
    m_sources = sources;
    endResetModel();
}

QVector<BurstSource> BurstSourceModel::takeRows(QList<int> rows)
{
    // From the last row up, so the rows still to go keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QVector<BurstSource> removed;
    for (int row : qAsConst(rows)) {
        if (row < 0 || row >= m_sources.size())
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        removed.prepend(m_sources.takeAt(row));
        endRemoveRows();
    }
    return removed;
}

int BurstSourceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_sources.size();
}

int BurstSourceModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BurstSourceModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_sources.size())
        return QVariant();
    const BurstSource &s = m_sources.at(index.row());
    if (role == Qt::UserRole) { // sort key
        switch (index.column()) {
        case KindColumn:
            return int(s.kind);
        case FromColumn:
            return s.startMs;
        case RangeColumn:
            return s.lowMHz;
        case PeakColumn:
            return s.peakDbm;
        case BurstsColumn:
            return s.count();
        case DurationColumn:
            return durationMs(s);
        case ShareColumn:
            return s.duty;
        }
        return QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return index.column() >= PeakColumn ? int(Qt::AlignRight | Qt::AlignVCenter)
                                            : int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole)
        return s.text();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case KindColumn:
        return s.kindText();
    case FromColumn:
        return QDateTime::fromMSecsSinceEpoch(s.startMs).toString(QStringLiteral("hh:mm:ss"));
    case RangeColumn:
        return QStringLiteral("%1\u2013%2")
            .arg(QString::number(s.lowMHz, 'f', 1), QString::number(s.highMHz, 'f', 1));
    case PeakColumn:
        return dbmText(s.peakDbm);
    case BurstsColumn:
        return s.count();
    case DurationColumn:
        return QString::number(durationMs(s) / 1000.0, 'f', 1);
    case ShareColumn:
        return QString::number(s.duty * 100, 'f', 1);
    }
    return QVariant();
}

QVariant BurstSourceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case KindColumn:
        return tr("Kind");
    case FromColumn:
        return tr("From");
    case RangeColumn:
        return tr("Range [MHz]");
    case PeakColumn:
        return tr("Peak [dBm]");
    case BurstsColumn:
        return tr("Bursts");
    case DurationColumn:
        return tr("Duration [s]");
    case ShareColumn:
        return tr("Sweeps [%]");
    }
    return QVariant();
}

void BurstSourceFilter::setMinimumLevel(int dbm)
{
    m_minimumLevel = dbm;
    invalidateFilter();
}

void BurstSourceFilter::setMinimumDurationMs(qint64 ms)
{
    m_minimumDurationMs = ms;
    invalidateFilter();
}

void BurstSourceFilter::setSpan(double lowMHz, double highMHz)
{
    m_lowMHz = lowMHz;
    m_highMHz = highMHz;
    invalidateFilter();
}

bool BurstSourceFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *model = qobject_cast<const BurstSourceModel *>(sourceModel());
    if (!model || sourceRow >= model->sources().size())
        return false;
    const BurstSource &s = model->sources().at(sourceRow);
    return s.peakDbm >= m_minimumLevel && durationMs(s) >= m_minimumDurationMs &&
           s.highMHz >= m_lowMHz && s.lowMHz <= m_highMHz;
}
