#include "portlock.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStringList>

namespace PortLock {

QString lockFilePath(const QString &portName)
{
    // The same directories, in the same order, as QSerialPort looks in.
    static const char *const dirs[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                       "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                       "/var/lock/lockdev", "/run/lock"};
    QString name = portName;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString fileName = QStringLiteral("/LCK..") + name;
    for (const char *d : dirs) {
        const QString dir = QString::fromLatin1(d);
        const QFileInfo info(dir);
        if (!info.isReadable())
            continue;
        if (QFile::exists(dir + fileName) || info.isWritable())
            return dir + fileName;
    }
    return QString();
}

QString holder(const QString &portName)
{
    QFile file(lockFilePath(portName));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
        return QString();
    // QLockFile's layout: pid, application name, host name, one per line.
    const QList<QByteArray> lines = file.read(4096).split('\n');
    bool ok = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
    if (!ok || pid <= 0)
        return QString();
    const QString app = QString::fromUtf8(lines.value(1).trimmed());
    return app.isEmpty() ? QObject::tr("process %1").arg(pid)
                         : QObject::tr("process %1 (%2)").arg(pid).arg(app);
}

} // namespace PortLock
