#pragma once

#include <QColor>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// The wireless-DMX system's KiVo IDs: each stands for a fixed frequency plan
// in one band, a number of DMX universes and a radio range. The IDs are plain
// keys; nothing may derive an ID's properties from its digits (only the
// drawing order, kivoIdLess, looks at them).

//! One ID's description; an ID the table does not hold reads as all zero.
struct KivoIdInfo
{
    qint32 universes = 0;
    double centerFrequency = 0.0; //!< MHz, centre of the occupied range
    double bandwidth = 0.0;       //!< MHz, the range is centre +- bandwidth / 2
    QString type;                 //!< frequency plan name
    qint32 indoorRangeFt = 0;
    qint32 outdoorRangeFt = 0;
    qint32 indoorRangeM = 0;
    qint32 outdoorRangeM = 0;

    double lowFrequency() const { return centerFrequency - bandwidth / 2.0; }
    double highFrequency() const { return centerFrequency + bandwidth / 2.0; }
};

//! The 29 IDs, ordered by ID; built once on first use.
const QMap<qint32, KivoIdInfo> &kivoIdTable();
//! The table's record of `kivoId`, or the all-zero record.
KivoIdInfo kivoIdInfo(qint32 kivoId);

//! Box colour per plan type.
const QMap<QString, QColor> &kivoIdTypeColors();
//! The colour of `type`; invalid for a type the map does not hold.
QColor kivoIdTypeColor(const QString &type);

//! "low - high MHz", each edge with 6 significant digits.
QString kivoIdFrequencyRangeText(const KivoIdInfo &info);

//! The drawing order: thousands, then hundreds, then tens (5 counting as -1,
//! so the adaptive plans come first), then units.
bool kivoIdLess(qint32 a, qint32 b);

//! Stagger levels for closed frequency ranges [first, second] in drawing
//! order: each range starts on the current level and opens a new one when it
//! overlaps (touching counts) a range already on that level. The level only
//! grows, so every later range starts on the newest one.
QVector<int> kivoIdStaggerLevels(const QVector<QPair<double, double>> &ranges);

enum class KivoIdBand
{
    Band900 = 0,
    Band2400 = 1
};

//! One band's ID grid as the panel shows it: universes across, plans down.
struct KivoIdGrid
{
    QList<int> columnHeaders;    //!< universe counts
    QStringList rowHeaders;      //!< plan names
    QVector<QVector<int>> cells; //!< [row][column], 0 for an empty cell

    int rowCount() const { return cells.size(); }
    int columnCount() const { return cells.isEmpty() ? 0 : cells.first().size(); }
    //! The ID at (row, column); 0 for an empty cell or outside the grid.
    int idAt(int row, int column) const;
};

const KivoIdGrid &kivoIdGrid(KivoIdBand band);
