#include "portlock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStringList>

#include <unistd.h>

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

QStringList processesUsing(const QString &devicePath)
{
    QStringList out;
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (target.isEmpty())
        return out;
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        pid.toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        // Other users' descriptors are not readable; those are left out.
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget() != target)
                continue;
            QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
            const QString name = comm.open(QIODevice::ReadOnly)
                                     ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                     : QString();
            out << (name.isEmpty() ? QObject::tr("process %1").arg(pid)
                                   : QObject::tr("process %1 (%2)").arg(pid, name));
            break;
        }
    }
    return out;
}

QString openAdviceText(bool accessible, const QString &group, const QStringList &holders)
{
    if (!accessible) {
        const QString joinGroup = group.isEmpty() || group == QLatin1String("root")
                                      ? QString()
                                      : QObject::tr(", or join the group \"%1\" that owns the port "
                                                    "(sudo usermod -aG %1 $USER) and log in again")
                                            .arg(group);
        return QObject::tr("You may not use this port. Install Orvanel's package, whose udev "
                           "rule (60-orvanel.rules) gives the logged-in user the scanner, and "
                           "plug it in again%1. Do not run Orvanel as root.")
            .arg(joinGroup);
    }
    if (!holders.isEmpty())
        return QObject::tr("The port is in use by %1: close that program and connect again.")
            .arg(holders.join(QStringLiteral(", ")));
    return QString();
}

QString openAdvice(const QString &portName)
{
    // QSerialPort names /dev/pts/1 "pts/1" but keeps a link's path as given.
    const QString path = portName.startsWith(QLatin1Char('/')) || QFileInfo::exists(portName)
                             ? portName
                             : QStringLiteral("/dev/") + portName;
    const bool exists = QFileInfo::exists(path);
    const bool accessible =
        !exists || ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
    QStringList holders = exists ? processesUsing(path) : QStringList();
    const QString locked = holder(portName);
    if (!locked.isEmpty() && !holders.contains(locked))
        holders.prepend(locked);
    return openAdviceText(accessible, exists ? QFileInfo(path).group() : QString(), holders);
}

} // namespace PortLock
