#include "manualsource.h"

#include "dialogslog.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>
#include <unistd.h>

namespace ManualSource {

QUrl manualUrl()
{
    const QString overridden = qEnvironmentVariable("ORVANEL_MANUAL_URL");
    if (!overridden.isEmpty())
        return QUrl::fromUserInput(overridden, QDir::currentPath(), QUrl::AssumeLocalFile);
    QString installed = QStandardPaths::locate(QStandardPaths::AppDataLocation,
                                               QStringLiteral("manual/index.html"));
    if (installed.isEmpty())
        installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                           QStringLiteral("orvanel/manual/index.html"));
    if (!installed.isEmpty())
        return QUrl::fromLocalFile(installed);
    return QUrl(QLatin1String(resourceUrl));
}

EngineEnvironment currentEnvironment(const QString &platform)
{
    EngineEnvironment e;
#ifndef ORVANEL_HAVE_WEBENGINE
    e.builtWithEngine = false;
#endif
    e.root = geteuid() == 0;
    const QByteArray disable = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
    e.sandboxSwitchedOff = (!disable.isEmpty() && disable != "0") ||
                           qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--no-sandbox") ||
                           QCoreApplication::arguments().contains(QStringLiteral("--no-sandbox"));
    e.platform = platform;
    e.quickBackend = qEnvironmentVariable("QT_QUICK_BACKEND");
    QString helper = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    if (helper.isEmpty())
        helper = QLibraryInfo::location(QLibraryInfo::LibraryExecutablesPath) +
                 QStringLiteral("/QtWebEngineProcess");
    e.helperFound = QFileInfo(helper).isExecutable();
    return e;
}

QString engineRefusal(const EngineEnvironment &e)
{
    if (!e.builtWithEngine)
        return QStringLiteral("the program was built without its web view");
    if (!e.helperFound)
        return QStringLiteral("the web engine's helper process is missing");
    // As root the engine's sandbox refuses to start and takes the whole
    // process down; switching it off is the user's decision, not ours.
    if (e.root && !e.sandboxSwitchedOff)
        return QStringLiteral("running as root, where the web engine's sandbox cannot start "
                              "(it is left on; QTWEBENGINE_DISABLE_SANDBOX=1 switches it off)");
    // Without a GL context the engine aborts the process on the offscreen
    // platform unless Qt Quick renders in software.
    if (e.platform == QLatin1String("offscreen") && e.quickBackend != QLatin1String("software"))
        return QStringLiteral("no OpenGL on the offscreen platform (QT_QUICK_BACKEND=software "
                              "is not set)");
    return QString();
}

QUrl localUrl(const QUrl &url, QString *error)
{
    if (url.scheme() != QLatin1String("qrc"))
        return url;
    static std::unique_ptr<QTemporaryDir> copy;
    if (!copy) {
        auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                   QStringLiteral("/orvanel-manual-XXXXXX"));
        if (!dir->isValid()) {
            if (error)
                *error = dir->errorString();
            return QUrl();
        }
        // QTemporaryDir makes the directory private to this user; the copies
        // are made read-only for the owner alone.
        const QString root = QStringLiteral(":/manual");
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString from = it.next();
            const QString to = dir->filePath(from.mid(root.size() + 1));
            QDir().mkpath(QFileInfo(to).path());
            if (!QFile::copy(from, to) ||
                !QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner)) {
                if (error)
                    *error = QStringLiteral("cannot write %1").arg(to);
                return QUrl();
            }
        }
        copy = std::move(dir);
    }
    QString relative = url.path();
    if (relative.startsWith(QLatin1String("/manual/")))
        relative = relative.mid(8);
    QUrl local = QUrl::fromLocalFile(copy->filePath(relative));
    local.setFragment(url.fragment());
    return local;
}

QString viewerTitle(int progress)
{
    QString title = QCoreApplication::applicationName() + QStringLiteral(" - ") +
                    QCoreApplication::translate("ManualViewer", "User Manual");
    if (progress >= 0)
        title += QStringLiteral(" - %1%").arg(qMin(progress, 100));
    return title;
}

} // namespace ManualSource
