#include "debuglogview.h"

#include "debuglogmodel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// Rows of a monospaced font: the size follows from the longest message
// without measuring any text, and painting skips the style's eliding.
class LineDelegate : public QStyledItemDelegate
{
public:
    LineDelegate(const DebugLogModel *model, QObject *parent)
        : QStyledItemDelegate(parent), m_model(model)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        const QFontMetrics fm(option.font);
        const int chars = 9 + m_model->widestMessage(); // "HH:mm:ss " first
        return {chars * fm.horizontalAdvance(QLatin1Char('0')) + 8, fm.height() + 1};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            painter->fillRect(option.rect, option.palette.highlight());
        painter->setPen(selected ? option.palette.highlightedText().color()
                                 : option.palette.text().color());
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(4, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          m_model->line(index.row()));
    }

private:
    const DebugLogModel *m_model;
};

} // namespace

DebugLogView::DebugLogView(DebugLogModel *model, QWidget *parent)
    : QListView(parent), m_model(model)
{
    setModel(model);
    setItemDelegate(new LineDelegate(model, this));
    setUniformItemSizes(true);
    setWrapping(false);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    auto *copy = new QAction(tr("Copy"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &DebugLogView::copySelection);
    auto *selectAllLines = new QAction(tr("Select All"), this);
    selectAllLines->setShortcut(QKeySequence::SelectAll);
    selectAllLines->setShortcutContext(Qt::WidgetShortcut);
    connect(selectAllLines, &QAction::triggered, this, &QListView::selectAll);
    addAction(copy);
    addAction(selectAllLines);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = verticalScrollBar();
        m_follow = bar->value() >= bar->maximum();
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_follow)
            scrollToBottom();
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_follow)
            scrollToBottom();
    });
    // While the user reads back, the lines in sight stay in sight as the
    // oldest are dropped (the scroll bar counts rows).
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                QScrollBar *bar = verticalScrollBar();
                if (bar->value() < bar->maximum())
                    bar->setValue(qMax(0, bar->value() - (last - first + 1)));
            });
}

QString DebugLogView::selectedText() const
{
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    lines.reserve(rows.size());
    for (const QModelIndex &i : qAsConst(rows))
        lines << m_model->line(i.row());
    return lines.join(QLatin1Char('\n'));
}

void DebugLogView::copySelection() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void DebugLogView::keyPressEvent(QKeyEvent *event)
{
    // The item view would copy only the current row.
    if (event == QKeySequence::Copy) {
        copySelection();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}
