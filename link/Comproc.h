#pragma once
#include <cstddef>
#include <cstdint>

#include "wire/Crc16.h"
#include "wire/Frame.h"

// The frame checker of the raw link: picks one record answer out of the
// current port's receive ring, a byte at a time. Runs on one thread (the one
// waiting for the answer); the read thread only fills the ring.

constexpr size_t kComprocHeaderSize = kHeaderSize;
constexpr size_t kComprocDataSize = 65536;

struct ComprocState {
    int state = 0;  // 0..14 header bytes, 15 data and CRC
    Crc16Running crc;
    uint32_t length = 0;  // the frame's length field
    uint8_t header[kComprocHeaderSize] = {};
    uint8_t headerCount = 0;
    uint8_t data[kComprocDataSize] = {};
    uint16_t dataCount = 0;  // after a good frame: the data without the CRC
};

// Takes at most one byte from the current port's ring and runs it through the
// checker: 0 when no byte was waiting or the frame is not complete yet, 1 when
// a frame with a good CRC is complete, -1 on a frame error.
int comproc();
// The same for a byte from anywhere.
int comprocByte(uint8_t b);
// Restarts the checker and empties the current port's ring and input, if a
// port is open.
void ResetComproc();

const ComprocState& ComprocFrame();

// Copies a completed frame into buf as a caller sees it: the 15 header bytes,
// the data, then as much of the 2 CRC bytes as buf holds. Returns header +
// data + 2, or -1 when header and data do not fit in max.
long ComprocCopyAnswer(uint8_t* buf, size_t max);
