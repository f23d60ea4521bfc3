#pragma once
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/Clock.h"
#include "sim/Detector.h"
#include "sim/FrameParser.h"

namespace wsim {

struct LineOptions {
    std::string link;          // symlink to publish the pty under; empty: none
    bool fast = false;         // no pacing and no answer latency
    const Clock* clock = nullptr;  // detector time; null: steady clock
    uint32_t seed = 0;         // nonce generator; 0: random
    bool echo = false;         // a half-duplex adapter: every byte the host sends comes back first
    // Told what a detector did not do and why (a parameter write it ignored),
    // on the line's thread; the program prints it on its control output.
    std::function<void(const std::string&)> notice;
};

// Misbehaviour to inject into the next answers of the line.
struct Faults {
    int drop = 0;           // answers computed but not sent
    int corrupt = 0;        // one byte inverted, CRC left as it was
    int wrongAddress = 0;   // valid frame from another address
    int shortAnswers = 0;   // frame cut off
    size_t shortKeep = 0;   // bytes kept of a short answer; 0: half
    int delayMs = 0;        // added before every answer
    int corruptEcho = 0;    // echoes with one byte inverted (an echoing line only)
    bool silent = false;    // the whole line hears nothing
};

struct LineStats {
    uint64_t frames = 0;        // complete frames with a good CRC
    uint64_t foreignSpeed = 0;  // frames no detector could hear at its speed
    uint64_t answers = 0;
    uint64_t collisions = 0;
    uint64_t garbageBytes = 0;
};

// A virtual RS-485 line of detectors behind a pseudo-terminal. The host opens
// slavePath() (or the published link) like any serial port.
class Line {
public:
    explicit Line(LineOptions opt = {});
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool start(std::string* error = nullptr);
    void stop();
    const std::string& slavePath() const { return slave_; }
    const std::string& linkPath() const { return opt_.link; }
    bool echoes() const { return opt_.echo; }

    void addDetector(const DetectorConfig& cfg);
    std::vector<uint8_t> addresses();
    // Runs f on the detector now at address addr, under the line lock.
    bool withDetector(uint8_t addr, const std::function<void(Detector&, int64_t now)>& f);

    // Control interface.
    void dropAnswers(int n);
    void corruptAnswers(int n);
    void wrongAddressAnswers(int n);
    void shortAnswers(int n, size_t keep = 0);
    void setDelay(int ms);
    void corruptEchoes(int n);
    void setSilent(bool on);
    bool setDetectorSilent(uint8_t addr, bool on);
    bool restartDetector(uint8_t addr);
    bool hangDetector(uint8_t addr, int64_t watchdogMs);
    // False when no detector is at addr. See the Detector methods of the same names.
    bool refuseSetupWrites(uint8_t addr, int n);
    bool corruptSetupReads(uint8_t addr, int n);
    bool addMessage(uint8_t addr, const std::string& line);
    // Live data: see the Detector methods of the same names.
    bool startFire(uint8_t addr, bool weak);
    bool holdValue(uint8_t addr, Detector::Held which, float value);
    bool releaseValues(uint8_t addr);
    bool setBitMode(uint8_t addr, Detector::BitMode mode);
    Faults faults();

    unsigned hostBaud() const { return hostBaud_.load(); }
    LineStats stats();
    int64_t now() const { return clock_->nowMs(); }

private:
    struct Slot {
        std::unique_ptr<Detector> det;
        bool silent = false;
    };
    struct Outgoing {
        Bytes bytes;
        unsigned baud = 9600;
        int latencyMs = 0;
    };

    void run();
    unsigned readHostBaud() const;
    bool handle(const Frame& f, Outgoing* out);
    bool authorised(uint8_t f4, uint8_t f5) const;
    void noteNonce(uint32_t nonce);
    void applyFaults(Outgoing* out);
    void sendStreams();
    void send(const Outgoing& out);
    void echoBack(const uint8_t* p, size_t n);
    bool writeAll(const uint8_t* p, size_t n);

    LineOptions opt_;
    SteadyClock steady_;
    const Clock* clock_;
    int master_ = -1;
    int slaveHold_ = -1;  // keeps the pty alive while no host has it open
    std::string slave_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<unsigned> hostBaud_{9600};

    std::mutex mu_;
    std::vector<Slot> slots_;
    Faults faults_;
    LineStats stats_;
    std::deque<uint32_t> nonces_{0};  // recent nonces a host may hold
    std::mt19937 rng_;
    FrameParser parser_;
};

}  // namespace wsim
