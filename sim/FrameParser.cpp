#include "sim/FrameParser.h"

#include "wire/Crc16.h"

namespace wsim {

namespace {
enum class IdClass { Unknown, GetOnly, SetOnly, Both, DataShort };

IdClass classify(uint8_t id) {
    switch (id) {
    case 115: case 119: case 120: case 122: case 123: case 125: case 141: case 144:
    case 148: case 149: case 158: case 162: case 163:
        return IdClass::GetOnly;
    case 117: case 121: case 124: case 130: case 132: case 140:
        return IdClass::SetOnly;
    case 118: case 126: case 128: case 139: case 156:
        return IdClass::Both;
    case 116:
        return IdClass::DataShort;
    default:
        return IdClass::Unknown;
    }
}

constexpr size_t kMinRecordFrame = 9;  // address, six header bytes, CRC
}  // namespace

void FrameParser::feed(const uint8_t* p, size_t n, unsigned baud, int64_t nowMs) {
    if (n == 0) return;
    if (baud != baud_ && buffered()) drop(buffered());
    baud_ = baud;
    buf_.insert(buf_.end(), p, p + n);
    lastByteMs_ = nowMs;
}

void FrameParser::drop(size_t n) {
    head_ += n;
    dropped_ += n;
    if (head_ == buf_.size()) {
        buf_.clear();
        head_ = 0;
    } else if (head_ > 4096 && head_ * 2 > buf_.size()) {
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<long>(head_));
        head_ = 0;
    }
}

FrameParser::Scan FrameParser::scanAt(size_t off, Frame* out, size_t* len) const {
    const uint8_t* f = buf_.data() + off;
    const size_t avail = buf_.size() - off;
    if (avail < 2) return Scan::NeedMore;
    const uint8_t fc = f[1];

    auto accept = [&](size_t n, Frame::Kind kind) {
        out->kind = kind;
        out->bytes.assign(f, f + n);
        out->baud = baud_;
        *len = n;
        return Scan::Found;
    };

    if (fc == 0xC8 || fc == 0xCA) {
        if (avail < 5) return Scan::NeedMore;
        const size_t l = static_cast<size_t>(f[2] | (f[3] << 8));
        struct Candidate {
            size_t size;
            Frame::Kind kind;
        } cands[2];
        size_t nc = 0;
        switch (classify(f[4])) {
        case IdClass::GetOnly: cands[nc++] = {l + 4, Frame::RecordGet}; break;
        case IdClass::DataShort: cands[nc++] = {l + 8, Frame::RecordGet}; break;
        case IdClass::SetOnly: cands[nc++] = {l + 6, Frame::RecordSet}; break;
        case IdClass::Both:
            cands[nc++] = {l + 4, Frame::RecordGet};
            cands[nc++] = {l + 6, Frame::RecordSet};
            break;
        case IdClass::Unknown: return Scan::Bad;
        }
        bool waiting = false;
        for (size_t i = 0; i < nc; ++i) {
            const size_t n = cands[i].size;
            if (n < kMinRecordFrame || n > kMaxFrame) continue;
            if (avail < n) {
                waiting = true;
                break;  // a later candidate is only tried once this one failed
            }
            if (frameCrcOk(f, n)) return accept(n, cands[i].kind);
        }
        return waiting ? Scan::NeedMore : Scan::Bad;
    }

    size_t n = 0;
    switch (fc) {
    case 1: case 2: case 3: case 4: case 5: case 6:
        n = 8;
        break;
    case 15: case 16:
        if (avail < 7) return Scan::NeedMore;
        n = 9 + size_t{f[6]};
        break;
    default:
        return Scan::Bad;
    }
    if (avail < n) return Scan::NeedMore;
    return frameCrcOk(f, n) ? accept(n, Frame::Standard) : Scan::Bad;
}

std::optional<Frame> FrameParser::next(int64_t nowMs) {
    Frame fr;
    size_t n = 0;
    while (buffered()) {
        switch (scanAt(head_, &fr, &n)) {
        case Scan::Found:
            drop(n);
            dropped_ -= n;
            return fr;
        case Scan::Bad:
            drop(1);
            continue;
        case Scan::NeedMore:
            break;
        }
        if (nowMs - lastByteMs_ < kSilenceMs) return std::nullopt;
        // The frame at the head will never complete: resume at the first
        // complete frame further on, or forget everything.
        size_t off = head_ + 1;
        for (; off < buf_.size(); ++off)
            if (scanAt(off, &fr, &n) == Scan::Found) break;
        drop(off - head_);
    }
    return std::nullopt;
}

}  // namespace wsim
