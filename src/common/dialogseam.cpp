#include "dialogseam.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDialog, "orvanel.dialog", QtInfoMsg)

namespace DialogSeam {

namespace {
Handler &installed()
{
    static Handler h;
    return h;
}

QVariant defaultAnswer(const Request &r)
{
    switch (r.kind) {
    case Request::Message:
        return r.defaultButton;
    case Request::GetItem:
    case Request::GetText:
    case Request::SaveFileName:
    case Request::OpenFileName:
    case Request::CheckItems:
    case Request::GetRange:
        break;
    }
    return QVariant();
}
} // namespace

Handler setHandler(Handler handler)
{
    Handler old = std::move(installed());
    installed() = std::move(handler);
    return old;
}

QVariant ask(const Request &request)
{
    // What the user was shown stays readable afterwards on stderr, whoever
    // answers the box; one line per box keeps the log greppable.
    if (request.kind == Request::Message) {
        QString text = request.text;
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        qCInfo(lcDialog).noquote() << "[" + request.title + "]" << text;
    }
    if (installed())
        return installed()(request);
    return defaultAnswer(request);
}

static int message(Request::Icon icon, const QString &title, const QString &text, int buttons,
                   int defaultButton)
{
    Request r;
    r.kind = Request::Message;
    r.icon = icon;
    r.title = title;
    r.text = text;
    r.buttons = buttons;
    r.defaultButton = defaultButton;
    const QVariant a = ask(r);
    return a.isValid() ? a.toInt() : defaultButton;
}

constexpr int Ok = 0x00000400;

int critical(const QString &title, const QString &text)
{
    return message(Request::Critical, title, text, Ok, Ok);
}

int warning(const QString &title, const QString &text)
{
    return message(Request::Warning, title, text, Ok, Ok);
}

int information(const QString &title, const QString &text)
{
    return message(Request::Information, title, text, Ok, Ok);
}

int question(const QString &title, const QString &text, int buttons, int defaultButton)
{
    return message(Request::Question, title, text, buttons, defaultButton);
}

} // namespace DialogSeam
