#include "snapshot.h"

#include "dialogseam.h"
#include "recordingio.h"
#include "recordinglog.h"
#include "recordingui.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QWidget>

namespace Snapshot {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Snapshot", text);
}

} // namespace

void drawWatermark(QPixmap &target, const QRect &canvasRect)
{
    const int height = canvasRect.height() / 8;
    if (height < 1)
        return;
    const QPixmap watermark(WatermarkResource);
    if (watermark.isNull()) {
        qCWarning(lcRecording) << "Watermark resource" << WatermarkResource << "is missing";
        return;
    }
    QPainter painter(&target);
    painter.setOpacity(0.15);
    painter.drawPixmap(canvasRect.topLeft() + QPoint(5, 5),
                       watermark.scaledToHeight(height, Qt::SmoothTransformation));
}

QPixmap picture(QWidget *plot, const QRect &canvasRect)
{
    const QPixmap grabbed = plot->grab();
    QPixmap result(grabbed.size());
    result.setDevicePixelRatio(grabbed.devicePixelRatio());
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.drawPixmap(0, 0, grabbed);
    }
    drawWatermark(result, canvasRect);
    return result;
}

QPixmap picture(QWidget *plot, const QWidget *canvas)
{
    const QRect rect(canvas->mapTo(plot, QPoint(0, 0)), canvas->size());
    return picture(plot, rect);
}

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
