#pragma once

#include "dialogseam.h"

// The dialog seam's handler for a person at the screen: real message boxes,
// input dialogs and file dialogs. Installed by main(); tests install their own.
namespace MessageBoxHandler {

QVariant answer(const DialogSeam::Request &request);

//! Installs answer() as the seam's handler.
void install();

} // namespace MessageBoxHandler
