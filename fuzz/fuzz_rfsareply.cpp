#include "fuzzsupport.h"
#include "rfsaserialcomms.h"

#include <fcntl.h>
#include <stdlib.h>

// The receive path of the protocol object. The first byte picks the command
// last sent (which decides how replies are read), the second where the rest
// is split in two reads, so frames cut across reads are covered too.
namespace {

// A pseudo-terminal nobody reads: the shared port opens it once and stays
// open, where a port that cannot open would try again for every input (a
// few milliseconds each). Every protocol object clears the port's buffers,
// so what the objects write does not pile up.
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
    RfsaSerialComms comms(pty);
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
