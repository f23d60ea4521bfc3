#include "network/AddressChange.h"

#include <cstdio>

#include "protocol/Registers.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {
constexpr unsigned kVersionRegister = 256, kVersionRegisters = 32;
}

std::optional<std::string> ProbeNewAddress(unsigned newAddress, unsigned current) {
    std::lock_guard lock(LinkLock());
    SelectSlave(newAddress);
    uint16_t words[kVersionRegisters] = {};
    const int r = ReadInputRegisters(kVersionRegisters, kVersionRegister, words);
    const bool answered = r > 0 || modbus_last_received(Wire().ctx) > 0;
    PumpWait(10);
    SelectSlave(current);
    if (!answered) return std::nullopt;
    std::string text;
    // Registers carry their first character in the low byte; only a whole
    // reply filled the words.
    for (unsigned i = 0; r == static_cast<int>(kVersionRegisters) && i < 2 * kVersionRegisters; ++i) {
        const char c = static_cast<char>(i % 2 ? words[i / 2] >> 8 : words[i / 2] & 0xFF);
        if (c == 0) break;
        text += c;
    }
    return text;
}

std::string OccupiedText(const std::string& version, unsigned address) {
    char b[160];
    std::snprintf(b, sizeof b, "A detector, version '%s', already exists at address %u...", version.c_str(), address);
    return b;
}
