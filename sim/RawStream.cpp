// The detector's ADC recordings: the raw stream that D_RECORD_RAW_ADC starts
// on the line, and the queue of 1,380-byte blocks D_RECORD_100HZ_ADC hands
// out one at a time. Samples are a counter (sample n of a run is n mod
// 0x7FFFFF, three bytes little-endian), so a recording can be checked byte
// for byte; 0x7FFFFF itself never occurs, so samples never form a sync.
#include <algorithm>

#include "sim/Detector.h"

namespace wsim {

namespace {
constexpr uint8_t kSync[12] = {0x7F, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xA8};
constexpr size_t kStatusBlock = 180, k100HzBlock = 1380, kSamplesPer100HzBlock = 456, kQueue = 64;
constexpr int64_t kSliceMs = 100;

unsigned SamplesPerSecond(unsigned rate) { return rate == 2 ? 100 : 2300; }

void PutSamples(Bytes& out, uint64_t first, uint64_t count) {
    for (uint64_t n = first; n < first + count; ++n) {
        const uint32_t v = static_cast<uint32_t>(n % 0x7FFFFF);
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v >> 16));
    }
}
}  // namespace

Bytes Detector::adcStatusBlock(uint32_t number, int64_t now) {
    Bytes b(kSync, kSync + sizeof kSync);
    b.resize(kStatusBlock, 0);
    putU32(&b[12], number);
    const Bytes record = liveRecord(now);
    std::copy_n(record.begin(), 152, b.begin() + 16);
    return b;
}

std::optional<RecordReply> Detector::recordRaw(const RecordRequest& req, int64_t now) {
    if (req.payloadSize < 1) return std::nullopt;
    const uint8_t what = req.payload[0];
    if (req.isGet && what == 0) {
        if (streamFaults_.deaf) return std::nullopt;
        raw_ = {};
        return status(1, 5);  // after at least 3.5 characters of silence
    }
    if (what != 1 && what != 2) return std::nullopt;
    // A start while streaming is ignored: the host sends up to three.
    if (!streaming() && !streamFaults_.never) {
        raw_ = {};
        raw_.rate = what;
        raw_.origin = now + streamFaults_.lateMs;
        streamFaults_.lateMs = 0;
    }
    if (req.isGet) return status(1);
    return std::nullopt;
}

Bytes Detector::streamDue(int64_t now) {
    if (!streaming()) return {};
    const uint64_t perSecond = SamplesPerSecond(raw_.rate);
    auto scheduleSecond = [&] {
        int64_t t = raw_.origin + static_cast<int64_t>(raw_.seconds) * 1000;
        raw_.block += streamFaults_.skip;
        streamFaults_.skip = 0;
        Bytes head;
        for (size_t i = 0; i < streamFaults_.junk; ++i) head.push_back(static_cast<uint8_t>((i * 37 + 11) % 0x7F));
        streamFaults_.junk = 0;
        Bytes block = adcStatusBlock(raw_.block, t);
        if (streamFaults_.trailer) block[kStatusBlock - 5] = 1;
        streamFaults_.trailer = false;
        const size_t half = streamFaults_.stallMs ? kStatusBlock / 2 : kStatusBlock;
        head.insert(head.end(), block.begin(), block.begin() + static_cast<long>(half));
        raw_.out.push_back({t, std::move(head)});
        if (streamFaults_.stallMs) {
            t += streamFaults_.stallMs;
            raw_.origin += streamFaults_.stallMs;
            streamFaults_.stallMs = 0;
            raw_.out.push_back({t, Bytes(block.begin() + static_cast<long>(half), block.end())});
        }
        Bytes chunk;
        PutSamples(chunk, static_cast<uint64_t>(raw_.block) * perSecond, perSecond);
        const size_t slice = chunk.size() / 10;
        for (size_t j = 0; j < 10; ++j)
            raw_.out.push_back({t + static_cast<int64_t>(j) * kSliceMs,
                                Bytes(chunk.begin() + static_cast<long>(j * slice),
                                      chunk.begin() + static_cast<long>((j + 1) * slice))});
        ++raw_.block;
        ++raw_.seconds;
    };
    Bytes out;
    if (streamAtLineSpeed_) {
        if (now < raw_.origin) return {};
        if (raw_.out.empty()) scheduleSecond();
        for (auto& piece : raw_.out) out.insert(out.end(), piece.bytes.begin(), piece.bytes.end());
        raw_.out.clear();
        return out;
    }
    while (raw_.origin + static_cast<int64_t>(raw_.seconds) * 1000 <= now) scheduleSecond();
    while (!raw_.out.empty() && raw_.out.front().due <= now) {
        out.insert(out.end(), raw_.out.front().bytes.begin(), raw_.out.front().bytes.end());
        raw_.out.pop_front();
    }
    return out;
}

std::optional<RecordReply> Detector::record100(const RecordRequest& req, int64_t now) {
    if (!req.isGet || req.payloadSize < 1) return std::nullopt;
    switch (req.payload[0]) {
    case 0:
        q100_ = {};
        return status(1);
    case 1:
        q100_ = {};
        q100_.on = true;
        q100_.origin = now;
        return status(1);
    case 2:
        if (!q100_.on) return status(0);
        fill100(now);
        if (q100_.blocks.empty()) return status(0);
        {
            RecordReply r{std::move(q100_.blocks.front())};
            q100_.blocks.pop_front();
            return r;
        }
    default:
        return std::nullopt;
    }
}

// The blocks made since the last call, in the order they came: a status
// block every second, a sample block whenever 456 samples are in.
void Detector::fill100(int64_t now) {
    const int64_t elapsed = now - q100_.origin;
    constexpr int64_t kSampleBlockMs = kSamplesPer100HzBlock * 10;
    for (;;) {
        const int64_t tStatus = static_cast<int64_t>(q100_.seconds) * 1000;
        const int64_t tSamples = static_cast<int64_t>(q100_.sampleBlocks + 1) * kSampleBlockMs;
        if (std::min(tStatus, tSamples) > elapsed) break;
        Bytes block;
        if (tStatus <= tSamples) {
            block = adcStatusBlock(q100_.seconds++, q100_.origin + tStatus);
        } else {
            block.assign(kSync, kSync + sizeof kSync);
            PutSamples(block, q100_.sampleBlocks++ * kSamplesPer100HzBlock, kSamplesPer100HzBlock);
        }
        block.resize(k100HzBlock, 0);
        q100_.blocks.push_back(std::move(block));
        if (q100_.blocks.size() > kQueue) q100_.blocks.pop_front();
    }
}

}  // namespace wsim
