#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/Bytes.h"
#include "sim/SetupRecord.h"

namespace wsim {

struct DetectorConfig {
    uint8_t address = 1;
    bool uvir = false;
    uint32_t serial = 0;       // 0: derived from the address
    uint16_t model = 0;        // 0: the default of the family
    uint8_t picture = 0xDB;
    bool locked = false;
    std::string maint;
    std::string admin;
    bool tags = true;
    bool altSensor = false;  // reports the alternative channel set (live byte 17 bit 3)
};

// The serial number a detector built from `cfg` carries.
inline uint32_t serialOf(const DetectorConfig& cfg) { return cfg.serial ? cfg.serial : 21'030'000u + cfg.address; }

// Command ids of the record protocol.
namespace cmd {
constexpr uint8_t DataShort = 116, ManualBit = 117, SetupToDet = 118, SetupToHost = 119,
                  Data = 120, ParamToDet = 121, ParamToHost = 122, ReadFlash = 123, VerInfo = 125, SimulateAlarm = 130, SwitchBaud = 140,
                  Elevate = 148, Misc = 156, DevInfoToHost = 162, DevInfoToDet = 163;
}

// A record frame already delimited and CRC-checked by the line.
struct RecordRequest {
    uint8_t address = 0;
    bool tagged = false;  // function 0xCA
    bool isGet = true;    // answer expected
    uint8_t id = 0;
    uint8_t f4 = 0, f5 = 0;
    bool authOk = false;  // authorisation code matches a recent nonce
    const uint8_t* payload = nullptr;
    size_t payloadSize = 0;
};

struct RecordReply {
    Bytes data;
    int latencyMs = 3;
};

// What a detector exposes through its live data and input registers.
struct LiveValues {
    uint8_t state = 0;
    char mode = 'N';
    uint8_t outputBits = 0;
    float sums[4] = {};     // Sum45, Sum5, Sum4, Sum44 (UV/IR: UV, IR, 0, 0)
    float bitSums[4] = {};  // same order
    float noise[4] = {};    // Noise45, Noise44, Noise4, Noise5 as measured
    int32_t samples[4] = {};
    float temperature = 0, vin = 0;
    uint8_t analog = 0;  // tenths of a mA
    uint8_t elevation = 0;
    // Filled by the live scenario: the carried ratios (value / 10) and
    // correlations (value / 100) in record order, and the temperature trend.
    float ratios[6] = {};  // 45to4, 45to5, 4to5, 44to4, 44to5, 44to45
    float cors[6] = {};    // 45to4, 45to5, 44to4, 44to5, 44to45, 4to5
    float tempGradient = 0;  // degrees Celsius per minute
};

// One simulated detector: flash contents that survive a restart, and the
// working state that does not. Not thread-safe; the line serialises access.
class Detector {
public:
    Detector(const DetectorConfig& cfg, int64_t nowMs);

    // Persistent identity.
    uint8_t address() const { return flash_.address; }
    uint16_t model() const { return flash_.model; }
    uint32_t serial() const { return flash_.serial; }
    bool uvir() const;
    bool tagsSupported() const { return flash_.tags; }
    const SetupRecord& setup() const { return flash_.setup; }
    const std::string& versionText() const { return flash_.version; }
    const Bytes& params() const { return flash_.params; }
    // Overwrites stored parameter bytes from `offset`; false (nothing changed)
    // when they would run past the record.
    bool patchParams(size_t offset, const Bytes& bytes);

    // Why the last parameter write was ignored, and how many were; the line
    // prints each new reason on its control output.
    const std::string& lastNotice() const { return notice_; }
    unsigned notices() const { return noticeCount_; }

    // Line speed and reachability.
    unsigned baud() const { return baud_; }
    // True when the detector hears and answers at all (not hung or rebooting).
    bool alive(int64_t now);
    void noteFrameHeard(int64_t now);

    // Advances every timer to now: BIT phases, alarm, baud switch and revert,
    // watchdog, elevation expiry.
    void update(int64_t now);

