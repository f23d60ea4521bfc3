#pragma once
#include <string>

// A parsed port description ("COM3:921600,n,8,1" or "/dev/ttyUSB0:9600,n,8,1").
struct PortDescription {
    std::string portName;  // "COM3", "\\.\COM12" or the device path as given
    unsigned baud = 9600;
    char parity = 'N';  // stored upper-case
    unsigned dataBits = 8;
    unsigned stopBits = 1;
};

// Accepts "COMn:baud,p,d,s" with n 1..99, baud >= 2400, parity n/e/o, data and
// stop bits 1..8 (case-insensitive), or the same with a device path in place
// of COMn. Anything else fails and leaves `out` untouched.
bool ParseDCB(const std::string& text, PortDescription* out);

// "%s:%u,%c,%u,%u" as the driver and the logs want it.
std::string ModeString(const PortDescription& port);
