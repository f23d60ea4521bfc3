#pragma once
// The 108-byte device-information record, as D_DEVINFO2HOST answers it
// (after the 15-byte header) and D_DEVINFO2DET carries it: HART-style
// identification. This is the one place that knows its byte layout.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

constexpr size_t kDevInfoSize = 108;
// A whole answer: header, record, CRC.
constexpr size_t kDevInfoAnswerSize = 125;

// Where the fields start in the record, and the text fields' widths in characters.
namespace devinfo {
constexpr size_t PollAddress = 0, Message = 2, Tag = 26, Descriptor = 32, LongTag = 44, Day = 76,
                 Month = 77, Year = 78, FinalAssy = 79, ChangeCounter = 98, DetectorMark = 100,
                 Manufacturer = 101, ManufacturerHigh = 102, Model = 103, DeviceIdPrefix = 105,
                 Preambles = 107;
constexpr size_t MessageChars = 32, TagChars = 8, DescriptorChars = 16, LongTagChars = 32;
// The bytes the detector sets on every accepted write (change counter and
// its mark): a read-back takes them over before it is compared.
constexpr size_t FirstDetectorOwned = ChangeCounter, DetectorOwnedCount = 3;
constexpr unsigned YearBase = 1900;
}  // namespace devinfo

using DevInfoBytes = std::array<uint8_t, kDevInfoSize>;

// HART packed ASCII: each character's low six bits, four characters in three
// bytes, most significant bits first. `chars` (a multiple of 4) characters are
// packed: the text cut or padded with blanks; lower-case letters go as capitals.
// Characters outside 0x20..0x5F (after upper-casing) must have been refused before.
void PackAscii(std::string_view text, size_t chars, std::span<uint8_t> out);
// The reverse: codes 0..31 become '@'..'_', codes 32..63 ' '..'?'. Trailing
// blanks are kept.
std::string UnpackAscii(std::span<const uint8_t> packed);

// The record of a whole D_DEVINFO2HOST / D_DEVINFO2DET answer; nullopt when
// shorter than 125 bytes.
std::optional<DevInfoBytes> DecodeDevInfoAnswer(std::span<const uint8_t> answer);

// Named reads of a record.
uint16_t DevInfoChangeCounter(const DevInfoBytes& r);
uint16_t DevInfoModel(const DevInfoBytes& r);
unsigned DevInfoYear(const DevInfoBytes& r);  // 1900 + byte 78
// The long tag: its 32 bytes as stored (blanks included).
std::string DevInfoLongTag(const DevInfoBytes& r);
// "%02X %02X %02X" of the final assembly number.
std::string FinalAssyText(const DevInfoBytes& r);
// "Device ID": manufacturer & 0x3F, the model's low byte, (byte 105 << 4) |
// (serial byte 2 & 0x0F), serial byte 1, serial byte 0, as "%02X ..." (the
// serial number is the answer header's, little-endian).
std::string DeviceIdText(const DevInfoBytes& r, uint32_t serial);
// "Model Number": the serial number in decimal.
std::string ModelNumberText(uint32_t serial);
