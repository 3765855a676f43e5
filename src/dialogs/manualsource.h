#pragma once

#include <QString>
#include <QUrl>

// Where the user manual comes from and how it can be shown. Widgets-free.
namespace ManualSource {

//! The bundled copy, always present.
inline constexpr char resourceUrl[] = "qrc:/manual/index.html";

//! The manual's address: ORVANEL_MANUAL_URL when set, else the installed copy
//! ("manual/index.html" in the application's data directory or
//! "orvanel/manual/index.html" in a generic one), else the bundled copy.
QUrl manualUrl();

//! What decides whether the program's own web view can show the manual.
struct EngineEnvironment
{
    bool builtWithEngine = true;
    bool root = false;               //!< effective user is root
    bool sandboxSwitchedOff = false; //!< the user switched the sandbox off
    QString platform;                //!< the Qt platform plugin in use
    QString quickBackend;            //!< QT_QUICK_BACKEND
    bool helperFound = true;         //!< the engine's helper process exists
};

//! The environment of this process (`platform` as the application reports it).
EngineEnvironment currentEnvironment(const QString &platform);

//! Why the web view cannot run here, or empty when it can. The program never
//! switches the sandbox off itself: as root it falls back to the browser.
QString engineRefusal(const EngineEnvironment &environment);

//! An address outside the program's resources, which neither a desktop
//! browser nor the web view (whose resource scheme does not load here) can
//! read: a bundled copy is first written, with its images, to a private
//! temporary directory that lasts as long as the process. Other addresses
//! come back unchanged. Invalid with `error` set when the copy fails.
QUrl localUrl(const QUrl &url, QString *error = nullptr);

//! The viewer's title: "Orvanel - User Manual - 40%" while loading
//! (`progress` 0 to 100), "Orvanel - User Manual" when `progress` < 0.
QString viewerTitle(int progress);

} // namespace ManualSource
