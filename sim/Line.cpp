#include "sim/Line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "wire/Crc16.h"

namespace wsim {

namespace {
constexpr size_t kNonceWindow = 4;
constexpr uint8_t kAccessCodeMsbFirst[4] = {0x5A, 0xC3, 0xE1, 0x7B};

struct SpeedEntry {
    speed_t code;
    unsigned baud;
};
constexpr SpeedEntry kSpeeds[] = {
    {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
    {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
    {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}
}  // namespace

Line::Line(LineOptions opt)
    : opt_(std::move(opt)),
      clock_(opt_.clock ? opt_.clock : &steady_),
      rng_(opt_.seed ? opt_.seed : std::random_device{}()) {}

Line::~Line() { stop(); }

bool Line::start(std::string* error) {
    if (running_) return true;
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail(error, "posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return fail(error, "pty unlock");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) return fail(error, "ptsname");
    slave_ = name;
    slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveHold_ < 0) return fail(error, "open " + slave_);
    // Raw at 9600 until a host sets its own line: no echo, no line editing.
    termios t{};
    ::tcgetattr(slaveHold_, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(slaveHold_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    if (!opt_.link.empty()) {
        std::error_code ec;
        const std::filesystem::path link(opt_.link);
        if (link.has_parent_path()) std::filesystem::create_directories(link.parent_path(), ec);
        struct stat st{};
        if (::lstat(opt_.link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                errno = EEXIST;
                return fail(error, opt_.link + " exists and is not a link");
            }
        }
        // A new link replaces the old one in one step, so a failure leaves the old one.
        const std::string temp = opt_.link + ".new" + std::to_string(::getpid());
        ::unlink(temp.c_str());
        if (::symlink(slave_.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), opt_.link.c_str()) != 0) {
            ::unlink(temp.c_str());
            return fail(error, "symlink " + opt_.link);
        }
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void Line::stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    if (!opt_.link.empty()) {
        char target[256];
        const ssize_t n = ::readlink(opt_.link.c_str(), target, sizeof target - 1);
        if (n > 0 && slave_ == std::string(target, static_cast<size_t>(n))) ::unlink(opt_.link.c_str());
    }
    if (slaveHold_ >= 0) ::close(slaveHold_);
    if (master_ >= 0) ::close(master_);
    slaveHold_ = master_ = -1;
}

void Line::addDetector(const DetectorConfig& cfg) {
    std::lock_guard lock(mu_);
    slots_.push_back({std::make_unique<Detector>(cfg, clock_->nowMs()), false});
}

std::vector<uint8_t> Line::addresses() {
    std::lock_guard lock(mu_);
    std::vector<uint8_t> a;
    for (auto& s : slots_) a.push_back(s.det->address());
    return a;
}

bool Line::withDetector(uint8_t addr, const std::function<void(Detector&, int64_t)>& f) {
    std::lock_guard lock(mu_);
    for (auto& s : slots_)
        if (s.det->address() == addr) {
            f(*s.det, clock_->nowMs());
            return true;
        }
    return false;
}

void Line::dropAnswers(int n) { std::lock_guard l(mu_); faults_.drop = n; }
void Line::corruptAnswers(int n) { std::lock_guard l(mu_); faults_.corrupt = n; }
void Line::wrongAddressAnswers(int n) { std::lock_guard l(mu_); faults_.wrongAddress = n; }
void Line::shortAnswers(int n, size_t keep) {
    std::lock_guard l(mu_);
    faults_.shortAnswers = n;
    faults_.shortKeep = keep;
}
void Line::setDelay(int ms) { std::lock_guard l(mu_); faults_.delayMs = ms; }
void Line::corruptEchoes(int n) { std::lock_guard l(mu_); faults_.corruptEcho = n; }
void Line::setSilent(bool on) { std::lock_guard l(mu_); faults_.silent = on; }
Faults Line::faults() { std::lock_guard l(mu_); return faults_; }
LineStats Line::stats() {
    std::lock_guard l(mu_);
    LineStats s = stats_;
    s.garbageBytes = parser_.droppedBytes();
    return s;
}

bool Line::setDetectorSilent(uint8_t addr, bool on) {
    std::lock_guard lock(mu_);
    for (auto& s : slots_)
        if (s.det->address() == addr) {
            s.silent = on;
            return true;
        }
    return false;
}

bool Line::restartDetector(uint8_t addr) {
    return withDetector(addr, [](Detector& d, int64_t now) { d.restart(now); });
}

bool Line::hangDetector(uint8_t addr, int64_t watchdogMs) {
    return withDetector(addr, [&](Detector& d, int64_t now) { d.hang(now, watchdogMs); });
}

bool Line::refuseSetupWrites(uint8_t addr, int n) {
    return withDetector(addr, [&](Detector& d, int64_t) { d.refuseSetupWrites(n); });
}

bool Line::corruptSetupReads(uint8_t addr, int n) {
    return withDetector(addr, [&](Detector& d, int64_t) { d.corruptSetupReads(n); });
}

bool Line::addMessage(uint8_t addr, const std::string& line) {
    return withDetector(addr, [&](Detector& d, int64_t) { d.addMessage(line); });
}

bool Line::startFire(uint8_t addr, bool weak) {
    return withDetector(addr, [&](Detector& d, int64_t now) { d.startFire(now, weak); });
}

bool Line::holdValue(uint8_t addr, Detector::Held which, float value) {
    return withDetector(addr, [&](Detector& d, int64_t) { d.holdValue(which, value); });
}

bool Line::releaseValues(uint8_t addr) {
    return withDetector(addr, [](Detector& d, int64_t) { d.releaseValues(); });
}

bool Line::setBitMode(uint8_t addr, Detector::BitMode mode) {
    return withDetector(addr, [&](Detector& d, int64_t) { d.setBitMode(mode); });
}

unsigned Line::readHostBaud() const {
    termios t{};
    if (::tcgetattr(master_, &t) != 0) return hostBaud_.load();
    const speed_t code = ::cfgetospeed(&t);
    for (const auto& s : kSpeeds)
        if (s.code == code) return s.baud;
    return 0;  // a speed no detector can run at
}

bool Line::authorised(uint8_t f4, uint8_t f5) const {
    for (uint32_t nonce : nonces_) {
        uint8_t block[8];
        std::memcpy(block, kAccessCodeMsbFirst, 4);
        for (int i = 0; i < 4; ++i) block[4 + i] = static_cast<uint8_t>(nonce >> (8 * i));
        const uint16_t code = crc16(block, sizeof block);
        if (f4 == (code & 0xFF) && f5 == (code >> 8)) return true;
    }
    return false;
}

void Line::noteNonce(uint32_t nonce) {
    nonces_.push_back(nonce);
    while (nonces_.size() > kNonceWindow) nonces_.pop_front();
}

// Decides the line's one answer to a frame (under the lock).
bool Line::handle(const Frame& fr, Outgoing* out) {
    const Bytes& f = fr.bytes;
    const uint8_t addr = f[0];
    const bool broadcast = addr == 0;
    const int64_t now = clock_->nowMs();
    ++stats_.frames;
    if (faults_.silent) return false;

    struct Candidate {
        Outgoing out;
        uint32_t nonce = 0;
    };
    std::vector<Candidate> answers;
    bool addressed = false, heard = false;
    for (auto& slot : slots_) {
        Detector& d = *slot.det;
        if (slot.silent || (!broadcast && d.address() != addr)) continue;
        addressed = true;
        if (!d.alive(now) || d.baud() != fr.baud) continue;
        heard = true;
        d.noteFrameHeard(now);
        const uint8_t ownAddress = d.address();
        const unsigned baud = d.baud();

        if (fr.kind == Frame::Standard) {
            auto r = d.handleStandard(f.data(), f.size() - 2, broadcast, now);
            if (!r) continue;
            r->resize(r->size() + 2);
            appendCrc16(r->data(), r->size() - 2);
            answers.push_back({{std::move(*r), baud, 3}, 0});
            continue;
        }

        RecordRequest req;
        req.address = addr;
        req.tagged = f[1] == 0xCA;
        req.isGet = fr.kind == Frame::RecordGet;
        req.id = f[4];
        req.f4 = f[5];
        req.f5 = f[6];
        req.authOk = authorised(req.f4, req.f5);
        size_t first = 7;
        if (req.id == cmd::DataShort) first = 11;            // data request counter
        else if (req.id == cmd::Data) first = 16;            // counter and access extension
        const size_t end = f.size() - 2;
        if (first > end) continue;
        req.payload = f.data() + first;
        req.payloadSize = end - first;
        const unsigned notices = d.notices();
        auto reply = d.handleRecord(req, now);
        if (d.notices() != notices && opt_.notice) opt_.notice(d.lastNotice());
        if (!reply) continue;

        const size_t n = 17 + reply->data.size();
        Bytes a(n);
        a[0] = ownAddress;
        a[1] = 0xC8;
        a[2] = static_cast<uint8_t>((reply->data.size() + 11) & 0xFF);
        a[3] = static_cast<uint8_t>((reply->data.size() + 11) >> 8);
        a[4] = req.id;
        putU16(&a[5], d.model());
        putU32(&a[7], d.serial());
        putU32(&a[11], rng_());
        if (req.tagged) a[11] = req.f4;
        std::copy(reply->data.begin(), reply->data.end(), a.begin() + 15);
        appendCrc16(a.data(), n - 2);
        const uint32_t nonce = getU32(&a[11]);
        answers.push_back({{std::move(a), baud, reply->latencyMs}, nonce});
    }
    if (addressed && !heard) ++stats_.foreignSpeed;
    if (answers.empty()) return false;

    *out = std::move(answers.front().out);
    if (answers.size() > 1) {
        // Two drivers on the bus at once: the host sees one garbled frame.
        ++stats_.collisions;
        out->bytes[out->bytes.size() - 1] ^= 0xFF;
        out->bytes[out->bytes.size() - 2] ^= 0xFF;
    } else if (out->bytes.size() >= 17 && out->bytes[1] == 0xC8) {
        noteNonce(answers.front().nonce);
    }
    applyFaults(out);
    return !out->bytes.empty();
}

void Line::applyFaults(Outgoing* out) {
    Bytes& b = out->bytes;
    if (faults_.drop > 0) {
        --faults_.drop;
        b.clear();
        return;
    }
    if (faults_.wrongAddress > 0) {
        --faults_.wrongAddress;
        b[0] = static_cast<uint8_t>(b[0] % 247 + 1);
        appendCrc16(b.data(), b.size() - 2);
    }
    if (faults_.corrupt > 0) {
        --faults_.corrupt;
        b[b.size() / 2] ^= 0xFF;
    }
    if (faults_.shortAnswers > 0) {
        --faults_.shortAnswers;
        const size_t keep = faults_.shortKeep ? faults_.shortKeep : b.size() / 2;
        if (keep < b.size()) b.resize(std::max<size_t>(keep, 1));
    }
    out->latencyMs = (opt_.fast ? 0 : out->latencyMs) + faults_.delayMs;
}

bool Line::writeAll(const uint8_t* p, size_t n) {
    size_t done = 0;
    int stalls = 0;
    while (done < n) {
        const ssize_t w = ::write(master_, p + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            stalls = 0;
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
        // Nobody reads the other side: give up rather than stall the line.
        if (!running_ || ++stalls > 20) return false;
        pollfd pf{master_, POLLOUT, 0};
        ::poll(&pf, 1, 50);
    }
    return true;
}

void Line::send(const Outgoing& out) {
    using namespace std::chrono;
    if (out.latencyMs > 0) std::this_thread::sleep_for(milliseconds(out.latencyMs));
    if (opt_.fast || out.baud == 0) {
        writeAll(out.bytes.data(), out.bytes.size());
        return;
    }
    // Each byte is ready for the host once its tenth bit has left a real wire.
    const auto t0 = steady_clock::now();
    const double nsPerByte = 10.0e9 / out.baud;
    const size_t chunk = std::max<size_t>(1, out.baud / 10 / 500);  // 2 ms of line time
    for (size_t off = 0; off < out.bytes.size() && running_; off += chunk) {
        const size_t n = std::min(chunk, out.bytes.size() - off);
        std::this_thread::sleep_until(t0 + nanoseconds(static_cast<int64_t>((off + n) * nsPerByte)));
        if (!writeAll(out.bytes.data() + off, n)) return;
    }
}

// The adapter hands the host's bytes back as they pass, before any detector
// can answer them.
void Line::echoBack(const uint8_t* p, size_t n) {
    Bytes echo(p, p + n);
    {
        std::lock_guard lock(mu_);
        if (faults_.corruptEcho > 0) {
            --faults_.corruptEcho;
            echo[n / 2] ^= 0xFF;
        }
    }
    writeAll(echo.data(), echo.size());
}

void Line::run() {
    uint8_t buf[4096];
    while (running_) {
        pollfd pf{master_, POLLIN, 0};
        const int r = ::poll(&pf, 1, 5);
        if (r > 0 && (pf.revents & POLLIN)) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0 && opt_.echo) echoBack(buf, static_cast<size_t>(n));
            if (n > 0) {
                const unsigned baud = readHostBaud();
                hostBaud_ = baud;
                std::lock_guard lock(mu_);
                parser_.feed(buf, static_cast<size_t>(n), baud, steadyMs());
            }
        } else if (r > 0 && (pf.revents & (POLLHUP | POLLERR))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (;;) {
            Outgoing out;
            bool answer = false;
            {
                std::lock_guard lock(mu_);
                auto fr = parser_.next(steadyMs());
                if (!fr) break;
                answer = handle(*fr, &out);
                if (answer) ++stats_.answers;
            }
            if (answer) send(out);
        }
        sendStreams();
    }
}

// Raw streams go out between answers, as a detector's UART would interleave them.
void Line::sendStreams() {
    std::vector<Outgoing> streams;
    {
        std::lock_guard lock(mu_);
        const int64_t now = clock_->nowMs();
        for (auto& slot : slots_) {
            if (slot.silent || !slot.det->streaming()) continue;
            Bytes b = slot.det->streamDue(now);
            if (b.empty()) continue;
            // Sent at a speed the host does not listen at, the bytes reach it as noise.
            if (hostBaud_ != slot.det->baud()) std::fill(b.begin(), b.end(), 0xFE);
            streams.push_back({std::move(b), slot.det->baud(), 0});
        }
    }
    for (const auto& out : streams) send(out);
}

}  // namespace wsim
