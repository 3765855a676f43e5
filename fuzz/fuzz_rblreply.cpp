#include "fuzzsupport.h"
#include "rblserialcomms.h"

#include <fcntl.h>
#include <stdlib.h>

// The bootloader protocol's receive path. The first byte picks the command
// last sent (which decides whether an acknowledgement or a response is
// read), the second where the rest is split in two reads.
namespace {

// As in the reply target: a pseudo-terminal nobody reads keeps the shared
// port open instead of failing to open it for every input.
QString openPty()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        abort();
    return QString::fromLocal8Bit(ptsname(master));
}

} // namespace

ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const QString pty = openPty();
    RblSerialComms comms(pty);
    switch (data[0] % 8) {
    case 0:
        comms.autoBaud();
        break;
    case 1:
        comms.cmdPing();
        break;
    case 2:
        comms.cmdGetStatus();
        break;
    case 3:
        comms.cmdCrc32(0, 0x1000, 0);
        break;
    case 4:
        comms.cmdGetChipId();
        break;
    case 5:
        comms.cmdMemoryRead(0x50001000, data[1] & 1, data[1] >> 1);
        break;
    case 6:
        comms.cmdSendData(QByteArray(16, '\x5a'));
        break;
    default:
        comms.cmdDownload(0, 0x1000);
        break;
    }
    const QByteArray rest(reinterpret_cast<const char *>(data) + 2, static_cast<int>(size) - 2);
    const int cut = rest.isEmpty() ? 0 : data[1] % (rest.size() + 1);
    comms.receive(rest.left(cut));
    comms.receive(rest.mid(cut));
    return 0;
}
