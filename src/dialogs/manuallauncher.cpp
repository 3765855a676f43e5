#include "manuallauncher.h"

#include "dialogslog.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#ifdef ORVANEL_HAVE_WEBENGINE
#include "manualviewer.h"
#endif

ManualLauncher::~ManualLauncher() = default;

ManualSource::EngineEnvironment ManualLauncher::environment() const
{
    return ManualSource::currentEnvironment(QGuiApplication::platformName());
}

bool ManualLauncher::openInBrowser(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

QWidget *ManualLauncher::open(QWidget *near)
{
    QString error;
    const QUrl url = ManualSource::localUrl(ManualSource::manualUrl(), &error);
    if (!url.isValid()) {
        qCWarning(lcDialogs).noquote() << "Cannot prepare the manual:" << error;
        return nullptr;
    }
    const QString refusal = ManualSource::engineRefusal(environment());
#ifdef ORVANEL_HAVE_WEBENGINE
    if (refusal.isEmpty()) {
        ManualViewer::prepareEngine();
        auto *viewer = new ManualViewer;
        QScreen *screen = near ? near->screen() : QGuiApplication::primaryScreen();
        if (screen)
            viewer->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                                    viewer->size(), screen->availableGeometry()));
        QObject::connect(viewer, &ManualViewer::rendererFailed, viewer, [this, viewer, url] {
            viewer->close();
            qCWarning(lcDialogs) << "Opening the manual in the desktop browser instead";
            openInBrowser(url);
        });
        viewer->load(url);
        viewer->show();
        return viewer;
    }
#else
    Q_UNUSED(near)
#endif
    qCWarning(lcDialogs).noquote() << "Opening the manual in the desktop browser:" << refusal;
    if (!openInBrowser(url))
        qCWarning(lcDialogs) << "The desktop browser did not take" << url;
    return nullptr;
}
