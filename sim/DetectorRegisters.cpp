// Standard Modbus functions 3, 4, 6 and 16 over the detector's register map.
// Register values travel low byte first, as the service tool frames them.
#include <algorithm>
#include <cmath>

#include "sim/Detector.h"
#include "sim/ParamRecord.h"

namespace wsim {

namespace {
constexpr int kIllegalFunction = 1, kIllegalAddress = 2, kIllegalValue = 3, kRefused = 4;
constexpr unsigned kVersionReg = 256, kVersionRegs = 32;
constexpr unsigned kOrdnumReg = 256;
constexpr unsigned kLogPosReg = 10000, kLogReadReg = 10001, kElevateReg = 10002;
constexpr unsigned kLogReadCount = 108;
constexpr unsigned kLogRecords = 5;

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

Bytes exception(uint8_t addr, uint8_t fc, int code) {
    return {addr, static_cast<uint8_t>(fc | 0x80), static_cast<uint8_t>(code)};
}

uint16_t rounded(float v) { return static_cast<uint16_t>(std::lround(std::max(0.0f, v))); }
}  // namespace

bool Detector::readInput(unsigned reg, uint16_t* value, int64_t now) {
    if (reg >= kVersionReg && reg < kVersionReg + kVersionRegs) {
        const size_t i = (reg - kVersionReg) * 2;
        const std::string& t = flash_.version;
        const uint8_t lo = i < t.size() ? static_cast<uint8_t>(t[i]) : 0;
        const uint8_t hi = i + 1 < t.size() ? static_cast<uint8_t>(t[i + 1]) : 0;
        *value = static_cast<uint16_t>(lo | (hi << 8));
        return true;
    }
    if (reg > 31) return false;
    const LiveValues v = live(now);
    // Sums in register order SUM4, SUM45, SUM5, SUM44 from the record order 45, 5, 4, 44.
    static constexpr int kSumSlot[4] = {2, 0, 1, 3};
    static constexpr int kNoiseSlot[4] = {2, 0, 3, 1};
    auto u32half = [&](float f, bool msw) {
        const uint32_t x = static_cast<uint32_t>(std::lround(std::max(0.0f, f)));
        return static_cast<uint16_t>(msw ? x >> 16 : x);
    };
    switch (reg) {
    case 0: *value = flash_.model; break;
    case 1: *value = static_cast<uint16_t>(flash_.serial); break;
    case 2: *value = static_cast<uint16_t>(flash_.serial >> 16); break;
    case 3: *value = v.analog; break;
    case 4: *value = static_cast<uint16_t>((static_cast<uint8_t>(v.mode) << 8) | v.state); break;
    case 5: *value = 0; break;
    case 14: *value = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v.temperature))); break;
    case 15: *value = rounded(v.vin * 10.0f); break;
    case 28: *value = (v.outputBits & 0x40) ? 1 : 0; break;
    case 29: *value = (v.outputBits & 0x10) ? 1 : 0; break;
    case 30: *value = (v.outputBits & 0x20) ? 1 : 0; break;
    case 31: *value = (v.outputBits & 0x80) ? 1 : 0; break;
    default:
        if (reg >= 6 && reg <= 13)
            *value = u32half(v.sums[kSumSlot[(reg - 6) / 2]], (reg - 6) % 2);
        else if (reg >= 16 && reg <= 19)
            *value = rounded(v.noise[kNoiseSlot[reg - 16]]);
        else
            *value = u32half(v.bitSums[kSumSlot[(reg - 20) / 2]], (reg - 20) % 2);
    }
    return true;
}

int Detector::readHolding(unsigned reg, uint16_t* value) {
    if (reg == 0) *value = flash_.address;
    else if (reg >= 1 && reg <= 31) *value = flash_.setup[kSetupRegisterByte[reg - 1]];
    else if (reg == 32) *value = 0;
    else if (reg == kLogPosReg) *value = static_cast<uint16_t>(logPosition_);
    else return kIllegalAddress;
    return 0;
}

int Detector::writeHolding(unsigned reg, uint16_t value, int64_t now, bool* move, uint8_t* newAddr) {
    if (reg == 0) {
        // The register window sends low byte first, address changes use the
        // standard order: one non-zero byte in either half is the address.
        const uint8_t lo = value & 0xFF, hi = value >> 8;
        const uint8_t a = (lo && !hi) ? lo : (hi && !lo) ? hi : 0;
        if (a < 1 || a > 247) return kIllegalValue;
        if (!permitted(2, now)) return kRefused;
        *move = true;
        *newAddr = a;
        return 0;
    }
    if (reg >= 1 && reg <= 31) {
        if (value > 0xFF) return kIllegalValue;
        if (!permitted(2, now)) return kRefused;
        SetupRecord rec = flash_.setup;
        rec[kSetupRegisterByte[reg - 1]] = static_cast<uint8_t>(value);
        if (!setupValid(rec, uvir())) return kIllegalValue;
        sealSetup(rec, ++flash_.setupWrites);
        flash_.setup = rec;
        alarmLatched_ = false;
        setupShownUntil_ = now + 5'000;
        return 0;
    }
    if (reg == 32) {
        if (value != 1) return kIllegalValue;
        if (!permitted(1, now)) return kRefused;
        if (!alarmRunning(now)) startManualBit(now, 3);
        return 0;
    }
    if (reg == kLogPosReg) {
        const unsigned total = std::max(logTotal(), 1u);
        logPosition_ = value == 0xFFFF ? logOldest() : value % total;
        return 0;
    }
    return kIllegalAddress;
}

