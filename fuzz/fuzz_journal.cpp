#include "fuzz_bytesparsers.h"
#include "scanjournal.h"

// The autosave journal from arbitrary bytes, as recovery reads it after a crash.
ORVANEL_FUZZ_BYTES(ScanJournal::read(bytes))
