#include "monitor/Maint.h"

#include <cctype>
#include <cstdio>
#include <mutex>
#include <utility>

#include "monitor/CMaintIds.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "shell/Catalogue.h"
#include "util/Keyboard.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace maint {
namespace {

using Names = std::array<const char*, live::kChannels>;

constexpr Names kIr = {"smp45", "smp5", "smp4", "smp44", "vsum45", "vsum5", "vsum4", "vsum44", "bit_vsum45",
                       "bit_vsum5", "bit_vsum4", "bit_vsum44", "vratio45to4", "vratio45to5", "vratio4to5",
                       "vratio44to4", "vratio44to5", "vratio44to45", "vcor45to4", "vcor45to5", "vcor44to4",
                       "vcor44to5", "vcor44to45", "vcor4to5", "avNoise45", "avNoise44", "avNoise4", "avNoise5",
                       "vsum45minus4", "vsum45minus5", "vsum44minus4", "vsum44minus5", "Qtemp", "tempgradient",
                       "Vin"};
constexpr Names kAlternate = {
    "smp45", "smp5", "smp24", "smp3", "vsum45", "vsum5", "vsum24", "vsum3", "bit_vsum45", "bit_vsum5", "bit_vsum24",
    "bit_vsum3", "vratio45to24", "vratio45to5", "vratio24to5", "vratio3to24", "vratio3to5", "vratio3to45",
    "vcor45to24", "vcor45to5", "vcor3to24", "vcor3to5", "vcor3to45", "vcor4to5", "avNoise45", "avNoise3",
    "avNoise24", "avNoise5", "vsum45minus24", "vsum45minus5", "vsum3minus24", "vsum3minus5", "Qtemp",
    "tempgradient", "Vin"};
constexpr Names kUvir = {"N/A", "smp45", "N/A", "N/A", "AvgSmp45", "sum_first_pass", "sum_lo_pass", "sum_hi_pass",
                         "bit_UV_sum", "bit_sum_first_pass", "bit_sum_lo_pass", "bit_sum_hi_pass", "AdjUV",
                         "HiVoltage", "vratio_hi2lo", "N/A", "N/A", "N/A", "N/A", "N/A", "sum_first_pass_thr",
                         "sum_first_pass_benz_thr", "vratio_hi_thr", "vratio_hi_benz_thr", "vratio_lo_thr",
                         "vratio_lo_benz_thr", "UV_sum", "UV_Slow_Alarm_Thr", "UV_Pulse_Fast_Det_Counter",
                         "UV_Fast_Det_Thr", "FastIRSig", "IRFastAbsThrA2D", "Qtemp", "tempgradient", "Vin"};

// Channels 0..3 carry A/D counts; this turns them into volts.
constexpr double kCountsToVolts = 0.000494025735294;
constexpr size_t kBitOffsets[] = {live::BitSum45, live::BitSum5, live::BitSum4, live::BitSum44};

std::string line(const char* format, double v) {
    char b[64];
    std::snprintf(b, sizeof b, format, v);
    return b;
}

}  // namespace

Variant VariantOf(const LiveRecord& r) {
    return r.uvirModel() ? Variant::Uvir : r.alternateSensor() ? Variant::Alternate : Variant::Ir;
}

const Names& ChannelNames(Variant v) { return v == Variant::Uvir ? kUvir : v == Variant::Alternate ? kAlternate : kIr; }

double DisplayFactor(Variant v, size_t channel) {
    if (channel >= live::kChannels) return 0;
    if (v == Variant::Uvir) return std::string_view(kUvir[channel]) == "N/A" ? 0 : 1;
    if (channel >= 12 && channel <= 17) return 10;
    if ((channel >= 18 && channel <= 23) || channel == 26 || channel == 27) return 100;
    return 1;
}

double ChannelValue(const LiveRecord& r, size_t channel, Variant v, bool usUnits) {
    if (channel >= live::kChannels) return 0;
    const size_t at = live::ChannelOffset(channel);
    const double raw = channel < 4 ? r.i32(at) * kCountsToVolts : static_cast<double>(r.f32(at));
    const double shown = raw * DisplayFactor(v, channel);
    return channel == kQtemp && usUnits ? shown * 1.8 + 32 : shown;
}

std::string Shown(double value) { return line("%5.2f", value); }

