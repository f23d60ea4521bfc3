#pragma once
// Live records built by hand: an IR (or UV/IR) answer from `address` with the
// given mode, every other value zero until set.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <utility>

#include "protocol/records/LiveRecord.h"
#include "wire/Crc16.h"

struct LiveFrame {
    std::array<uint8_t, live::kSize> bytes{};

    LiveFrame(uint8_t address, char mode, bool uvir = false) {
        bytes[0] = address;
        bytes[1] = 0xC8;
        bytes[hdr::Model] = uvir ? 0x92 : 0x14;
        const uint32_t serial = 123456;
        std::memcpy(&bytes[hdr::Serial], &serial, 4);
        bytes[live::State] = 3;
        bytes[live::Mode] = static_cast<uint8_t>(mode);
    }
    LiveFrame& set(std::initializer_list<std::pair<size_t, float>> values) {
        for (auto [at, v] : values) std::memcpy(&bytes[at], &v, 4);
        return *this;
    }
    LiveFrame& setByte(size_t at, uint8_t v) {
        bytes[at] = v;
        return *this;
    }
    LiveFrame& setI32(size_t at, int32_t v) {
        std::memcpy(&bytes[at], &v, 4);
        return *this;
    }
    std::array<uint8_t, live::kSize> frame() {
        appendCrc16(bytes.data(), live::kSize - 2);
        return bytes;
    }
    LiveRecord record() { return *LiveRecord::Decode(frame()); }
};

// 14:03:27 on 5 December 2026.
inline std::tm DecemberFifth() {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 27;
    return t;
}
