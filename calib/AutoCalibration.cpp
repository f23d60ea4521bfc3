#include "calib/AutoCalibration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <thread>

#include "calib/AutoCalibExchanges.h"
#include "calib/CalibrateTexts.h"
#include "calib/Shutter.h"
#include "shell/Catalogue.h"
#include "util/Log.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace autocal {

std::optional<std::string> CalibLink::startCommand(const std::string& line) { return StartCommand(line); }
unsigned long long CalibLink::nowMs() { return TickMs(); }
void CalibLink::sleep(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

const char* StateName(State s) {
    switch (s) {
    case State::Reference: return "reference";
    case State::Calibrated: return "calibrated";
    case State::OutOfTolerance: return "out-of-tolerance";
    case State::CalibrationApplied: return "calibration-applied";
    case State::CalibrationMode: return "calibration-mode";
    default: return "unchanged";
    }
}

std::optional<std::string> CheckRows(const std::vector<unsigned>& addresses) {
    if (addresses.size() < 2 || addresses[0] != kMasterAddress) return std::string(kRowsError);
    // The object goes to everyone at once: a second row of one detector would
    // burn two serial numbers into it, the master's row would burn a slave's.
    for (size_t i = 1; i < addresses.size(); ++i) {
        if (addresses[i] == kMasterAddress)
            return std::string("Error: the master (ID 247) cannot also be a slave");
        if (std::find(addresses.begin() + 1, addresses.begin() + static_cast<std::ptrdiff_t>(i), addresses[i]) !=
            addresses.begin() + static_cast<std::ptrdiff_t>(i))
            return "Error: address " + std::to_string(addresses[i]) + " is listed twice";
    }
    return std::nullopt;
}

namespace {

constexpr unsigned kPauseMs = 100, kStepMs = 1000, kAfterBroadcastMs = 2000, kStallMs = 10'000;
constexpr unsigned kFailedOut = 3, kGoodIn = 3;

struct Row {
    unsigned address = 0;
    uint32_t serial = 0;
    bool earlier = false;  // finished in an earlier pass: its code shows 10 unless this pass undid that
    int code = 0;
    unsigned failed = 0, good = 0;
    int verify = 0;
    std::array<double, 4> bg{};
    std::vector<double> scales, averages;
    unsigned minUv = 2147483647;
    double adjUv = 0;
    bool pending = false;
    uint32_t counter = 0;
    unsigned long long counterSince = 0;
    bool finishedThisPass = false;
    unsigned finishedSeq = 0;  // the object broadcast its last verified finish came after
    int finishedCode = 0;
    bool notResponded = false;
};

}  // namespace

class Procedure {
public:
    using End = Calibration::End;
    Procedure(Panel& panel, CalibLink& link, RunOptions o)
        : panel_(panel), link_(link), o_(std::move(o)), family_(FamilyOf(o_.kind)), x_(link, o_.kind) {
        for (size_t i = 0; i < o_.addresses.size() && i < kMaxRows; ++i) {
            Row r;
            r.address = o_.addresses[i];
            if (i) r.serial = i - 1 < o_.serials.size() ? o_.serials[i - 1] : 0;
            rows_.push_back(r);
        }
        s_ = LoadSettings(family_, o_.ini);
        for (size_t i = 0; i < rows_.size(); ++i) rows_[i].verify = i == 0 ? 2 : 0;
        recount();
    }
    RunResult run();
    End background();
    End learn();
    End accumulate();
    End burn();
    bool close();
    void stopStep() { stopStep_ = true; }
    // A step of the manual mode, its counts kept for the interface thread.
    End step(End (Procedure::*fn)()) {
        const End e = (this->*fn)();
        recount();
        return e;
    }
    bool begun() const { return accumulating_; }
    unsigned responding() const { return responding_; }
    unsigned unverified() const { return unverified_; }
    void verified(size_t i) {
        if (i < rows_.size()) rows_[i].verify = 2;
        recount();
    }
    unsigned address(size_t i) const { return i < rows_.size() ? rows_[i].address : 0; }
    Settings& settings() { return s_; }
    void showScale(size_t i) {
        if (i >= rows_.size()) return;
        say("Calibration: Get 'scale' from slave %u", rows_[i].address);
        if (const auto scales = x_.readScale(rows_[i].address)) showScales(*scales);
        else say("Calibration: Get 'scale' from slave %u failed...", rows_[i].address);
    }

private:
    End pass();
    bool pollRound(bool learning);
    void say(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void box(const std::string& text, const std::string& caption) { panel_.ask(text, caption, MB_OK); }
    bool pause(unsigned ms);
    bool aborted() const { return panel_.aborted(); }
    bool excluded(const Row& r) const {
        return r.failed >= kFailedOut || r.code == -1 || r.code == -2 || r.code == -3 || r.code == -6;
    }
    void setAll(int code) {
        for (auto& r : rows_)
            if (!excluded(r)) r.code = code;
    }
    void shutter(bool open);
    void showScales(const std::vector<double>& scales) {
        for (unsigned k = 0; k < family_.quantities && k < scales.size(); ++k) {
            char v[32];
            std::snprintf(v, sizeof v, "%.3g", scales[k]);
            panel_.setText(calwin::kScale0 + static_cast<int>(k), v);
            panel_.setIndicator(calwin::kScale0 + static_cast<int>(k), s_.bands[k].passes(scales[k]));
        }
    }
    void showValues(size_t i, const LiveRecord& rec, const char* format) {
        for (unsigned c = 0; c < family_.channels; ++c) {
            char v[32];
            std::snprintf(v, sizeof v, format, rec.f32(family_.channelOffsets[c]));
            panel_.setText(calwin::kValue0 + 4 * static_cast<int>(i) + static_cast<int>(c), v);
        }
    }
    State stateOf(const Row& r, bool master) const;
    // Between steps only: the rows are the running step's.
    void recount() {
        unsigned n = 0, open = 0;
        for (size_t i = 1; i < rows_.size(); ++i) {
            n += !rows_[i].notResponded;
            open += !rows_[i].notResponded && rows_[i].verify != 2;
        }
        responding_ = n;
        unverified_ = open;
    }

    Panel& panel_;
    CalibLink& link_;
    const RunOptions o_;
    const Family& family_;
    Exchanges x_;
    Settings s_;
    std::vector<Row> rows_;
    std::optional<uint16_t> masterModel_;
    bool masterAlt_ = false;
    // Read by the window's interface thread while a step may run.
    std::atomic<bool> accumulating_{false};
    std::atomic<unsigned> responding_{0}, unverified_{0};
    bool modeOpen_ = false, objectTried_ = false, uvFailed_ = false;
    std::atomic<bool> stopStep_{false};
    bool mismatch_ = false;
    unsigned iterations_ = 0, objectSeq_ = 0;
    std::string refusal_;
};

void Procedure::say(const char* format, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    DebugLog("%s", buf);
    panel_.addLine(kLogList, buf);
}

bool Procedure::pause(unsigned ms) {
    const unsigned long long until = link_.nowMs() + ms;
    for (unsigned long long now; !aborted() && (now = link_.nowMs()) < until;)
        link_.sleep(static_cast<unsigned>(std::min<unsigned long long>(20, until - now)));
    return !aborted();
}

void Procedure::shutter(bool open) {
    if (s_.autoShutter)
        if (auto error = link_.startCommand(open ? s_.shutterOpen : s_.shutterClose)) box(*error, "Error");
    panel_.setTitle(Panel::kThisWindow, open ? "Calibration - Shutter Open" : "Calibration - Shutter Closed");
}

// One round of the background poll: each detector still in play read once, then 100 ms.
bool Procedure::pollRound(bool learning) {
    bool readAny = false;
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& r = rows_[i];
        if (aborted()) return false;
        if (!learning && stopStep_) return true;  // learning was started: no need to finish the round
        if (r.failed >= kFailedOut || (learning && r.failed > 0)) continue;
        readAny = true;
        const auto rec = x_.live(r.address);
        if (!rec) {
            if (!r.notResponded) panel_.setIndicator(calwin::kRadio0 + static_cast<int>(i), 0);
            r.notResponded = true;
            ++r.failed;
            continue;
        }
        r.good = std::min(255u, r.good + 1);
        const uint16_t model = rec->header().model;
        if (i == 0) {
            if (!masterModel_ && rec->uvirModel() != (family_.kind == ParamKind::Uvir)) {
                refusal_ = std::string("Error: the master (ID 247) is no ") +
                           (family_.kind == ParamKind::Uvir ? "UV/IR" : "IR") + " detector";
                if (o_.manual) box(refusal_, "Error");
                return false;
            }
            masterModel_ = model;
            masterAlt_ = rec->alternateSensor();
            r.serial = rec->serial();
        } else if (masterModel_ && r.code != -1 &&
                   (model != *masterModel_ || (family_.kind == ParamKind::Ir && rec->alternateSensor() != masterAlt_))) {
            if (o_.manual) {
                std::string caption;
                const std::string text =
                    MismatchText(family_.kind, ModelName(*masterModel_), ModelName(model), masterAlt_,
                                 rec->alternateSensor(), &caption);
                panel_.ask(text, caption, MB_OK | MB_ICONERROR);
                mismatch_ = true;
                return false;
            }
            say("Calibration: address %u: model or variant differs from the master's", r.address);
            r.code = -1;
            r.failed = kFailedOut;
        }
        char shown[16];
        std::snprintf(shown, sizeof shown, "%c%u", rec->mode(), rec->state() == 99 ? 0u : unsigned{rec->state()});
        panel_.setText(kStatus, std::to_string(r.address) + " " + shown);
        panel_.setText(calwin::kIterStat0 + static_cast<int>(i), shown);
        showValues(i, *rec, "%.1f");
        if (learning)
            for (unsigned c = 0; c < family_.channels; ++c)
                r.bg[c] = std::max<double>(r.bg[c], rec->f32(family_.channelOffsets[c]));
        if (!pause(kPauseMs)) return false;
    }
    return readAny || pause(kPauseMs);
}

Procedure::End Procedure::background() {
    bool learnable = false;
    for (;;) {
        if (!pollRound(false)) return !refusal_.empty() ? End::Refused : mismatch_ ? End::Stopped : End::Aborted;
        if (!learnable &&
            std::all_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.good >= kGoodIn || r.failed >= kFailedOut; })) {
            if (!o_.manual) break;
            learnable = true;
            panel_.enable(calwin::kLearnStart, true);
        }
        // The user watches the rows until starting learning, which stops this step.
        if (learnable && stopStep_.exchange(false)) return End::Done;
    }
    for (auto& r : rows_)
        if (r.failed >= kFailedOut && r.code == 0) r.code = -2;
    if (rows_[0].code == -2) {
        say("Auto Calibration: Can't proceed - master doesn't respond...");
        return End::Stopped;
    }
    return End::Done;
}