std::array<double, 4> BitSums(const LiveRecord& r) {
    std::array<double, 4> sums{};
    for (size_t i = 0; i < 4; ++i) sums[i] = r.f32(kBitOffsets[i]);
    return sums;
}

std::vector<std::string> SummaryLines(const std::array<double, 4>& s) {
    const std::string dashes = "---------------------------";
    return {"Embedded BIT results:",           dashes, line("bit_vsum45 %5.2f", s[0]), line("bit_vsum5 %5.2f", s[1]),
            line("bit_vsum4 %5.2f", s[2]),      line("bit_vsum44 %5.2f", s[3]), dashes};
}

// --- BitRun

void BitRun::request(unsigned long long nowMs) {
    close();
    requestMs_ = nowMs;
    state_ = kStartRequested;
    shown_ = result_ = {};
}

void BitRun::close() {
    if (file_.is_open()) file_.close();
    state_ = kIdle;
}

BitRun::Step BitRun::fail() {
    close();
    return Step::FileFailed;
}

BitRun::Step BitRun::onRecord(const LiveRecord& r, unsigned long long nowMs) {
    const char mode = r.mode();
    if (state_ == kWaiting && mode == 'M') {
        file_.open(path_, std::ios::out | std::ios::trunc);
        file_ << "#\t state\t bit_vsum45\t bit_vsum4\t bit_vsum5\t bit_vsum44\t vsum45\t vsum4\t vsum5\t vsum44\n";
        file_.flush();
        if (!file_) return fail();
        state_ = 1;
    } else if (state_ == kWaiting) {
        if (mode == 'N' && nowMs - requestMs_ > kStartLimitMs) {
            close();
            return Step::NotStarted;
        }
        return Step::None;
    }
    if (state_ < 1) return Step::None;

    // The file's columns run 45, 4, 5, 44; the fields 45, 5, 4, 44.
    const auto f = [&r](size_t at) { return static_cast<double>(r.f32(at)); };
    char b[256];
    std::snprintf(b, sizeof b, "%d\t%c\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\n", state_, mode,
                  f(live::BitSum45), f(live::BitSum4), f(live::BitSum5), f(live::BitSum44), f(live::Sum45),
                  f(live::Sum4), f(live::Sum5), f(live::Sum44));
    file_ << b;
    file_.flush();
    if (!file_) return fail();
    shown_ = BitSums(r);
    if (mode == 'N') {
        close();
        return Step::Finished;
    }
    result_ = shown_;
    if (static_cast<unsigned>(state_) >= kMaxRecords) {
        close();
        return Step::Cut;
    }
    ++state_;
    return Step::Logged;
}

// --- MaintPoll

MaintPoll::MaintPoll(std::shared_ptr<Panel> panel, Hooks hooks, std::string bitPath)
    : panel_(std::move(panel)), hooks_(std::move(hooks)), bit_(std::move(bitPath)) {}

void MaintPoll::requestBit(unsigned long long nowMs) {
    bit_.request(nowMs);
    panel_->enable(maintwin::kBit, false);
}

void MaintPoll::clearResults() {
    for (int i = 0; i < 4; ++i) panel_->setText(maintwin::kBitResult0 + i, "");
    panel_->enable(maintwin::kBit, true);
}

void MaintPoll::close() { bit_.close(); }

void MaintPoll::blank() {
    for (int id : {maintwin::kAddress, maintwin::kSerial, maintwin::kModel, maintwin::kModeState, maintwin::kStateText})
        panel_->setText(id, "");
    for (int i = 0; i < maintwin::kChannels; ++i) panel_->setText(maintwin::kValue0 + i, "");
}

void MaintPoll::tick(unsigned long long nowMs) {
    if (inTick_ || (hooks_.outputSuspended && hooks_.outputSuspended()) || CurrentKeys().shift) return;
    exchange(nowMs);
    // The box waits for the user: not while the link is held.
    if (std::exchange(logFailed_, false))
        panel_->ask("Cannot write " + bit_.path() + ":\r\n\r\nthe BIT log is stopped.", "Error",
                    MB_OK | MB_ICONERROR);
}

