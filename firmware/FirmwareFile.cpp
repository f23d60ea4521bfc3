#include "firmware/FirmwareFile.h"

#include <algorithm>
#include <filesystem>

#include "firmware/FlashDump.h"
#include "protocol/records/ByteOrder.h"
#include "util/WholeFile.h"

namespace fw {

std::string Version::text() const { return std::to_string(major) + "." + std::to_string(sub); }

uint32_t PayloadCrc(std::span<const uint8_t> payload) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t w = 0; w + 4 <= payload.size(); w += 4) {
        // Each little-endian word goes in most significant byte first.
        for (size_t i = 4; i-- > 0;) {
            crc ^= static_cast<uint32_t>(payload[w + i]) << 24;
            for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
        }
    }
    return crc;
}

std::string FirmwareFile::productText() const { return PrintableText(ProductNumberText(header.product)); }

std::string SizeRefusal(uintmax_t fileSize) {
    if (fileSize < kHeaderBytes) return "Failed reading Header from BIN file...";
    if (fileSize == kHeaderBytes) return "Failed reading FW from BIN file...";
    if (fileSize - kHeaderBytes > kImageCapacity)
        return "FW size " + std::to_string(fileSize - kHeaderBytes) + " exceeds the limit of " +
               std::to_string(kImageCapacity) + " bytes...";
    return {};
}

std::optional<FirmwareFile> ParseFirmware(std::span<const uint8_t> file, unsigned blockSize, bool allowOlder,
                                          std::string* error) {
    auto refuse = [&](std::string why) -> std::optional<FirmwareFile> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    if (blockSize != 2048 && blockSize != 4096) return refuse("Block size must be 2048 or 4096...");
    if (std::string why = SizeRefusal(file.size()); !why.empty()) return refuse(why);
    FirmwareFile f;
    f.blockSize = blockSize;
    std::copy(file.begin(), file.begin() + kProductBytes, f.header.product.begin());
    f.header.version = {file[9], file[8]};
    f.header.flags = *le::u16(file, 10);
    f.header.crc = *le::u32(file, 12);
    if (allowOlder) f.header.flags |= kFlagAllowOlder;
    f.payload.assign(file.begin() + kHeaderBytes, file.end());
    if (!(f.header.flags & kFlagNoCrc) && PayloadCrc(f.payload) != f.header.crc)
        return refuse("CRC incorrect - file corrupted...");
    return f;
}

std::optional<FirmwareFile> ReadFirmware(const std::string& path, unsigned blockSize, bool allowOlder,
                                         std::string* error) {
    // The size is refused before a byte is read.
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    std::string why = ec ? std::string() : SizeRefusal(size);
    const auto bytes = why.empty() ? ReadWholeFile(path, kHeaderBytes + kImageCapacity) : std::nullopt;
    if (!bytes && why.empty()) why = "Failed opening BIN file \"" + path + "\" for reading...";
    if (!bytes) {
        if (error) *error = why;
        return std::nullopt;
    }
    return ParseFirmware(*bytes, blockSize, allowOlder, error);
}

std::string MatchDetector(const BinHeader& file, std::span<const uint8_t> detectorProduct, Version detector) {
    if (detectorProduct.size() < kProductCompared ||
        !std::equal(file.product.begin(), file.product.begin() + kProductCompared, detectorProduct.begin()))
        return "Product # of update doesn't match product of unit...";
    if (!(file.flags & kFlagAllowOlder) && !file.version.newerThan(detector))
        return "FW version is older or same as that of unit...";
    return {};
}

std::vector<uint8_t> StartMessage(const FirmwareFile& f) {
    std::vector<uint8_t> m{kMsgStart};
    le::append16(m, static_cast<uint16_t>(f.blockSize));
    le::append32(m, static_cast<uint32_t>(f.payload.size()));
    m.insert(m.end(), f.header.product.begin(), f.header.product.end());
    m.push_back(f.header.version.major);
    m.push_back(f.header.version.sub);
    le::append16(m, f.header.flags);
    le::append32(m, f.header.crc);
    return m;
}

std::vector<uint8_t> BlockMessage(const FirmwareFile& f, unsigned block, bool shortHeader) {
    const size_t at = static_cast<size_t>(block) * f.blockSize;
    if (at >= f.payload.size()) return {};
    const bool last = block + 1 == f.blocks() && f.remainder();
    const size_t length = last ? f.remainder() : f.blockSize;
    const size_t padded = (length + 15) / 16 * 16;
    std::vector<uint8_t> m{last ? kMsgLastBlock : kMsgBlock};
    le::append16(m, static_cast<uint16_t>(padded));
    m.push_back(static_cast<uint8_t>(block));
    if (!shortHeader) m.push_back(0);
    m.insert(m.end(), f.payload.begin() + static_cast<std::ptrdiff_t>(at),
             f.payload.begin() + static_cast<std::ptrdiff_t>(at + length));
    m.resize(m.size() + padded - length, 0xFF);
    return m;
}

std::vector<uint8_t> EndMessage() { return {kMsgEnd}; }

const char* StatusName(int status) {
    static const char* const names[] = {"FW_BAD_DATA",       "FW_VERSION_SAME",  "FW_WRONG_PROD", "FW_VERSION_OLD",
                                        "FW_NO_HEADER",      "FW_WRONG_PKT_NUM", "FW_WRONG_CRC32", "FW_BURN_ERROR",
                                        "FW_ERASE_ERROR",    "FW_PKT_LEN_ERR",   "FW_BAD_STATE"};
    if (status <= -1 && status >= -11) return names[-status - 1];
    return "Unknown error number";
}

}  // namespace fw
