#pragma once

#include "manualsource.h"

#include <QUrl>

class QWidget;

// Opens the user manual: in the program's own viewer where the web engine can
// run, otherwise in the desktop's browser. The decisions go through virtual
// functions so tests can check them without a browser.
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
};
