#pragma once
// A bitwise CRC-16/MODBUS written independently of the product's table method,
// so that tests check frames against something the code under test did not make.
#include <cstdint>
#include <vector>

inline uint16_t refCrc(const uint8_t* data, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;  // plain value: low byte goes on the wire first
}

// Appends the CRC, low byte first.
inline std::vector<uint8_t> withCrc(std::vector<uint8_t> frame) {
    const uint16_t c = refCrc(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(c));
    frame.push_back(static_cast<uint8_t>(c >> 8));
    return frame;
}

// A record answer: address, 0xC8, length = data + 11, the command answered,
// model 0x0590, serial 123456, nonce, data, CRC.
inline std::vector<uint8_t> recordAnswer(uint8_t address, const std::vector<uint8_t>& data,
                                         uint32_t nonce = 0x01020304, uint8_t command = 0) {
    const size_t length = data.size() + 11;
    std::vector<uint8_t> f{address, 0xC8, uint8_t(length), uint8_t(length >> 8), command, 0x90, 0x05, 0x40, 0xE2, 1, 0};
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(nonce >> (8 * i)));
    f.insert(f.end(), data.begin(), data.end());
    return withCrc(f);
}
