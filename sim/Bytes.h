#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

namespace wsim {

// Little-endian field access; every multi-byte field of the record protocol is LE.
inline uint16_t getU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t getU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putF32(uint8_t* p, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    putU32(p, v);
}

using Bytes = std::vector<uint8_t>;

}  // namespace wsim
