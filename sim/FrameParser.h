#pragma once
#include <cstdint>
#include <optional>

#include "sim/Bytes.h"

namespace wsim {

// One frame as the detectors receive it, CRC already verified.
struct Frame {
    enum Kind { RecordGet, RecordSet, Standard };
    Kind kind = Standard;
    Bytes bytes;  // address .. CRC
    unsigned baud = 0;  // line speed the host used while sending it
};

// Cuts the byte stream from the host into frames. Frames are delimited by
// their own headers, never by silence alone: the host may send the next frame
// before the previous one has left a real wire, and pty reads merge anyway.
// Silence only serves to give up on a frame that never completes.
class FrameParser {
public:
    static constexpr size_t kMaxFrame = 65535 + 8;
    static constexpr int kSilenceMs = 20;

    // Bytes that arrived at the host speed `baud`. Bytes of an unfinished
    // frame sent at another speed are garbage to this line and are dropped.
    void feed(const uint8_t* p, size_t n, unsigned baud, int64_t nowMs);
    // The next complete frame, if any; malformed input is skipped.
    std::optional<Frame> next(int64_t nowMs);
    size_t buffered() const { return buf_.size() - head_; }
    uint64_t droppedBytes() const { return dropped_; }

private:
    enum class Scan { Found, NeedMore, Bad };
    Scan scanAt(size_t off, Frame* out, size_t* len) const;
    void drop(size_t n);

    Bytes buf_;
    size_t head_ = 0;
    unsigned baud_ = 0;
    int64_t lastByteMs_ = 0;
    uint64_t dropped_ = 0;
};

}  // namespace wsim
