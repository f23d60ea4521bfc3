#pragma once
// What a target holds the code under test to: a broken promise aborts, so
// libFuzzer keeps the input as a finding like any sanitizer report.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                 \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            std::fprintf(stderr, "%s:%d: promise broken: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                \
        }                                                                                \
    } while (0)

#include <cstdint>
#include <vector>

#include "wire/Crc16.h"

// Gives bytes[0..n) a good CRC when they hold that many (at least 4), so that
// the fuzzer reaches what lies behind the CRC check.
inline void SealFrame(std::vector<uint8_t>& bytes, size_t n) {
    if (n >= 4 && n <= bytes.size()) appendCrc16(bytes.data(), n - 2);
}
// The same for a record frame, whose length field says how long it is.
inline void SealRecord(std::vector<uint8_t>& bytes) {
    if (bytes.size() >= 4) SealFrame(bytes, (bytes[2] | bytes[3] << 8) + 6u);
}
