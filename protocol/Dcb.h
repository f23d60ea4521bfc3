#pragma once
#include <string>

// A parsed port description ("COM3:921600,n,8,1" or "/dev/ttyUSB0:9600,n,8,1").
struct PortDescription {
    std::string portName;  // "COM3", "\\.\COM12" or the device path as given
    unsigned baud = 9600;
    char parity = 'N';  // stored upper-case
    unsigned dataBits = 8;
    unsigned stopBits = 1;
    bool rs485 = false;  // ",rs485": the kernel's RS-485 direction control
    bool echo = false;   // ",echo": the adapter hands back what we send
    std::string text;  // as the user wrote it (Param.ini), for the logs
};

// Accepts "COMn:baud,p,d,s" with n 1..99, baud >= 2400, parity n/e/o, data and
// stop bits 1..8 (case-insensitive), or the same with a device path in place
// of COMn, optionally followed by ",rs485" and/or ",echo", as long as its
// mode string fits the driver's kCommConfigMax. Anything else fails and leaves
// `out` untouched.
bool ParseDCB(const std::string& text, PortDescription* out);

// "%s:%u,%c,%u,%u" and the options, as the driver wants it.
std::string ModeString(const PortDescription& port);
// The description as the user wrote it while the settings still are what it
// says (a baud-rate switch changes them); else ModeString.
std::string DescriptionText(const PortDescription& port);
