#include "fuzz_bytesparsers.h"
#include "wififileparser.h"

// The Wi-Fi file backend's file from arbitrary bytes.
ORVANEL_FUZZ_BYTES(parseWifiFile(bytes))
