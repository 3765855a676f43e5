#pragma once

#include <QLoggingCategory>

// The dialogs subsystem's one logging category ("orvanel.dialogs").
Q_DECLARE_LOGGING_CATEGORY(lcDialogs)
