#pragma once

#include <QWidget>

class QLabel;
class QTableWidget;
class QTableWidgetItem;
class SpectrumMarkers;

// The small table beside the plots that lists the markers: trace, frequency
// (editable), level, and the delta of each marker against M1. Its buttons
// add and remove markers and search peaks.
class MarkerTable : public QWidget
{
    Q_OBJECT
public:
    enum Column
    {
        TraceColumn,
        FrequencyColumn,
        LevelColumn,
        DeltaColumn,
        ColumnCount
    };

    MarkerTable(SpectrumMarkers *markers, QWidget *parent = nullptr);
    QTableWidget *table() const { return m_table; }

public slots:
    void refresh();

private:
    void onCellChanged(int row, int column);
    QTableWidgetItem *setCell(int row, int column, const QString &text);

    SpectrumMarkers *m_markers;
    QTableWidget *m_table = nullptr;
    bool m_filling = false;
};
