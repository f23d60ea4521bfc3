#pragma once
#include <cstddef>
#include <cstdint>

// CRC-16/MODBUS (reflected 0xA001, start 0xFFFF), returned with its two bytes
// swapped: crc16(...) >> 8 is the byte that goes on the wire first. Stored
// records and files use the same value as their checksum.
uint16_t crc16(const uint8_t* data, size_t length);

// One step of the table method, for checkers that see a frame byte by byte.
// Both halves start at 0xFF; after the CRC bytes of a good frame both are 0.
struct Crc16Running {
    uint8_t hi = 0xFF;
    uint8_t lo = 0xFF;
    void reset() { hi = lo = 0xFF; }
    void add(uint8_t byte);
    bool good() const { return hi == 0 && lo == 0; }
};

// Appends the CRC of buf[0..n) in wire order at buf[n], buf[n+1].
void appendCrc16(uint8_t* buf, size_t n);

// True when the last two bytes of frame[0..n) are the CRC of what precedes them.
bool frameCrcOk(const uint8_t* frame, size_t n);
