#include "wire/SerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

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
    if (fd_ < 0) return fail("cannot open " + s.device + ": " + std::strerror(errno));
    // No sharing: a second open of the same line would steal bytes.
    if (::ioctl(fd_, TIOCEXCL) != 0 && errno != ENOTTY)
        return fail("cannot lock " + s.device + ": " + std::strerror(errno));

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
    ::tcflush(fd_, TCIOFLUSH);
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

void SerialPort::dropWakeUps() {
    uint8_t junk[16];
    while (wake_[0] >= 0 && ::read(wake_[0], junk, sizeof junk) > 0) {
    }
}

void SerialPort::close() {
    if (fd_ < 0) return;
    // The exclusive mark belongs to the line, not to this descriptor: on a
    // pseudo-terminal whose other side stays open it would outlive us and
    // lock the next opener out.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

long SerialPort::write(const uint8_t* data, size_t n) {
    if (fd_ < 0) return -1;
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
    return static_cast<long>(done);
}

long SerialPort::readSome(uint8_t* buf, size_t max, int timeoutMs) {
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
    long long bound = boundFor(max);
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
                // Drain the whole frame, so that its tail cannot pass for the
                // next answer; its own length bounds the drain.
                overflow = true;
                drained = count;
                bound = boundFor(frameLength);
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
        else if (!frameLength)
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
