#pragma once

#include "kivoidinfo.h"

#include <QAbstractTableModel>

//! The KiVo IDs of one band as a grid: universes across, plans down.
class KivoIdModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Band
    {
        Band900 = int(KivoIdBand::Band900),
        Band2400 = int(KivoIdBand::Band2400)
    };
    Q_ENUM(Band)

    explicit KivoIdModel(QObject *parent = nullptr);

    Band band() const { return m_band; }
    //! The ID of a cell; 0 for an empty cell or an index outside the grid.
    int kivoId(const QModelIndex &index) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

public slots:
    //! Switches the grid inside a model reset; the current band changes nothing.
    void setBand(KivoIdModel::Band band);

private:
    Band m_band = Band2400;
    const KivoIdGrid *m_grid = nullptr; //!< the current band's grid, never null
};
