#pragma once

#include <qwt_picker_machine.h>

// Selects the point under the cursor at the press of the second select
// button (the right button by default), so a right click acts at once.
class RightClickMachine : public QwtPickerMachine
{
public:
    RightClickMachine();

    QList<Command> transition(const QwtEventPattern &pattern, const QEvent *event) override;
};
