#include "fuzzsupport.h"
#include "rfsaframe.h"

// The frame layer over arbitrary bytes: walk the buffer frame by frame as a
// receiver would, skipping a byte whenever the front is not a valid frame.
ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray buffer(reinterpret_cast<const char *>(data), static_cast<int>(size));
    while (!buffer.isEmpty()) {
        const RfsaFrame::Parsed parsed = RfsaFrame::parseFront(buffer);
        if (parsed.status == RfsaFrame::Scan::NeedMore)
            break;
        if (parsed.status == RfsaFrame::Scan::Frame) {
            if (parsed.size < RfsaFrame::Overhead || parsed.size > buffer.size() ||
                parsed.payload.size() != parsed.size - RfsaFrame::Overhead)
                abort();
            // What is built from a decoded frame must decode to the same frame.
            const QByteArray again = RfsaFrame::buildFrame(parsed.command, parsed.payload);
            if (again != buffer.left(parsed.size))
                abort();
            buffer.remove(0, parsed.size);
        } else {
            buffer.remove(0, 1);
        }
    }
    return 0;
}
