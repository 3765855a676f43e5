#pragma once

#include "clock.h"
#include "rfspectrumhistory.h"

#include <QDateTime>
#include <QString>

class QIODevice;

// Saving and loading ".vozi" recordings without any widget: the byte layout
// lives in recordingstream.h, this adds devices, files, the page-type rule,
// the proposed file names and the remembered directories. The dialogs around
// it are in recordingui.h.
namespace RecordingIo {

inline const QString RecordingSuffix = QStringLiteral(".vozi");
inline const QString SnapshotSuffix = QStringLiteral(".png");
//! Logged at critical level when a recording belongs to neither band.
inline const QString WrongIntervalMessage =
    QStringLiteral("The file loaded has a wrong frequency interval");

enum class PageBand
{
    None,
    Band900,
    Band2400
};

//! Which page shows a recording: 900 MHz when the interval contains 915,
//! else 2.4 GHz when it contains 2450, else none (QwtInterval containment:
//! an invalid interval contains nothing, an excluded border does not count).
PageBand pageBandForInterval(const QwtInterval &frequencyInterval);

//! QwtInterval::contains() without the Qwt library: valid interval, value
//! inside, a border counting only when it is not excluded.
bool intervalContains(const QwtInterval &interval, double value);

//! "2400MHz" for the first tab, "900MHz" for the second; a recording's tab
//! is named after the band its frequency interval belongs to.
QString bandTag(int currentTabIndex, const RfSpectrumHistory &history);

//! base + "_" + band + "_" + local time "yyyy-MM-ddTHHmmss", for recordings
//! and snapshots alike. base is the page's project name when the window has
//! a project name, "Orvanel" otherwise (or when that name is empty); characters
//! that no file system takes in a name become "_".
QString proposedBaseName(const QString &windowProjectName, const QString &historyProjectName,
                         const QString &bandTag, const QDateTime &localNow = Clock::now());

//! `fileName` with `suffix` appended unless it already ends with it (case-sensitive).
QString withSuffix(const QString &fileName, const QString &suffix);

//! A recording tab's title: the file name up to its first dot.
QString tabTitle(const QString &filePath);

//! Writes the history to an open device in the recording's format.
bool write(QIODevice &device, const RfSpectrumHistory &history);

//! Reads a history from an open device. False when the data was short or
//! damaged: `history` then holds what could be read (a list that failed is
//! empty, later fields zero or empty) and `errorText` says what happened.
bool read(QIODevice &device, RfSpectrumHistory &history, QString *errorText = nullptr);

//! Writes a recording atomically: the old file stays in place until the new
//! one is complete. False with the system's reason in `errorText`.
bool saveFile(const QString &filePath, const RfSpectrumHistory &history, QString *errorText);

//! What a file held and which page should show it.
struct Recording
{
    bool opened = false;   //!< the device could be opened for reading
    bool complete = false; //!< every field was read
    QString errorText;     //!< why not opened or not complete
    RfSpectrumHistory history;
    PageBand band = PageBand::None; //!< None: no page (not opened or wrong interval)
};

//! Opens `device` read-only, reads a history, closes it and picks the page
//! type. A short or damaged file still gives a page when its interval passes
//! (a warning is logged); a wrong interval logs WrongIntervalMessage.
Recording load(QIODevice &device);
Recording loadFile(const QString &filePath);

//! Setting "RecordingLocation" as a local directory; documents by default.
QString recordingDirectory();
//! Stores the directory of `filePath` as "RecordingLocation" (a directory URL).
void rememberRecordingDirectory(const QString &filePath);
//! Setting "SnapshotLocation" as a local directory; pictures by default.
QString snapshotDirectory();
void rememberSnapshotDirectory(const QString &filePath);

} // namespace RecordingIo
