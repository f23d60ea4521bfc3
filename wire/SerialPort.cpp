#include "wire/SerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "wire/PortError.h"

namespace {

struct BaudEntry {
    unsigned rate;
    speed_t code;
};
constexpr BaudEntry kBauds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool speedCode(unsigned rate, speed_t* code) {
    for (const auto& b : kBauds)
        if (b.rate == rate) {
            *code = b.code;
            return true;
        }
    return false;
}

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

SerialPort::SerialPort() {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

SerialPort::~SerialPort() {
    close();
    for (int fd : wake_)
        if (fd >= 0) ::close(fd);
}

bool SerialPort::baudSupported(unsigned baud) {
    speed_t c;
    return speedCode(baud, &c);
}

unsigned SerialPort::charTimeUs(const LineSettings& s) {
    const unsigned bits = 1 + s.dataBits + (s.parity == 'N' ? 0 : 1) + s.stopBits;
    return s.baud ? static_cast<unsigned>(1000000ull * bits / s.baud) : 0;
}

bool SerialPort::fail(const std::string& what) {
    error_ = what;
    // Our own exclusive mark would outlive the descriptor and lock the next
    // opener out; a mark another opener holds is not ours to clear.
    if (fd_ >= 0 && marked_) ::ioctl(fd_, TIOCNXCL);
    marked_ = false;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return false;
}

bool SerialPort::open(const LineSettings& s) {
    close();
    settings_ = s;
    error_.clear();
    speed_t code;
    if (!speedCode(s.baud, &code)) return fail("unsupported baud rate " + std::to_string(s.baud));
    if (s.dataBits < 5 || s.dataBits > 8)
        return fail("unsupported data bits " + std::to_string(s.dataBits));
    if (s.stopBits != 1 && s.stopBits != 2)
        return fail("unsupported stop bits " + std::to_string(s.stopBits));
    if (s.parity != 'N' && s.parity != 'E' && s.parity != 'O')
        return fail(std::string("unsupported parity ") + s.parity);

    fd_ = ::open(s.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return fail(PortOpenErrorText(s.device, errno));
    // No sharing: a second open of the same line would steal bytes. TIOCEXCL
    // does not stop root; the flock does, for every program that asks for it.
    // The flock comes first: the exclusive mark belongs to the line, and a
    // failed second open must not clear the holder's.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return fail(PortOpenErrorText(s.device, errno));
    if (::ioctl(fd_, TIOCEXCL) != 0 && errno != ENOTTY)
        return fail("cannot lock " + s.device + ": " + std::strerror(errno));
    marked_ = true;

    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return fail(s.device + " is not a serial port: " + std::strerror(errno));
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    static constexpr tcflag_t kSize[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSize[s.dataBits - 5];
    if (s.parity != 'N') t.c_cflag |= PARENB | (s.parity == 'O' ? PARODD : 0);
    if (s.stopBits == 2) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, code);
    ::cfsetospeed(&t, code);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0)
        return fail("line settings " + std::to_string(s.baud) + "," + s.parity + "," +
                    std::to_string(s.dataBits) + "," + std::to_string(s.stopBits) +
                    " refused by " + s.device + ": " + std::strerror(errno));
    // tcsetattr succeeds when any one setting took; read back what matters.
    termios back{};
    if (::tcgetattr(fd_, &back) != 0 || ::cfgetospeed(&back) != code ||
        (back.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) !=
            (t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)))
        return fail("line settings not taken by " + s.device);
    // Before anything is sent: a transmitter the driver cannot switch would
    // block the bus for every other station.
    if (s.rs485 && !enableRs485()) return false;
    ::tcflush(fd_, TCIOFLUSH);
    {
        std::lock_guard lock(echoLock_);
        echoDue_.clear();
        echoSeen_ = 0;
        echoFault_ = false;
    }
    dropWakeUps();
    return true;
}

bool SerialPort::adopt(int fd, const LineSettings& s) {
    close();
    settings_ = s;
    error_.clear();
    fd_ = fd;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail(std::string("cannot take over descriptor: ") + std::strerror(errno));
    dropWakeUps();
    return true;
}

// Drops any stale wake-up.
void SerialPort::dropWakeUps() {
    uint8_t junk[16];
    while (wake_[0] >= 0 && ::read(wake_[0], junk, sizeof junk) > 0) {
    }
}

bool SerialPort::enableRs485() {
    serial_rs485 rs{};
    if (::ioctl(fd_, TIOCGRS485, &rs) == 0) {
        rs485Before_ = rs;
        // The driver's own delays stay; only the direction control is ours.
        rs.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND);
        if (::ioctl(fd_, TIOCSRS485, &rs) == 0) {
            rs485Changed_ = true;
            return true;
        }
    }
    const int err = errno;
    return fail("the driver of " + settings_.device + " does not support RS-485 direction control (TIOCSRS485: " +
                std::strerror(err) + "); nothing was sent. Leave ',rs485' out for an adapter that switches by itself");
}

