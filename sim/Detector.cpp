#include "sim/Detector.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/ParamRecord.h"

namespace wsim {

namespace {
constexpr int64_t kBaudRevertMs = 15 * 60'000;
constexpr int64_t kRebootSilentMs = 1'500;
constexpr int64_t kStartupStateMs = 5'000;
constexpr int64_t kAutoBitMs = 2'000;
constexpr int64_t kAlarmMs = 10'000;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// Alarm delay setting to the pre-alarm time; index 1 is the anti-flare delay.
constexpr int64_t kDelayMs[8] = {0, 1'000, 3'000, 5'000, 10'000, 15'000, 20'000, 30'000};

}  // namespace

std::string versionTextOf(bool uvir, uint16_t model, uint8_t major, uint8_t sub) {
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "%s detector firmware %u.%u (model 0x%04X)\r\nApp %u.%u build 2023-11-06\r\n"
                  "Boot 1.05\r\n",
                  uvir ? "UV/IR" : "IR4", major, sub, model, major, sub);
    return buf;
}

Detector::Detector(const DetectorConfig& cfg, int64_t now) {
    flash_.address = cfg.address;
    flash_.model = cfg.model ? cfg.model : (cfg.uvir ? 0x0592 : 0x0590);
    flash_.serial = serialOf(cfg);
    flash_.picture = cfg.picture;
    flash_.tags = cfg.tags;
    flash_.setup = factorySetup(cfg.address, uvir());
    if (cfg.locked) flash_.setup[setup::LockState] = 1;
    setPassword(flash_.setup, setup::MaintPassword, cfg.maint);
    setPassword(flash_.setup, setup::AdminPassword, cfg.admin);
    sealSetup(flash_.setup, 0);
    flash_.product = cfg.product.empty() ? (uvir() ? "WXUV-592" : "WXIR-590") : cfg.product.substr(0, 8);
    flash_.fwMajor = cfg.fwMajor;
    flash_.fwSub = cfg.fwSub;
    flash_.version = versionTextOf(uvir(), flash_.model, flash_.fwMajor, flash_.fwSub);
    flash_.altSensor = cfg.altSensor;
    lamp_ = static_cast<Lamp>(std::min<uint8_t>(cfg.lamp, 2));
    dci_ = cfg.dci;
    dciFactor_ = cfg.dciFactor;
    err420_[0] = cfg.err4;
    err420_[1] = cfg.err20;
    streamAtLineSpeed_ = cfg.streamAtLineSpeed;
    flash_.params = factoryParams(uvir(), flash_.serial);
    scales_.assign(uvir() ? 3 : 10, 1.0);
    if (!cfg.gains.empty()) setGains(cfg.gains);
    if (cfg.bg >= 0) setBackground(cfg.bg);
    devInfo_ = factoryDevInfo();
    flash_.workSince = now;
    logRing_ = {cfg.ringSectors, cfg.ringSlots, cfg.maxRecs, cfg.logFlags, 0, 0, {}};
    eraseLog();
    writeLogRecords(cfg.logRecords, now);
    resetVolatile(now);
    deafUntil_ = startupUntil_ = 0;  // already running when the line starts
}

bool Detector::uvir() const {
    const uint8_t type = flash_.model & 0xFF;
    return type == 0x82 || type == 0x88 || type == 0x92 || type == 0x98;
}

void Detector::resetVolatile(int64_t now) {
    baud_ = 9600;
    pendingBaud_ = 0;
    lastHeard_ = now;
    elevation_ = 0;
    elevationUntil_ = 0;
    reset420();
    deafUntil_ = now + kRebootSilentMs;
    hungUntil_ = 0;
    startupUntil_ = deafUntil_ + kStartupStateMs;
    startupState_ = 90;
    paramReadAt_ = -1;
    setupShownUntil_ = 0;
    bitStart_ = -1;
    lampHeld_ = uvBitCal_ = false;
    autoBitStart_ = -kNever / 2;
    alarmStart_ = -1;
    alarmLatched_ = false;
    fireStart_ = -1;
    fmOrigin_ = now;
    fmFire_ = {};
    bootMs_ = now;
    messages_.clear();
    logPosition_ = 0;
    resetCalibration();
    raw_ = {};
    q100_ = {};
}

void Detector::restart(int64_t now) {
    installFirmware();
    resetVolatile(now);
}

void Detector::hang(int64_t now, int64_t watchdogMs) {
    hungUntil_ = watchdogMs > 0 ? now + watchdogMs : kNever;
    elevation_ = 0;
}

bool Detector::alive(int64_t now) {
    update(now);
    return hungUntil_ == 0 && now >= deafUntil_;
}

void Detector::noteFrameHeard(int64_t now) { lastHeard_ = now; }

void Detector::update(int64_t now) {
    if (hungUntil_ && hungUntil_ != kNever && now >= hungUntil_) restart(hungUntil_);
    if (pendingBaud_ && now >= baudSwitchAt_) {
        baud_ = pendingBaud_;
        pendingBaud_ = 0;
        lastHeard_ = baudSwitchAt_;
    }
    // A detector left at another speed by a host that went away must become
    // reachable again at the speed every host starts with.
    if (baud_ != 9600 && !pendingBaud_ && !streaming() && now - lastHeard_ >= kBaudRevertMs) baud_ = 9600;
    if (elevation_ && now >= elevationUntil_) elevation_ = 0;
    if (bitStart_ >= 0 && now >= bitEEnd_) bitStart_ = -1;
    if (alarmStart_ >= 0 && now >= alarmAEnd_) {
        alarmLatched_ = flash_.setup[setup::AlarmLatch] == 1;
        alarmStart_ = -1;
    }
    if (flash_.setup[setup::EnableAutoBIT] == 1) {
        const int64_t period = int64_t{flash_.setup[setup::BitPeriod]} * 60'000;
        if (period > 0) {
            const int64_t due = bootMs_ + ((now - bootMs_) / period) * period;
            if (due > bootMs_) autoBitStart_ = due;
        }
    }
}

bool Detector::inAlarm(int64_t now) const {
    return alarmLatched_ || (alarmStart_ >= 0 && now < alarmAEnd_);
}

int Detector::elevationLevel(int64_t now) {
    update(now);
    return elevation_;
}

bool Detector::permitted(int needLevel, int64_t now) {
    if (!locked()) return true;
    update(now);
    return elevation_ >= needLevel;  // level 3 counts as ADMIN
}

bool Detector::patchParams(size_t offset, const Bytes& bytes) {
    if (offset > flash_.params.size() || bytes.size() > flash_.params.size() - offset) return false;
    std::copy(bytes.begin(), bytes.end(), flash_.params.begin() + static_cast<long>(offset));
    return true;
}

void Detector::setFault(unsigned bit, bool on) {
    if (bit >= 96) return;
    const uint32_t mask = 1u << (bit % 32);
    if (on)
        faults_[bit / 32] |= mask;
    else
        faults_[bit / 32] &= ~mask;
}

void Detector::simulateAlarm(int64_t now) {
    update(now);
    if (bitStart_ >= 0) return;
    alarmStart_ = now;
    alarmAEnd_ = now + kDelayMs[flash_.setup[setup::Delay] & 7] + kAlarmMs;
    messages_ += "Detection Cond: simulated alarm\nDetection time: 0 ms\n";
}

void Detector::startManualBit(int64_t now, unsigned seconds) {
    update(now);
    if (bitMode_ == BitMode::Never) return;
    bitStart_ = now;
    bitMEnd_ = bitMode_ == BitMode::Stuck ? kNever : now + int64_t{seconds} * 1000;
    bitEEnd_ = bitMode_ == BitMode::Stuck ? kNever : bitMEnd_ + int64_t{flash_.setup[setup::PostManBit]} * 1000;
    lampSum_ = lampReading(now, seconds);
    lampHeld_ = true;
    alarmLatched_ = false;
    alarmStart_ = -1;
    fireStart_ = -1;
    fmFire_.running = false;
}

LiveValues Detector::live(int64_t now) {
    update(now);
    LiveValues v;
    const auto& s = flash_.setup;
    const bool bitM = bitStart_ >= 0 && now < bitMEnd_;
    const bool bitE = bitStart_ >= 0 && !bitM;
    const bool warn = alarmStart_ >= 0 && now < alarmStart_ + kDelayMs[s[setup::Delay] & 7];
    const bool alarm = alarmStart_ >= 0 && !warn;
    const bool autoBit = now >= autoBitStart_ && now < autoBitStart_ + kAutoBitMs;
    const bool anyFault = faults_[0] || faults_[1] || faults_[2];

    const char fm = bitStart_ >= 0 ? 0 : fmFireMode(now);
    const char fire = fm ? fm : fireMode(now);
    v.mode = bitM ? 'M' : bitE ? 'E' : fire ? fire : warn ? 'W' : alarm ? 'A' : alarmLatched_ ? 'L'
             : autoBit ? 'B' : anyFault ? 'F' : 'N';
    if (now < startupUntil_)
        v.state = startupState_;
    else if (now < setupShownUntil_)
        v.state = 20;
    else if (now < devInfoShownUntil_)
        v.state = 21;
    else if (anyFault) {
        for (unsigned b = 0; b < 96; ++b)
            if (faults_[b / 32] & (1u << (b % 32))) {
                v.state = static_cast<uint8_t>(b);
                break;
            }
    }

    fillSignals(v, now);
    const bool heater = s[setup::HeaterMode] == 2 ||
                        (s[setup::HeaterMode] == 1 && v.temperature < s[setup::HeaterOnTemp]);
    const bool accessory = (v.mode == 'W' && s[setup::EnableAccessory]) ||
                           (v.mode == 'E' && s[setup::AccessoryOnBIT]);
    const bool alarmRelay = fm ? fmFire_.relay : v.mode == 'A' || v.mode == 'L' || (v.mode == 'E' && s[setup::AlarmOnBIT]);
    v.outputBits = static_cast<uint8_t>((flash_.tags ? 0x04 : 0) | (flash_.altSensor ? 0x08 : 0) |
                                        (accessory ? 0x10 : 0) |
                                        (alarmRelay ? 0x20 : 0) | (anyFault ? 0 : 0x40) |
                                        (heater ? 0x80 : 0));

    const uint8_t* levels = &s[setup::Param420];
    const bool u = uvir();
    size_t level = u ? setup::UvNormal : setup::IrNormal;
    if (anyFault) level = (faults_[0] & (1u << 8)) ? setup::Level420BitFault : setup::Level420Fault;
    else if (v.mode == 'W') level = u ? setup::UvWarning : setup::IrWarning;
    else if (v.mode == 'A' || v.mode == 'L') level = u ? setup::UvAlarm : setup::IrAlarm;
    v.analog = levels[level];
    if (held_[2]) v.analog = static_cast<uint8_t>(std::lround(std::clamp(*held_[2] * 10.0f, 0.0f, 255.0f)));
    if (fixed420_) v.analog = static_cast<uint8_t>(fixed420_ * 10);

    if (elevation_) {
        const int64_t left = elevationUntil_ - now;
        const int64_t minutes = std::min<int64_t>(63, (left + 59'999) / 60'000);
        v.elevation = static_cast<uint8_t>((elevation_ << 6) | minutes);
    }
    return v;
}

Bytes Detector::liveRecord(int64_t now) {
    const LiveValues v = live(now);
    Bytes d(160, 0);
    d[0] = v.state;
    d[1] = static_cast<uint8_t>(v.mode);
    d[2] = v.outputBits;
    for (int i = 0; i < 4; ++i) putU32(&d[4 + 4 * i], static_cast<uint32_t>(v.samples[i]));
    const bool bitPhase = v.mode == 'B' || v.mode == 'E' || v.mode == 'M';
    if (uvir()) {
        putF32(&d[24], v.sums[1]);
        if (bitPhase) {
            putF32(&d[36], v.bitSums[0]);
            putF32(&d[40], v.bitSums[1]);
        } else {
            putF32(&d[108], v.sums[0]);
            if (lampHeld_) putF32(&d[36], v.bitSums[0]);  // the last manual BIT's UV reading
        }
    } else {
        putF32(&d[20], v.sums[0]);
        putF32(&d[24], v.sums[1]);
        putF32(&d[28], v.sums[2]);
        putF32(&d[32], v.sums[3]);
        for (int i = 0; i < 4; ++i) putF32(&d[36 + 4 * i], v.bitSums[i]);
    }
    putChannels(d, v);
    putCalibration(d, now);
    putF32(&d[132], v.temperature);
    putF32(&d[136], v.tempGradient);
    putF32(&d[140], v.vin);
    d[144] = v.analog;
    d[145] = flash_.setup[setup::LockState];
    d[146] = flash_.picture;
    d[147] = v.elevation;
    return d;
}

}  // namespace wsim
