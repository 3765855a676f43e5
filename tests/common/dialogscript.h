#pragma once

#include "dialogseam.h"

#include <QList>
#include <QVariant>

// Answers the dialog seam from a queue and records what was asked; an empty
// queue answers like a dismissed dialog (invalid), so a test never blocks.
class DialogScript
{
public:
    DialogScript()
    {
        m_previous = DialogSeam::setHandler([this](const DialogSeam::Request &r) {
            asked.append(r);
            return answers.isEmpty() ? QVariant() : answers.takeFirst();
        });
    }
    ~DialogScript() { DialogSeam::setHandler(m_previous); }

    QList<QVariant> answers;
    QList<DialogSeam::Request> asked;

private:
    DialogSeam::Handler m_previous;
};
