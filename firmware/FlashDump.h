#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class Panel;

// The six areas of the detector's program flash that the flash dump shows,
// in the order they are read.
struct FlashArea {
    uint32_t address;
    unsigned bytes;
    const char* label;
    const char* failure;  // the message when the area cannot be read
};
extern const std::array<FlashArea, 6> kFlashAreas;

// Every byte as "%02X "; a 32-byte area breaks its line after the 16th byte.
std::string FlashHexText(std::span<const uint8_t> bytes);
// The product number: the first 8 bytes up to the first zero among them.
std::string ProductNumberText(std::span<const uint8_t> area);
// The same with every byte outside 0x20..0x7E as '.', for a terminal.
std::string PrintableText(const std::string& text);
// The 32-bit little-endian serial number as "%u   0x%08X".
std::string SerialNumberText(std::span<const uint8_t> bytes);

// What one area shows: area 1 two texts (product number, hex), the others one.
std::vector<std::string> FlashAreaTexts(size_t area, std::span<const uint8_t> bytes);

// One area read with up to three tries while nothing comes back, 80 ms apart
// for the first two areas; only an answer of exactly the area's size counts.
// The bytes of the area, or empty.
std::vector<uint8_t> ReadFlashArea(size_t area);

// The dump of the current detector: the areas in order, each area's texts
// into the window's fields as soon as it is read. The first area that fails
// ends it with its message in the log and in an "Error" box. Returns the
// areas read (all six when nothing failed).
struct FlashDump {
    std::vector<std::vector<uint8_t>> areas;
    int failedArea = -1;  // index of the area that failed, -1: none
};
FlashDump RunFlashDump(Panel& panel);
