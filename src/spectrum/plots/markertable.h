#pragma once

#include <QPointer>
#include <QWidget>

class QAction;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class SpectrumMarkers;

// The table that lists the markers of one page: trace, frequency (editable),
// level, and the delta of each marker against the reference marker. Its
// buttons add and remove markers and search peaks. The window shows one
// table and points it at the markers of the page on screen.
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

    explicit MarkerTable(SpectrumMarkers *markers = nullptr, QWidget *parent = nullptr);
    //! Lists `markers` from now on; null (or once they are gone) lists none.
    void setMarkers(SpectrumMarkers *markers);
    SpectrumMarkers *markers() const;
    QTableWidget *table() const { return m_table; }
    //! Wide enough for every column of four markers, so the dock opens without a scroll bar.
    QSize sizeHint() const override;
    //! Makes the selected marker the one the deltas are measured from.
    QAction *referenceAction() const { return m_referenceAction; }

public slots:
    void refresh();

private:
    void onCellChanged(int row, int column);
    QTableWidgetItem *setCell(int row, int column, const QString &text);

    QPointer<SpectrumMarkers> m_markers;
    QMetaObject::Connection m_changed;
    QMetaObject::Connection m_destroyed;
    QTableWidget *m_table = nullptr;
    QList<QPushButton *> m_buttons;
    QAction *m_referenceAction = nullptr;
    bool m_filling = false;
};
