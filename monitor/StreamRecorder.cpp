#include "monitor/StreamRecorder.h"

#include <algorithm>
#include <cstdio>

#include "link/CommDriver.h"
#include "util/Keyboard.h"
#include "util/Log.h"

namespace {

class CommRing : public ByteSource {
public:
    CommRing() : slot_(CurrentCommPort()), base_(CommOverwritten()) {}
    size_t read(uint8_t* buf, size_t max, uint64_t* overwritten) override {
        uint64_t total = base_;
        const size_t n = GetFromRXQueue(slot_, buf, max, &total);
        *overwritten = total - std::min(total, base_);
        return n;
    }
    uint32_t waiting() override { return CommBytesAvail(); }

private:
    int slot_;
    uint64_t base_;
};

std::string HexRow(const char* prefix, const uint8_t* bytes, size_t n) {
    std::string row = prefix;
    char cell[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(cell, sizeof cell, "%s%02X", i ? " " : "", bytes[i]);
        row += cell;
    }
    return row;
}

}  // namespace

std::unique_ptr<ByteSource> CommRingSource() { return std::make_unique<CommRing>(); }

StreamRecorder::StreamRecorder(RecordingFiles& files, Options options)
    : files_(files), options_(std::move(options)) {
    if (!options_.open) options_.open = OpenLineFile;
}

StreamRecorder::Turn StreamRecorder::turn(ByteSource& source) {
    if (busy_.exchange(true)) return Turn::Going;
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = false; }
    } release{busy_};

    // Everything waiting, however much: a turn that left bytes behind would
    // let the ring fill while the worker is idle.
    static constexpr size_t kRead = 64 * 1024;
    uint8_t buf[kRead];
    for (;;) {
        uint64_t overwritten = lastOverwritten_;
        const size_t n = source.read(buf, kRead, &overwritten);
        if (overwritten > lastOverwritten_) {
            counts_.lost += overwritten - lastOverwritten_;
            // What was collected no longer joins what comes next.
            state_ = State::Search;
            if (!skip(pending_.size() - pos_)) return Turn::RetrainFailed;
        }
        lastOverwritten_ = std::max(lastOverwritten_, overwritten);
        if (n == 0) return Turn::Going;
        pending_.insert(pending_.end(), buf, buf + n);
        const Turn t = handle();
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(pos_));
        pos_ = 0;
        if (t != Turn::Going) return t;
    }
}

StreamRecorder::Turn StreamRecorder::handle() {
    const size_t chunk = adc::ChunkSize(options_.rate);
    for (;;) {
        const size_t avail = pending_.size() - pos_;
        const auto here = pending_.begin() + static_cast<long>(pos_);
        switch (state_) {
        case State::Search: {
            if (avail < adc::kSyncSize) return Turn::Going;
            const auto at = std::search(here, pending_.end(), std::begin(adc::kSync), std::end(adc::kSync));
            // Without a sync the last 11 bytes may still begin one.
            const size_t upTo = at == pending_.end() ? pending_.size() - (adc::kSyncSize - 1)
                                                     : static_cast<size_t>(at - pending_.begin());
            if (upTo > pos_ && !skip(upTo - pos_)) return Turn::RetrainFailed;
            if (at == pending_.end()) return Turn::Going;
            endSearch();
            state_ = State::Block;
            break;
        }
        case State::Block: {
            if (avail < adc::kStatusBlockSize) return Turn::Going;
            const std::span<const uint8_t> block(pending_.data() + pos_, adc::kStatusBlockSize);
            if (!adc::ZeroTrailer(block)) {
                state_ = State::Search;
                if (!skip(1)) return Turn::RetrainFailed;
                break;
            }
            if (!files_.writePiece(block)) return Turn::WriteFailed;
            bool logFailed = false;
            files_.statusBlock(block, false, &logFailed);
            if (logFailed) return Turn::WriteFailed;
            pos_ += adc::kStatusBlockSize;
            state_ = State::Chunk;
            break;
        }
        case State::Chunk:
            if (avail < chunk) return Turn::Going;
            if (!files_.writePiece(std::span<const uint8_t>(pending_.data() + pos_, chunk))) return Turn::WriteFailed;
            pos_ += chunk;
            state_ = State::Search;
            break;
        }
    }
}

bool StreamRecorder::skip(size_t n) {
    if (n == 0) return searchSkipped_ <= adc::kRetrainLimit;
    if (!searching_) {
        searching_ = true;
        searchSkipped_ = 0;
        counts_.searches++;
        retrain_ = options_.open(options_.retrainPath, false);
    }
    // Past the limit the search is over; bytes beyond it are not its business.
    n = static_cast<size_t>(std::min<uint64_t>(n, adc::kRetrainLimit + 1 - searchSkipped_));
    const uint8_t* bytes = pending_.data() + pos_;
    // The diagnostic file is a help, not the recording: a failure to write it stops nothing.
    if (retrain_) retrain_->write(std::string(reinterpret_cast<const char*>(bytes), n));
    debugRow(bytes, n);
    const uint64_t before = searchSkipped_;
    searchSkipped_ += n;
    counts_.retrain += n;
    pos_ += n;
    if (options_.status && searchSkipped_ / 1000 != before / 1000) {
        // With Shift held the window shows where the search stands: its count and the window of 12 bytes.
        if (CurrentKeys().shift && pending_.size() - pos_ >= adc::kSyncSize) {
            char count[16];
            std::snprintf(count, sizeof count, "%6u ", static_cast<unsigned>(searchSkipped_));
            options_.status(count + HexRow("", pending_.data() + pos_, adc::kSyncSize));
        } else {
            options_.status("Retraining " + std::to_string(searchSkipped_ / 1000 * 1000) + " ...");
        }
    }
    return searchSkipped_ <= adc::kRetrainLimit;
}

void StreamRecorder::debugRow(const uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        debugRow_.push_back(bytes[i]);
        if (debugRow_.size() == adc::kSyncSize) {
            DebugLog("%s", HexRow("r: ", debugRow_.data(), debugRow_.size()).c_str());
            debugRow_.clear();
        }
    }
}

void StreamRecorder::endSearch() {
    if (!searching_) return;
    if (!debugRow_.empty()) DebugLog("%s", HexRow("r: ", debugRow_.data(), debugRow_.size()).c_str());
    debugRow_.clear();
    DebugLog("%s", HexRow("d: ", pending_.data() + pos_, adc::kSyncSize).c_str());
    retrain_.reset();
    searching_ = false;
}

std::string StreamRecorder::statusText(uint32_t bytesAvail) const {
    return CountersText(files_.counters(), files_.samplePath()) + "BytesAvail " + std::to_string(bytesAvail) + "\r\n";
}
