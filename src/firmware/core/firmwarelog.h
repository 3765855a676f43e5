#pragma once

#include <QLoggingCategory>

// The firmware subsystem's one logging category.
Q_DECLARE_LOGGING_CATEGORY(lcFirmware)
