// The detector's log: a ring of sectors x slots records of 43 bytes, read in
// pages with D_GET_LOGFILE. The current position is where the next record goes.
#include <algorithm>

#include "sim/Detector.h"

namespace wsim {

namespace {
constexpr size_t kRecord = 43;
constexpr uint32_t kRecordEverySeconds = 900;
constexpr uint16_t kHalfOne = 0x3C00;

// A record that moves with its number: mode and state, values that go
// negative, a missing reading now and then.
Bytes makeRecord(unsigned number, uint32_t time, bool uvir, bool halfSums) {
    Bytes r(kRecord, 0);
    putU32(&r[0], number);
    putU32(&r[4], time);
    putU16(&r[8], number % 7 == 6 ? 0xFFFF : static_cast<uint16_t>(240 + number % 5));
    putU16(&r[10], static_cast<uint16_t>(40 + number % 160));
    r[12] = static_cast<uint8_t>("NNNWAF"[number % 6]);
    r[13] = static_cast<uint8_t>(number % 80);
    r[14] = static_cast<uint8_t>(static_cast<int8_t>(30 - static_cast<int>(number % 60)));
    for (size_t i = 0; i < 4; ++i)
        putU16(&r[16 + 2 * i], halfSums ? static_cast<uint16_t>(kHalfOne + number % 64) : static_cast<uint16_t>(100 * i + number));
    for (size_t i = 24; i < 40; ++i) r[i] = static_cast<uint8_t>(i + number);
    if (uvir) {
        putU16(&r[24], static_cast<uint16_t>(500 + number % 10));
        putU16(&r[26], static_cast<uint16_t>(300 + number % 300));  // HiVoltage, beyond a byte
    }
    for (size_t i = 0; i < 3; ++i) r[40 + i] = static_cast<uint8_t>(static_cast<int8_t>(static_cast<int>(i) - 1));
    return r;
}
}  // namespace

void Detector::eraseLog() {
    logRing_.flash.assign(logRing_.total() * kRecord, 0xFF);
    logRing_.written = 0;
    logRing_.lastTime = 0;
}

void Detector::writeLogRecords(unsigned count, int64_t now) {
    const unsigned total = logRing_.total();
    if (total == 0) return;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned n = logRing_.written++;
        logRing_.lastTime = std::max(operatingSeconds(now), n * kRecordEverySeconds);
        const Bytes r = makeRecord(n, n * kRecordEverySeconds, uvir(), logRing_.flags & 2);
        std::copy(r.begin(), r.end(), logRing_.flash.begin() + static_cast<long>((n % total) * kRecord));
    }
}

Bytes Detector::logRecordsAt(unsigned position, unsigned count) const {
    const unsigned total = logRing_.total();
    if (total == 0) return Bytes(count * kRecord, 0xFF);
    Bytes d;
    for (unsigned i = 0; i < count; ++i) {
        const auto from = logRing_.flash.begin() + static_cast<long>((position + i) % total * kRecord);
        d.insert(d.end(), from, from + kRecord);
    }
    return d;
}

std::optional<RecordReply> Detector::logFile(const RecordRequest& req) const {
    const uint8_t* p = req.payload;
    const LogRingState& g = logRing_;
    const unsigned cur = logCurrent();
    const uint8_t slot = g.slotsPerSector ? static_cast<uint8_t>(cur % g.slotsPerSector) : 0;
    const uint8_t sector = g.slotsPerSector ? static_cast<uint8_t>(cur / g.slotsPerSector) : 0;
    Bytes info = {slot, sector, static_cast<uint8_t>(kRecord), g.sectors, g.slotsPerSector, g.maxRecs, 0, 0, 0, 0, g.flags};
    putU32(&info[6], g.lastTime);
    if (req.payloadSize == 5 && p[0] == 0xFF && p[1] == 0xFF) return RecordReply{info};
    if (req.payloadSize != 4 || p[0] >= g.slotsPerSector || p[1] >= g.sectors) return std::nullopt;
    const unsigned count = getU16(p + 2);
    if (count > g.maxRecs) return RecordReply{Bytes(info.begin(), info.begin() + 10)};
    Bytes d(p, p + 4);
    const Bytes records = logRecordsAt(unsigned(p[1]) * g.slotsPerSector + p[0], count);
    d.insert(d.end(), records.begin(), records.end());
    return RecordReply{d, 3 + static_cast<int>(count / 10)};
}

}  // namespace wsim
