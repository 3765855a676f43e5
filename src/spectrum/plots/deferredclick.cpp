#include "deferredclick.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {
int overrideInterval = -1;
}

DeferredClick::DeferredClick(QWidget *canvas, std::function<void(const QPointF &)> action)
    : QObject(canvas), m_action(std::move(action))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_action(m_pos); });
    canvas->installEventFilter(this);
}

void DeferredClick::setInterval(int ms)
{
    overrideInterval = ms;
}

void DeferredClick::post(const QPointF &pos)
{
    m_pos = pos;
    m_timer.start(overrideInterval >= 0 ? overrideInterval : QApplication::doubleClickInterval());
}

bool DeferredClick::eventFilter(QObject *watched, QEvent *event)
{
    // Not consumed: the zoom sees the double click after us.
    if (event->type() == QEvent::MouseButtonDblClick)
        m_timer.stop();
    return QObject::eventFilter(watched, event);
}
