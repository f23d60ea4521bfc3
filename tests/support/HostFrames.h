#pragma once
// Requests as a host sends them to detectors, built by hand with the bitwise
// reference CRC, independently of the code under test.
#include <cstdint>
#include <string>
#include <vector>

#include "support/RefCrc.h"

namespace hostframes {

using Bytes = std::vector<uint8_t>;

inline bool crcGood(const Bytes& f) {
    return f.size() >= 3 && refCrc(f.data(), f.size()) == 0;
}

inline uint32_t nonceOf(const Bytes& answer) {
    return answer.size() < 15 ? 0
                              : uint32_t(answer[11]) | uint32_t(answer[12]) << 8 |
                                    uint32_t(answer[13]) << 16 | uint32_t(answer[14]) << 24;
}

// A record Get: 0xC8 (0xCA with a tag), length = payload + 5.
inline Bytes recordGet(uint8_t addr, uint8_t id, const Bytes& payload = {}, int tag = -1,
                       uint8_t b4 = 0, uint8_t b5 = 0) {
    const size_t len = payload.size() + 5;
    Bytes f{addr, uint8_t(tag >= 0 ? 0xCA : 0xC8), uint8_t(len), uint8_t(len >> 8), id,
            uint8_t(tag >= 0 ? tag : b4), b5};
    f.insert(f.end(), payload.begin(), payload.end());
    return withCrc(f);
}

// Bytes 4 and 5 code the access code and the host's last nonce.
inline Bytes authorisedGet(uint8_t addr, uint8_t id, const Bytes& payload, uint32_t nonce) {
    const uint8_t b[8] = {0x5A, 0xC3, 0xE1, 0x7B, uint8_t(nonce), uint8_t(nonce >> 8),
                          uint8_t(nonce >> 16), uint8_t(nonce >> 24)};
    const uint16_t c = refCrc(b, 8);
    return recordGet(addr, id, payload, -1, uint8_t(c >> 8), uint8_t(c));
}

// A record Set: length = payload + 3, never answered.
inline Bytes recordSet(uint8_t addr, uint8_t id, const Bytes& payload = {}) {
    const size_t len = payload.size() + 3;
    Bytes f{addr, 0xC8, uint8_t(len), uint8_t(len >> 8), id, 0, 0};
    f.insert(f.end(), payload.begin(), payload.end());
    return withCrc(f);
}

// The status poll: counter, access level 3 and the access code, length 14.
inline Bytes dataRequest(uint8_t addr, uint32_t counter = 0, int tag = -1) {
    Bytes f{addr, uint8_t(tag >= 0 ? 0xCA : 0xC8), 14, 0, 120, uint8_t(tag >= 0 ? tag : 0), 0,
            uint8_t(counter), uint8_t(counter >> 8), uint8_t(counter >> 16), uint8_t(counter >> 24),
            3, 0x7B, 0xE1, 0xC3, 0x5A};
    return withCrc(f);
}

inline Bytes stdRequest(uint8_t addr, uint8_t fc, uint16_t reg, uint16_t countOrValue) {
    return withCrc({addr, fc, uint8_t(reg >> 8), uint8_t(reg), uint8_t(countOrValue >> 8),
                    uint8_t(countOrValue)});
}

// Function 6 with the value low byte first.
inline Bytes writeRegister(uint8_t addr, uint16_t reg, uint16_t value) {
    return withCrc({addr, 6, uint8_t(reg >> 8), uint8_t(reg), uint8_t(value), uint8_t(value >> 8)});
}

inline Bytes writeRegisters(uint8_t addr, uint16_t reg, const Bytes& data) {
    const size_t count = data.size() / 2;
    Bytes f{addr, 16, uint8_t(reg >> 8), uint8_t(reg), uint8_t(count >> 8), uint8_t(count),
            uint8_t(data.size())};
    f.insert(f.end(), data.begin(), data.end());
    return withCrc(f);
}

// The D_ELEVATE payload for a level with a password.
inline Bytes elevation(uint8_t level, const std::string& password) {
    Bytes p(18, 0);
    p[0] = level;
    for (size_t i = 0; i < password.size() && i < 17; ++i) p[1 + i] = static_cast<uint8_t>(password[i]);
    return p;
}

}  // namespace hostframes
