#include "kivoidmodel.h"

#include "kivolog.h"

KivoIdModel::KivoIdModel(QObject *parent)
    : QAbstractTableModel(parent), m_grid(&kivoIdGrid(KivoIdBand::Band2400))
{
}

int KivoIdModel::kivoId(const QModelIndex &index) const
{
    // Views and callers may still hold indexes of the other band's larger
    // grid; the grid itself answers those with 0.
    if (!index.isValid() || index.model() != this)
        return 0;
    return m_grid->idAt(index.row(), index.column());
}

int KivoIdModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid->rowCount();
}

int KivoIdModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid->columnCount();
}

QVariant KivoIdModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_grid->rowCount() ||
        index.column() < 0 || index.column() >= m_grid->columnCount())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignHCenter | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    const int id = kivoId(index);
    return id ? QVariant(id) : QVariant();
}

QVariant KivoIdModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section < m_grid->columnHeaders.size() ? QVariant(m_grid->columnHeaders[section])
                                                      : QVariant();
    return section < m_grid->rowHeaders.size() ? QVariant(m_grid->rowHeaders[section]) : QVariant();
}

void KivoIdModel::setBand(KivoIdModel::Band band)
{
    if (band == m_band)
        return;
    qCDebug(lcKivo) << "KiVo ID grid of band" << band;
    beginResetModel();
    m_band = band;
    m_grid = &kivoIdGrid(KivoIdBand(band));
    endResetModel();
}
