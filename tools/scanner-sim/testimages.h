#pragma once

#include <QByteArray>
#include <QString>

//! The emulator's own firmware images, for trying the update end to end.
//! They are made up: the radio image only means something to the emulator,
//! and the host image's DFU suffix names USB ID 0000:0000, which no real
//! device has, so dfu-util refuses to write it into one.
namespace TestImages {

constexpr int RadioImageSize = 131072;
constexpr char RadioVersion[] = "1.0.0.9.0.0";
constexpr char RadioFileName[] = "7140_orvanel_radio.bin";
constexpr char HostFileName[] = "7140_orvanel_host.dfu";

//! Pseudo-random content carrying `VersionMarker` + version + NUL; one
//! sector stays erased (0xFF), as unused flash in a real image does.
QByteArray radioImage(const QByteArray &version = RadioVersion);
//! A DfuSe file: prefix, one target with one element, DFU suffix with its CRC.
QByteArray hostImage();

//! Writes both files into `dir` (created if needed).
bool write(const QString &dir, QString *error);

} // namespace TestImages
