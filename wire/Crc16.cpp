#include "wire/Crc16.h"

#include <array>

namespace {

// The classic split tables: index i = crc-high XOR byte.
struct Tables {
    std::array<uint8_t, 256> hi{};
    std::array<uint8_t, 256> lo{};
    constexpr Tables() {
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t crc = static_cast<uint16_t>(i);
            for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
            // crc is the reflected remainder of byte i; split so that the running
            // pair (hi, lo) ends up as the wire order of the CRC.
            hi[i] = static_cast<uint8_t>(crc & 0xFF);
            lo[i] = static_cast<uint8_t>(crc >> 8);
        }
    }
};
constexpr Tables kTables;

}  // namespace

void Crc16Running::add(uint8_t byte) {
    const uint8_t i = hi ^ byte;
    hi = lo ^ kTables.hi[i];
    lo = kTables.lo[i];
}

uint16_t crc16(const uint8_t* data, size_t length) {
    Crc16Running c;
    for (size_t k = 0; k < length; ++k) c.add(data[k]);
    return static_cast<uint16_t>(c.hi << 8 | c.lo);
}

void appendCrc16(uint8_t* buf, size_t n) {
    const uint16_t c = crc16(buf, n);
    buf[n] = static_cast<uint8_t>(c >> 8);
    buf[n + 1] = static_cast<uint8_t>(c & 0xFF);
}

bool frameCrcOk(const uint8_t* frame, size_t n) {
    if (n < 3) return false;
    const uint16_t c = crc16(frame, n - 2);
    return frame[n - 2] == (c >> 8) && frame[n - 1] == (c & 0xFF);
}
