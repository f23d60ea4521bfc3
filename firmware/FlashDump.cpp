#include "firmware/FlashDump.h"

#include <cstdio>

#include "firmware/CDumpFlash1Ids.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "protocol/records/ByteOrder.h"
#include "protocol/records/ResponseHeader.h"
#include "util/Log.h"
#include "util/Panel.h"
#include "util/PumpWait.h"

const std::array<FlashArea, 6> kFlashAreas = {{
    {0x8007800, 32, "0x8007800 - HW Product Number", "Failed reading HW product from detector..."},
    {0x8007810, 4, "0x8007810 - Serial Number", "Failed reading serial number from detector..."},
    {0x8008000, 32, "0x8008000 - APP code", "Failed reading APP Code from detector..."},
    {0x8043FF0, 16, "0x8043FF0 - APP INFO", "Failed reading APP Info from detector..."},
    {0x8044000, 32, "0x8044000 - STORE code", "Failed reading STORE Code from detector..."},
    {0x807FFF0, 16, "0x807FFF0 - APP INFO", "Failed reading STORE Info from detector..."},
}};

namespace {
constexpr unsigned kWaitMs = 10, kTimeoutMs = 1500, kRetryPauseMs = 80;
constexpr size_t kProductChars = 8, kLineBytes = 16;
// The largest area with its frame.
constexpr size_t kMaxAnswer = kFrameOverhead + 32;
}  // namespace

std::string FlashHexText(std::span<const uint8_t> bytes) {
    std::string text;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == kLineBytes && bytes.size() == 2 * kLineBytes) text += "\r\n";
        std::snprintf(pair, sizeof pair, "%02X ", bytes[i]);
        text += pair;
    }
    return text;
}

std::string ProductNumberText(std::span<const uint8_t> area) {
    std::string text;
    for (size_t i = 0; i < area.size() && i < kProductChars && area[i] != 0; ++i)
        text += static_cast<char>(area[i]);
    return text;
}

std::string PrintableText(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '.';
    return out;
}

std::string SerialNumberText(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4) return {};
    const uint32_t v = *le::u32(bytes, 0);
    char text[32];
    std::snprintf(text, sizeof text, "%u   0x%08X", v, v);
    return text;
}

std::vector<std::string> FlashAreaTexts(size_t area, std::span<const uint8_t> bytes) {
    if (area == 0) return {ProductNumberText(bytes), FlashHexText(bytes)};
    if (area == 1) return {SerialNumberText(bytes)};
    return {FlashHexText(bytes)};
}

std::vector<uint8_t> ReadFlashArea(size_t area) {
    const FlashArea& a = kFlashAreas.at(area);
    const unsigned size = static_cast<unsigned>(kFrameOverhead) + a.bytes;
    std::array<uint8_t, kMaxAnswer> buffer{};
    int got = 0;
    for (int attempt = 0; attempt < 3 && got <= 0; ++attempt) {
        if (attempt > 0 && area < 2) PumpWait(kRetryPauseMs);
        // The answer overwrites the request in the buffer.
        le::put32(buffer, 0, a.address);
        le::put32(buffer, 4, a.bytes);
        got = ModbusGet(8, D_READ_FLASH, Wire().ctx, buffer.data(), size, kWaitMs, kTimeoutMs);
    }
    if (got != static_cast<int>(size)) return {};
    const uint8_t* data = buffer.data() + kHeaderSize;
    return {data, data + a.bytes};
}

FlashDump RunFlashDump(Panel& panel) {
    FlashDump dump;
    for (size_t i = 0; i < kFlashAreas.size(); ++i) {
        std::vector<uint8_t> bytes = ReadFlashArea(i);
        if (bytes.empty()) {
            dump.failedArea = static_cast<int>(i);
            DebugLog("%s", kFlashAreas[i].failure);
            panel.ask(kFlashAreas[i].failure, "Error", MB_OK | MB_ICONEXCLAMATION);
            break;
        }
        const auto texts = FlashAreaTexts(i, bytes);
        // Area i's first field: area 0 owns the first two.
        const size_t field = i == 0 ? 0 : i + 1;
        for (size_t t = 0; t < texts.size(); ++t) panel.setText(dumpflash::kFields[field + t], texts[t]);
        dump.areas.push_back(std::move(bytes));
    }
    return dump;
}
