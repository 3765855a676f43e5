#include "manuallauncher.h"

#include "dialogslog.h"

#include "dialogseam.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
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

namespace {

void centre(QWidget *window, QWidget *near)
{
    QScreen *screen = near ? near->screen() : QGuiApplication::primaryScreen();
    if (screen)
        window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(),
                                                screen->availableGeometry()));
}

} // namespace

QWidget *ManualLauncher::openPlainViewer(const QUrl &url, QWidget *near)
{
    if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isReadable())
        return nullptr;
    auto *viewer = new QTextBrowser;
    viewer->setObjectName(QStringLiteral("manualPlainViewer"));
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setOpenExternalLinks(true);
    viewer->setWindowTitle(ManualSource::viewerTitle(-1));
    viewer->resize(1024, 600);
    centre(viewer, near);
    viewer->setSource(url);
    viewer->show();
    return viewer;
}

void ManualLauncher::showWhereItIs(const QString &place, const QString &why)
{
    DialogSeam::information(
        QCoreApplication::translate("ManualLauncher", "User Manual"),
        QCoreApplication::translate("ManualLauncher",
                                    "The manual cannot be shown here (%1).\nIt is at:\n%2")
            .arg(why, place));
}

QWidget *ManualLauncher::open(QWidget *near)
{
    QString error;
    const QUrl source = ManualSource::manualUrl();
    const QUrl url = ManualSource::localUrl(source, &error);
    if (!url.isValid()) {
        qCWarning(lcDialogs).noquote() << "Cannot prepare the manual:" << error;
        showWhereItIs(source.toString(), error);
        return nullptr;
    }
    const ManualSource::EngineEnvironment env = environment();
    const QString refusal = ManualSource::engineRefusal(env);
#ifdef ORVANEL_HAVE_WEBENGINE
    if (refusal.isEmpty()) {
        ManualViewer::prepareEngine();
        auto *viewer = new ManualViewer;
        centre(viewer, near);
        QObject::connect(viewer, &ManualViewer::rendererFailed, viewer, [this, viewer, url] {
            viewer->close();
            qCWarning(lcDialogs) << "Opening the manual in the desktop browser instead";
            openInBrowser(url);
        });
        viewer->load(url);
        viewer->show();
        return viewer;
    }
#endif
    // Desktop browsers refuse to run as root, and say so only on a terminal.
    if (!env.root) {
        qCWarning(lcDialogs).noquote() << "Opening the manual in the desktop browser:" << refusal;
        if (openInBrowser(url))
            return nullptr;
        qCWarning(lcDialogs) << "The desktop browser did not take" << url;
    } else {
        qCWarning(lcDialogs).noquote() << "Showing the manual in the plain viewer:" << refusal;
    }
    if (QWidget *viewer = openPlainViewer(url, near))
        return viewer;
    showWhereItIs(url.isLocalFile() ? url.toLocalFile() : url.toString(), refusal);
    return nullptr;
}