    std::optional<RecordReply> handleRecord(const RecordRequest& req, int64_t now);
    // frame: a CRC-checked standard function frame (without CRC); returns the
    // reply without CRC, or nothing (broadcast, refused silently).
    std::optional<Bytes> handleStandard(const uint8_t* frame, size_t n, bool broadcast,
                                        int64_t now);

    LiveValues live(int64_t now);
    Bytes liveRecord(int64_t now);

    // Control from the line's owner.
    void restart(int64_t now);
    void hang(int64_t now, int64_t watchdogMs);
    void setFault(unsigned bit, bool on);
    void simulateAlarm(int64_t now);
    void startManualBit(int64_t now, unsigned seconds);
    int elevationLevel(int64_t now);
    char mode(int64_t now) { return live(now).mode; }
    uint8_t state(int64_t now) { return live(now).state; }
    std::array<uint32_t, 3> faultWords() const { return faults_; }
    // The next n setup writes are refused as by a detector that was not
    // elevated; the next n setup reads answer a record with BitPeriod changed,
    // as from a detector that stored something other than it was sent.
    void refuseSetupWrites(int n) { refuseSetups_ = n; }
    void corruptSetupReads(int n) { corruptSetups_ = n; }
    // One more line of the message text (MISC 8).
    void addMessage(const std::string& line) { messages_ += line + "\n"; }
    // Seconds of operation counted since the last erase that did not keep them.
    uint32_t operatingSeconds(int64_t now) const { return static_cast<uint32_t>((now - flash_.workSince) / 1000); }

    // Device information (sim/DevInfo.cpp): the 108-byte record in flash, its
    // read and its checked write, and a fault for the next answer that carries it.
    const Bytes& devInfo() const { return devInfo_; }
    // The device-information answer after the next `skip` ones has record byte `offset` altered.
    void corruptNextDevInfo(size_t offset, unsigned skip = 0) {
        devInfoCorruptAt_ = static_cast<long>(offset);
        devInfoCorruptSkip_ = skip;
    }
    // Program flash (D_READ_FLASH): the bytes of the flash map from `address`,
    // and addresses whose reads go unanswered, as a failing flash would leave them.
    Bytes flashBytes(uint32_t address, uint32_t length) const;
    void silenceFlashAddress(uint32_t address) { silentFlash_.push_back(address); }
    // The firmware's version text (D_VERINFO2HOST); 256 characters fill the answer without a zero.
    void setVersionText(std::string text) { flash_.version = std::move(text); }

private:
    Bytes factoryDevInfo() const;
    std::optional<RecordReply> devInfoRead(const RecordRequest& req);
    std::optional<RecordReply> devInfoWrite(const RecordRequest& req, int64_t now);
    Bytes devInfo_;
    long devInfoCorruptAt_ = -1;
    unsigned devInfoCorruptSkip_ = 0;
    int64_t devInfoShownUntil_ = 0;  // state 21

    bool locked() const { return flash_.setup[setup::LockState] == 1; }
    bool permitted(int needLevel, int64_t now);
    bool inAlarm(int64_t now) const;
    bool alarmRunning(int64_t now) const { return alarmStart_ >= 0 && now < alarmAEnd_; }
    RecordReply status(uint8_t code, int latency = 3) const;
    std::optional<RecordReply> setupWrite(const RecordRequest& req, int64_t now);
    std::optional<RecordReply> elevate(const RecordRequest& req, int64_t now);
    std::optional<RecordReply> misc(const RecordRequest& req, int64_t now);
    void paramWrite(const RecordRequest& req, int64_t now);
    std::optional<RecordReply> readFlash(const RecordRequest& req) const;
    void notice(const std::string& why);
    void switchBaud(const RecordRequest& req, int64_t now);
    void resetVolatile(int64_t now);
    Bytes messageRecord() const;
    bool readInput(unsigned reg, uint16_t* value, int64_t now);
    int readHolding(unsigned reg, uint16_t* value);  // 0 ok, else exception code
    int writeHolding(unsigned reg, uint16_t value, int64_t now, bool* moveTo, uint8_t* newAddr);

