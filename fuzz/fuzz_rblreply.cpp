#include "fuzzpty.h"
#include "fuzzsupport.h"
#include "rblserialcomms.h"

// The bootloader protocol's receive path. The first byte picks the command
// last sent (which decides whether an acknowledgement or a response is
// read), the second where the rest is split in two reads.
ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    FuzzPty::instance().drain();
    RblSerialComms comms(FuzzPty::instance().path());
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
