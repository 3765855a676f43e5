#include "customcolors.h"
#include "fuzzsupport.h"

// The colour file from arbitrary bytes, under both keys the plots read.
ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<int>(size));
    for (const char *key : {"SpectroPlot", "WaterfallPlot"}) {
        const auto list = CustomColors::parse(json, QString::fromLatin1(key));
        if (!list)
            continue;
        // A parsed list feeds a colour map, which needs at least its ends.
        if (list->stops.isEmpty())
            abort();
    }
    return 0;
}
