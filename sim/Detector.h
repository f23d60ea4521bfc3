#pragma once
#include <array>
#include <deque>
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
    std::string product;     // empty: the family's product number
    uint8_t fwMajor = 4, fwSub = 17;
    // The log ring (sim/LogRing.cpp): records written since the last erase,
    // sectors x slots, most records a page may ask for, information flags.
    unsigned logRecords = 0;
    uint8_t ringSectors = 8, ringSlots = 64, maxRecs = 30, logFlags = 0;
    uint8_t lamp = 0;        // the BIT lamp: 0 normal, 1 weak, 2 dead
    // DCI and the 4-20 mA output (sim/Output420.cpp).
    enum class Dci { Off, Factor, Dead45, Dead44 } dci = Dci::Off;
    float dciFactor = 1;                  // Sum44 = factor x Sum45 in 'N'
    float err4 = 0.08f, err20 = -0.15f;   // the untrimmed output's error at 4 and 20 mA
    // The calibration scene (sim/AutoCalib.cpp): channel gains in the family's
    // channel order (IR 45, 4, 5, 44; UV/IR first pass, ratio high, ratio low)
    // and the background; either one puts the detector in the scene.
    std::vector<float> gains;
    float bg = -1;  // below 0: not given (2)
    bool streamAtLineSpeed = false;  // "stream=line": raw stream seconds back to back
};

// "gain=G" or "gain=G:G:G:G", "bg=B"; false for any other key or a bad value.
bool parseAutoCalibOption(const std::string& key, const std::string& value, DetectorConfig* c);

// "dci=F" and "err420=E4/E20" (milliamperes); false for any other key or a bad value.
bool parseCalibOption(const std::string& key, const std::string& value, DetectorConfig* c);

// The serial number a detector built from `cfg` carries.
inline uint32_t serialOf(const DetectorConfig& cfg) { return cfg.serial ? cfg.serial : 21'030'000u + cfg.address; }

// The version text of a detector's firmware.
std::string versionTextOf(bool uvir, uint16_t model, uint8_t major, uint8_t sub);

// Command ids of the record protocol.
namespace cmd {
constexpr uint8_t Calibration = 132, CalibObject = 139, CalibScale = 158;
constexpr uint8_t CalibrateUvBit = 115, DataShort = 116, ManualBit = 117, SetupToDet = 118, SetupToHost = 119,
                  Data = 120, ParamToDet = 121, ParamToHost = 122, ReadFlash = 123, VerInfo = 125, SimulateAlarm = 130, SwitchBaud = 140,
                  UploadFw = 141, Elevate = 148, LogFile = 144, Misc = 156, DevInfoToHost = 162, DevInfoToDet = 163;
constexpr uint8_t RecordRawAdc = 126, Record100Hz = 128;
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
    // The parameter answer after the next `skip` ones has its last byte inverted.
    void corruptParamRead(int skip) { paramCorruptSkip_ = skip; }
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
        std::string product;
        uint8_t fwMajor = 4, fwSub = 17;
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
    int paramCorruptSkip_ = -1;
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
    // The BIT lamp and the lens in front of it: what a manual BIT measures.
    enum class Lamp { Normal, Weak, Dead };
    void setLamp(Lamp l) { lamp_ = l; }
    void setLensCovered(bool covered) { lensCovered_ = covered; }
    bool uvBitCalibration() const { return uvBitCal_; }

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
    // The reading the last manual BIT reaches on the lamp's channel (IR: BIT
    // sum 4, UV/IR: the UV BIT sum); held through 'E' and the 'N' after it.
    float lampReading(int64_t start, unsigned seconds) const;
    Lamp lamp_ = Lamp::Normal;
    bool lensCovered_ = false;
    bool uvBitCal_ = false;  // D_CALIBRATE_UV_BIT mode, ended by a restart
    float lampSum_ = 0;
    bool lampHeld_ = false;
    // Flash reads: addresses left unanswered (control command flash-silent).
    std::vector<uint32_t> silentFlash_;

