#include "markertable.h"

#include "spectrummarkers.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

MarkerTable::MarkerTable(SpectrumMarkers *markers, QWidget *parent)
    : QWidget(parent), m_markers(markers)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setHorizontalHeaderLabels(
        {tr("Trace"), tr("Frequency [MHz]"), tr("Level [dBm]"), tr("\u0394 to M1")});
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_table);

    auto *buttons = new QHBoxLayout;
    auto *add = new QPushButton(tr("Add"), this);
    auto *remove = new QPushButton(tr("Remove"), this);
    auto *peak = new QPushButton(tr("Peak"), this);
    auto *next = new QPushButton(tr("Next peak"), this);
    for (QPushButton *b : {add, remove, peak, next})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, m_markers, &SpectrumMarkers::addAtPeak);
    connect(remove, &QPushButton::clicked, this,
            [this] { m_markers->remove(m_markers->selected()); });
    connect(peak, &QPushButton::clicked, m_markers, &SpectrumMarkers::toPeak);
    connect(next, &QPushButton::clicked, m_markers, &SpectrumMarkers::toNextPeak);
    connect(m_table, &QTableWidget::cellChanged, this, &MarkerTable::onCellChanged);
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!m_filling && row != m_markers->selected())
            m_markers->select(row);
    });
    connect(m_markers, &SpectrumMarkers::changed, this, &MarkerTable::refresh);
    refresh();
}

void MarkerTable::refresh()
{
    m_filling = true;
    const int n = m_markers->markers().size();
    m_table->setRowCount(n);
    const MarkerReadout first = m_markers->readout(0);
    for (int i = 0; i < n; ++i) {
        m_table->setVerticalHeaderItem(i, new QTableWidgetItem(QStringLiteral("M%1").arg(i + 1)));
        auto *combo = qobject_cast<QComboBox *>(m_table->cellWidget(i, TraceColumn));
        if (!combo) {
            combo = new QComboBox(m_table);
            for (int k = 0; k < TraceKindCount; ++k)
                combo->addItem(TraceCurves::title(TraceKind(k)));
            connect(combo, qOverload<int>(&QComboBox::activated), this, [this, combo](int k) {
                for (int row = 0; row < m_table->rowCount(); ++row)
                    if (m_table->cellWidget(row, TraceColumn) == combo)
                        m_markers->setTrace(row, TraceKind(k));
            });
            m_table->setCellWidget(i, TraceColumn, combo);
        }
        combo->setCurrentIndex(int(m_markers->markers().at(i).trace));
        const MarkerReadout r = m_markers->readout(i);
        // A frequency being typed is not overwritten by the next sweep.
        const QWidget *focus = QApplication::focusWidget();
        const bool editing = qobject_cast<const QLineEdit *>(focus) &&
                             focus->parentWidget() == m_table->viewport() &&
                             m_table->currentRow() == i;
        if (!editing) {
            QTableWidgetItem *f =
                setCell(i, FrequencyColumn, MarkerMath::frequencyText(r.frequency));
            f->setFlags(f->flags() | Qt::ItemIsEditable);
            f->setForeground(r.inView ? palette().text() : QBrush(Qt::gray));
        }
        setCell(i, LevelColumn, MarkerMath::levelText(r.level));
        setCell(i, DeltaColumn, i == 0 ? QString() : MarkerMath::deltaText(first, r));
    }
    if (m_markers->selected() >= 0)
        m_table->setCurrentCell(m_markers->selected(), FrequencyColumn);
    m_filling = false;
}

QTableWidgetItem *MarkerTable::setCell(int row, int column, const QString &text)
{
    QTableWidgetItem *item = m_table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        m_table->setItem(row, column, item);
    }
    if (item->text() != text)
        item->setText(text);
    return item;
}

void MarkerTable::onCellChanged(int row, int column)
{
    if (m_filling || column != FrequencyColumn)
        return;
    bool ok = false;
    const double f = m_table->item(row, column)->text().trimmed().toDouble(&ok);
    if (ok)
        m_markers->setFrequency(row, f);
    else
        refresh(); // not a number: the table shows the marker as it is
}
