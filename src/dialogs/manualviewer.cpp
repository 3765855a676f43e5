#include "manualviewer.h"

#include "dialogslog.h"
#include "manualsource.h"

#include <QWebEnginePage>
#include <QWebEngineSettings>

ManualViewer::ManualViewer(QWidget *parent) : QWebEngineView(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(1024, 600);
    setWindowTitle(ManualSource::viewerTitle(-1));
    connect(this, &QWebEngineView::loadStarted, this,
            [this] { setWindowTitle(ManualSource::viewerTitle(0)); });
    connect(this, &QWebEngineView::loadProgress, this,
            [this](int progress) { setWindowTitle(ManualSource::viewerTitle(progress)); });
    connect(this, &QWebEngineView::loadFinished, this,
            [this] { setWindowTitle(ManualSource::viewerTitle(-1)); });
    connect(page(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
                if (status == QWebEnginePage::NormalTerminationStatus)
                    return;
                qCWarning(lcDialogs)
                    << "The manual's renderer ended, status" << status << "code" << code;
                emit rendererFailed(url());
            });
}

void ManualViewer::prepareEngine()
{
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    QWebEngineSettings *settings = QWebEngineSettings::defaultSettings();
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, true);
}
