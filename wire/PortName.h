#pragma once
#include <string>

#include "wire/SerialPort.h"

// Decimal digits only, at most nine of them, so the value always fits.
bool ParseDecimal(const std::string& text, unsigned* out);

// "COMn" names the n-th serial port as on the original platform, /dev/ttyS(n-1);
// an optional "\\.\" prefix is ignored; a path is taken as it is. Empty when
// the name maps to no device (COM0, garbage).
std::string DeviceForPortName(const std::string& name);

// The options a port description may end with, after the stop bits:
// ",rs485" and ",echo", each at most once, in any order, any case. Sets the
// option the word names; false for any other word or one given twice.
bool TakeLineOption(const std::string& word, LineSettings* settings);
// The options as they follow the stop bits (",rs485,echo"); empty for none.
std::string LineOptionsText(const LineSettings& settings);

// A whole mode string "NAME:baud,parity,data,stop[,options]" ("COM3:921600,n,8,1",
// "/dev/ttyUSB0:9600,n,8,1,rs485") into line settings, as leniently as the
// classic device-control-block builder: the name ends at the last ':'.
bool BuildLineSettings(const std::string& mode, LineSettings* out);
