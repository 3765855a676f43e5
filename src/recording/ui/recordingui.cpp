#include "recordingui.h"

#include "dialogseam.h"
#include "recordingio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace RecordingUi {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RecordingUi", text);
}

// The seam answers with a path, or with a URL when the dialog worked on URLs;
// anything that is not a local file counts as no answer.
QString localPath(const QVariant &answer)
{
    if (answer.userType() == QMetaType::QUrl) {
        const QUrl url = answer.toUrl();
        return url.isLocalFile() ? url.toLocalFile() : QString();
    }
    const QString text = answer.toString();
    if (text.startsWith(QLatin1String("file:")))
        return QUrl(text).toLocalFile();
    if (text.contains(QLatin1String("://")))
        return QString();
    return text;
}

QString recordingFilter()
{
    return tr("Vozi Data File:") + QStringLiteral(" *.vozi");
}

} // namespace

bool confirmReplace(const QString &title, const QString &filePath)
{
    if (!QFileInfo::exists(filePath))
        return true;
    const int answer = DialogSeam::question(
        title,
        tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(filePath).fileName()),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

QString askSaveFileName(const QString &title, const QString &startPath, const QString &filter,
                        const QString &suffix)
{
    DialogSeam::Request request;
    request.kind = DialogSeam::Request::SaveFileName;
    request.title = title;
    request.value = startPath;
    request.filter = filter;
    // The dialog then adds the suffix itself, so its own overwrite question
    // is about the name that will really be written.
    request.defaultSuffix = suffix.mid(1);
    const QString chosen = localPath(DialogSeam::ask(request));
    if (chosen.isEmpty())
        return QString();
    const QString path = RecordingIo::withSuffix(chosen, suffix);
    // A name such as "site.VOZI" still gets the suffix appended here; the
    // dialog never saw that name, so ask about it now.
    if (path != chosen && !confirmReplace(title, path))
        return QString();
    return path;
}

QString save(QWidget *parent, const RfSpectrumHistory &history, const QString &proposedBaseName)
{
    Q_UNUSED(parent)
    const QString title = tr("Save Recording");
    const QString start = QDir(RecordingIo::recordingDirectory()).filePath(proposedBaseName);
    const QString path =
        askSaveFileName(title, start, recordingFilter(), RecordingIo::RecordingSuffix);
    if (path.isEmpty())
        return QString();
    QString reason;
    if (!RecordingIo::saveFile(path, history, &reason)) {
        DialogSeam::critical(tr("Error"), tr("The recording could not be saved as \"%1\":\n%2")
                                              .arg(QDir::toNativeSeparators(path), reason));
        return QString();
    }
    RecordingIo::rememberRecordingDirectory(path);
    return path;
}

bool open(QWidget *parent, const std::function<bool(const QString &)> &openFile)
{
    Q_UNUSED(parent)
    DialogSeam::Request request;
    request.kind = DialogSeam::Request::OpenFileName;
    request.title = tr("Open Recording");
    request.value = RecordingIo::recordingDirectory();
    request.filter = recordingFilter() + QStringLiteral(";;") +
                     tr("rtl_power or hackrf_sweep CSV:") + QStringLiteral(" *.csv");
    request.defaultSuffix = RecordingIo::RecordingSuffix.mid(1);
    const QString path = localPath(DialogSeam::ask(request));
    if (path.isEmpty() || !openFile(path))
        return false;
    RecordingIo::rememberRecordingDirectory(path);
    return true;
}

} // namespace RecordingUi
