#pragma once

#include <QString>

class QTcpSocket;

// A scanner on another machine, shared by a serial server in raw TCP mode:
// the port name "tcp://HOST:PORT" stands for a byte stream that carries the
// serial link unchanged. The socket is process-wide like the serial port
// and lives on the thread that opened it (the communication thread).
namespace NetworkLink {

//! True for names of the form "tcp://...".
bool isNetworkName(const QString &portName);

//! Splits "tcp://HOST:PORT" ("tcp://[v6]:PORT" too). False when the name is
//! not of that form or the port is not 1..65535.
bool parseName(const QString &portName, QString *host, quint16 *port);

//! The socket of the link in use, or nullptr when none is open.
QTcpSocket *socket();

//! Connects to the server named by `portName` (waiting at most a few
//! seconds) unless already connected to it. nullptr with the reason in
//! `error` when that fails.
QTcpSocket *open(const QString &portName, QString *error);

//! Closes the socket and deletes it (`now`, or once control returns to the
//! event loop); call on the thread that opened it.
void release(bool now = false);

} // namespace NetworkLink
