#include "kivolog.h"

Q_LOGGING_CATEGORY(lcKivo, "orvanel.kivo")
