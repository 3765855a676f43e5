#include "fuzzsupport.h"
#include "instancechannel.h"

// What a peer of the single-instance channel may send. The first byte sets
// the size of the reads the bytes arrive in.
ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int chunk = 1 + data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<int>(size) - 1);
    InstanceLines lines;
    for (int pos = 0; pos < bytes.size(); pos += chunk)
        lines.feed(bytes.mid(pos, chunk));
    const QStringList result = lines.finish();
    if (result.size() > InstanceLines::MaxLines)
        abort();
    for (const QString &line : result)
        if (line.toUtf8().size() > 3 * InstanceLines::MaxLineLength)
            abort();
    return 0;
}