void SerialPort::close() {
    if (fd_ < 0) return;
    if (rs485Changed_) ::ioctl(fd_, TIOCSRS485, &rs485Before_);
    rs485Changed_ = false;
    // The exclusive mark belongs to the line, not to this descriptor: on a
    // pseudo-terminal whose other side stays open it would outlive us and
    // lock the next opener out.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

long SerialPort::write(const uint8_t* data, size_t n) {
    if (fd_ < 0) return -1;
    if (settings_.echo) {
        // A new transmission: whatever went wrong before is over.
        std::lock_guard lock(echoLock_);
        echoDue_.assign(data, data + n);
        echoSeen_ = 0;
        echoFault_ = false;
    }
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd_, data + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) {
            error_ = std::string("write failed: ") + std::strerror(errno);
            return -1;
        }
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 1000) < 0 && errno != EINTR) return -1;
    }
    drain();
    if (settings_.echo && !awaitEcho(n)) return kEchoFault;
    return static_cast<long>(done);
}

// Waits until the line has handed back the bytes just written: read here when
// no other thread reads, else taken off by that reader (the raw link's read
// thread) while we wait. Bounded by the wire time of the bytes and a margin
// for adapter latency.
bool SerialPort::awaitEcho(size_t n) {
    const long long deadline =
        nowMs() + 200 + static_cast<long long>(static_cast<double>(n) * charTimeUs(settings_) / 1000.0);
    std::unique_lock reader(readLock_, std::defer_lock);
    for (;;) {
        size_t missing;
        {
            std::unique_lock lock(echoLock_);
            if (echoFault_) {
                error_ = echoError_;
                lock.unlock();
                if (reader.owns_lock()) settleAfterFault();
                return false;
            }
            missing = echoDue_.size() - echoSeen_;
            if (missing == 0) return true;
            const long long left = deadline - nowMs();
            if (left <= 0) {
                echoFault_ = true;
                echoError_ = "line fault on " + settings_.device + ": " + std::to_string(missing) + " of " +
                             std::to_string(echoDue_.size()) +
                             " bytes sent did not come back (does this adapter echo? leave ',echo' out if not)";
                error_ = echoError_;
                return false;
            }
            if (!reader.owns_lock() && !reader.try_lock()) {
                echoArrived_.wait_for(lock, std::chrono::milliseconds(std::min<long long>(left, 10)));
                continue;
            }
        }
        // No more than the echo still due, so that no byte of the answer is taken here.
        uint8_t chunk[256];
        const long left = static_cast<long>(std::max<long long>(deadline - nowMs(), 0));
        const long got = readRaw(chunk, std::min(missing, sizeof chunk), static_cast<int>(left));
        if (got < 0) {
            error_ = "read failed while waiting for the echo on " + settings_.device;
            return false;
        }
        takeEcho(chunk, static_cast<size_t>(got));
    }
}

