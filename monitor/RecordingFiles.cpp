#include "monitor/RecordingFiles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "shell/Catalogue.h"
#include "wire/Crc16.h"

namespace adc {

bool ZeroTrailer(std::span<const uint8_t> block) {
    if (block.size() < kTrailerAt + kTrailerSize) return false;
    const auto trailer = block.subspan(kTrailerAt, kTrailerSize);
    return std::all_of(trailer.begin(), trailer.end(), [](uint8_t b) { return b == 0; });
}

bool StartsWithSync(std::span<const uint8_t> bytes) {
    return bytes.size() >= kSyncSize && std::memcmp(bytes.data(), kSync, kSyncSize) == 0;
}

uint32_t BlockNumber(std::span<const uint8_t> block) {
    return static_cast<uint32_t>(block[kNumberAt]) | static_cast<uint32_t>(block[kNumberAt + 1]) << 8 |
           static_cast<uint32_t>(block[kNumberAt + 2]) << 16 | static_cast<uint32_t>(block[kNumberAt + 3]) << 24;
}

}  // namespace adc

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string AsText(std::span<const uint8_t> bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

std::string RecordingPath(const std::string& name, const std::string& extension, bool contains,
                          const std::string& folder) {
    const bool has = contains ? name.find(extension) != std::string::npos : EndsWith(name, extension);
    return folder + "/" + name + (has ? "" : extension);
}

std::string RecordingLogPath(const std::string& samplePath) {
    const size_t slash = samplePath.find_last_of('/');
    const size_t dot = samplePath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? samplePath.substr(0, dot) : samplePath) + ".log";
}

std::string CountersText(const RecordingCounters& c, const std::string& samplePath) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "Current blk %u\r\n%llu blks received\r\n%llu blks skipped\r\n%llu KB written to \"%s\"\r\n",
                  c.current, static_cast<unsigned long long>(c.blocks), static_cast<unsigned long long>(c.skipped),
                  static_cast<unsigned long long>(c.bytes / 1024), samplePath.c_str());
    return text;
}

RecordingFiles::RecordingFiles(RecordingOptions options) : options_(std::move(options)) {
    if (!options_.open) options_.open = OpenLineFile;
    if (!options_.clock) options_.clock = [] { return std::chrono::system_clock::now(); };
}

bool RecordingFiles::openSample() {
    sample_ = options_.open(options_.samplePath, false);
    if (!sample_) errorFile_ = options_.samplePath;
    return sample_ != nullptr;
}

bool RecordingFiles::openLog() {
    const std::string path = logPath();
    log_ = options_.open(path, false);
    const LogFamily family = options_.who.uvir ? LogFamily::Uvir : LogFamily::Ir;
    if (!log_ || !log_->write(StartLine(recperiod::Fast, options_.comment) + LogHeader(family, {}))) {
        log_.reset();
        errorFile_ = path;
        return false;
    }
    return true;
}

bool RecordingFiles::writePiece(std::span<const uint8_t> piece) {
    if (!sample_) return false;
    if (!sample_->write(AsText(piece))) {
        errorFile_ = sample_->name();
        return false;
    }
    counters_.bytes += piece.size();
    return true;
}

std::optional<LiveRecord> RecordingFiles::frameImage(std::span<const uint8_t> block) const {
    if (block.size() < adc::kTrailerAt) return std::nullopt;
    std::array<uint8_t, live::kSize> frame{};
    const RecordedDetector& who = options_.who;
    frame[0] = who.address;
    frame[1] = 0xC8;
    frame[2] = static_cast<uint8_t>(live::kSize - 6);
    frame[4] = 120;
    frame[5] = who.uvir ? adc::kUvirMark : adc::kIrMark;
    frame[6] = static_cast<uint8_t>(who.model >> 8);
    for (int i = 0; i < 4; ++i) frame[7 + i] = static_cast<uint8_t>(who.serial >> (8 * i));
    std::copy(block.begin() + adc::kRecordAt, block.begin() + adc::kTrailerAt, frame.begin() + live::State);
    appendCrc16(frame.data(), live::kSize - 2);
    return LiveRecord::Decode(frame);
}

bool RecordingFiles::statusBlock(std::span<const uint8_t> block, bool refuseLower, bool* logFailed) {
    if (logFailed) *logFailed = false;
    if (block.size() < adc::kStatusBlockSize) return false;
    const uint32_t number = adc::BlockNumber(block);
    counters_.blocks++;
    if (refuseLower && counters_.expected >= 0 && number < counters_.expected) return false;
    if (counters_.expected >= 0 && number != counters_.expected) counters_.skipped++;
    counters_.expected = static_cast<int64_t>(number) + 1;
    counters_.current = number;

    const auto record = frameImage(block);
    if (!record) return true;
    lastState_ = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(record->mode())))) +
                 " " + std::to_string(record->state()) + " " + StateText(record->state());
    if (!log_) return true;
    const std::time_t t = std::chrono::system_clock::to_time_t(options_.clock());
    std::tm local{};
    localtime_r(&t, &local);
    if (!log_->write(LogLine(*record, {}, local, index_++))) {
        errorFile_ = log_->name();
        if (logFailed) *logFailed = true;
    }
    return true;
}

bool RecordingFiles::finish() {
    bool ok = true;
    if (log_) {
        const LogFamily family = options_.who.uvir ? LogFamily::Uvir : LogFamily::Ir;
        ok = log_->write(SeparatorLine(family, {}));
        if (!ok) errorFile_ = log_->name();
    }
    log_.reset();
    sample_.reset();
    return ok;
}
