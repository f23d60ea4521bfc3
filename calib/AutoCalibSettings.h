#pragma once
// What the automatic calibration of IR and UV/IR detectors takes from
// Param.ini, the rules every value passes before use, the family's
// differences as data, and the serial-number fields with their scanned labels.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/records/ParamRecord.h"

namespace autocal {

// What tells the two families apart; everything else is one procedure.
struct Family {
    ParamKind kind;
    const char* name;     // "ir", "uvir"
    const char* section;  // of num_iter, LearnBGsec, the bands and sum_thresh
    unsigned quantities;  // 10 or 3
    unsigned channels;    // background channels: 4 or 3
    // Frame offsets of the channel values in a live record (IR 45, 4, 5, 44;
    // UV/IR first pass, ratio high, ratio low).
    std::array<size_t, 4> channelOffsets;
    bool banded(unsigned k) const { return kind == ParamKind::Uvir || (k != 1 && k != 2); }
};
const Family& FamilyOf(ParamKind kind);

struct Band {
    double lo = 0, hi = 1e15;
    bool passes(double v) const { return lo <= v && v <= hi; }
};

struct Settings {
    unsigned stabilizationSec = 4;
    unsigned iterations = 200;
    unsigned learnSec = 60;
    std::vector<Band> bands;  // one per quantity; unbanded ones 0..1e15
    double sumThresh = 10.0;
    bool autoShutter = false;
    std::string shutterOpen, shutterClose;
    unsigned shutterWaitMs = 5000;
    unsigned minUvSumIter0 = 50;  // UV/IR: the first iteration whose UV sum counts
    unsigned uvSumThr = 25;
};

constexpr unsigned kMaxLearnSec = 60000;
// "num_iter" and the Iterations field: below 1 gives 20, above 1000 gives 1000.
unsigned IterationsRule(long long value);
// "WaitForShutterCloseSec": up to 60 is seconds, larger values milliseconds.
unsigned ShutterWaitMs(long long value);
// The opening: every key read, a lo outside 0.0..0.9 written back as "0.0"
// and a hi outside 1.0..9.9 as "9.9" ("N/A" and a missing key count as -1).
Settings LoadSettings(const Family& family, const std::string& ini = "Param.ini");
// At Burn: a lo outside 0.0..0.9 becomes 0.0, a hi outside 1.1..9.9 becomes 2.0.
void BurnBands(const Family& family, std::vector<Band>& bands);

// A scanned label "PN=...;VENDOR=...;COO=...;SN=...;" becomes the digits of
// its SN value; any other text is left as it is.
std::string ScannedLabel(const std::string& text);
// A serial number to burn: digits only, above 0, at most 10 digits and not
// above 4294967294; nullopt otherwise (the field is then refused with these):
constexpr const char* kSerialText = "Serial Number should be > 0";
constexpr const char* kSerialCaption = "Bad or missing Serial Number";
std::optional<uint32_t> SerialNumber(const std::string& field);

}  // namespace autocal
