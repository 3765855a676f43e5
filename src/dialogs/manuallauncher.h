#pragma once

#include "manualsource.h"

#include <QUrl>

class QWidget;

// Opens the user manual, and always shows something: the program's own
// viewer where the web engine can run; otherwise the desktop's browser (not
// as root, where browsers refuse to start); failing that a plain viewer
// inside the program; failing that a box naming the manual's file. The
// decisions go through virtual functions so tests can check them without a
// browser.
class ManualLauncher
{
public:
    virtual ~ManualLauncher();

    //! Shows the manual beside `near` (centred on its screen). Returns the
    //! viewer window when one was made, null when the browser got it.
    QWidget *open(QWidget *near);

    //! The inputs of the decision; the real process by default.
    virtual ManualSource::EngineEnvironment environment() const;
    //! Hands `url` to the desktop's browser.
    virtual bool openInBrowser(const QUrl &url);
    //! A viewer of the manual's file that needs no web engine; null when the
    //! file cannot be read.
    virtual QWidget *openPlainViewer(const QUrl &url, QWidget *near);
    //! The last resort: a box naming where the manual is.
    virtual void showWhereItIs(const QString &place, const QString &why);
};
