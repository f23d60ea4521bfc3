#pragma once
// What the two ADC recordings (the streamed one and the pulled 100 Hz one)
// share: the sample file, written a whole piece at a time; the recording log
// in its 'fast' form; the block counters; and the status block, which is
// counted, shown and logged like a live data record.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "monitor/LineSink.h"
#include "monitor/LiveLog.h"
#include "monitor/Recorder.h"

namespace adc {
constexpr uint8_t kSync[12] = {0x7F, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xA8};
constexpr size_t kSyncSize = 12;
constexpr size_t kStatusBlockSize = 180;
constexpr size_t kNumberAt = 12, kRecordAt = 16, kTrailerAt = 168, kTrailerSize = 12;
// The model code a logged block is marked with.
constexpr uint8_t kIrMark = 144, kUvirMark = 146;
// True when `block` (at least 180 bytes) ends its status part with the zero trailer.
bool ZeroTrailer(std::span<const uint8_t> block);
bool StartsWithSync(std::span<const uint8_t> bytes);
// The status block's number (bytes 12..15, little-endian); the block holds at least 16 bytes.
uint32_t BlockNumber(std::span<const uint8_t> block);
}  // namespace adc

// Who is recorded, as the window's opening read found it.
struct RecordedDetector {
    uint8_t address = 1;
    uint16_t model = 0;
    uint32_t serial = 0;
    bool uvir = false;
};

// Counters are 64-bit: a week at 2300 Hz passes 4 GiB.
struct RecordingCounters {
    uint64_t blocks = 0;   // status blocks received
    uint64_t skipped = 0;  // block numbers that did not follow on
    uint64_t bytes = 0;    // bytes the sample file took
    int64_t expected = -1; // the next block number; -1 before the first
    uint32_t current = 0;  // the last block number
};

struct RecordingOptions {
    std::string samplePath;  // "Recordings/NAME.bin" or ".100"
    std::string comment;
    RecordedDetector who;
    WallClock clock;   // empty: the system clock
    SinkOpener open;   // empty: OpenLineFile
};

// The sample path the window makes of the user's name: "Recordings/" + name,
// `extension` (".bin", ".100") appended unless the name ends so (`contains`:
// unless it holds it anywhere, as the 100 Hz window asks).
std::string RecordingPath(const std::string& name, const std::string& extension, bool contains = false,
                          const std::string& folder = "Recordings");
// The recording log beside it: the extension replaced by ".log".
std::string RecordingLogPath(const std::string& samplePath);

// "Current blk %u\r\n%u blks received\r\n%u blks skipped\r\n%u KB written to \"%s\"\r\n".
struct RecordingCounters;
std::string CountersText(const RecordingCounters& counters, const std::string& samplePath);

class RecordingFiles {
public:
    explicit RecordingFiles(RecordingOptions options);

    // Creates the sample file empty ("wb"); false: errorFile() names it.
    bool openSample();
    // Creates the recording log with its 'fast' start line and header.
    bool openLog();
    // One piece to the sample file, in one write, flushed. False (and
    // errorFile()) when the disk did not take all of it.
    bool writePiece(std::span<const uint8_t> piece);
    // A whole status block (180 bytes at least, sync first): counted, and
    // logged unless its number is below the expected one and `refuseLower`.
    // Returns false for such a refused block; `logFailed` tells a log failure.
    bool statusBlock(std::span<const uint8_t> block, bool refuseLower, bool* logFailed = nullptr);
    // The end separator to the log; both files closed. False when the
    // separator did not reach the log.
    bool finish();

    // Who the log lines name, once the opening read found out.
    void setDetector(const RecordedDetector& who) { options_.who = who; }
    const RecordingCounters& counters() const { return counters_; }
    const std::string& samplePath() const { return options_.samplePath; }
    std::string logPath() const { return RecordingLogPath(options_.samplePath); }
    const std::string& errorFile() const { return errorFile_; }
    bool sampleOpen() const { return sample_ != nullptr; }
    // The mode character, state code and status text line of the last
    // logged block ("N 0"); empty before one.
    const std::string& lastState() const { return lastState_; }

    // The 177-byte live record the log line is made from: the recorded
    // address, the model marked in its low byte, the serial, and block bytes
    // 16..167 as the record's data. Public for the tests.
    std::optional<LiveRecord> frameImage(std::span<const uint8_t> block) const;

private:
    RecordingOptions options_;
    RecordingCounters counters_;
    std::unique_ptr<LineSink> sample_, log_;
    std::string errorFile_, lastState_;
    unsigned index_ = 0;
};
