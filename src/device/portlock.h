#pragma once

#include <QString>

// Who holds a serial port. QSerialPort takes a lock file (LCK..NAME in the
// system's lock directory, holding the owner's pid and name) when it opens a
// port, and refuses a second user; this reads that file so the refusal can
// say who is in the way.
namespace PortLock {

//! The lock file QSerialPort uses for `portName` (as given to setPortName),
//! whether or not it exists.
QString lockFilePath(const QString &portName);

//! "process 1234 (orvanel-capture)" when a lock file for the port names a
//! process; empty when there is none.
QString holder(const QString &portName);

} // namespace PortLock
