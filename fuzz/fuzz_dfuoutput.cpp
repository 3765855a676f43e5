#include "dfuoutputparser.h"
#include "fuzzsupport.h"

// dfu-util's standard output from arbitrary bytes, decoded as the runner
// decodes it and arriving in reads of a size the first byte sets.
ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // dfu-util's lines are short: a kilobyte holds many of them split every
    // way, and longer inputs only slow the run down, parsed a byte at a time.
    if (size < 1 || size > 1025)
        return 0;
    const int chunk = 1 + data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<int>(size) - 1);
    DfuOutputParser parser;
    for (int pos = 0; pos < bytes.size(); pos += chunk) {
        parser.feed(QString::fromLocal8Bit(bytes.mid(pos, chunk)));
        if (parser.percent() < -1 || parser.percent() > 100)
            abort();
        parser.takeLines();
    }
    DfuOutputParser::phaseName(parser.phase());
    return 0;
}
