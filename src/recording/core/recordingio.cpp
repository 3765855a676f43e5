#include "recordingio.h"

#include "recordinglog.h"
#include "recordingstream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

Q_LOGGING_CATEGORY(lcRecording, "orvanel.mainwindow.recording")

namespace RecordingIo {

namespace {

const QString RecordingLocationKey = QStringLiteral("RecordingLocation");
const QString SnapshotLocationKey = QStringLiteral("SnapshotLocation");

QString fileSafe(const QString &name)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString safe = name.trimmed();
    for (QChar &c : safe) {
        if (c.unicode() < 0x20 || forbidden.contains(c))
            c = QLatin1Char('_');
    }
    return safe;
}

QString storedDirectory(const QString &key, QStandardPaths::StandardLocation fallback)
{
    const QVariant stored = QSettings().value(key);
    // Stored as a directory URL; a plain path (hand-edited settings) works too.
    const QUrl url = stored.toUrl();
    if (url.isLocalFile())
        return url.toLocalFile();
    const QString text = stored.toString();
    if (!text.isEmpty() && QDir::isAbsolutePath(text))
        return text;
    const QString standard = QStandardPaths::standardLocations(fallback).value(0);
    return standard.isEmpty() ? QDir::homePath() : standard;
}

void storeDirectory(const QString &key, const QString &filePath)
{
    QSettings().setValue(key, QUrl::fromLocalFile(QFileInfo(filePath).absolutePath()));
}

} // namespace

bool intervalContains(const QwtInterval &interval, double value)
{
    // QwtInterval's own contains() lives in the Widgets-linked Qwt library;
    // this is the same rule from the header's inline parts.
    if (!interval.isValid() || value < interval.minValue() || value > interval.maxValue())
        return false;
    if (value == interval.minValue() && (interval.borderFlags() & QwtInterval::ExcludeMinimum))
        return false;
    if (value == interval.maxValue() && (interval.borderFlags() & QwtInterval::ExcludeMaximum))
        return false;
    return true;
}

PageBand pageBandForInterval(const QwtInterval &frequencyInterval)
{
    if (intervalContains(frequencyInterval, 915.0))
        return PageBand::Band900;
    if (intervalContains(frequencyInterval, 2450.0))
        return PageBand::Band2400;
    return PageBand::None;
}

QString bandTag(int currentTabIndex, const RfSpectrumHistory &history)
{
    static const QString band2400 = QStringLiteral("2400MHz");
    static const QString band900 = QStringLiteral("900MHz");
    if (currentTabIndex == 0)
        return band2400;
    if (currentTabIndex == 1)
        return band900;
    return pageBandForInterval(history.frequencyInterval) == PageBand::Band2400 ? band2400
                                                                                : band900;
}

QString proposedBaseName(const QString &windowProjectName, const QString &historyProjectName,
                         const QString &bandTag, const QDateTime &localNow)
{
    QString base = windowProjectName.isEmpty() ? QString() : fileSafe(historyProjectName);
    if (base.isEmpty())
        base = QStringLiteral("Orvanel");
    return base + QLatin1Char('_') + bandTag + QLatin1Char('_') +
           localNow.toString(QStringLiteral("yyyy-MM-dd'T'HHmmss"));
}

QString withSuffix(const QString &fileName, const QString &suffix)
{
    return fileName.endsWith(suffix, Qt::CaseSensitive) ? fileName : fileName + suffix;
}

QString tabTitle(const QString &filePath)
{
    const QFileInfo info(filePath);
    const QString base = info.baseName();
    return base.isEmpty() ? info.fileName() : base;
}

bool write(QIODevice &device, const RfSpectrumHistory &history)
{
    QDataStream out(&device);
    RecordingStream::prepare(out);
    out << history;
    return out.status() == QDataStream::Ok;
}

bool read(QIODevice &device, RfSpectrumHistory &history, QString *errorText)
{
    QDataStream in(&device);
    RecordingStream::prepare(in);
    in >> history;
    QString error;
    switch (in.status()) {
    case QDataStream::Ok:
        if (!device.atEnd())
            qCWarning(lcRecording) << "Recording has unexpected data after its last field";
        return true;
    case QDataStream::ReadPastEnd:
        error = QObject::tr("The recording ends early; only part of it could be read.");
        break;
    case QDataStream::ReadCorruptData:
    default:
        error = QObject::tr("The recording is damaged; only part of it could be read.");
        break;
    }
    if (errorText)
        *errorText = error;
    return false;
}

bool saveFile(const QString &filePath, const RfSpectrumHistory &history, QString *errorText)
{
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    if (!write(file, history)) {
        if (errorText)
            *errorText = file.errorString();
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

Recording load(QIODevice &device)
{
    Recording result;
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    const QString name = file ? file->fileName() : QStringLiteral("(device)");
    if (!device.open(QIODevice::ReadOnly)) {
        result.errorText = device.errorString();
        qCWarning(lcRecording).noquote()
            << "Cannot open recording" << name << "for reading:" << result.errorText;
        return result;
    }
    result.opened = true;
    result.complete = read(device, result.history, &result.errorText);
    device.close();
    if (!result.complete)
        qCWarning(lcRecording).noquote() << name << ":" << result.errorText;
    result.band = pageBandForInterval(result.history.frequencyInterval);
    if (result.band == PageBand::None)
        qCCritical(lcRecording).noquote() << WrongIntervalMessage;
    return result;
}

Recording loadFile(const QString &filePath)
{
    QFile file(filePath);
    return load(file);
}

QString recordingDirectory()
{
    return storedDirectory(RecordingLocationKey, QStandardPaths::DocumentsLocation);
}

void rememberRecordingDirectory(const QString &filePath)
{
    storeDirectory(RecordingLocationKey, filePath);
}

QString snapshotDirectory()
{
    return storedDirectory(SnapshotLocationKey, QStandardPaths::PicturesLocation);
}

void rememberSnapshotDirectory(const QString &filePath)
{
    storeDirectory(SnapshotLocationKey, filePath);
}

} // namespace RecordingIo
