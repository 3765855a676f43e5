#pragma once

#include <QLoggingCategory>

// The device subsystem's one logging category. Debug lines (one or more per
// frame) are off by default: enable them with
// QT_LOGGING_RULES="orvanel.device.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcDevice)
