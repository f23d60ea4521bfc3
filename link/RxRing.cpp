#include "link/RxRing.h"

#include <algorithm>
#include <cstring>

bool RxDumpFile::recreate(const std::string& path) {
    std::lock_guard<std::mutex> g(lock_);
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
}

void RxDumpFile::close() {
    std::lock_guard<std::mutex> g(lock_);
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool RxDumpFile::isOpen() {
    std::lock_guard<std::mutex> g(lock_);
    return file_ != nullptr;
}

void RxDumpFile::append(const uint8_t* data, size_t n) {
    if (n == 0) return;
    std::lock_guard<std::mutex> g(lock_);
    if (!file_) return;
    std::fwrite(data, 1, n, file_);
    std::fflush(file_);
}

RxRing::RxRing(uint32_t size, RxDumpFile* dump)
    : size_(size ? size : 1), buf_(new uint8_t[size_]), dump_(dump) {}

int RxRing::put(const uint8_t* data, size_t n) {
    std::lock_guard<std::mutex> g(lock_);
    if (dump_) dump_->append(data, n);
    total_ += n;
    if (n == 0 || n > size_) return 0;
    const uint32_t len = static_cast<uint32_t>(n);

    // Whether unread bytes get overwritten follows from the count alone: the
    // index ranges cannot tell a full ring from an empty one.
    const bool overrun = static_cast<uint64_t>(count_) + len > size_;

    const uint32_t first = std::min(len, size_ - write_);
    std::memcpy(buf_.get() + write_, data, first);
    if (first < len) std::memcpy(buf_.get(), data + first, len - first);
    write_ = static_cast<uint32_t>((static_cast<uint64_t>(write_) + len) % size_);

    if (overrun) {
        overwritten_ += static_cast<uint64_t>(count_) + len - size_;
        read_ = write_;
        count_ = size_;
    } else {
        count_ += len;
    }
    return 1;
}

size_t RxRing::get(uint8_t* buf, size_t max) { return get(buf, max, nullptr); }

size_t RxRing::get(uint8_t* buf, size_t max, uint64_t* overwrittenOut) {
    std::lock_guard<std::mutex> g(lock_);
    if (overwrittenOut) *overwrittenOut = overwritten_;
    if (count_ == 0 || max == 0) return 0;
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(count_, max));
    const uint32_t first = std::min(n, size_ - read_);
    std::memcpy(buf, buf_.get() + read_, first);
    if (first < n) std::memcpy(buf + first, buf_.get(), n - first);
    read_ = static_cast<uint32_t>((static_cast<uint64_t>(read_) + n) % size_);
    count_ -= n;
    return n;
}

void RxRing::purge() {
    std::lock_guard<std::mutex> g(lock_);
    read_ = count_ = write_ = 0;
}

void RxRing::reset() {
    std::lock_guard<std::mutex> g(lock_);
    read_ = count_ = write_ = 0;
    total_ = overwritten_ = 0;
}

uint32_t RxRing::count() {
    std::lock_guard<std::mutex> g(lock_);
    return count_;
}

uint64_t RxRing::total() {
    std::lock_guard<std::mutex> g(lock_);
    return total_;
}

uint64_t RxRing::overwritten() {
    std::lock_guard<std::mutex> g(lock_);
    return overwritten_;
}
