#pragma once

#include <QObject>
#include <QPointF>
#include <QTimer>

#include <functional>

class QWidget;

// Holds a canvas's single-click action until the double-click time has
// passed: a double click (which returns to the whole band) cancels it, so
// its first half never opens a prompt.
class DeferredClick : public QObject
{
    Q_OBJECT
public:
    DeferredClick(QWidget *canvas, std::function<void(const QPointF &)> action);

    //! Runs the action at `pos` once no double click followed.
    void post(const QPointF &pos);
    bool isPending() const { return m_timer.isActive(); }

    //! Wait in ms instead of the platform's double-click time; negative
    //! restores it. For tests, which need not wait half a second per click.
    static void setInterval(int ms);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(const QPointF &)> m_action;
    QTimer m_timer;
    QPointF m_pos;
};
