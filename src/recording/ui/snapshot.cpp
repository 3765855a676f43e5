#include "snapshot.h"

#include "dialogseam.h"
#include "recordingio.h"
#include "recordingui.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageWriter>
#include <QSaveFile>

namespace Snapshot {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Snapshot", text);
}

} // namespace

bool writePng(const QString &filePath, const QPixmap &picture, QString *errorText)
{
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(picture.toImage())) {
        if (errorText)
            *errorText =
                file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    return true;
}

QString save(QWidget *parent, const QPixmap &picture, const QString &proposedBaseName)
{
    Q_UNUSED(parent)
    const QString title = tr("Save Snapshot");
    const QString start = QDir(RecordingIo::snapshotDirectory()).filePath(proposedBaseName);
    const QString filter = tr("Image Files:") + QStringLiteral(" *.png");
    const QString path =
        RecordingUi::askSaveFileName(title, start, filter, RecordingIo::SnapshotSuffix);
    if (path.isEmpty())
        return QString();
    QString reason;
    const bool written = writePng(path, picture, &reason);
    RecordingIo::rememberSnapshotDirectory(path);
    if (!written) {
        DialogSeam::critical(tr("Error"), tr("The snapshot could not be saved as \"%1\":\n%2")
                                              .arg(QDir::toNativeSeparators(path), reason));
        return QString();
    }
    return path;
}

} // namespace Snapshot
