// The record commands a detector understands, one handler per command id.
#include <algorithm>
#include <cstdio>

#include "sim/Detector.h"
#include "sim/ParamRecord.h"

namespace wsim {

namespace {
constexpr int kMaint = 1, kAdmin = 2;
constexpr uint8_t kAccessCode[4] = {0x7B, 0xE1, 0xC3, 0x5A};
constexpr unsigned kBauds[] = {1200,  2400,   4800,   9600,   19200, 38400,
                               57600, 115200, 230400, 460800, 921600};
constexpr size_t kMessageData = 1386;  // 1,403-byte answer
constexpr size_t kMaxPlayback = 512;
constexpr int64_t kParamWriteWindowMs = 120'000;
constexpr int64_t kParamBurnSilentMs = 200;
constexpr int64_t kParamStateMs = 5'000;

bool isAuthorisedId(uint8_t id) {
    return id == 118 || id == 121 || id == 123 || id == 141 || id == 156 || id == 163;
}
}  // namespace

RecordReply Detector::status(uint8_t code, int latency) const {
    RecordReply r;
    r.data = {code};
    r.latencyMs = latency;
    return r;
}

std::optional<RecordReply> Detector::handleRecord(const RecordRequest& req, int64_t now) {
    if (!alive(now)) return std::nullopt;
    if (req.tagged && !flash_.tags) return std::nullopt;
    // Tagged sets carry the tag where the code would be; only authorised
    // gets and the authorised set group are checked. The setup and parameter
    // writes check it themselves, to say why they refused.
    const bool needsAuth = isAuthorisedId(req.id) && (req.isGet || req.id == 118 || req.id == 121);
    if (needsAuth && !req.authOk && req.id != cmd::SetupToDet && req.id != cmd::ParamToDet &&
        req.id != cmd::DevInfoToDet)
        return std::nullopt;

    const uint8_t* p = req.payload;
    const size_t n = req.payloadSize;
    switch (req.id) {
    case cmd::Data:
        if (!req.isGet) return std::nullopt;
        return RecordReply{liveRecord(now)};
    case cmd::DataShort: {
        if (!req.isGet) return std::nullopt;
        const LiveValues v = live(now);
        Bytes d(7, 0);
        d[0] = v.state;
        d[1] = static_cast<uint8_t>(v.mode);
        d[2] = (v.outputBits & 0x20) ? 0x02 : 0;
        putU32(&d[3], static_cast<uint32_t>(now - fmOrigin_));
        return RecordReply{d};
    }
    case cmd::SetupToHost: {
        if (!req.isGet) return std::nullopt;
        SetupRecord rec = flash_.setup;
        if (corruptSetups_ > 0) {
            --corruptSetups_;
            rec[setup::BitPeriod] = static_cast<uint8_t>(rec[setup::BitPeriod] % 60 + 1);
        }
        return RecordReply{Bytes(rec.begin(), rec.end())};
    }
    case cmd::SetupToDet:
        return setupWrite(req, now);
    case cmd::ParamToHost:
        if (!req.isGet) return std::nullopt;
        paramReadAt_ = now;
        if (paramCorruptSkip_ >= 0 && paramCorruptSkip_-- == 0) {
            Bytes altered = flash_.params;
            if (!altered.empty()) altered.back() ^= 0xFF;
            return RecordReply{altered};
        }
        return RecordReply{flash_.params};
    case cmd::ParamToDet:
        if (!req.isGet) paramWrite(req, now);
        return std::nullopt;
    case cmd::Elevate:
        if (!req.isGet) return std::nullopt;
        return elevate(req, now);
    case cmd::VerInfo: {
        if (!req.isGet) return std::nullopt;
        Bytes d(256, 0);
        std::copy_n(flash_.version.begin(), std::min<size_t>(flash_.version.size(), d.size()), d.begin());
        return RecordReply{d};
    }
    case cmd::ReadFlash:
        return req.isGet ? readFlash(req) : std::nullopt;
    case cmd::Misc:
        return misc(req, now);
    case cmd::LogFile:
        return req.isGet ? logFile(req) : std::nullopt;
    case cmd::DevInfoToHost:
        return devInfoRead(req);
    case cmd::DevInfoToDet:
        return devInfoWrite(req, now);
    case cmd::ManualBit:
        // A fill block or a running alarm is not a BIT request; a latched
        // alarm is exactly what a manual BIT clears.
        if (req.isGet || n > 1 || alarmRunning(now) || !permitted(kMaint, now)) return std::nullopt;
        startManualBit(now, n == 1 && uvir() && p[0] ? p[0] : 3);
        return std::nullopt;
    case cmd::CalibrateUvBit:
        // IR models do not know the mode; any 18-byte answer means done.
        if (!req.isGet || !uvir() || n < 1) return std::nullopt;
        uvBitCal_ = p[0] == 1;
        return status(1);
    case cmd::SimulateAlarm:
        if (!req.isGet) simulateAlarm(now);
        return std::nullopt;
    case cmd::Calibration:
    case cmd::CalibObject:
    case cmd::CalibScale:
        return autoCalib(req, now);
    case cmd::SwitchBaud:
        if (!req.isGet) switchBaud(req, now);
        return std::nullopt;
    case cmd::UploadFw:
        return req.isGet ? uploadFw(req, now) : std::nullopt;
    case cmd::RecordRawAdc:
        return recordRaw(req, now);
    case cmd::Record100Hz:
        return record100(req, now);
    default:
        return std::nullopt;
    }
}

std::optional<RecordReply> Detector::setupWrite(const RecordRequest& req, int64_t now) {
    if (req.payloadSize < kSetupSize) return std::nullopt;
    auto refuse = [&](uint8_t code) -> std::optional<RecordReply> {
        if (!req.isGet) return std::nullopt;
        return status(code, 250);
    };
    if (refuseSetups_ > 0) {
        --refuseSetups_;
        return refuse(0);
    }
    if (!req.authOk) return refuse(3);
    if (!permitted(kAdmin, now)) return refuse(0);
    SetupRecord rec;
    std::copy_n(req.payload, kSetupSize, rec.begin());
    if (req.payloadSize != kSetupSize || rec[setup::Address] != flash_.address ||
        !setupValid(rec, uvir()))
        return refuse(2);
    sealSetup(rec, ++flash_.setupWrites);
    flash_.setup = rec;
    alarmLatched_ = false;
    setupShownUntil_ = now + 5'000;
    if (!req.isGet) return std::nullopt;
    return RecordReply{Bytes(rec.begin(), rec.end()), 250};
}

void Detector::notice(const std::string& why) {
    notice_ = std::to_string(flash_.address) + ": parameter write ignored: " + why;
    ++noticeCount_;
}

// Stored only as a whole and only when everything holds; a refusal is silent
// on the line, as the host learns of it only by reading the record back.
void Detector::paramWrite(const RecordRequest& req, int64_t now) {
    const size_t size = paramSize(uvir());
    std::string why;
    if (req.payloadSize != size)
        why = std::to_string(req.payloadSize) + " bytes instead of " + std::to_string(size);
    else if (!req.authOk)
        why = "bad authorisation code";
    else if (!permitted(kAdmin, now))
        why = "locked and not elevated to ADMIN";
    else if (paramReadAt_ < 0)
        why = "no parameter read since power-up";
    else if (now - paramReadAt_ > kParamWriteWindowMs)
        why = std::to_string(now - paramReadAt_) + " ms since the last parameter read (at most 120000)";
    if (why.empty() && ignoreParams_ > 0) {
        --ignoreParams_;
        why = "parameter write ignored (fault)";
    }
    if (!why.empty()) return notice(why);
    Bytes rec(req.payload, req.payload + size);
    if (why = paramProblem(rec, uvir()); !why.empty()) return notice(why);
    flash_.params = std::move(rec);
    // Busy with its flash, then reporting the update for a while.
    deafUntil_ = now + kParamBurnSilentMs;
    startupUntil_ = deafUntil_ + kParamStateMs;
    startupState_ = 91;
}

std::optional<RecordReply> Detector::elevate(const RecordRequest& req, int64_t now) {
    update(now);
    const uint8_t* p = req.payload;
    const size_t n = req.payloadSize;
    bool granted = false;
    int level = n ? p[0] : -1;
    if (n == 5 && level == 3) {
        granted = std::equal(p + 1, p + 5, kAccessCode);
    } else if (n == 18 && level >= 0 && level <= 2) {
        const std::string given = passwordOf(p + 1);
        const std::string maint = passwordOf(&flash_.setup[setup::MaintPassword]);
        const std::string admin = passwordOf(&flash_.setup[setup::AdminPassword]);
        granted = level == 0 || !locked() || given == admin || (level == 1 && given == maint);
    }
    if (granted) {
        elevation_ = level;
        elevationUntil_ = level ? now + 300'000 : 0;
    }
    return status(granted ? 1 : 0);
}

void Detector::switchBaud(const RecordRequest& req, int64_t now) {
    if (req.payloadSize != 4) return;
    const unsigned want = getU32(req.payload);
    if (std::find(std::begin(kBauds), std::end(kBauds), want) == std::end(kBauds)) return;
    // The answer-less request has left the wire by the time the UART is reprogrammed.
    pendingBaud_ = want;
    baudSwitchAt_ = now + 100;
}

Bytes Detector::messageRecord() const {
    Bytes d(kMessageData, 0);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "SN:%08u ADR:%03u\n", static_cast<unsigned>(flash_.serial % 100000000u),
                  flash_.address);
    const std::string text = prefix + messages_;
    const size_t room = kMessageData - 2;  // status byte and the terminating NUL
    d[0] = messages_.empty() ? 0 : 1;
    std::copy_n(text.begin(), std::min(text.size(), room), d.begin() + 1);
    return d;
}

