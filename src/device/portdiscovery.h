#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Finding the scanner's serial port. A port is the scanner's when its device
// describes itself with the exact description asked for; ports with another
// description, or none that could be read, are not matches (the caller then
// falls back to all ports). Vendor and product identifiers are logged, never
// compared.
namespace PortDiscovery {

struct PortRecord
{
    QString name;
    QString description;
    bool hasVendorIdentifier = false;
    quint16 vendorIdentifier = 0;
    bool hasProductIdentifier = false;
    quint16 productIdentifier = 0;
};

//! The ports the system lists, in its order.
QVector<PortRecord> systemPorts();

//! Names of the ports in `ports` whose description is exactly `description`.
QStringList matchingPorts(const QVector<PortRecord> &ports, const QString &description);

} // namespace PortDiscovery