Procedure::End Procedure::learn() {
    for (auto& r : rows_) r.bg = {};
    if (o_.manual) {
        // Not cleared here: an Abort pressed before this step began still counts.
        std::vector<unsigned> silent;
        for (const auto& r : rows_)
            if (r.notResponded) silent.push_back(r.address);
        if (!silent.empty() && panel_.ask(NotRespondedText(silent), "Warning", MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
            return End::Stopped;
        box("Mask the sensors from IR radiation and then click 'OK'", "Learn Background");
    } else {
        box("Click 'OK' to mask the sensors from IR radiation and start learning the background", "Learn Background");
        shutter(false);
        if (!pause(s_.shutterWaitMs)) return End::Aborted;
    }
    say("Calibration: Started learning the background");
    const unsigned long long start = link_.nowMs();
    for (;;) {
        if (!pollRound(true)) return End::Aborted;
        if (stopStep_) {
            panel_.setProgress(calwin::kProgress, 0);
            say("Calibration: Learning the background aborted");
            box("You can now start accumulating sums...\r\n\r\nExpose the IR sensors to flame - and then click OK",
                "Learning Background - done.");
            return End::Done;
        }
        const unsigned long long elapsed = (link_.nowMs() - start + 500) / 1000;
        if (s_.learnSec) panel_.setProgress(calwin::kProgress, static_cast<int>(std::min<unsigned long long>(100, elapsed * 100 / s_.learnSec)));
        if (elapsed >= s_.learnSec) break;
    }
    say("Calibration: Learning the background concluded");
    if (o_.manual) {
        box(family_.kind == ParamKind::Ir
                ? "Expose the IR sensors to flame - and then, click 'OK'.\r\nAccumulating Sums will be enabled a few "
                  "seconds later - - after the IR sensors have stabilized..."
                : "Expose the IR sensor to flame - and then, click 'OK'.\r\nAccumulating Sums will be enabled a few "
                  "seconds later - - after the IR sensor has stabilized...",
            "Learning Background - done.");
        return pause(s_.stabilizationSec * 1000) ? End::Done : End::Aborted;
    }
    for (auto& r : rows_) {
        if (r.failed >= kFailedOut || r.code < 0) continue;
        for (unsigned c = 0; c < family_.channels; ++c)
            if (r.bg[c] > s_.sumThresh) {
                ++r.failed;
                r.code = -3;
            }
    }
    if (rows_[0].code == -3) {
        say("Auto Calibration: Can't proceed - master's background too high...");
        return End::Stopped;
    }
    // Detectors finished earlier are no reason to rescale them all again.
    if (std::none_of(rows_.begin() + 1, rows_.end(), [](const Row& r) { return r.code == 0 && !r.earlier; })) {
        say("Auto Calibration: Can't proceed - no slaves with which to continue processing...");
        return End::Stopped;
    }
    box(family_.kind == ParamKind::Ir
            ? "Clicking 'OK' will expose the IR sensors to flame.\r\n\r\nAccumulating Sums will be enabled in a few "
              "seconds - - after the IR sensors have stabilized..."
            : "Clicking 'OK' will expose the IR sensor to flame.\r\n\r\nAccumulating Sums will be enabled in a few "
              "seconds - - after the IR sensor has stabilized...",
        "Learning Background - done.");
    shutter(true);
    return pause(s_.stabilizationSec * 1000) ? End::Done : End::Aborted;
}

Procedure::End Procedure::accumulate() {
    say("Calibration: Start accumulating sums");
    stopStep_ = false;
    for (auto& r : rows_) r.pending = !excluded(r);
    iterations_ = IterationsRule(s_.iterations);
    panel_.setText(calwin::kIterations, std::to_string(iterations_));
    accumulating_ = modeOpen_ = true;  // tried is enough: it may have gone out
    if (!x_.broadcastIterations(iterations_)) {
        if (o_.manual) {  // Start again
            say("ModbusGet(mdbs, D_CALIBRATION...) failed...");
            box("ModbusGet(mdbs, D_CALIBRATION...) failed...", "Error");
            return End::Stopped;
        } else {
            say("Auto Calibration: begin calibration broadcast failed...");
            setAll(-5);
            return End::Stopped;
        }
    }
    const unsigned long long begun = link_.nowMs();
    for (auto& r : rows_) r.counter = 0, r.counterSince = begun;
    for (;;) {
        bool any = false;
        for (size_t i = 0; i < rows_.size(); ++i) {
            Row& r = rows_[i];
            if (stopStep_) return End::Stopped;
            if (!r.pending) continue;
            if (r.failed > 0) {
                r.pending = false;
                continue;
            }
            any = true;
            const auto rec = x_.live(r.address);
            const unsigned long long now = link_.nowMs();
            if (rec) {
                const uint32_t counter = rec->u32(live::Iterations);
                if (counter < r.counter) {
                    say("Calibration: address %u: iteration counter fell from %u to %u", r.address, r.counter, counter);
                    ++r.failed;
                } else if (counter != r.counter) {
                    r.counter = counter;
                    r.counterSince = now;
                }
                if (family_.kind == ParamKind::Uvir) {
                    r.adjUv = rec->f32(live::AdjUv);
                    const long uv = std::lround(rec->f32(live::UvSum));
                    if (counter >= s_.minUvSumIter0 && counter < iterations_) {
                        r.minUv = static_cast<unsigned>(std::clamp<long>(std::min<long>(r.minUv, uv), 0, 2147483647));
                        if (uv < static_cast<long>(s_.uvSumThr)) {
                            uvFailed_ = true;
                            if (r.code >= 0) r.code = -12;
                        }
                    }
                    panel_.setText(calwin::kValue0 + 4 * static_cast<int>(i) + 3, std::to_string(r.minUv));
                }
                char shown[32];
                std::snprintf(shown, sizeof shown, "%u %c%u", counter, rec->mode(),
                              rec->state() == 99 ? 0u : unsigned{rec->state()});
                panel_.setText(calwin::kIterStat0 + static_cast<int>(i), shown);
                showValues(i, *rec, "%.0f");
                if (r.failed == 0 && counter >= iterations_) r.pending = false;
            } else {
                r.notResponded = true;
                ++r.failed;
            }
            if (r.pending && r.failed == 0 && now - r.counterSince > kStallMs) {
                say("Calibration: address %u: iteration counter stays at %u", r.address, r.counter);
                ++r.failed;
            }
            panel_.setText(kStatus, std::to_string(r.address) + " " + std::to_string(r.counter));
            if (!pause(kPauseMs)) return End::Aborted;
        }
        if (!any) break;
    }
    say("Calibration: Accumulating sums done");
    panel_.setText(calwin::kRowTitle, "S/N");
    for (size_t i = 0; i < rows_.size(); ++i)
        panel_.setText(calwin::kIterStat0 + static_cast<int>(i),
                       rows_[i].failed ? "N/A" : o_.manual ? "S/N?" : std::to_string(rows_[i].serial));
    if (o_.manual) box("Now ready to Burn", "Accumulating sums done");
    else say("Auto Calibration: Accumulating sums done - burning");
    return End::Done;
}

Procedure::End Procedure::burn() {
    if (o_.manual && uvFailed_ && panel_.ask(kUvBurnQuestion, "Warning", MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
        return End::Stopped;
    BurnBands(family_, s_.bands);
    for (unsigned k = 0; k < family_.quantities; ++k)
        if (family_.banded(k)) {
            char lo[16], hi[16];
            std::snprintf(lo, sizeof lo, "%.2f", s_.bands[k].lo);
            std::snprintf(hi, sizeof hi, "%.2f", s_.bands[k].hi);
            panel_.setText(calwin::kLo0 + static_cast<int>(k), lo);
            panel_.setText(calwin::kHi0 + static_cast<int>(k), hi);
        }
    // A master that restarted, went silent or stalled holds no (or reset) totals:
    // broadcasting its object would rescale every slave against it.
    if (rows_[0].failed > 0 || rows_[0].counter < iterations_) {
        if (o_.manual) {
            box("Error: Can't proceed - the master's accumulation did not complete...", "Error");
            return End::Stopped;
        }
        say("Auto Calibration: Can't proceed - the master's accumulation did not complete...");
        setAll(-7);
        return End::Stopped;
    }
    say("Calibration: Get 'calib' from master");
    auto object = x_.readObject();
    if (!object && o_.manual) {
        box("Error: Failed getting TCalibration object from master", "Error");
        return End::Stopped;
    }
    if (!object) {
        say("Auto Calibration: Failed getting TCalibration object from master...");
        setAll(-7);
        return End::Stopped;
    }
    rows_[0].serial = object->serial();
    say("Calibration: broadcast 'calib' to slaves");
    object->setApplyFlag(true);
    ++objectSeq_;
    objectTried_ = true;
    if (!x_.broadcastObject(*object)) {
        if (o_.manual) {
            box("Error: Broadcasting master calibration to slaves failed...", "Error");
            return End::Stopped;
        }
        say("Error: Broadcasting master calibration to slaves failed...");
        setAll(-7);
        return End::Stopped;
    }
    if (!pause(kAfterBroadcastMs)) return End::Aborted;
    for (size_t i = 0; i < rows_.size(); ++i) panel_.enable(calwin::kRadio0 + static_cast<int>(i), !excluded(rows_[i]));
    panel_.setText(calwin::kMonitorLabel, "View Scaling (click) && Parameters (double-click)");
    say("Calibration: can now view scaling and burn S/N");
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& r = rows_[i];
        if (!pause(kStepMs)) return End::Aborted;
        if (r.failed > 0) continue;
        char status[64];
        std::snprintf(status, sizeof status, "Processing address %u, S/N %u ...", r.address, r.serial);
        panel_.setText(kStatus, status);
        say("Calibration: Get 'scale' from slave %u", r.address);
        const auto scales = x_.readScale(r.address);
        if (!scales) {
            say("Calibration: Get 'scale' from slave %u failed...", r.address);
            r.code = -6;
            r.failed = kFailedOut;
            continue;
        }
        r.scales = *scales;
        showScales(r.scales);
        const double n = iterations_;
        auto avg = [&](unsigned scale, unsigned ref) { return r.scales[scale] * object->reference(ref) / n; };
        r.averages.clear();
        if (family_.kind == ParamKind::Ir)
            for (unsigned k = 0; k < family_.quantities; ++k) r.averages.push_back(avg(k, k));
        else
            r.averages = {avg(0, 0), avg(2, 1), avg(1, 2)};  // ratio high = scale 3 x reference 2
        panel_.setCheck(calwin::kRadio0 + static_cast<int>(i), 1);
        if (i == 0) continue;
        if (o_.manual) {
            r.verify = 1;
            panel_.setIndicator(calwin::kRadio0 + static_cast<int>(i), 2);
            continue;
        }
        const int burned = x_.burnSerial(r.address, r.serial);
        if (burned != 0) {
            r.code = burned;
            continue;
        }
        r.verify = 2;
        r.finishedThisPass = true;
        r.finishedSeq = objectSeq_;
    }
    if (o_.manual)
        box("Set detector S/N's in the fields marked 'S/N?'.\r\nNote: The S/N's will only be applied upon visual "
            "verification of parameters...\r\nYou can now proceed with calibration verification.",
            "Burn complete");
    else say("Done.");
    return End::Done;
}

bool Procedure::close() {
    for (size_t i = 1; i < rows_.size() && !o_.manual; ++i)
        if (rows_[i].code == 0 && rows_[i].verify == 0) rows_[i].code = -4;
    if (accumulating_) {
        if (x_.broadcastIterations(0)) {
            modeOpen_ = false;
        } else {
            say("ModbusSet(mdbs, D_CALIBRATION Off...) failed...");
        }
        accumulating_ = false;
    }
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& r = rows_[i];
        if (r.code == 0 && !r.scales.empty())
            for (unsigned k = 0; k < family_.quantities; ++k)
                if (family_.banded(k) && !s_.bands[k].passes(r.scales[k])) r.code = -11;
        if (r.finishedThisPass) r.finishedCode = r.code;
        // Finished before: nothing of this pass changed it unless the object went out
        // and it did not finish again (or finished out of its bands).
        if (r.earlier && (!objectTried_ || (r.finishedThisPass && r.code == 0))) r.code = 10;
    }
    return !modeOpen_;
}

Procedure::End Procedure::pass() {
    End e = background();
    if (e == End::Done) e = learn();
    if (e == End::Done) e = accumulate();
    if (e == End::Done) e = burn();
    if (e != End::Refused) close();
    return e;
}

State Procedure::stateOf(const Row& r, bool master) const {
    if (master) return State::Reference;
    if (modeOpen_) return State::CalibrationMode;
    if (objectSeq_ > r.finishedSeq) return State::CalibrationApplied;
    if (r.finishedSeq == 0) return State::Unchanged;
    return r.code == -11 || r.code == -12 ? State::OutOfTolerance : State::Calibrated;
}

RunResult Procedure::run() {
    RunResult result;
    std::optional<ResultsText> results;
    for (unsigned retry = 0;; ++retry) {
        for (size_t i = 0; i < rows_.size(); ++i) {
            Row& r = rows_[i];
            r.earlier = i > 0 && retry > 0 && (r.code == 0 || r.code == 10);
            r.code = 0;
            r.failed = r.good = 0;
            r.verify = i == 0 ? 2 : 0;
            r.scales.clear();
            r.averages.clear();
            r.minUv = 2147483647;
            r.adjUv = 0;
            r.finishedThisPass = false;
        }
        accumulating_ = objectTried_ = false;
        if (retry) {
            say("Auto Calibration: retry # %u", retry);
            s_ = LoadSettings(family_, o_.ini);
        }
        const End e = pass();
        if (e == End::Refused) {
            result.outcome = RunResult::Outcome::Refused;
            result.refusal = refusal_;
            return result;
        }
        if (!results) results.emplace(family_, family_.kind == ParamKind::Ir && masterAlt_, s_.sumThresh);
        results->beginPass(retry);
        for (auto& r : rows_) {
            if (r.code == 10) continue;
            ResultRow row;
            row.serial = r.serial;
            row.code = r.code;
            row.background = r.bg;
            row.scales = r.scales;
            row.averages = r.averages;
            row.minUvSum = r.minUv;
            row.adjUv = r.adjUv;
            results->addRow(row, s_.bands);
        }
        const std::string& text = results->text();
        result.resultsWritten = !o_.resultsPath.empty() &&
            WriteWholeFile(o_.resultsPath, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        if (!o_.resultsPath.empty() && !result.resultsWritten) say("Calibration: could not write %s", o_.resultsPath.c_str());
        if (e == End::Aborted) {
            result.outcome = RunResult::Outcome::Aborted;
            break;
        }
        const bool again = std::any_of(rows_.begin() + 1, rows_.end(), [](const Row& r) { return r.code != 0 && r.code != 10; });
        if (!again || retry >= o_.retries) break;
    }
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        const State st = stateOf(r, i == 0);
        result.rows.push_back({r.address, r.serial, r.code, st});
        say("Calibration: address %u, S/N %u, code %d: %s", r.address, r.serial, r.code, StateName(st));
    }
    if (const std::string unfinished = UnfinishedText(result); !unfinished.empty()) box(unfinished, "Warning");
    return result;
}

std::string UnfinishedText(const RunResult& result) {
    std::string unfinished;
    for (const DetectorEnd& r : result.rows) {
        if (r.state != State::CalibrationApplied && r.state != State::CalibrationMode) continue;
        char line[200];
        std::snprintf(line, sizeof line, "  address %u, S/N %u: %s - %s\r\n", r.address, r.serial, StateName(r.state),
                      r.state == State::CalibrationMode ? "end the mode ('calib off') or reset the detector"
                                                        : "it holds a calibration nobody checked: calibrate it again");
        unfinished += line;
    }
    return unfinished.empty() ? unfinished : "The calibration of these detectors is unfinished:\r\n" + unfinished;
}

RunResult RunAutoCalibration(Panel& panel, CalibLink& link, const RunOptions& options) {
    return Procedure(panel, link, options).run();
}

Calibration::Calibration(Panel& panel, CalibLink& link, RunOptions options)
    : p_(std::make_unique<Procedure>(panel, link, std::move(options))) {}
Calibration::~Calibration() = default;
Calibration::End Calibration::background() { return p_->step(&Procedure::background); }
Calibration::End Calibration::learn() { return p_->step(&Procedure::learn); }
Calibration::End Calibration::accumulate() { return p_->step(&Procedure::accumulate); }
Calibration::End Calibration::burn() { return p_->step(&Procedure::burn); }
bool Calibration::close() { return p_->close(); }
void Calibration::showScale(size_t row) { p_->showScale(row); }
void Calibration::stopStep() { p_->stopStep(); }
bool Calibration::accumulationBegun() const { return p_->begun(); }
unsigned Calibration::respondingSlaves() const { return p_->responding(); }
unsigned Calibration::unverifiedSlaves() const { return p_->unverified(); }
void Calibration::verified(size_t row) { p_->verified(row); }
unsigned Calibration::address(size_t row) const { return p_->address(row); }
Settings& Calibration::settings() { return p_->settings(); }

int PrepareRun(RunOptions& options, const std::string& serials, std::string* error) {
    if (options.addresses.size() > kMaxRows) options.addresses.resize(kMaxRows);
    if (const auto rows = CheckRows(options.addresses)) {
        *error = *rows;
        return kExitRefused;
    }
    std::vector<std::string> items;
    for (size_t at = 0;;) {
        const size_t comma = serials.find(',', at);
        items.push_back(serials.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    if (items.size() != options.addresses.size() - 1) {
        *error = std::to_string(items.size()) + " serial number(s) for " +
                 std::to_string(options.addresses.size() - 1) + " slave(s)";
        return kExitUsage;
    }
    options.serials.clear();
    for (const auto& item : items) {
        const auto serial = SerialNumber(ScannedLabel(item));
        if (!serial) {
            *error = std::string(kSerialCaption) + ": " + kSerialText + " ('" + item + "')";
            return kExitUsage;
        }
        options.serials.push_back(*serial);
    }
    ::mkdir("Results", 0777);
    struct stat st{};
    if (::stat("Results", &st) != 0 || !S_ISDIR(st.st_mode) || ::access("Results", W_OK | X_OK) != 0) {
        *error = "the folder Results cannot be written";
        return kExitUsage;
    }
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    options.resultsPath = ResultsFileName(utc);
    return kExitOk;
}

int RunExitCode(const RunResult& result) {
    if (result.outcome == RunResult::Outcome::Refused) return kExitRefused;
    // A results file that could not be written is the file's fault, whatever the detectors did.
    if (!result.resultsWritten) return kExitUsage;
    if (result.outcome == RunResult::Outcome::Aborted) return kExitFailed;
    bool allDone = true, allWritten = true;
    for (size_t i = 1; i < result.rows.size(); ++i) {
        const int c = result.rows[i].code;
        allDone = allDone && (c == 0 || c == 10);
        allWritten = allWritten && (c == 0 || c == 10 || c == -10 || c == -11 || c == -12);
    }
    return allDone ? kExitOk : allWritten ? kExitUnverified : kExitFailed;
}

}  // namespace autocal
