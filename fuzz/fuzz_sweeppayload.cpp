#include "fuzz_bytesparsers.h"
#include "nodestatus.h"
#include "sweeppayload.h"

#include <cstdio>

// A broker topic carries whatever anyone publishes. The sweep decoder must
// refuse what is not whole and sane, and what it accepts must encode back to
// the very same bytes (nothing read past the end, nothing made up). The same
// bytes go to the status reader, which shares the topic tree.
static void decodeBoth(const QByteArray &bytes)
{
    SweepPayload sweep;
    QString reason;
    if (SweepPayload::decode(bytes, &sweep, &reason) && sweep.encode() != bytes) {
        std::fprintf(stderr, "decoded sweep does not encode to its input\n");
        std::abort();
    }
    NodeStatus status;
    NodeStatus::fromJson(bytes, &status, &reason);
}

ORVANEL_FUZZ_BYTES(decodeBoth(bytes))
