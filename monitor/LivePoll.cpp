#include "monitor/LivePoll.h"

#include <chrono>
#include <thread>

#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "shell/ShellState.h"
#include "util/Keyboard.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

constexpr unsigned kFailedWaitMs = 100, kReplayWaitMs = 250;

int RequestLive(unsigned address, std::array<uint8_t, live::kSize>& frame) {
    if (!SelectSlave(address)) return -1;
    DebugLog("modbus_set_slave(%u)", address);
    frame.fill(0xFF);
    const unsigned long long t0 = TickMs();
    const int got = ModbusGetShort(live::kSize, frame.data(), D_DATA2HOST, 0);
    if (CurrentKeys().ctrl) ProtocolLog("ModbusGet(D_DATA2HOST) elapsed %u", static_cast<unsigned>(TickMs() - t0));
    return got;
}

}  // namespace

LivePoll::LivePoll(Options options) : options_(std::move(options)) {
    if (!options_.request) options_.request = RequestLive;
}

void LivePoll::wait(unsigned ms) const {
    if (options_.wait) options_.wait(ms);
    else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void LivePoll::attachRecorder(std::shared_ptr<Recorder> recorder) {
    std::lock_guard lock(mutex_);
    recorder_ = std::move(recorder);
}

void LivePoll::attachFailReasons(std::shared_ptr<FailReasons> failReasons) {
    std::lock_guard lock(mutex_);
    failReasons_ = std::move(failReasons);
}

void LivePoll::setGradAlarm(bool on) {
    std::lock_guard lock(mutex_);
    gradAlarm_ = on;
}

void LivePoll::setReplay(Replay replay) {
    std::lock_guard lock(mutex_);
    const size_t count = ringFilled_ ? kHistory : ringWrite_;
    if (replay_ == Replay::Live && replay != Replay::Live) replayPos_ = count ? count - 1 : 0;
    replay_ = count || replay == Replay::Live ? replay : Replay::Stopped;
}

LivePoll::Replay LivePoll::replay() const {
    std::lock_guard lock(mutex_);
    return replay_;
}

size_t LivePoll::historyCount() const {
    std::lock_guard lock(mutex_);
    return ringFilled_ ? kHistory : ringWrite_;
}

bool LivePoll::historyFilled() const {
    std::lock_guard lock(mutex_);
    return ringFilled_;
}

std::optional<LiveRecord> LivePoll::historyEntry(size_t age) const {
    std::lock_guard lock(mutex_);
    const size_t count = ringFilled_ ? kHistory : ringWrite_;
    if (age >= count) return std::nullopt;
    return LiveRecord::Decode(ring_[(ringWrite_ + kHistory - 1 - age) % kHistory]);
}

unsigned LivePoll::nextAddress() const {
    const auto selected = options_.selection ? options_.selection() : std::vector<uint8_t>{};
    std::lock_guard lock(mutex_);
    return selected.empty() ? 0 : selected[rotation_ % selected.size()];
}

LiveStep LivePoll::tick() {
    if (replay() != Replay::Live) return replayStep();
    return poll(options_.selection ? options_.selection() : std::vector<uint8_t>{});
}

LiveStep LivePoll::replayStep() {
    LiveStep step;
    step.replayed = true;
    {
        std::lock_guard lock(mutex_);
        step.historyFilled = ringFilled_;
        if (replay_ == Replay::Stopped) return step;
        const size_t count = ringFilled_ ? kHistory : ringWrite_;
        if (replayPos_ < count) step.record = LiveRecord::Decode(ring_[(ringWrite_ + kHistory - 1 - replayPos_) % kHistory]);
        // The newest entry is the last one shown; stepping shows one at a time.
        if (replayPos_ == 0 || replay_ == Replay::Stepping) replay_ = Replay::Stopped;
        else --replayPos_;
    }
    if (step.record) step.address = step.record->address();
    if (replay() == Replay::Playing) wait(kReplayWaitMs);
    return step;
}

LiveStep LivePoll::poll(const std::vector<uint8_t>& selected) {
    LiveStep step;
    if (selected.empty()) return step;
    std::shared_ptr<Recorder> recorder;
    std::shared_ptr<FailReasons> failReasons;
    bool gradAlarm;
    {
        std::lock_guard lock(mutex_);
        step.address = selected[rotation_++ % selected.size()];
        recorder = recorder_;
        failReasons = failReasons_;
        gradAlarm = gradAlarm_;
    }
    if (recorder) recorder->advance(selected.size());

    std::array<uint8_t, live::kSize> frame;
    step.result = options_.request(step.address, frame);
    if (step.result == static_cast<int>(live::kSize)) step.record = LiveRecord::Decode(frame);
    if (!step.record) {
        if (step.result < static_cast<int>(live::kSize))
            ProtocolLog("ModbusGet(D_DATA2HOST) returned %d bytes instead of %u", step.result,
                        static_cast<unsigned>(live::kSize));
        if (recorder) recorder->missed(step.address, selected);
        wait(kFailedWaitMs);
        std::lock_guard lock(mutex_);
        step.historyFilled = ringFilled_;
        return step;
    }
    if (options_.history) {
        std::lock_guard lock(mutex_);
        if (ring_.size() < kHistory) ring_.resize(kHistory);
        ring_[ringWrite_] = frame;
        ringWrite_ = (ringWrite_ + 1) % kHistory;
        if (ringWrite_ == 0) ringFilled_ = true;
        step.historyFilled = ringFilled_;
    }
    if (failReasons && !failReasons->analyse(*step.record, gradAlarm)) step.errorFile = failReasons->errorFile();
    if (recorder && recorder->on()) {
        if (recorder->typeRefreshDue()) {
            step.typeRefresh = true;
            // The record just read carries the model code: the type is read again from it.
            if (options_.readType) options_.readType(step.address);
            else Shell().detector.uvirModel = step.record->uvirModel();
        } else {
            step.recorded = recorder->offer(*step.record, selected);
            if (step.recorded.written) Shell().detector.uvirModel = step.record->uvirModel();
            if (step.recorded.failed && step.errorFile.empty()) step.errorFile = recorder->errorFile();
        }
    }
    return step;
}
