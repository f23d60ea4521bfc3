// The device-information record as a detector keeps it: HART-style identity,
// read whole, written whole after its own checks, counted on every write.
#include <algorithm>
#include <string>

#include "sim/Detector.h"

namespace wsim {

namespace {
constexpr size_t kSize = 108;
constexpr size_t kPollAddress = 0, kMessage = 2, kTag = 26, kDescriptor = 32, kLongTag = 44,
                 kDay = 76, kMonth = 77, kYear = 78, kFinalAssy = 79, kCounter = 98, kWritten = 100,
                 kManufacturer = 101, kModel = 103, kPreambles = 107;
constexpr uint8_t kManufacturerCode = 0x60;
constexpr int kAdmin = 2;
constexpr int kFlashMs = 250;
constexpr int64_t kStateMs = 5'000;

// Six bits a character, four characters in three bytes, first character on top.
void pack(const std::string& text, size_t chars, uint8_t* out) {
    std::fill_n(out, chars / 4 * 3, 0);
    for (size_t i = 0; i < chars; ++i) {
        const unsigned code = static_cast<unsigned char>(i < text.size() ? text[i] : ' ') & 0x3Fu;
        for (size_t bit = 0; bit < 6; ++bit)
            if (code & (0x20u >> bit))
                out[(i * 6 + bit) / 8] |= static_cast<uint8_t>(0x80u >> ((i * 6 + bit) % 8));
    }
}
}  // namespace

Bytes Detector::factoryDevInfo() const {
    Bytes r(kSize, 0);
    const std::string number = std::to_string(flash_.address);
    pack("FD-" + number, 8, &r[kTag]);
    pack(uvir() ? "UV/IR FLAME DET" : "IR FLAME DET", 16, &r[kDescriptor]);
    pack("WEXCON FLAME DETECTOR", 32, &r[kMessage]);
    std::string longTag = "Flame detector at address " + number;
    longTag.resize(32, ' ');
    std::copy(longTag.begin(), longTag.end(), r.begin() + kLongTag);
    r[kPollAddress] = 0;
    r[kDay] = 15;
    r[kMonth] = 3;
    r[kYear] = 124;
    for (size_t i = 0; i < 3; ++i)
        r[kFinalAssy + i] = static_cast<uint8_t>(flash_.serial >> (8 * i));
    r[kManufacturer] = kManufacturerCode;
    putU16(&r[kModel], flash_.model);
    r[kPreambles] = 5;
    return r;
}

std::optional<RecordReply> Detector::devInfoRead(const RecordRequest& req) {
    if (!req.isGet) return std::nullopt;
    RecordReply reply{devInfo_};
    if (devInfoCorruptAt_ < 0) return reply;
    if (devInfoCorruptSkip_ > 0) {
        --devInfoCorruptSkip_;
        return reply;
    }
    reply.data[static_cast<size_t>(devInfoCorruptAt_)] ^= 0x01;
    devInfoCorruptAt_ = -1;
    return reply;
}

std::optional<RecordReply> Detector::devInfoWrite(const RecordRequest& req, int64_t now) {
    if (req.payloadSize < kSize) return std::nullopt;
    auto refuse = [&](uint8_t code) -> std::optional<RecordReply> {
        if (!req.isGet) return std::nullopt;
        return status(code, kFlashMs);
    };
    if (!req.authOk) return refuse(3);
    if (!permitted(kAdmin, now)) return refuse(0);
    const uint8_t* p = req.payload;
    if (req.payloadSize != kSize || p[kPollAddress] > 63 || p[kDay] < 1 || p[kDay] > 31 ||
        p[kMonth] < 1 || p[kMonth] > 12 || p[kPreambles] < 5 || p[kPreambles] > 20)
        return refuse(2);
    const uint16_t writes = static_cast<uint16_t>(getU16(&devInfo_[kCounter]) + 1);
    devInfo_.assign(p, p + kSize);
    putU16(&devInfo_[kCounter], writes);
    devInfo_[kWritten] = 0x01;
    devInfoShownUntil_ = now + kStateMs;
    if (!req.isGet) return std::nullopt;
    RecordReply reply = *devInfoRead(req);
    reply.latencyMs = kFlashMs;
    return reply;
}

}  // namespace wsim