// After a garbled echo the detector may still answer what it heard: drop
// input until the line has been quiet a while (bounded), so that the answer
// does not meet the next request's echo. The raw link's read thread drops it
// by itself until our next write.
void SerialPort::settleAfterFault() {
    const int quietMs = static_cast<int>(std::max(150u, charTimeUs(settings_) * 20 / 1000));
    const long long until = nowMs() + 2000;
    uint8_t junk[256];
    while (nowMs() < until && readRaw(junk, sizeof junk, quietMs) > 0) {
    }
}

// Takes our own echo off the front of what was read; returns the bytes left
// for the caller, moved to the front of buf.
size_t SerialPort::takeEcho(uint8_t* buf, size_t n) {
    if (!settings_.echo) return n;
    std::lock_guard lock(echoLock_);
    if (echoFault_) return 0;  // up to our next write, nothing is trusted
    size_t i = 0;
    for (; i < n && echoSeen_ < echoDue_.size(); ++i, ++echoSeen_) {
        if (buf[i] == echoDue_[echoSeen_]) continue;
        char what[160];
        std::snprintf(what, sizeof what, "byte %zu of %zu sent as %02X came back as %02X", echoSeen_ + 1,
                      echoDue_.size(), echoDue_[echoSeen_], buf[i]);
        echoError_ = "line fault on " + settings_.device + ": echo mismatch, " + what;
        echoFault_ = true;
        echoArrived_.notify_all();
        return 0;
    }
    if (i == 0) return n;
    if (echoSeen_ == echoDue_.size()) echoArrived_.notify_all();
    std::memmove(buf, buf + i, n - i);
    return n - i;
}

long SerialPort::readSome(uint8_t* buf, size_t max, int timeoutMs) {
    std::lock_guard reader(readLock_);
    return readLocked(buf, max, timeoutMs);
}

long SerialPort::readLocked(uint8_t* buf, size_t max, int timeoutMs) {
    const long long deadline = nowMs() + std::max(timeoutMs, 0);
    for (;;) {
        const long got = readRaw(buf, max, timeoutMs);
        if (got <= 0) return got;
        const size_t kept = takeEcho(buf, static_cast<size_t>(got));
        if (kept) return static_cast<long>(kept);
        // Only echo (or discarded bytes): the caller's wait goes on, and a
        // caller that only drains what is there (timeout 0) sees it all go.
        if (timeoutMs >= 0) timeoutMs = static_cast<int>(std::max<long long>(deadline - nowMs(), 0));
    }
}

