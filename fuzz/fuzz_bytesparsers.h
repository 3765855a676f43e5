#pragma once

#include "fuzzsupport.h"

#include <QByteArray>

// One-call parsers over a whole buffer need no more than this.
#define ORVANEL_FUZZ_BYTES(call)                                                                   \
    ORVANEL_FUZZ_INIT                                                                              \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)                        \
    {                                                                                              \
        const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));      \
        call;                                                                                      \
        return 0;                                                                                  \
    }
