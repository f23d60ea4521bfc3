#pragma once
// What the end-to-end tests share: the line they talk to and hex as the
// command line reads and prints it.
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "sim/Line.h"

namespace e2e {

using Bytes = std::vector<uint8_t>;

// The demo line's detectors, plus one that never tags its answers.
constexpr uint8_t kIr = 1, kUvir = 2, kNoTags = 5, kLocked = 17;
constexpr uint32_t kIrSerial = 21'030'001;

inline std::vector<wsim::DetectorConfig> testLine() {
    std::vector<wsim::DetectorConfig> dets(4);
    dets[0].address = kIr;
    dets[1].address = kUvir;
    dets[1].uvir = true;
    dets[2].address = kNoTags;
    dets[2].tags = false;
    dets[3].address = kLocked;
    dets[3].locked = true;
    dets[3].maint = "maint17";
    dets[3].admin = "admin17";
    return dets;
}

// One word, no blanks, so that it stays one argument of a command line.
inline std::string hex(const Bytes& b) {
    std::string s;
    char two[3];
    for (uint8_t v : b) {
        std::snprintf(two, sizeof two, "%02X", v);
        s += two;
    }
    return s;
}

// A printed frame ("01 C8 0D ...") back into bytes.
inline Bytes bytesOf(const std::string& line) {
    std::istringstream in(line);
    Bytes b;
    for (std::string w; in >> w;) b.push_back(static_cast<uint8_t>(std::stoul(w, nullptr, 16)));
    return b;
}

// The D_ELEVATE payload for a level with a password.
inline Bytes elevation(uint8_t level, const std::string& password) {
    Bytes p(18, 0);
    p[0] = level;
    for (size_t i = 0; i < password.size() && i < 16; ++i) p[1 + i] = static_cast<uint8_t>(password[i]);
    return p;
}

inline Bytes le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

}  // namespace e2e
