#include "tnwapp.h"

#include <QFile>
#include <QFileOpenEvent>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcApp, "orvanel.app")

TnwApp::TnwApp(int &argc, char **argv) : QApplication(argc, argv) {}

bool TnwApp::event(QEvent *event)
{
    if (event->type() == QEvent::FileOpen) {
        const QString name = static_cast<QFileOpenEvent *>(event)->file();
        qCDebug(lcApp) << "Open File" << name;
        QFile file(name);
        emit fileOpenRequested(file);
    }
    return QApplication::event(event);
}
