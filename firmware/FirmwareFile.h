#pragma once
// A firmware BIN file: 16-byte header, then the maker's enciphered image,
// which the host passes through untouched. Everything here is checked against
// the file's own bytes before anything is sent.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fw {

constexpr size_t kHeaderBytes = 16;
// The detector's image buffer; a larger payload is never read.
constexpr size_t kImageCapacity = 243712;
constexpr uint16_t kFlagNoCrc = 0x0100, kFlagAllowOlder = 0x8000;
constexpr uint8_t kMsgStart = 22, kMsgBlock = 33, kMsgLastBlock = 44, kMsgEnd = 55;
constexpr size_t kProductBytes = 8, kProductCompared = 7;

struct Version {
    uint8_t major = 0, sub = 0;
    bool newerThan(Version o) const { return major != o.major ? major > o.major : sub > o.sub; }
    std::string text() const;  // "MAJOR.SUB"
};

struct BinHeader {
    std::array<uint8_t, kProductBytes> product{};
    Version version;
    uint16_t flags = 0;
    uint32_t crc = 0;
};

// CRC-32/MPEG-2 over the payload's whole 32-bit little-endian words; the last
// 1 to 3 bytes of a payload not a multiple of 4 are not covered.
uint32_t PayloadCrc(std::span<const uint8_t> payload);

struct FirmwareFile {
    BinHeader header;
    std::vector<uint8_t> payload;
    unsigned blockSize = 4096;

    unsigned remainder() const { return static_cast<unsigned>(payload.size() % blockSize); }
    unsigned blocks() const { return static_cast<unsigned>(payload.size() / blockSize) + (remainder() ? 1 : 0); }
    // The product number up to its first zero, bytes outside 0x20..0x7E as '.'.
    std::string productText() const;
};

// Under 17 bytes or a payload over the image buffer: the refusal, else empty.
std::string SizeRefusal(uintmax_t fileSize);

// The file's own checks: size, header, CRC (unless the file waives it).
// `allowOlder` sets flag bit 15 as the override box does. nullopt with the
// message the window shows on a refusal.
std::optional<FirmwareFile> ParseFirmware(std::span<const uint8_t> file, unsigned blockSize, bool allowOlder,
                                          std::string* error);
std::optional<FirmwareFile> ReadFirmware(const std::string& path, unsigned blockSize, bool allowOlder,
                                         std::string* error);

// The detector's identity against the file: empty when accepted, else why not.
std::string MatchDetector(const BinHeader& file, std::span<const uint8_t> detectorProduct, Version detector);

// The three D_UPLOAD_FW messages. A short last block is padded with 0xFF to a
// multiple of 16; `shortHeader`: data right after the block number.
std::vector<uint8_t> StartMessage(const FirmwareFile& f);
std::vector<uint8_t> BlockMessage(const FirmwareFile& f, unsigned block, bool shortHeader);
std::vector<uint8_t> EndMessage();

// The name of a non-zero answer status ("FW_BAD_DATA" .. "FW_BAD_STATE",
// otherwise "Unknown error number").
const char* StatusName(int status);
constexpr int kBadState = -11;

}  // namespace fw
