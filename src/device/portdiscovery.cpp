#include "portdiscovery.h"

#include "devicelog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace PortDiscovery {

QVector<PortRecord> systemPorts()
{
    QVector<PortRecord> out;
    const auto infos = QSerialPortInfo::availablePorts();
    out.reserve(infos.size());
    for (const QSerialPortInfo &info : infos) {
        PortRecord r;
        r.name = info.portName();
        r.description = info.description();
        r.systemLocation = info.systemLocation();
        r.serialNumber = info.serialNumber();
        r.hasVendorIdentifier = info.hasVendorIdentifier();
        r.vendorIdentifier = info.vendorIdentifier();
        r.hasProductIdentifier = info.hasProductIdentifier();
        r.productIdentifier = info.productIdentifier();
        out << r;
    }
    return out;
}

QStringList matchingPorts(const QVector<PortRecord> &ports, const QString &description)
{
    QStringList names;
    for (const PortRecord &r : ports) {
        qCDebug(lcDevice).noquote() << "Port Name: " + r.name;
        qCDebug(lcDevice).noquote() << "Port Desc: " + r.description;
        qCDebug(lcDevice).noquote()
            << QStringLiteral("Port IDs: %1:%2")
                   .arg(r.hasVendorIdentifier ? QString::number(r.vendorIdentifier, 16) : QString())
                   .arg(r.hasProductIdentifier ? QString::number(r.productIdentifier, 16)
                                               : QString());
        if (!description.isEmpty() && r.description == description && !names.contains(r.name))
            names << r.name;
    }
    return names;
}

PortRecord recordOf(const QString &name)
{
    for (const PortRecord &r : systemPorts())
        if (r.name == name || r.systemLocation == name)
            return r;
    PortRecord r;
    r.name = name;
    return r;
}

bool hasUsbIdentity(const PortRecord &port)
{
    return port.hasVendorIdentifier && port.hasProductIdentifier;
}

QString returnedPort(const PortRecord &lost, const QVector<PortRecord> &ports, bool pathExists)
{
    if (!hasUsbIdentity(lost))
        return pathExists ? lost.name : QString();
    for (const PortRecord &r : ports) {
        // Another scanner of the same make must not take over the session.
        if (hasUsbIdentity(r) && r.vendorIdentifier == lost.vendorIdentifier &&
            r.productIdentifier == lost.productIdentifier && r.serialNumber == lost.serialNumber)
            return r.name;
    }
    return QString();
}

QStringList usbDeviceNames()
{
    QStringList names;
    const QDir devices(QStringLiteral("/sys/bus/usb/devices"));
    for (const QString &entry : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const auto read = [&](const char *attribute) {
            QFile f(devices.filePath(entry + QLatin1Char('/') + QLatin1String(attribute)));
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed()
                                               : QString();
        };
        const QString vendor = read("idVendor");
        if (vendor.isEmpty() || vendor == QLatin1String("1d6b")) // interfaces; root hubs
            continue;
        const QString product = read("product");
        const QString id = vendor + QLatin1Char(':') + read("idProduct");
        const QString name = product.isEmpty() ? id : product + QStringLiteral(" (") + id + ')';
        if (!names.contains(name))
            names << name;
    }
    names.sort();
    return names;
}

QString noDeviceAdvice(const QVector<PortRecord> &ports, const QStringList &usbDevices)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("PortDiscovery", text);
    };
    QStringList portNames;
    for (const PortRecord &r : ports)
        portNames << (r.description.isEmpty()
                          ? r.name
                          : r.name + QStringLiteral(" (") + r.description + ')');
    const QString none = tr("none");
    return tr("Check that the scanner is plugged in and that its cable carries data (try "
              "another cable or USB socket).") +
           QLatin1Char('\n') +
           tr("Serial ports found: %1.")
               .arg(portNames.isEmpty() ? none : portNames.join(QStringLiteral(", "))) +
           QLatin1Char('\n') +
           tr("USB devices found: %1.")
               .arg(usbDevices.isEmpty() ? none : usbDevices.join(QStringLiteral(", ")));
}

bool portPathExists(const QString &name)
{
    if (name.isEmpty())
        return false;
    if (name.contains(QLatin1String("://")))
        return true; // a scanner on the network: only a connection tells
    // QSerialPort's names drop /dev/ ("ttyACM0", "pts/1"); a link keeps its path.
    return QFileInfo::exists(name) || (!name.startsWith(QLatin1Char('/')) &&
                                       QFileInfo::exists(QStringLiteral("/dev/") + name));
}

} // namespace PortDiscovery
