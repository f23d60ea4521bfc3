#include "protocol/records/DevInfoRecord.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "protocol/records/ByteOrder.h"
#include "protocol/records/ResponseHeader.h"

void PackAscii(std::string_view text, size_t chars, std::span<uint8_t> out) {
    const size_t bytes = chars / 4 * 3;
    for (size_t i = 0; i < bytes && i < out.size(); ++i) out[i] = 0;
    for (size_t i = 0; i < chars; ++i) {
        const auto c = static_cast<unsigned char>(i < text.size() ? text[i] : ' ');
        const unsigned code = static_cast<unsigned>(std::toupper(c)) & 0x3F;
        // Character i occupies bits 6i..6i+5 counted from the first byte's top.
        for (unsigned bit = 0; bit < 6; ++bit) {
            if (!(code & (0x20u >> bit))) continue;
            const size_t at = i * 6 + bit;
            if (at / 8 < out.size()) out[at / 8] |= static_cast<uint8_t>(0x80u >> (at % 8));
        }
    }
}

std::string UnpackAscii(std::span<const uint8_t> packed) {
    std::string text;
    const size_t chars = packed.size() / 3 * 4;
    for (size_t i = 0; i < chars; ++i) {
        unsigned code = 0;
        for (unsigned bit = 0; bit < 6; ++bit) {
            const size_t at = i * 6 + bit;
            code = code << 1 | ((packed[at / 8] >> (7 - at % 8)) & 1u);
        }
        text.push_back(static_cast<char>(code & 0x20 ? code : code | 0x40));
    }
    return text;
}

std::optional<DevInfoBytes> DecodeDevInfoAnswer(std::span<const uint8_t> answer) {
    if (answer.size() < kDevInfoAnswerSize) return std::nullopt;
    DevInfoBytes r{};
    std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(kHeaderSize), kDevInfoSize, r.begin());
    return r;
}

uint16_t DevInfoChangeCounter(const DevInfoBytes& r) { return *le::u16(r, devinfo::ChangeCounter); }
uint16_t DevInfoModel(const DevInfoBytes& r) { return *le::u16(r, devinfo::Model); }
unsigned DevInfoYear(const DevInfoBytes& r) { return devinfo::YearBase + r[devinfo::Year]; }

std::string DevInfoLongTag(const DevInfoBytes& r) {
    const auto* first = reinterpret_cast<const char*>(r.data() + devinfo::LongTag);
    return std::string(first, devinfo::LongTagChars);
}

std::string FinalAssyText(const DevInfoBytes& r) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X", r[devinfo::FinalAssy],
                  r[devinfo::FinalAssy + 1], r[devinfo::FinalAssy + 2]);
    return text;
}

std::string DeviceIdText(const DevInfoBytes& r, uint32_t serial) {
    char text[20];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X %02X", r[devinfo::Manufacturer] & 0x3Fu,
                  DevInfoModel(r) & 0xFFu,
                  ((r[devinfo::DeviceIdPrefix] << 4) | ((serial >> 16) & 0x0Fu)) & 0xFFu,
                  (serial >> 8) & 0xFFu, serial & 0xFFu);
    return text;
}

std::string ModelNumberText(uint32_t serial) { return std::to_string(serial); }
