#include "limitslog.h"

Q_LOGGING_CATEGORY(lcLimits, "orvanel.limits")
