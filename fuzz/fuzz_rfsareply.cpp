#include "fuzzpty.h"
#include "fuzzsupport.h"
#include "rfsaserialcomms.h"

// The receive path of the protocol object. The first byte picks the command
// last sent (which decides how replies are read), the second where the rest
// is split in two reads, so frames cut across reads are covered too.
ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    FuzzPty::instance().drain();
    RfsaSerialComms comms(FuzzPty::instance().path());
    switch (data[0] % 8) {
    case 0:
        comms.getSpecNoInit();
        break;
    case 1:
        comms.getCalibration();
        break;
    case 2:
        comms.getRfParams(RfsaSerialComms::FBand_2400MHz);
        break;
    case 3:
        comms.getDeviceVer();
        break;
    case 4:
        comms.getFwVer();
        break;
    case 5:
        comms.getInfoStr(data[1] & 1, data[1] >> 1);
        break;
    case 6:
        comms.getLastError();
        break;
    default:
        comms.connect();
        break;
    }
    const QByteArray rest(reinterpret_cast<const char *>(data) + 2, static_cast<int>(size) - 2);
    const int cut = rest.isEmpty() ? 0 : data[1] % (rest.size() + 1);
    comms.receive(rest.left(cut));
    comms.receive(rest.mid(cut));
    return 0;
}
