#include "kivoidpanel.h"

#include "kivoiddetails.h"
#include "kivoidtableview.h"
#include "kivolog.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QVBoxLayout>

KivoIdPanel::KivoIdPanel(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_view = new KivoIdTableView(this);
    m_details = new KivoIdDetails(this);
    m_clear = new QPushButton(tr("Clear selection"), this);
    m_clear->setObjectName(QStringLiteral("pbClearSelection"));
    m_clear->setToolTip(tr("Deselect every KiVo ID of this band"));
    layout->addWidget(m_view);
    layout->addWidget(m_clear, 0, Qt::AlignLeft);
    layout->addWidget(m_details);
    connect(m_clear, &QPushButton::clicked, this, &KivoIdPanel::clearSelection);

    m_model = new KivoIdModel(this);
    m_view->setModel(m_model);
    m_model->setBand(KivoIdModel::Band2400);
    m_view->setMinimumWidth(m_details->minimumWidth());
    m_details->hide();
    m_view->resizeColumnsToContents();

    // Before the reset: the view's selection is still there to report.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this,
            &KivoIdPanel::onModelAboutToBeReset);
    connect(m_model, &QAbstractItemModel::modelReset, this, &KivoIdPanel::onModelReset);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KivoIdPanel::onSelectionChanged);
    connect(m_view, &KivoIdTableView::hoverIndexChanged, this, &KivoIdPanel::onHoverIndexChanged);
}

QList<int> KivoIdPanel::selectedKivoIds() const
{
    QList<int> ids;
    for (const QModelIndex &index : m_view->selectionModel()->selectedIndexes()) {
        const int id = index.data().toInt();
        if (id != 0 && !ids.contains(id))
            ids.append(id);
    }
    return ids;
}

void KivoIdPanel::setKivoIdSelected(int kivoId, bool selected)
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        for (int column = 0; column < m_model->columnCount(); ++column) {
            const QModelIndex index = m_model->index(row, column);
            if (index.data().toInt() != kivoId || kivoId == 0)
                continue;
            m_view->selectionModel()->select(index, selected ? QItemSelectionModel::Select
                                                             : QItemSelectionModel::Deselect);
            return;
        }
    }
}

QList<int> KivoIdPanel::bandSelection(KivoIdModel::Band band) const
{
    return band == m_model->band() ? selectedKivoIds() : m_kept[int(band)];
}

void KivoIdPanel::clearSelection()
{
    m_view->selectionModel()->clearSelection();
    m_kept[int(m_model->band())].clear();
}

void KivoIdPanel::setBand(KivoIdModel::Band band)
{
    m_model->setBand(band);
}

void KivoIdPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitColumns();
}

void KivoIdPanel::fitColumns()
{
    const int columns = m_model->columnCount();
    if (columns < 1)
        return;
    const QMargins margins = m_view->contentsMargins();
    const int free =
        m_view->width() - margins.left() - margins.right() - m_view->verticalHeader()->width();
    for (int c = 0; c < columns; ++c)
        m_view->setColumnWidth(c, qMax(0, free / columns));
}

void KivoIdPanel::onSelectionChanged(const QItemSelection &selected,
                                     const QItemSelection &deselected)
{
    for (const QModelIndex &index : selected.indexes())
        reportSelected(m_model->kivoId(index));
    for (const QModelIndex &index : deselected.indexes())
        reportDeselected(m_model->kivoId(index));
}

void KivoIdPanel::onModelAboutToBeReset()
{
    // The selection stays with its band (and on its band's plots); only the
    // highlight of the cell under the pointer goes.
    const QList<int> selected = selectedKivoIds();
    m_kept[int(m_model->band())] = selected;
    if (m_lastHoverId != 0 && !selected.contains(m_lastHoverId))
        reportDeselected(m_lastHoverId);
    m_lastHoverId = 0;
    m_details->hide();
}

void KivoIdPanel::onModelReset()
{
    const QList<int> kept = m_kept[int(m_model->band())];
    for (int id : kept)
        setKivoIdSelected(id, true);
}

void KivoIdPanel::onHoverIndexChanged(const QModelIndex &index)
{
    const int id = m_model->kivoId(index);
    if (id == m_lastHoverId)
        return;

    if (id != 0) {
        m_details->setKivoId(id);
        m_details->show();
    } else if (const int selectedId = selectionDetailsId()) {
        m_details->setKivoId(selectedId);
        m_details->show();
    } else {
        m_details->hide();
    }

    if (!isSelectedId(m_lastHoverId))
        reportDeselected(m_lastHoverId);
    reportSelected(id);
    m_lastHoverId = id;
}

// The view's current cell when it is selected, else the last selected cell;
// empty cells describe nothing and are passed over.
int KivoIdPanel::selectionDetailsId() const
{
    const QItemSelectionModel *selection = m_view->selectionModel();
    const QModelIndex current = m_view->currentIndex();
    if (selection->isSelected(current) && m_model->kivoId(current))
        return m_model->kivoId(current);
    const QModelIndexList selected = selection->selectedIndexes();
    for (auto it = selected.crbegin(); it != selected.crend(); ++it)
        if (const int id = m_model->kivoId(*it))
            return id;
    return 0;
}

bool KivoIdPanel::isSelectedId(int kivoId) const
{
    const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : selected)
        if (m_model->kivoId(index) == kivoId)
            return true;
    return false;
}

void KivoIdPanel::reportSelected(int kivoId)
{
    if (kivoIdTable().contains(kivoId) && !m_shown.contains(kivoId))
        m_shown.append(kivoId);
    emit kivoIdSelected(kivoId);
}

void KivoIdPanel::reportDeselected(int kivoId)
{
    m_shown.removeAll(kivoId);
    emit kivoIdDeselected(kivoId);
}