void MaintPoll::exchange(unsigned long long nowMs) {
    std::lock_guard lock(LinkLock());
    inTick_ = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{inTick_};
    if (failures_ > 10) {
        backOff_ = 20;
        failures_ = 0;
    }
    if (backOff_ > 0) {
        modbus_flush(Wire().ctx);
        --backOff_;
        return;
    }
    if (bit_.state() == BitRun::kStartRequested) {
        for (int i = 0; i < 4; ++i) panel_->setText(maintwin::kBitResult0 + i, "");
        SendManualBit();
        bit_.sent();
        return;
    }
    const auto record = ReadLiveRecord();
    if (!record) {
        ++failures_;
        Wire().lastResponder = 255;
        if (failures_ >= 3) blank();
        return;
    }
    failures_ = 0;
    show(*record, nowMs);
}

void MaintPoll::show(const LiveRecord& r, unsigned long long nowMs) {
    Panel& p = *panel_;
    Wire().lastResponder = r.address();
    p.setText(maintwin::kAddress, std::to_string(r.address()));
    p.setText(maintwin::kSerial, std::to_string(r.serial()));
    p.setText(maintwin::kModel, ModelName(r.header().model));
    const char mode = static_cast<char>(std::toupper(static_cast<unsigned char>(r.mode())));
    p.setText(maintwin::kModeState, std::string(1, mode) + std::to_string(r.state()));
    p.setText(maintwin::kStateText, StatusLine(r.mode(), r.state()));
    if (!bit_.running()) p.enable(maintwin::kBit, r.mode() != 'A');

    if (bit_.running()) {
        const BitRun::Step step = bit_.onRecord(r, nowMs);
        if (step == BitRun::Step::Logged || step == BitRun::Step::Finished || step == BitRun::Step::Cut)
            for (int i = 0; i < 4; ++i) p.setText(maintwin::kBitResult0 + i, Shown(bit_.shownSums()[i]));
        if (step == BitRun::Step::Finished || step == BitRun::Step::Cut) {
            for (const std::string& l : SummaryLines(bit_.resultSums())) DebugLog("%s", l.c_str());
            p.setTimer(maintwin::kClearTimer, 8000, true);
        }
        if (step == BitRun::Step::FileFailed) logFailed_ = true;
        if (!bit_.running()) p.enable(maintwin::kBit, r.mode() != 'A');
    }

    const Variant v = VariantOf(r);
    if (v != variant_) {
        variant_ = v;
        if (hooks_.refill) hooks_.refill(v);
    }
    const bool us = hooks_.usUnits && hooks_.usUnits();
    const auto chosen = RememberedChannels();
    for (int i = 0; i < maintwin::kChannels; ++i)
        p.setText(maintwin::kValue0 + i, Shown(ChannelValue(r, chosen[static_cast<size_t>(i)], v, us)));
}

// --- the wire

std::optional<LiveRecord> ReadLiveRecord() {
    const CommandInfo* info = commandInfo(D_DATA2HOST);
    std::vector<uint8_t> frame(info->responseSize);
    const unsigned long long t0 = TickMs();
    const int r = ModbusGet(0, D_DATA2HOST, Wire().ctx, frame.data(), info->responseSize, 100, 500);
    if (CurrentKeys().ctrl)
        ProtocolLog("ModbusGet(D_DATA2HOST) elapsed %u", static_cast<unsigned>(TickMs() - t0));
    if (r != static_cast<int>(info->responseSize)) {
        if (r > 0 && frame[0] == 255)
            DebugLog("ModbusGet(%s) returned %d bytes instead of %u", "D_DATA2HOST", r, info->responseSize);
        return std::nullopt;
    }
    return LiveRecord::Decode(frame);
}

void SendManualBit() {
    // Quiet line before and after: the request has no answer to wait for.
    PumpWait(50);
    modbus_flush(Wire().ctx);
    ModbusSet(0, nullptr, Wire().ctx, D_MANUAL_BIT);
    PumpWait(50);
    modbus_flush(Wire().ctx);
}

namespace {
std::mutex g_channelsMutex;
std::array<size_t, 5> g_channels = kDefaultChannels;
}  // namespace

std::array<size_t, 5> RememberedChannels() {
    std::lock_guard lock(g_channelsMutex);
    return g_channels;
}

void RememberChannel(size_t selector, size_t channel) {
    std::lock_guard lock(g_channelsMutex);
    if (selector < g_channels.size() && channel < live::kChannels) g_channels[selector] = channel;
}

void RememberDefaultChannels() {
    std::lock_guard lock(g_channelsMutex);
    g_channels = kDefaultChannels;
}

}  // namespace maint
