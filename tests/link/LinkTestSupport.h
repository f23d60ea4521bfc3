#pragma once
// Helpers shared by the link tests: a pseudo-terminal standing in for the
// far end of the line, a private working folder, log capture, and a CRC that
// owes nothing to the code under test.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "util/Log.h"

namespace linktest {

// CRC-16/MODBUS bit by bit, as the standard defines it.
inline uint16_t RefCrc(const uint8_t* p, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

// A record frame: address, 0xC8, length field (low byte first), 11 more
// header bytes, data, CRC low byte first. The length field counts 9 plus
// everything after the header.
inline std::vector<uint8_t> RecordFrame(uint8_t address, size_t dataBytes, uint8_t function = 0xC8) {
    const size_t length = 9 + dataBytes + 2;
    std::vector<uint8_t> f = {address, function, static_cast<uint8_t>(length & 0xFF),
                              static_cast<uint8_t>(length >> 8)};
    for (int i = 4; i < 15; ++i) f.push_back(static_cast<uint8_t>(0x30 + i));
    for (size_t i = 0; i < dataBytes; ++i) f.push_back(static_cast<uint8_t>(i * 13 + 5));
    const uint16_t crc = RefCrc(f.data(), f.size());
    f.push_back(static_cast<uint8_t>(crc & 0xFF));
    f.push_back(static_cast<uint8_t>(crc >> 8));
    return f;
}

// Polls `done` every millisecond until it holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The master side of a pseudo-terminal; the driver opens the slave by path.
class Pty {
public:
    Pty() {
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0) return;
        char name[128];
        if (::ptsname_r(fd_, name, sizeof name) == 0) path_ = name;
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return fd_ >= 0 && !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string mode(const char* line = "9600,n,8,1") const { return path_ + ":" + line; }
    void closeMaster() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    bool write(const std::vector<uint8_t>& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (w <= 0) return false;
            done += static_cast<size_t>(w);
        }
        return true;
    }

    // What the driver sent, until n bytes came or nothing more came in time.
    std::vector<uint8_t> read(size_t n, int timeoutMs = 3000) {
        std::vector<uint8_t> out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            uint8_t buf[4096];
            const ssize_t got = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
            if (got <= 0) break;
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

private:
    int fd_ = -1;
    std::string path_;
};

// A fresh folder as the working folder for the lifetime of the object, since
// Comm.ini, comm.log and mcommcode.dat live in the working folder.
class TempWorkDir {
public:
    TempWorkDir() {
        old_ = std::filesystem::current_path();
        std::string tmpl = (std::filesystem::temp_directory_path() / "wexcon-link-XXXXXX").string();
        if (::mkdtemp(tmpl.data())) dir_ = tmpl;
        std::filesystem::current_path(dir_);
    }
    ~TempWorkDir() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    std::filesystem::path file(const char* name) const { return dir_ / name; }
    void writeFile(const char* name, const std::string& text) const {
        std::FILE* f = std::fopen(file(name).c_str(), "w");
        if (!f) return;
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
    std::string readFile(const char* name) const {
        std::string text;
        std::FILE* f = std::fopen(file(name).c_str(), "rb");
        if (!f) return text;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        std::fclose(f);
        return text;
    }

private:
    std::filesystem::path old_;
    std::filesystem::path dir_;
};

// Collects the lines of both logs while it lives.
class LogCapture {
public:
    LogCapture() {
        logs::attachLists([this](const std::string& l) { add(general_, l); },
                          [this](const std::string& l) { add(protocol_, l); });
    }
    ~LogCapture() { logs::detachLists(); }
    std::vector<std::string> protocol() {
        std::lock_guard<std::mutex> g(lock_);
        return protocol_;
    }
    std::vector<std::string> general() {
        std::lock_guard<std::mutex> g(lock_);
        return general_;
    }
    void clear() {
        std::lock_guard<std::mutex> g(lock_);
        general_.clear();
        protocol_.clear();
    }

private:
    void add(std::vector<std::string>& to, const std::string& line) {
        std::lock_guard<std::mutex> g(lock_);
        to.push_back(line);
    }
    std::mutex lock_;
    std::vector<std::string> general_;
    std::vector<std::string> protocol_;
};

}  // namespace linktest
