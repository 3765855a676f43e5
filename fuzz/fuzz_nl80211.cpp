#include "fuzz_bytesparsers.h"
#include "nl80211parser.h"

// One netlink message as the kernel's scan dump would deliver it, and the
// information elements on their own.
ORVANEL_FUZZ_BYTES(isScanInterface(parseNl80211Message(bytes)); ssidFromInformationElements(bytes))
