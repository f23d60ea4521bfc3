#pragma once
// The 4-20 mA output trim: fix the loop at 4 or 20 mA, tell the detector
// what the multimeter read at each point, burn the correction. Plain logic
// on the link worker (or the command line's thread), talking to its window
// through Panel, with the clock and the wire handed in.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "calib/CCalib420Ids.h"
#include "protocol/records/SetupRecord.h"
#include "util/Panel.h"

namespace c420 {

constexpr uint8_t kMiscCalib420 = 6, kRestart = 2, kStop = 0, kBurnPoint = 1, kApplyOffset = 100;
constexpr unsigned kDefaultIdleSeconds = 300;
constexpr unsigned long long kHoldMs = 30000, kFreshMs = 5000;

extern const char* const kRestartQuestion;

struct Link {
    // One D_MISC_CONTROL request, sent once: the acknowledgement byte, or
    // nullopt without an answer. `longWait` for the burn.
    std::function<std::optional<uint8_t>(std::span<const uint8_t> request, bool longWait)> send;
    // The ADMIN elevation with a password: granted or not.
    std::function<bool(const std::string& password)> elevate;
    std::function<void(unsigned ms)> pause;
};
// The link's own wire (takes the link lock for each exchange).
Link LinkWire();
// The setup record, read on opening (three tries; its byte 32 tells a
// password-protected detector); nullopt, logged, when it did not come.
std::optional<SetupRecord> ReadSetup();

class Session {
public:
    struct Options {
        bool check = true;  // "fCheck"
        unsigned idleSeconds = kDefaultIdleSeconds;
    };
    // `locked`: the setup record read on opening says password protected.
    Session(Panel& panel, Link wire, bool locked, Options options, std::function<unsigned long long()> nowMs);

    enum class Result { Done, NotAllowed, OutOfRange, NotElevated, NoReply, Refused, Incomplete };

    // The radio buttons (4 or 20).
    void choose(unsigned target);
    unsigned target() const { return target_; }
    Result set();
    // For the point last set; only after its Set was acknowledged.
    Result apply(const std::string& reading);
    // Accepted: the fixed current is stopped and the restart question asked.
    Result burn();
    // Cancel, the close box or the idle time-out.
    void close(bool timedOut);

    // A click or an edit.
    void touch();
    bool idleExpired() const;
    // The 500 ms timer: keeps the password tested, counts the hold down.
    void tick();

    int state() const { return state_; }
    bool fixedCurrentSet() const { return fixedSet_; }
    // The last closing's stop of the fixed current was acknowledged.
    bool stopAcknowledged() const { return stopAcked_; }
    bool applied(unsigned target) const { return point(target).applied; }

private:
    struct Point {
        bool setAcked = false, applied = false;
        float reading = 0;
    };
    Point& point(unsigned target) { return target == 20 ? p20_ : p4_; }
    const Point& point(unsigned target) const { return target == 20 ? p20_ : p4_; }
    // Sends and reports failures under `what` ("Set", "Apply", "Burn").
    Result exchange(std::span<const uint8_t> request, const char* what, bool longWait = false);
    bool admin(bool extend);
    bool test(const std::string& password);
    void showHold();
    unsigned long long now() const { return now_(); }

    Panel& panel_;
    Link wire_;
    bool locked_;
    Options options_;
    std::function<unsigned long long()> now_;
    unsigned target_ = 4;
    Point p4_, p20_;
    int state_ = -1;
    bool fixedSet_ = false, noted_ = false, stopAcked_ = false;
    unsigned long long lastActivity_ = 0, testedAt_ = 0, holdUntil_ = 0;
    std::string password_, applyText_;
};

}  // namespace c420
