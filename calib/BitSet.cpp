#include "calib/BitSet.h"

#include <cmath>
#include <cstdio>

#include "calib/CCalibrateBITIds.h"
#include "shell/Catalogue.h"

namespace bitcal {

void BitSet::start(Which which) {
    which_ = which;
    panel_.enable(bitwin::kBurn, false);
    for (int i = 0; i < 3; ++i) panel_.setText(bitwin::kReading0 + i, "");
    counter_ = which == Which::Dark ? 0 : 3;
    phase_ = -1;
    retries_ = ticks_ = 0;
    readings_ = {};
    average_.reset();
    error_.clear();
    running_ = true;
    showLoop();
    panel_.setText(bitwin::kResult, "Waiting for state 'N'...");
}

void BitSet::showLoop() {
    char b[64];
    if (counter_ < 3) std::snprintf(b, sizeof b, "Dark BIT: loop %d, retry %u", counter_ + 1, retries_);
    else std::snprintf(b, sizeof b, "Bright BIT: loop %d, retry %u", counter_ - 2, retries_);
    panel_.setText(bitwin::kProgress, b);
}

bool BitSet::loopRuns(int counter) const {
    if (counter == 3 || counter >= 6) return false;
    return config_.kind == Kind::Ir || config_.durations[size_t(counter % 3)] > 0;
}

BitSet::Tick BitSet::fail(std::string text) {
    running_ = false;
    error_ = std::move(text);
    return Tick::Failed;
}

BitSet::Tick BitSet::finish() {
    running_ = false;
    panel_.setText(bitwin::kProgress, "");
    panel_.setText(bitwin::kResult, "");
    average_ = SetAverage(config_.kind, readings_, config_.durations);
    const int field = which_ == Which::Dark ? bitwin::kDarkAvg : bitwin::kBrightAvg;
    panel_.setText(field, average_ ? std::to_string(*average_) : "");
    panel_.enable(field, average_.has_value());
    return Tick::Done;
}

bool BitSet::take(const LiveRecord& r) {
    panel_.setText(bitwin::kAddress, std::to_string(r.address()));
    panel_.setText(bitwin::kSerial, std::to_string(r.serial()));
    panel_.setText(bitwin::kModel, ModelName(r.header().model));
    panel_.setText(bitwin::kModeState, std::string(1, r.mode()) + std::to_string(r.state()));
    qtemp_ = r.temperature();
    if (config_.kind == Kind::Uv && r.mode() == 'F' && (r.state() == 43 || r.state() == 48 || r.state() == 51)) {
        char b[64];
        std::snprintf(b, sizeof b, "UV HW fault %c%u\r\nAborting calibration", r.mode(), unsigned(r.state()));
        error_ = b;
        running_ = false;
        return false;
    }
    return true;
}

BitSet::Tick BitSet::tick() {
    if (!running_) return Tick::Failed;
    if (phase_ == 0) {
        if (retries_ >= kRetries) return fail("Timed out waiting for BIT to start...");
        link_.manualBit(config_.kind == Kind::Uv ? std::optional<uint8_t>(uint8_t(config_.durations[size_t(counter_ % 3)]))
                                                 : std::nullopt);
        phase_ = 1;
        ticks_ = 0;
        panel_.setText(bitwin::kResult, "Waiting for state 'M' or 'E' ...");
        return Tick::Running;
    }
    if (phase_ < -1 || phase_ > 2) return fail("This shouldn't happen!!!");

    const auto r = link_.read();
    if (r && !take(*r)) return Tick::UvFault;
    if (phase_ == -1) {
        if (r && r->mode() == 'N') phase_ = 0;
        else if (++ticks_ >= kWaitNTicks) return fail("Timed out waiting for state 'N'");
        return Tick::Running;
    }
    const size_t at = config_.kind == Kind::Ir ? live::BitSum4 : live::UvBitSum;
    // A sum that is not a plain count is a failed read, not a reading.
    const float sum = r ? r->f32(at) : 0;
    if (!r || !std::isfinite(sum) || std::fabs(sum) > 1e9f) return Tick::Running;
    const long reading = std::lround(double(sum));
    readings_[size_t(counter_ % 3)] = reading;
    panel_.setText(bitwin::kReading0 + counter_ % 3, std::to_string(reading));
    const bool lit = r->mode() == 'M' || r->mode() == 'E';

    if (phase_ == 1) {
        if (lit) {
            phase_ = 2;
            panel_.setText(bitwin::kResult, "Waiting for state 'N' ...");
            return Tick::Running;
        }
        // UV: the loop's index within its set sets the limit, not its duration.
        const unsigned limit =
            config_.kind == Kind::Ir ? kIrBitTicks : (config_.postManbit + unsigned(counter_ % 3)) * 10;
        if (++ticks_ > limit) {
            if (++retries_ >= kRetries) return fail("Timed out waiting for BIT to conclude...");
            showLoop();
            panel_.setText(bitwin::kResult, "Timed out waiting for BIT to conclude - retrying...");
            phase_ = 0;
        }
        return Tick::Running;
    }

    // Phase 2: the BIT has ended on 'N' (IR), on anything but 'M' or 'E' (UV).
    if (config_.kind == Kind::Ir ? r->mode() != 'N' : lit) return Tick::Running;
    ++counter_;
    if (!loopRuns(counter_)) return finish();
    phase_ = -1;
    ticks_ = retries_ = 0;
    showLoop();
    return Tick::Running;
}

UvClose CloseInUvMode(Panel& panel, const std::function<bool()>& leave) {
    const int answer = panel.ask(
        "Calibration Mode still active\r\n\r\nTo exit anyway click 'Ok' and restart the detector\r\n"
        "Otherwise click 'Cancel'",
        "Error", MB_OKCANCEL | MB_ICONERROR);
    if (answer != IDOK) {
        panel.setText(bitwin::kProgress, "UV BIT Calibration Mode still active...");
        panel.setText(bitwin::kResult, "Exit Calibration Mode before leaving dialog.");
        return UvClose::Stay;
    }
    if (leave()) return UvClose::Left;
    panel.ask("Exiting UV BIT Calibration Mode - FAILED\r\n\r\nRestart the detector", "Error", MB_OK | MB_ICONERROR);
    return UvClose::LeftInMode;
}

}  // namespace bitcal
