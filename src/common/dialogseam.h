#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// The one seam through which the program asks the user anything: message
// boxes, item pickers, text prompts and file dialogs. The application installs
// a handler that shows real dialogs; tests install one that answers from a
// script. With no handler installed nothing is shown and every request gets
// its default answer, so nothing can ever block waiting for a person.
namespace DialogSeam {

struct Request
{
    enum Kind
    {
        Message,      //!< a message box; answer: the chosen button (int)
        GetItem,      //!< pick one of `items`; answer: the item, or invalid
        GetText,      //!< edit `value`; answer: the text, or invalid
        SaveFileName, //!< answer: a path, or invalid
        OpenFileName, //!< answer: a path, or invalid
        CheckItems,   //!< tick any of `items`; answer: QVariantList of ticked indices, or invalid
        GetRange //!< a low and a high number, `value` "low high"; answer: "low high", or invalid
    };
    enum Icon
    {
        NoIcon,
        Information,
        Warning,
        Critical,
        Question
    };

    Kind kind = Message;
    Icon icon = NoIcon;
    QString title;
    QString text;
    int buttons = 0x00000400;       //!< QMessageBox::StandardButtons, Ok by default
    int defaultButton = 0x00000400; //!< the answer when nobody is asked
    QStringList items;              //!< GetItem choices
    QString value;                  //!< GetText initial text, file dialogs' start path
    QString filter;                 //!< file dialogs' name filter
    QString defaultSuffix;          //!< file dialogs' suffix for names typed without one
    int current = 0;                //!< GetItem initial choice
    QList<int> checked;             //!< CheckItems: the indices ticked at first
};

using Handler = std::function<QVariant(const Request &)>;

//! Installs `handler` and returns the one it replaces (tests restore it).
Handler setHandler(Handler handler);

//! Asks through the installed handler, or answers by default.
QVariant ask(const Request &request);

// Conveniences for the common cases. Button values are QMessageBox's.
int critical(const QString &title, const QString &text);
int warning(const QString &title, const QString &text);
int information(const QString &title, const QString &text);
int question(const QString &title, const QString &text, int buttons, int defaultButton);

} // namespace DialogSeam
