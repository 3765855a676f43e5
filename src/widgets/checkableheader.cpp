#include "checkableheader.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

CheckableHeader::CheckableHeader(Qt::Orientation orientation, QWidget *parent)
    : QHeaderView(orientation, parent)
{
}

void CheckableHeader::setCheckboxDisable(bool disable)
{
    m_enabled = !disable;
}

void CheckableHeader::setState(Qt::CheckState state)
{
    m_state = state;
}

void CheckableHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != 0)
        return;

    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = checkboxRect();
    option.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange);
    switch (m_state) {
    case Qt::Unchecked:
        option.state |= QStyle::State_Off;
        break;
    case Qt::PartiallyChecked:
        option.state |= QStyle::State_NoChange;
        break;
    case Qt::Checked:
        option.state |= QStyle::State_On;
        break;
    }
    if (!m_enabled)
        option.state &= ~QStyle::State_Enabled;
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter, parentWidget());
}

void CheckableHeader::mousePressEvent(QMouseEvent *event)
{
    if (m_enabled && checkboxRect().contains(event->pos())) {
        m_state = m_state == Qt::Checked ? Qt::Unchecked : Qt::Checked;
        emit selectAllToggled(m_state == Qt::Checked);
        viewport()->update();
        update();
        return;
    }
    QHeaderView::mousePressEvent(event);
}
