#include "plotprompts.h"

#include "dialogseam.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace PlotPrompts {

std::optional<QString> askText(const QString &label, const QString &preset)
{
    DialogSeam::Request request;
    request.kind = DialogSeam::Request::GetText;
    request.title = QCoreApplication::applicationName();
    request.text = label;
    request.value = preset;
    const QVariant answer = DialogSeam::ask(request);
    if (!answer.isValid())
        return std::nullopt;
    return answer.toString();
}

bool confirm(const QString &question)
{
    return DialogSeam::question(QCoreApplication::applicationName(), question,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Yes) == QMessageBox::Yes;
}

} // namespace PlotPrompts
