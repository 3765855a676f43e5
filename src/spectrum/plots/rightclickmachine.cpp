#include "rightclickmachine.h"

#include <qwt_event_pattern.h>

#include <QMouseEvent>

RightClickMachine::RightClickMachine() : QwtPickerMachine(PointSelection) {}

QList<QwtPickerMachine::Command> RightClickMachine::transition(const QwtEventPattern &pattern,
                                                               const QEvent *event)
{
    QList<Command> commands;
    if (event->type() == QEvent::MouseButtonPress &&
        pattern.mouseMatch(QwtEventPattern::MouseSelect2, static_cast<const QMouseEvent *>(event)))
        commands << Begin << Append << End;
    return commands;
}