std::optional<Bytes> Detector::handleStandard(const uint8_t* f, size_t n, bool broadcast, int64_t now) {
    if (!alive(now) || n < 2) return std::nullopt;
    const uint8_t addr = flash_.address;
    const uint8_t fc = f[1];
    auto reply = [&](Bytes b) -> std::optional<Bytes> {
        if (broadcast) return std::nullopt;
        return b;
    };

    if (fc == 3 || fc == 4) {
        if (broadcast || n != 6) return std::nullopt;
        const unsigned start = be16(f + 2), count = be16(f + 4);
        Bytes out{addr, fc, 0};
        if (fc == 3 && start == kLogReadReg) {
            if (count != kLogReadCount) return exception(addr, fc, kIllegalValue);
            const Bytes records = logRecordsAt(logPosition_, kLogRecords);
            out.insert(out.end(), records.begin(), records.end());
            out.push_back(0);
            out[2] = static_cast<uint8_t>(count * 2);
            return out;
        }
        if (count < 1 || count > 125) return exception(addr, fc, kIllegalValue);
        for (unsigned r = start; r < start + count; ++r) {
            uint16_t v = 0;
            const int err = fc == 4 ? (readInput(r, &v, now) ? 0 : kIllegalAddress) : readHolding(r, &v);
            if (err) return exception(addr, fc, err);
            out.push_back(static_cast<uint8_t>(v));
            out.push_back(static_cast<uint8_t>(v >> 8));
        }
        out[2] = static_cast<uint8_t>(count * 2);
        return out;
    }

    if (fc == 6) {
        if (n != 6) return std::nullopt;
        const unsigned reg = be16(f + 2);
        const uint16_t value = static_cast<uint16_t>(f[4] | (f[5] << 8));
        bool move = false;
        uint8_t newAddr = 0;
        const int err = writeHolding(reg, value, now, &move, &newAddr);
        if (err) return reply(exception(addr, fc, err));
        // The echo leaves from the old address; the new one applies afterwards.
        auto out = reply(Bytes(f, f + 6));
        if (out) (*out)[0] = addr;
        if (move) {
            flash_.address = newAddr;
            flash_.setup[setup::Address] = newAddr;
            sealSetup(flash_.setup, flash_.setupWrites);
        }
        return out;
    }

    if (fc == 16) {
        if (n < 7) return std::nullopt;
        const unsigned start = be16(f + 2), count = be16(f + 4), bytes = f[6];
        if (count < 1 || count > 123 || bytes != count * 2 || n != 7 + bytes)
            return reply(exception(addr, fc, kIllegalValue));
        const uint8_t* data = f + 7;
        Bytes ack{addr, fc, f[2], f[3], f[4], f[5]};
        if (start == kElevateReg) {
            if (count != 9) return reply(exception(addr, fc, kIllegalValue));
            RecordRequest req;
            req.id = cmd::Elevate;
            req.payload = data;
            req.payloadSize = 18;
            const auto r = elevate(req, now);
            if (!r || r->data.empty() || r->data[0] != 1) return reply(exception(addr, fc, kRefused));
            return reply(ack);
        }
        if (start == kOrdnumReg) {
            if (count != 2) return reply(exception(addr, fc, kIllegalValue));
            if (!permitted(2, now)) return reply(exception(addr, fc, kRefused));
            // The parameter record's serial number, LSW first.
            std::copy_n(data, 4, flash_.params.begin() + static_cast<long>(ordnumOffset(uvir())));
            return reply(ack);
        }
        bool move = false;
        uint8_t newAddr = 0;
        for (unsigned i = 0; i < count; ++i) {
            const uint16_t v = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
            const int err = writeHolding(start + i, v, now, &move, &newAddr);
            if (err) return reply(exception(addr, fc, err));
        }
        auto out = reply(ack);
        if (move) {
            flash_.address = newAddr;
            flash_.setup[setup::Address] = newAddr;
            sealSetup(flash_.setup, flash_.setupWrites);
        }
        return out;
    }
    if (broadcast) return std::nullopt;
    return exception(addr, fc, kIllegalFunction);
}

}  // namespace wsim
