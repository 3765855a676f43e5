#include "analysislog.h"

Q_LOGGING_CATEGORY(lcAnalysis, "orvanel.analysis", QtInfoMsg)
