// Port descriptions as typed or stored: whatever ParseDCB accepts, the mode
// string hands to the raw link's driver whole, and the text shown for it
// parses to the same settings.
#include <cstring>
#include <string>

#include "link/CommDriver.h"
#include "protocol/Dcb.h"
#include "support/Check.h"
#include "wire/PortName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every source of a description (a profile value, an argument, a typed
    // field) is a C string.
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    PortDescription p;
    if (!ParseDCB(text, &p)) return 0;
    FUZZ_CHECK(p.baud >= 2400 && p.dataBits >= 1 && p.dataBits <= 8 && p.stopBits >= 1 && p.stopBits <= 8);
    FUZZ_CHECK(p.parity == 'N' || p.parity == 'E' || p.parity == 'O');

    PortDescription shown;
    FUZZ_CHECK(ParseDCB(DescriptionText(p), &shown) || DescriptionText(p) == ModeString(p));

    // The mode string carries what the parse accepted whole to the driver:
    // also for a device path at its length limit, with a ';' (the driver's
    // comment) or ending in blanks (which the driver trims): corpus/dcb/regress-*.
    std::string mode;
    LineSettings line;
    FUZZ_CHECK(NormalizeCommConfig(ModeString(p).c_str(), &mode) && BuildLineSettings(mode, &line) &&
               line.device == DeviceForPortName(p.portName) && line.baud == p.baud &&
               line.parity == p.parity && line.dataBits == p.dataBits && line.stopBits == p.stopBits);
    return 0;
}
