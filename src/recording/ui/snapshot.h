#pragma once

#include <QPixmap>
#include <QString>

class QWidget;

// Snapshots: the picture a page makes of the plot it shows (TabPage::
// snapshotPixmap, with the watermark), saved as a PNG named like a recording.
namespace Snapshot {

//! Writes `picture` as a PNG atomically; false with the reason in `errorText`.
bool writePng(const QString &filePath, const QPixmap &picture, QString *errorText);

//! The Snapshot action after the picture is made: asks for a file name (title
//! "Save Snapshot", start directory "SnapshotLocation" / `proposedBaseName`,
//! default suffix "png"), appends ".png" unless present, writes the file and
//! remembers the directory. A file that cannot be written is reported with
//! the system's reason. Returns the path written, or an empty text.
QString save(QWidget *parent, const QPixmap &picture, const QString &proposedBaseName);

} // namespace Snapshot