long SerialPort::readRaw(uint8_t* buf, size_t max, int timeoutMs) {
    if (fd_ < 0) return -1;
    if (max == 0) return 0;
    pollfd p[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int np = wake_[0] >= 0 ? 2 : 1;
    int r;
    do r = ::poll(p, np, timeoutMs);
    while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (np == 2 && (p[1].revents & POLLIN)) {
        uint8_t junk[16];
        while (::read(wake_[0], junk, sizeof junk) > 0) {
        }
        return 0;
    }
    if (r == 0) return 0;
    if (p[0].revents & (POLLERR | POLLNVAL)) return -1;
    const ssize_t got = ::read(fd_, buf, max);
    if (got < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    if (got == 0 && (p[0].revents & POLLHUP)) return -1;
    return got;
}

SerialPort::FrameRead SerialPort::readFrame(
    uint8_t* buf, size_t max, int firstByteTimeoutMs, int gapMs,
    const std::function<size_t(const uint8_t*, size_t)>& expected) {
    if (fd_ < 0) return {ReadStatus::Error, 0};
    const long long start = nowMs();
    const long long firstByteDeadline = start + std::max(firstByteTimeoutMs, 0);
    // No receive outlasts the wait for its first byte plus the time the
    // longest frame it may take needs on the wire: a line that never falls
    // silent (noise, a peer still streaming) must not hold the caller forever.
    const unsigned charUs = charTimeUs(settings_);
    const auto boundFor = [&](size_t bytes) {
        const double wireMs = static_cast<double>(bytes) * charUs / 1000.0;
        return firstByteDeadline + static_cast<long long>(std::min(wireMs + 1.0, 1e9)) + gapMs;
    };
    const long long bound = boundFor(max);
    size_t count = 0;
    bool overflow = false;
    size_t frameLength = 0;  // from the header, 0 while unknown
    size_t drained = 0;      // bytes of an overflowing frame taken off the line
    long long lastByte = 0;
    uint8_t scratch[256];
    for (;;) {
        size_t want = 0;
        if (!overflow) {
            frameLength = expected ? expected(buf, count) : 0;
            if (frameLength && count >= frameLength) return {ReadStatus::Frame, count};
            if (frameLength > max) {
                // Drain the frame, so that its tail cannot pass for the next
                // answer, but only while it keeps coming within the receive's
                // own bound: a header claiming 65,535 bytes would otherwise
                // hold a 9600-baud line for over a minute. What is left the
                // next exchange flushes.
                overflow = true;
                drained = count;
            } else {
                // Until the frame's length is known take no more than its
                // header needs (every frame has at least kMinFrame bytes), so
                // that bytes of a following frame stay on the line.
                want = frameLength ? frameLength - count : count < kMinFrame ? kMinFrame - count : 1;
                if (!frameLength && expected == nullptr) want = max - count;
                if (count + want > max) want = max - count;
                if (want == 0) overflow = true;  // unknown length and the buffer is full
            }
        } else if (frameLength && drained >= frameLength) {
            break;
        }
        // A frame whose length is known ends with its last byte: USB adapters
        // deliver in bursts, and a pause between them is no end of frame. Only
        // a frame of unknown length ends at the inter-byte gap.
        long long until = bound;
        if (count == 0 && drained == 0)
            until = firstByteDeadline;
        else if (!frameLength || overflow)
            until = std::min(bound, lastByte + gapMs);
        const long long left = until - nowMs();
        if (left <= 0) break;
        uint8_t* dst = overflow ? scratch : buf + count;
        size_t room = overflow ? sizeof scratch : want;
        if (overflow && frameLength) room = std::min(room, frameLength - drained);
        const long got = readSome(dst, room, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (got < 0) return {ReadStatus::Error, count};
        if (got == 0) break;
        if (overflow)
            drained += static_cast<size_t>(got);
        else
            count += static_cast<size_t>(got);
        lastByte = nowMs();
    }
    if (overflow) return {ReadStatus::Overflow, count};
    if (count == 0) return {ReadStatus::Timeout, 0};
    const size_t total = expected ? expected(buf, count) : 0;
    if (total && count >= total) return {ReadStatus::Frame, count};
    return {ReadStatus::Gap, count};
}

bool SerialPort::errorCounts(ErrorCounts* out) const {
    serial_icounter_struct c{};
    if (fd_ < 0 || !out || ::ioctl(fd_, TIOCGICOUNT, &c) != 0) return false;
    out->frame = static_cast<uint32_t>(c.frame);
    out->overrun = static_cast<uint32_t>(c.overrun);
    out->parity = static_cast<uint32_t>(c.parity);
    out->bufferOverrun = static_cast<uint32_t>(c.buf_overrun);
    return true;
}

bool SerialPort::flushInput() { return fd_ >= 0 && ::tcflush(fd_, TCIFLUSH) == 0; }
bool SerialPort::flushOutput() { return fd_ >= 0 && ::tcflush(fd_, TCOFLUSH) == 0; }

bool SerialPort::drain() {
    if (fd_ < 0) return false;
    int r;
    do r = ::tcdrain(fd_);
    while (r != 0 && errno == EINTR);
    return r == 0;
}

void SerialPort::interrupt() {
    if (wake_[1] >= 0) {
        const uint8_t b = 1;
        [[maybe_unused]] ssize_t w = ::write(wake_[1], &b, 1);
    }
}
