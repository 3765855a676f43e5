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
    QString systemLocation; //!< the device node, like /dev/ttyACM0
    QString serialNumber;
    bool hasVendorIdentifier = false;
    quint16 vendorIdentifier = 0;
    bool hasProductIdentifier = false;
    quint16 productIdentifier = 0;
};

//! The ports the system lists, in its order.
QVector<PortRecord> systemPorts();

//! Names of the ports in `ports` whose description is exactly `description`.
QStringList matchingPorts(const QVector<PortRecord> &ports, const QString &description);

//! What is known of the port `name` now: its listing when the system lists
//! it (a USB port), else only the name (a pseudo-terminal, or a link to one).
PortRecord recordOf(const QString &name);

//! Whether a USB identity (vendor and product) is known for `port`.
bool hasUsbIdentity(const PortRecord &port);

//! The port under which the device last seen as `lost` is back, or an empty
//! text while it is away. A USB device is recognised by its vendor, product
//! and serial number whatever name it comes back under (a re-plug may give
//! ttyACM1 for ttyACM0); a port without a USB identity by its own path,
//! once that exists again (`pathExists`).
QString returnedPort(const PortRecord &lost, const QVector<PortRecord> &ports, bool pathExists);

//! The USB devices the system has (product names from sysfs, root hubs
//! left out), for telling a user what was found instead of the scanner.
QStringList usbDeviceNames();

//! The advice when no scanner is found: check the cable, and what was found
//! (`ports`: the serial ports; `usbDevices`: the USB devices).
QString noDeviceAdvice(const QVector<PortRecord> &ports, const QStringList &usbDevices);

//! Whether the path of a port named `name` exists (names without a slash
//! live in /dev; a network address counts as present).
bool portPathExists(const QString &name);

} // namespace PortDiscovery
