#pragma once
// The sizes every record frame shares: an answer is a 15-byte header, the
// record data and the two CRC bytes; no frame either side sends is longer
// than a 16-bit length field allows.
#include <cstddef>

constexpr size_t kHeaderSize = 15;
constexpr size_t kFrameOverhead = kHeaderSize + 2;
constexpr size_t kMaxRecordFrame = 65535 + 8;
