#pragma once

#include <QLoggingCategory>

// The venue network's one logging category: the broker link, the payloads
// refused from it and the metrics server.
Q_DECLARE_LOGGING_CATEGORY(lcVenue)
