#pragma once

#include <QLoggingCategory>

// The capture subsystem's one logging category: CSV files, the autosave
// journal and the headless capture.
Q_DECLARE_LOGGING_CATEGORY(lcCapture)
