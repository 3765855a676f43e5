#pragma once

#include <QByteArray>
#include <QString>

// Where the firmware images come from. No image is built into the program by
// default: a made-up image must never reach a real scanner. A build may
// embed the maker's two images (cmake -DORVANEL_FIRMWARE_DIR=DIR, under
// ":/firmwares/"), and at run time the environment variable
// ORVANEL_FIRMWARE_DIR names a directory that holds them; that directory
// wins over embedded images.
namespace FirmwareImages {

extern const char *const radioFileName; //!< "7140_orvanel_radio.bin"
extern const char *const hostFileName;  //!< "7140_orvanel_host.dfu"

//! Path of the radio (host) image, or empty when this build and its
//! environment carry none.
QString radioImagePath();
QString hostImagePath();

//! Reads a whole image. An image that is missing, unreadable or empty is
//! refused with a reason in `error`.
bool read(const QString &path, QByteArray *image, QString *error);

} // namespace FirmwareImages