    // ---- Bootloader (sim/Bootloader.cpp): the D_UPLOAD_FW session, the image installed at restart ----
public:
    // Faults of the next upload: after block K lose its answer, answer status
    // CODE, ask for block J once, go deaf for MS, or restart; an end status;
    // parameters changed at install; the next N parameter writes ignored.
    struct FwFaults {
        int block = -1;  // K; -1: no block fault
        enum class Kind { None, Lose, Status, Ask, Deaf, Restart } kind = Kind::None;
        int value = 0;   // CODE, J or MS
        int endStatus = 0;
        bool loseEnd = false;  // the answer to a verified end is lost
        bool changeParams = false;
    };
    FwFaults& fwFaults() { return fwFaults_; }
    void ignoreParamWrites(int n) { ignoreParams_ = n; }
    // The firmware version as the flash's information block carries it.
    uint8_t fwMajor() const { return flash_.fwMajor; }
    uint8_t fwSub() const { return flash_.fwSub; }

private:
    std::optional<RecordReply> uploadFw(const RecordRequest& req, int64_t now);
    void installFirmware();
    struct Upload {
        bool active = false, verified = false;
        unsigned blockSize = 0, blocks = 0, next = 0;
        uint32_t size = 0, crc = 0;
        uint16_t flags = 0;
        uint8_t major = 0, sub = 0;
        int64_t lastMs = 0;
        Bytes image;
    } upload_;
    FwFaults fwFaults_;
    int ignoreParams_ = 0;
    // ---- The log ring (sim/LogRing.cpp) ----
public:
    // Writes `count` more records where the ring stands, the oldest overwritten.
    void writeLogRecords(unsigned count, int64_t now);
    void eraseLog();
    unsigned logCurrent() const { return logRing_.total() ? logRing_.written % logRing_.total() : 0; }
    // `count` records from ring position `position` on, wrapping; 0xFF past an empty ring.
    Bytes logRecordsAt(unsigned position, unsigned count) const;
    // The position of the oldest record (the download position's 0xFFFF).
    unsigned logOldest() const { return logRing_.written >= logRing_.total() ? logCurrent() : 0; }
    unsigned logTotal() const { return logRing_.total(); }

private:
    std::optional<RecordReply> logFile(const RecordRequest& req) const;
    struct LogRingState {
        uint8_t sectors = 0, slotsPerSector = 0, maxRecs = 0, flags = 0;
        unsigned written = 0;  // records since the last erase; the next one's number
        uint32_t lastTime = 0;
        Bytes flash;  // total x 43 bytes, 0xFF where erased
        unsigned total() const { return unsigned(sectors) * slotsPerSector; }
    } logRing_;
    // ---- DCI and the 4-20 mA output trim (sim/Output420.cpp) ----
public:
    void setDci(DetectorConfig::Dci kind, float factor) { dci_ = kind, dciFactor_ = factor; }
    // What a multimeter in the loop shows: the fixed point plus its error
    // while fixed, else the level plus the error interpolated between the points.
    double meter(int64_t now);
    // The next n MISC_CALIB_420 requests are acknowledged 0.
    void refuse420(int n) { refuse420_ = n; }

private:
    std::optional<RecordReply> calib420(const RecordRequest& req, int64_t now);
    void applyDci(LiveValues& v) const;
    void reset420();  // a restart: the fixed current ends, an unburned trim is lost
    double error420(unsigned point) const;
    DetectorConfig::Dci dci_ = DetectorConfig::Dci::Off;
    float dciFactor_ = 1;
    float err420_[2] = {};        // by point: 4, 20
    float burnedTrim_[2] = {}, trim_[2] = {};  // burned survives a restart
    bool applied_[2] = {};
    uint8_t fixed420_ = 0;        // 0, 4 or 20
    int refuse420_ = 0;

    // ---- Automatic calibration (sim/AutoCalib.cpp) ----
public:
    // The scene: flame on or off in front of the sensors (joins the scene).
    void setFlame(bool on);
    // False for a count other than 1 or the family's channel count.
    bool setGains(const std::vector<float>& gains);
    void setBackground(float bg);
    // The UV sum (UV/IR) shows `value` while the iteration counter is in from..to-1.
    void setUvSumDip(float value, uint32_t from, uint32_t to);
    const std::vector<double>& scales() const { return scales_; }
    uint32_t iterationCounter(int64_t now);

private:
    std::optional<RecordReply> autoCalib(const RecordRequest& req, int64_t now);
    // The family's channel values at `now` (scene or the ordinary signals).
    std::array<float, 4> calibChannels(int64_t now) const;
    void accumulate(int64_t now);
    void putCalibration(Bytes& d, int64_t now);  // counter, and the scene's channels
    void resetCalibration();                     // a restart loses the run
    bool scene_ = false, flame_ = false;
    std::vector<float> gains_;
    float bg_ = 2;
    uint32_t calibN_ = 0, counted_ = 0;
    int64_t calibStart_ = -1;
    std::vector<double> totals_;
    std::vector<double> scales_;  // flash
    float dipValue_ = 0;
    uint32_t dipFrom_ = 0, dipTo_ = 0;
    // ---- ADC recordings (sim/RawStream.cpp): the raw stream and the 100 Hz queue ----
public:
    // Misbehaviour of the next raw stream (control command "stream ADDR ...").
    struct StreamFaults {
        uint32_t skip = 0;      // block numbers left out before the next block
        size_t junk = 0;        // bytes before the next block
        bool trailer = false;   // the next block's trailer not zero
        int64_t stallMs = 0;    // the next block stops halfway for this long
        int64_t lateMs = 0;     // streaming begins this long after the start
        bool never = false;     // starts are ignored
        bool deaf = false;      // stops are ignored
    };
    StreamFaults& streamFaults() { return streamFaults_; }
    bool streaming() const { return raw_.rate != 0; }
    // The raw stream's bytes due by `now` (at line speed: the next second's
    // whole, whenever asked).
    Bytes streamDue(int64_t now);

private:
    std::optional<RecordReply> recordRaw(const RecordRequest& req, int64_t now);
    std::optional<RecordReply> record100(const RecordRequest& req, int64_t now);
    void fill100(int64_t now);
    Bytes adcStatusBlock(uint32_t number, int64_t now);
    struct Timed {
        int64_t due;
        Bytes bytes;
    };
    struct RawStream {
        unsigned rate = 0;         // 0 off, 1 2300 Hz, 2 100 Hz
        int64_t origin = 0;        // when second 0 begins
        uint64_t seconds = 0;      // seconds scheduled so far
        uint32_t block = 0;        // the next block number
        std::deque<Timed> out;     // scheduled, not yet sent
    } raw_;
    struct Queue100 {
        bool on = false;
        int64_t origin = 0;
        uint32_t seconds = 0;     // status blocks made
        uint64_t sampleBlocks = 0;
        std::deque<Bytes> blocks;
    } q100_;
    StreamFaults streamFaults_;
    bool streamAtLineSpeed_ = false;
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
