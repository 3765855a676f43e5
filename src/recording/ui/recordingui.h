#pragma once

#include "rfspectrumhistory.h"

#include <QString>

#include <functional>

class QWidget;

// The Save and Open flows of recordings. Every question goes through the
// dialog seam, so tests answer them from a script.
namespace RecordingUi {

//! Save: asks for a file name (title "Save Recording", start directory
//! "RecordingLocation" / `proposedBaseName`, default suffix "vozi"), appends
//! ".vozi" unless the name ends with it, asks before replacing a file the
//! dialog did not already ask about, writes atomically and remembers the
//! directory. A failed write is reported with the system's reason and leaves
//! any older file untouched. Returns the path written, or an empty text.
QString save(QWidget *parent, const RfSpectrumHistory &history, const QString &proposedBaseName);

//! Open: asks for a recording (title "Open Recording", start directory
//! "RecordingLocation") and hands its path to `openFile` (the window's
//! openRecordingFile); remembers the directory when that returns true.
bool open(QWidget *parent, const std::function<bool(const QString &filePath)> &openFile);

//! Asks through the seam for a file name to save under and makes it final:
//! a local path ending in `suffix`. Empty when cancelled or when the user
//! declines to replace an existing file.
QString askSaveFileName(const QString &title, const QString &startPath, const QString &filter,
                        const QString &suffix);

//! Yes when a file named like `filePath` may be replaced (or does not exist).
bool confirmReplace(const QString &title, const QString &filePath);

} // namespace RecordingUi
