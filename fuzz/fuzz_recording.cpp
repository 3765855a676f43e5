#include "fuzzsupport.h"
#include "recordingio.h"

#include <QBuffer>

// A ".vozi" recording from arbitrary bytes, through the same reader the
// program uses for files.
ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    RfSpectrumHistory history;
    QString errorText;
    RecordingIo::read(buffer, history, &errorText);
    RecordingIo::pageBandForInterval(history.frequencyInterval);
    return 0;
}
