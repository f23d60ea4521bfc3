#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

// Raw dump of every byte the driver receives (mcommcode.dat). Both ports append
// to the same file, so it has one lock of its own; a ring calls it while holding
// its ring lock and the dump never takes a ring lock, so the order is fixed.
class RxDumpFile {
public:
    RxDumpFile() = default;
    ~RxDumpFile() { close(); }
    RxDumpFile(const RxDumpFile&) = delete;
    RxDumpFile& operator=(const RxDumpFile&) = delete;

    // Closes a file still open from an earlier start, then creates `path` empty.
    bool recreate(const std::string& path);
    void close();
    bool isOpen();
    void append(const uint8_t* data, size_t n);

private:
    std::mutex lock_;
    std::FILE* file_ = nullptr;
};

// The receive ring of one port: the read thread puts whole reads in, the
// application takes bytes out at its own pace. When the application falls
// behind by more than the ring holds, the oldest bytes are overwritten so that
// the newest are never dropped.
class RxRing {
public:
    static constexpr uint32_t kSize = 1u << 20;  // 1 MiB: several seconds at 921600 baud

    explicit RxRing(uint32_t size = kSize, RxDumpFile* dump = nullptr);
    RxRing(const RxRing&) = delete;
    RxRing& operator=(const RxRing&) = delete;

    // Queues n bytes. Every byte offered is dumped and counted in total(), but a
    // block of 0 bytes or one larger than the whole ring is not queued (returns 0).
    int put(const uint8_t* data, size_t n);
    // Moves up to max bytes, oldest first, into buf; returns how many. An empty
    // ring leaves buf untouched.
    size_t get(uint8_t* buf, size_t max);
    // The same, with overwritten() as it stood when the bytes were taken, so
    // that a reader can tell whether a gap lies before them.
    size_t get(uint8_t* buf, size_t max, uint64_t* overwrittenOut);
    // Empties the ring (read, count, write and last index to 0); total stays.
    void purge();
    // purge() plus the total, as at a fresh start.
    void reset();

    uint32_t count();
    uint64_t total();
    // Bytes overwritten before anyone took them, since the start or reset();
    // a reader that sees it rise knows its bytes are no longer contiguous.
    uint64_t overwritten();
    uint32_t size() const { return size_; }

private:
    const uint32_t size_;
    std::unique_ptr<uint8_t[]> buf_;
    RxDumpFile* dump_;
    std::mutex lock_;
    uint32_t read_ = 0;
    uint32_t count_ = 0;
    uint32_t write_ = 0;
    uint64_t total_ = 0;
    uint64_t overwritten_ = 0;
};
