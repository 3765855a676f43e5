#include "venuelog.h"

Q_LOGGING_CATEGORY(lcVenue, "orvanel.venue", QtInfoMsg)
