#include "markertable.h"

#include "spectrummarkers.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

MarkerTable::MarkerTable(SpectrumMarkers *markers, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setHorizontalHeaderLabels(
        {tr("Trace"), tr("Frequency [MHz]"), tr("Level [dBm]"), tr("\u0394 to ref")});
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_table);

    m_referenceAction = new QAction(tr("Set as \u0394 reference"), this);
    m_referenceAction->setShortcut(QKeySequence(Qt::Key_D));
    m_referenceAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_table->addAction(m_referenceAction);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_referenceAction, &QAction::triggered, this, [this] {
        if (m_markers)
            m_markers->setReference(m_markers->selected());
    });

    auto *buttons = new QHBoxLayout;
    auto *add = new QPushButton(tr("Add"), this);
    auto *remove = new QPushButton(tr("Remove"), this);
    auto *peak = new QPushButton(tr("Peak"), this);
    auto *next = new QPushButton(tr("Next peak"), this);
    auto *reference = new QPushButton(tr("\u0394 ref"), this);
    reference->setToolTip(tr("Measure the deltas from the selected marker (D)"));
    m_buttons = {add, remove, peak, next, reference};
    for (QPushButton *b : m_buttons)
        buttons->addWidget(b);
    layout->addLayout(buttons);

    // Through the pointer of the moment: the table outlives the pages.
    const auto onMarkers = [this](bool (SpectrumMarkers::*call)()) {
        return [this, call] {
            if (m_markers)
                (m_markers->*call)();
        };
    };
    connect(add, &QPushButton::clicked, this, onMarkers(&SpectrumMarkers::addAtPeak));
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_markers)
            m_markers->remove(m_markers->selected());
    });
    connect(peak, &QPushButton::clicked, this, onMarkers(&SpectrumMarkers::toPeak));
    connect(next, &QPushButton::clicked, this, onMarkers(&SpectrumMarkers::toNextPeak));
    connect(reference, &QPushButton::clicked, m_referenceAction, &QAction::trigger);
    connect(m_table, &QTableWidget::cellChanged, this, &MarkerTable::onCellChanged);
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!m_filling && m_markers && row != m_markers->selected())
            m_markers->select(row);
    });
    setMarkers(markers);
}

void MarkerTable::setMarkers(SpectrumMarkers *markers)
{
    disconnect(m_changed);
    disconnect(m_destroyed);
    m_markers = markers;
    if (markers) {
        m_changed = connect(markers, &SpectrumMarkers::changed, this, &MarkerTable::refresh);
        // The pointer is already null when this arrives.
        m_destroyed = connect(markers, &QObject::destroyed, this, &MarkerTable::refresh);
    }
    refresh();
}

void MarkerTable::refresh()
{
    m_filling = true;
    for (QPushButton *b : m_buttons)
        b->setEnabled(m_markers);
    m_referenceAction->setEnabled(m_markers);
    const int n = m_markers ? m_markers->markers().size() : 0;
    m_table->setRowCount(n);
    const int ref = n > 0 ? m_markers->reference() : -1;
    const MarkerReadout reference = m_markers ? m_markers->readout(ref) : MarkerReadout();
    for (int i = 0; i < n; ++i) {
        m_table->setVerticalHeaderItem(i, new QTableWidgetItem(QStringLiteral("M%1").arg(i + 1)));
        auto *combo = qobject_cast<QComboBox *>(m_table->cellWidget(i, TraceColumn));
        if (!combo) {
            combo = new QComboBox(m_table);
            for (int k = 0; k < TraceKindCount; ++k)
                combo->addItem(TraceCurves::title(TraceKind(k)));
            connect(combo, qOverload<int>(&QComboBox::activated), this, [this, combo](int k) {
                for (int row = 0; row < m_table->rowCount(); ++row)
                    if (m_markers && m_table->cellWidget(row, TraceColumn) == combo)
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
                setCell(i, FrequencyColumn,
                        MarkerMath::frequencyText(r.frequency, m_markers->resolutionMHz()));
            f->setFlags(f->flags() | Qt::ItemIsEditable);
            f->setForeground(r.inView ? palette().text() : QBrush(Qt::gray));
        }
        setCell(i, LevelColumn, MarkerMath::levelText(r.level));
        setCell(i, DeltaColumn, i == ref ? tr("ref") : MarkerMath::deltaText(reference, r));
    }
    if (m_markers && m_markers->selected() >= 0)
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
    if (m_filling || column != FrequencyColumn || !m_markers)
        return;
    bool ok = false;
    const double f = m_table->item(row, column)->text().trimmed().toDouble(&ok);
    if (ok)
        m_markers->setFrequency(row, f);
    else
        refresh(); // not a number: the table shows the marker as it is
}

SpectrumMarkers *MarkerTable::markers() const
{
    return m_markers;
}

QSize MarkerTable::sizeHint() const
{
    const QFontMetrics metrics = m_table->fontMetrics();
    const QString widest[ColumnCount] = {TraceCurves::title(TraceKind::MaxHold) + "MM",
                                         QStringLiteral("0000.000"), QStringLiteral("-100.0"),
                                         QStringLiteral("-100.000 MHz, -10.0 dB")};
    const QHeaderView *header = m_table->horizontalHeader();
    int width = 2 * m_table->frameWidth() + m_table->verticalHeader()->sizeHint().width();
    for (int c = 0; c < ColumnCount; ++c)
        width += qMax(header->sectionSizeHint(c),
                      metrics.horizontalAdvance(widest[c]) + metrics.averageCharWidth());
    return QSize(width, QWidget::sizeHint().height());
}
