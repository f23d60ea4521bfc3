// The detector's program flash as D_READ_FLASH shows it: the identity page
// (product number, serial), the application image with its information block
// at the end, and the store area, which holds no uploaded image here.
#include <algorithm>

#include "sim/Detector.h"

namespace wsim {

namespace {
constexpr uint32_t kFlashFirst = 0x08000000, kFlashLast = 0x0807FFFF;
constexpr uint32_t kIdentity = 0x08007800, kSerial = 0x08007810;
constexpr uint32_t kAppCode = 0x08008000, kAppInfo = 0x08043FF0;
constexpr uint32_t kMaxRead = 256;
}  // namespace

Bytes Detector::flashBytes(uint32_t address, uint32_t length) const {
    Bytes out(length, 0xFF);
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t at = address + i;
        uint8_t& b = out[i];
        if (at >= kIdentity && at < kIdentity + 8) {
            const size_t i = at - kIdentity;
            b = i < flash_.product.size() ? static_cast<uint8_t>(flash_.product[i]) : 0;
        } else if (at >= kSerial && at < kSerial + 4) {
            b = static_cast<uint8_t>(flash_.serial >> (8 * (at - kSerial)));
        } else if (at >= kAppCode && at < kAppCode + 8) {
            // The vector table's first two words: stack top, then the reset handler.
            const uint32_t words[2] = {0x20010000u, kAppCode + 0x1C1u + (flash_.model & 0xFFu)};
            const uint32_t off = at - kAppCode;
            b = static_cast<uint8_t>(words[off / 4] >> (8 * (off % 4)));
        } else if (at >= kAppCode + 8 && at < kAppInfo) {
            b = static_cast<uint8_t>((at * 2654435761u) >> 24);
        } else if (at == kAppInfo) {
            b = flash_.fwSub;
        } else if (at == kAppInfo + 1) {
            b = flash_.fwMajor;
        } else if (at >= kAppInfo + 2 && at < kAppInfo + 4) {
            b = static_cast<uint8_t>(flash_.model >> (8 * (at - kAppInfo - 2)));
        }
    }
    return out;
}

std::optional<RecordReply> Detector::readFlash(const RecordRequest& req) const {
    if (req.payloadSize < 8) return std::nullopt;
    const uint32_t address = getU32(req.payload), length = getU32(req.payload + 4);
    if (length == 0 || length > kMaxRead || address < kFlashFirst || address > kFlashLast ||
        length - 1 > kFlashLast - address)
        return std::nullopt;
    if (std::find(silentFlash_.begin(), silentFlash_.end(), address) != silentFlash_.end()) return std::nullopt;
    return RecordReply{flashBytes(address, length)};
}

}  // namespace wsim
