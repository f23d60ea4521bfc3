#pragma once
#include <string>

// Why a serial port could not be opened, in words a technician can act on:
// the device, what stands in the way and what to do about it. `err` is the
// errno of the failed open or lock (EACCES, EPERM, EBUSY, EWOULDBLOCK,
// ENOENT...). The one source of this text for the command line, the Host
// Settings form and the console log.
std::string PortOpenErrorText(const std::string& device, int err);
