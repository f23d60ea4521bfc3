// The detector's bootloader: an upload session of numbered blocks into the
// store, checked whole at its end and installed only at the next restart.
#include <algorithm>
#include <utility>

#include "sim/Detector.h"

namespace wsim {

namespace {
constexpr int kAdmin = 2;
constexpr uint32_t kStoreBytes = 245'760;
constexpr int64_t kIdleMs = 60'000;
constexpr int kEraseMs = 1500, kBlockMs = 60, kEndMs = 800;
constexpr int kBadData = -1, kSame = -2, kWrongProduct = -3, kOld = -4, kWrongPacket = -6, kWrongCrc = -7,
              kPacketLength = -10, kBadState = -11;

RecordReply answer(int status, unsigned next, int latency) {
    return RecordReply{{static_cast<uint8_t>(status), 0, static_cast<uint8_t>(next), 0}, latency};
}

// CRC-32/MPEG-2 over whole little-endian words, each fed most significant byte first.
uint32_t imageCrc(const Bytes& image, uint32_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (uint32_t w = 0; w + 4 <= size; w += 4)
        for (uint32_t i = 4; i-- > 0;) {
            crc ^= static_cast<uint32_t>(image[w + i]) << 24;
            for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
        }
    return crc;
}
}  // namespace

std::optional<RecordReply> Detector::uploadFw(const RecordRequest& req, int64_t now) {
    if (!permitted(kAdmin, now) || req.payloadSize < 1) return std::nullopt;
    const uint8_t* p = req.payload;
    const size_t n = req.payloadSize;
    Upload& u = upload_;
    if (u.active && now - u.lastMs > kIdleMs) u = {};
    u.lastMs = now;
    if (p[0] == 22) {
        // A new start drops whatever session was running: the host has no other way to.
        u = {};
        u.lastMs = now;
        if (n < 23) return answer(kBadData, 0, kEraseMs);
        u.blockSize = getU16(p + 1);
        u.size = getU32(p + 3);
        u.major = p[15];
        u.sub = p[16];
        u.flags = getU16(p + 17);
        u.crc = getU32(p + 19);
        if (u.blockSize != 2048 && u.blockSize != 4096) return answer(kPacketLength, 0, kEraseMs);
        if (u.size == 0 || u.size > kStoreBytes) return answer(kBadData, 0, kEraseMs);
        if (!std::equal(p + 7, p + 14, flash_.product.begin(), flash_.product.begin() +
                        std::min<size_t>(7, flash_.product.size())) || flash_.product.size() < 7)
            return answer(kWrongProduct, 0, kEraseMs);
        if (!(u.flags & 0x8000)) {
            const int file = u.major << 8 | u.sub, own = flash_.fwMajor << 8 | flash_.fwSub;
            if (file == own) return answer(kSame, 0, kEraseMs);
            if (file < own) return answer(kOld, 0, kEraseMs);
        }
        u.blocks = (u.size + u.blockSize - 1) / u.blockSize;
        u.image.assign(u.blocks * u.blockSize, 0xFF);
        u.active = true;
        return answer(0, 0, kEraseMs);
    }
    if (p[0] == 33 || p[0] == 44) {
        if (!u.active || n < 4) return answer(kBadState, 0, kBlockMs);
        const unsigned length = getU16(p + 1), block = p[3];
        // The header is 5 bytes, or 4 without the reserved byte: the frame tells which.
        const size_t head = n == length + 5u ? 5 : n == length + 4u ? 4 : 0;
        if (head == 0) return answer(kPacketLength, u.next, kBlockMs);
        if (block != u.next || block >= u.blocks) return answer(kWrongPacket, u.next, kBlockMs);
        if ((p[0] == 33 && length != u.blockSize) || (p[0] == 44 && (length > u.blockSize || length % 16)))
            return answer(kPacketLength, u.next, kBlockMs);
        std::copy(p + head, p + head + length, u.image.begin() + static_cast<long>(block) * u.blockSize);
        u.next = block + 1;
        FwFaults& f = fwFaults_;
        if (f.block != static_cast<int>(block) || f.kind == FwFaults::Kind::None) return answer(0, u.next, kBlockMs);
        const auto kind = f.kind;
        f.kind = FwFaults::Kind::None;
        switch (kind) {
        case FwFaults::Kind::Lose: return std::nullopt;
        case FwFaults::Kind::Status: u.next = block; return answer(f.value, u.next, kBlockMs);
        case FwFaults::Kind::Ask:
            // A rewind: the detector wants block J again and takes it.
            u.next = std::min(static_cast<unsigned>(f.value), u.next);
            return answer(0, u.next, kBlockMs);
        case FwFaults::Kind::Deaf: deafUntil_ = now + f.value; return std::nullopt;
        case FwFaults::Kind::Restart: restart(now); return std::nullopt;
        default: return answer(0, u.next, kBlockMs);
        }
    }
    if (p[0] == 55) {
        if (!u.active || u.next < u.blocks) return answer(kBadState, u.next, kEndMs);
        if (!(u.flags & 0x0100) && imageCrc(u.image, u.size) != u.crc) return answer(kWrongCrc, u.next, kEndMs);
        if (fwFaults_.endStatus) return answer(std::exchange(fwFaults_.endStatus, 0), u.next, kEndMs);
        u.active = false;
        u.verified = true;
        if (std::exchange(fwFaults_.loseEnd, false)) return std::nullopt;
        return answer(0, u.next, kEndMs);
    }
    return answer(kBadData, u.next, kBlockMs);
}

void Detector::installFirmware() {
    if (upload_.verified) {
        flash_.fwMajor = upload_.major;
        flash_.fwSub = upload_.sub;
        flash_.version = versionTextOf(uvir(), flash_.model, flash_.fwMajor, flash_.fwSub);
        if (std::exchange(fwFaults_.changeParams, false) && flash_.params.size() > 20) flash_.params[20] ^= 0x01;
    }
    upload_ = {};
}

}  // namespace wsim
