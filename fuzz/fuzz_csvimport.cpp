#include "fuzz_bytesparsers.h"
#include "rtlpowercsv.h"

// A CSV import from arbitrary bytes.
ORVANEL_FUZZ_BYTES(RtlPowerCsv::parse(bytes))
