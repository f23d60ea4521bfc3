#pragma once
// The far end of a pseudo-terminal, standing in for a detector line: what the
// code under test writes to the slave side is read here, and answers written
// here arrive there, optionally paced at a line speed.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PtyPeer {
public:
    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(master_);
        ::unlockpt(master_);
        path_ = ::ptsname(master_);
        // Holding the slave open keeps the master readable between the opens
        // and closes of the code under test.
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    ~PtyPeer() {
        stop();
        ::close(slave_);
        ::close(master_);
    }
    const std::string& path() const { return path_; }
    std::string port(unsigned baud = 9600) const { return path_ + ":" + std::to_string(baud) + ",n,8,1"; }

    // Bytes until `expected` arrived (0: any), or a silence of gapMs after the
    // first byte, or timeoutMs without any.
    std::vector<uint8_t> read(int timeoutMs = 1000, size_t expected = 0, int gapMs = 40) {
        std::vector<uint8_t> got;
        int wait = timeoutMs;
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, wait) <= 0) break;
            uint8_t b[4096];
            const ssize_t n = ::read(master_, b, expected ? std::min(sizeof b, expected - got.size()) : sizeof b);
            if (n <= 0) break;
            got.insert(got.end(), b, b + n);
            if (expected && got.size() >= expected) break;
            wait = gapMs;
        }
        return got;
    }

    // Writes bytes, at 10 bits a byte of `baud` when it is not 0: `slice` bytes
    // at once (0: about 5 ms of line), each when its last byte would have arrived,
    // as a USB adapter delivers them.
    void write(const std::vector<uint8_t>& bytes, unsigned baud = 0, size_t slice = 0) {
        if (!baud) {
            writeAll(bytes.data(), bytes.size());
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        if (!slice) slice = std::max<size_t>(1, baud / 10 / 200);
        for (size_t at = 0; at < bytes.size(); at += slice) {
            const size_t n = std::min(slice, bytes.size() - at);
            std::this_thread::sleep_until(start + std::chrono::microseconds((at + n) * 10'000'000ull / baud));
            writeAll(bytes.data() + at, n);
        }
    }

    // Answers every request (a burst of bytes) with what `reply` returns;
    // an empty reply stays silent. Requests are recorded.
    void serve(std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> reply, unsigned baud = 0) {
        stop();
        running_ = true;
        thread_ = std::thread([this, reply, baud] {
            while (running_) {
                auto req = read(50);
                if (req.empty()) continue;
                {
                    std::lock_guard lock(mutex_);
                    requests_.push_back(req);
                }
                auto answer = reply(req);
                if (!answer.empty()) write(answer, baud);
            }
        });
    }
    // A peer that never falls silent: writes what `next` returns (a few bytes)
    // every periodMs, dropping whatever the other side sends meanwhile. While
    // nobody reads, the line's buffer fills and the babble waits.
    void babble(std::function<std::vector<uint8_t>()> next, int periodMs) {
        stop();
        running_ = true;
        thread_ = std::thread([this, next, periodMs] {
            while (running_) {
                read(0, 0, 0);
                pollfd p{master_, POLLOUT, 0};
                if (::poll(&p, 1, 0) > 0) {
                    const auto bytes = next();
                    writeAll(bytes.data(), bytes.size());
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
            }
        });
    }
    void stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    std::vector<std::vector<uint8_t>> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void writeAll(const uint8_t* b, size_t n) {
        while (n) {
            const ssize_t w = ::write(master_, b, n);
            if (w <= 0) return;
            b += w;
            n -= static_cast<size_t>(w);
        }
    }
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> requests_;
};
