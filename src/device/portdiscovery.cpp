#include "portdiscovery.h"

#include "devicelog.h"

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

} // namespace PortDiscovery
