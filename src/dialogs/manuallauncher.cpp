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
    const QUrl url = ManualSource::manualUrl();
    const QString refusal = ManualSource::engineRefusal(environment());
#ifdef ORVANEL_HAVE_WEBENGINE
    if (refusal.isEmpty()) {
        ManualViewer::prepareEngine();
        auto *viewer = new ManualViewer;
        QScreen *screen = near ? near->screen() : QGuiApplication::primaryScreen();
        if (screen)
            viewer->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                                    viewer->size(), screen->availableGeometry()));
        QObject::connect(viewer, &ManualViewer::rendererFailed, viewer, [this, viewer](QUrl) {
            viewer->close();
            const QUrl local = ManualSource::browserUrl(ManualSource::manualUrl());
            if (local.isValid())
                openInBrowser(local);
        });
        viewer->load(url);
        viewer->show();
        return viewer;
    }
#endif
    qCWarning(lcDialogs).noquote() << "Opening the manual in the desktop browser:" << refusal;
    QString error;
    const QUrl local = ManualSource::browserUrl(url, &error);
    if (!local.isValid()) {
        qCWarning(lcDialogs).noquote() << "Cannot prepare the manual for the browser:" << error;
        return nullptr;
    }
    if (!openInBrowser(local))
        qCWarning(lcDialogs) << "The desktop browser did not take" << local;
    return nullptr;
}