std::optional<RecordReply> Detector::misc(const RecordRequest& req, int64_t now) {
    if (req.payloadSize < 1) return std::nullopt;
    const uint8_t* p = req.payload;
    const size_t n = req.payloadSize;
    auto ack = [&](bool ok, int latency = 3) -> std::optional<RecordReply> {
        if (!req.isGet) return std::nullopt;
        return status(ok ? 1 : 0, latency);
    };
    switch (p[0]) {
    case 0:
        startTestTimer(now);
        return ack(true);
    case 1: {
        if (!permitted(kMaint, now)) return ack(false);
        auto r = ack(true);
        hang(now, 8'000);
        return r;
    }
    case 2: {
        if (!permitted(kMaint, now)) return ack(false);
        auto r = ack(true);
        restart(now);
        return r;
    }
    case 3: {
        if (!req.isGet) return std::nullopt;
        Bytes d(12);
        for (int i = 0; i < 3; ++i) putU32(&d[4 * i], faults_[i]);
        return RecordReply{d};
    }
    case 4:  // the whole log area, operating time included
        if (!permitted(kMaint, now)) return ack(false);
        logPosition_ = 0;
        flash_.workSince = now;
        eraseLog();
        return ack(true);
    case 5:
        if (n < 2 || !permitted(kMaint, now)) return ack(false);
        logPosition_ = 0;
        eraseLog();
        if (p[1] != 1) flash_.workSince = now;  // 1: preserve the operating time
        return ack(true, 400);
    case 6:
        return calib420(req, now);
    case 7: {
        const size_t count = n >= 3 ? getU16(p + 1) : 0;
        return ack(n >= 3 && count <= kMaxPlayback && n == 16 + 12 * count);
    }
    case 8: {
        if (!req.isGet) return std::nullopt;
        RecordReply r{messageRecord()};
        if (n >= 2 && p[1] == 1) messages_.clear();
        return r;
    }
    case 9:
        messages_.clear();
        return ack(true);
    default:
        return ack(false);
    }
}

}  // namespace wsim
