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

//! Processes other than this one with `devicePath` open, as "process 1234
//! (minicom)", found through /proc (those that take no lock file too).
QStringList processesUsing(const QString &devicePath);

//! Why a port could not be opened and what fixes it on Linux. `accessible`:
//! this user may read and write the device node; `group`: the node's group;
//! `holders`: who has it open. Permission: the package's udev rule or the
//! group; in use: the holders; else nothing.
QString openAdviceText(bool accessible, const QString &group, const QStringList &holders);

//! openAdviceText for the port `portName` as it is now.
QString openAdvice(const QString &portName);

} // namespace PortLock
