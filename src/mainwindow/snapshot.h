#pragma once

#include <QPixmap>
#include <QRect>
#include <QString>

class QWidget;

// Snapshots: the picture of the plot a page shows, marked with the watermark,
// saved as a PNG named like a recording.
namespace Snapshot {

//! The resource drawn faintly into the corner of every snapshot.
inline const QString WatermarkResource = QStringLiteral(":/Watermark.png");

//! `plot` grabbed whole (children included) onto a transparent pixmap of its
//! size, with the watermark scaled to canvasRect.height() / 8 (smoothly) and
//! drawn at opacity 0.15, 5 pixels right of and below canvasRect's top-left
//! corner. `canvasRect` is in the plot's coordinates.
QPixmap picture(QWidget *plot, const QRect &canvasRect);

//! The same, with the canvas given as a child widget of `plot`.
QPixmap picture(QWidget *plot, const QWidget *canvas);

//! Draws the watermark onto `target` for a canvas at `canvasRect`.
void drawWatermark(QPixmap &target, const QRect &canvasRect);

//! Writes `picture` as a PNG atomically; false with the reason in `errorText`.
bool writePng(const QString &filePath, const QPixmap &picture, QString *errorText);

//! The Snapshot action after the picture is made: asks for a file name (title
//! "Save Snapshot", start directory "SnapshotLocation" / `proposedBaseName`,
//! default suffix "png"), appends ".png" unless present, writes the file and
//! remembers the directory. A file that cannot be written is reported with
//! the system's reason. Returns the path written, or an empty text.
QString save(QWidget *parent, const QPixmap &picture, const QString &proposedBaseName);

} // namespace Snapshot