    struct Flash {
        uint8_t address;
        uint16_t model;
        uint32_t serial;
        uint8_t picture;
        bool tags;
        SetupRecord setup;
        uint16_t setupWrites = 0;
        std::string version;
        bool altSensor = false;
        Bytes params;  // the parameter record of the family
        int64_t workSince = 0;  // operating time origin
    } flash_;

    // Working state, lost on restart.
    unsigned baud_ = 9600;
    unsigned pendingBaud_ = 0;
    int64_t baudSwitchAt_ = 0;
    int64_t lastHeard_ = 0;
    int elevation_ = 0;
    int64_t elevationUntil_ = 0;
    int64_t deafUntil_ = 0;        // rebooting
    int64_t hungUntil_ = 0;        // 0: not hung; INT64_MAX: until power-cycle
    int64_t startupUntil_ = 0;     // state startupState_
    uint8_t startupState_ = 90;    // 90 after power-on, 91 after a parameter write
    int64_t paramReadAt_ = -1;     // the last D_PARAM2HOST; -1: none since power-up
    int64_t setupShownUntil_ = 0;  // state 20
    int64_t bitStart_ = -1, bitMEnd_ = 0, bitEEnd_ = 0;
    int64_t autoBitStart_ = 0;
    int64_t alarmStart_ = -1, alarmAEnd_ = 0;
    bool alarmLatched_ = false;
    bool bitFromManual_ = false;
    int64_t fmOrigin_ = 0;
    int64_t bootMs_ = 0;
    std::array<uint32_t, 3> faults_{};
    std::string messages_;
    unsigned logPosition_ = 0;
    int refuseSetups_ = 0;
    int corruptSetups_ = 0;
    std::string notice_;
    unsigned noticeCount_ = 0;

    // ---- Live data scenario (sim/LiveScenario.cpp): a fire, held status values, BIT behaviour ----
public:
    enum class BitMode { Normal, Never, Stuck };  // never: a manual BIT is ignored; stuck: 'M' for good
    enum class Held { Vin, Temp, Ma };
    // The fire sequence N, G, W, A, Z, N with values above the thresholds of
    // the detector's own parameter record; a weak fire stays below them: G, then N.
    void startFire(int64_t now, bool weak);
    // Holds a status value (volts, degrees Celsius, milliamperes) until released.
    void holdValue(Held which, float value) { held_[static_cast<int>(which)] = value; }
    void releaseValues();
    void setBitMode(BitMode m) { bitMode_ = m; }
    BitMode bitMode() const { return bitMode_; }

private:
    char fireMode(int64_t now) const;  // 0 outside a fire
    // Everything that moves: sums, BIT sums, ratios, correlations, noise,
    // temperature and supply, from the mode already set in v.
    void fillSignals(LiveValues& v, int64_t now) const;
    // The record's ratios, correlations, noise and differences (IR), or the
    // tube and threshold values (UV/IR).
    void putChannels(Bytes& d, const LiveValues& v) const;
    int64_t fireStart_ = -1;
    bool fireWeak_ = false;
    std::optional<float> held_[3];
    BitMode bitMode_ = BitMode::Normal;
    // Flash reads: addresses left unanswered (control command flash-silent).
    std::vector<uint32_t> silentFlash_;

    // ---- Field tests (sim/FieldTests.cpp): a test explosion's message, a fire timed by the test timer ----
public:
    // The message lines of a test explosion: detected after `ms` (none: not
    // reported), "nNegative" when it was a false one.
    void explode(std::optional<unsigned> ms, bool falseExplosion);
    // From the next start broadcast on, alarm ('A', or 'X' for an explosion)
    // once the test timer reaches `ms`; the alarm relay unless `relay` is false.
    void armFmFire(uint32_t ms, bool explosion, bool relay);

private:
    void startTestTimer(int64_t now);  // D_MISC_CONTROL 0
    // The timed fire's mode now (0 outside it); tells the onset once.
    char fmFireMode(int64_t now);
    struct FmFire {
        uint32_t atMs = 0;
        bool explosion = false, relay = true, armed = false, running = false, told = false;
    } fmFire_;
};

}  // namespace wsim
