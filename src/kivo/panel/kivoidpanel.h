#pragma once

#include "kivoidmodel.h"

#include <QItemSelection>
#include <QList>
#include <QWidget>

class KivoIdDetails;
class KivoIdTableView;
class QPushButton;

// The dock panel of KiVo IDs: the current band's grid above the details of
// the ID under the pointer (or of a selected one). Selected cells and the
// hovered cell are reported as kivoIdSelected, so the plots highlight what
// the pointer is on; the hovered ID is taken back when the pointer moves on,
// unless the user selected it. Empty cells and "no cell" report ID 0.
//
// Each band keeps its own selection: a band change resets the grid (the view
// drops its selection silently then), so the panel keeps what was selected
// and selects it again when the band is shown again. The pages draw only the
// IDs of their own band, so the other band's selection stays on its pages.
// "Clear selection" deselects the shown band's IDs.
class KivoIdPanel : public QWidget
{
    Q_OBJECT
public:
    explicit KivoIdPanel(QWidget *parent = nullptr);

    KivoIdTableView *view() const { return m_view; }
    KivoIdDetails *details() const { return m_details; }
    KivoIdModel *model() const { return m_model; }
    int lastHoverKivoId() const { return m_lastHoverId; }
    //! The IDs reported as selected and not taken back since, in report
    //! order: what every plot shows. A page created later starts from them.
    QList<int> shownKivoIds() const { return m_shown; }

    //! The IDs of the cells the user selected (hovering left out).
    QList<int> selectedKivoIds() const;
    //! The IDs selected on `band`'s grid, shown or not.
    QList<int> bandSelection(KivoIdModel::Band band) const;

signals:
    void kivoIdSelected(int kivoId);
    void kivoIdDeselected(int kivoId);

public slots:
    void setBand(KivoIdModel::Band band);
    void onHoverIndexChanged(const QModelIndex &index);
    //! Selects or clears the cell of `kivoId` in the current grid, as a click
    //! would; nothing happens for an ID the grid does not show.
    void setKivoIdSelected(int kivoId, bool selected);
    //! Deselects every ID of the shown band.
    void clearSelection();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void onModelAboutToBeReset();
    void onModelReset();
    void reportSelected(int kivoId);
    void reportDeselected(int kivoId);
    bool isSelectedId(int kivoId) const;
    int selectionDetailsId() const;
    void fitColumns();

    KivoIdTableView *m_view = nullptr;
    KivoIdDetails *m_details = nullptr;
    QPushButton *m_clear = nullptr;
    KivoIdModel *m_model = nullptr;
    //! The ID last reported under the pointer (0: none). Kept as an ID, not
    //! an index: an index of the 6-row grid must not be read in the 5-row one.
    int m_lastHoverId = 0;
    QList<int> m_shown;   //!< table IDs reported selected, not yet deselected
    QList<int> m_kept[2]; //!< per band (KivoIdModel::Band): its selection while not shown
};
