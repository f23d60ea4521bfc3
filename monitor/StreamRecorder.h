#pragma once
// The streaming ADC recording's handler: it takes every byte waiting in the
// receive ring each turn, finds the status blocks by their sync pattern,
// writes whole status blocks and ADC chunks to the sample file, and puts the
// bytes it had to skip into the re-synchronisation file. Its turns run on a
// worker; nothing here waits for the wire.
//
// What holds: each skipped byte reaches the re-synchronisation file once, in
// order, and that file is created new at each search (it holds the last
// one); a search gives up beyond 69,000 skipped bytes; a block whose trailer
// is not zero is dropped and the search goes on after its first byte; bytes
// the ring overwrote unread end the piece being collected (it counts as
// skipped) and are counted as lost, never written as data.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "monitor/RecordingFiles.h"

namespace adc {
constexpr size_t kRetrainLimit = 69000;
// Rate 1 is 2300 samples a second, rate 2 is 100.
constexpr size_t ChunkSize(unsigned rate) { return rate == 2 ? 300 : 6900; }
constexpr unsigned RateHz(unsigned rate) { return rate == 2 ? 100 : 2300; }
}  // namespace adc

// Where the stream's bytes come from: the raw driver's receive ring, or a
// test's script.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Moves up to `max` waiting bytes into buf; *overwritten gets the count of
    // bytes lost unread since the source was made, as it stood when these
    // were taken.
    virtual size_t read(uint8_t* buf, size_t max, uint64_t* overwritten) = 0;
    // Bytes waiting ("BytesAvail").
    virtual uint32_t waiting() = 0;
};

// The current raw port's receive ring.
std::unique_ptr<ByteSource> CommRingSource();

struct StreamCounts {
    uint64_t retrain = 0;  // bytes skipped, all searches
    uint64_t lost = 0;     // bytes the ring overwrote unread
    uint64_t searches = 0;
};

class StreamRecorder {
public:
    enum class Turn { Going, RetrainFailed, WriteFailed };

    struct Options {
        unsigned rate = 1;
        std::string retrainPath = "retrain.bin";
        // "Retraining %u ..." at every 1000 skipped bytes of a search.
        std::function<void(const std::string&)> status;
        SinkOpener open;  // the re-synchronisation file; empty: OpenLineFile
    };

    StreamRecorder(RecordingFiles& files, Options options);

    // Everything waiting in `source`, handled. A call while another runs
    // returns Going at once. After RetrainFailed or WriteFailed the recording
    // must stop; files.errorFile() names a file that failed.
    Turn turn(ByteSource& source);

    const StreamCounts& counts() const { return counts_; }
    // "Current blk ...\r\n... BytesAvail %u\r\n" as the window shows it.
    std::string statusText(uint32_t bytesAvail) const;

private:
    enum class State { Search, Block, Chunk };
    Turn handle();
    // Skips pending_[pos_, pos_ + n) into the search; false beyond the limit.
    bool skip(size_t n);
    void endSearch();
    void debugRow(const uint8_t* bytes, size_t n);

    RecordingFiles& files_;
    Options options_;
    StreamCounts counts_;
    State state_ = State::Search;
    std::vector<uint8_t> pending_;
    size_t pos_ = 0;
    uint64_t lastOverwritten_ = 0;
    bool searching_ = false;
    uint64_t searchSkipped_ = 0;
    std::unique_ptr<LineSink> retrain_;
    std::vector<uint8_t> debugRow_;  // skipped bytes not yet in a DebugLog line
    std::atomic<bool> busy_{false};
};
