#pragma once
// What a BIT calibration computes from its readings: the set averages, the
// bright/dark ratio test and the thresholds the parameter views are preset
// with. IR uses param1..param3 of "IR3BitParam", UV param1..param4 of
// "UVBitParam"; param1 is the least ratio.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace bitcal {

enum class Kind { Ir, Uv };

struct Params {
    std::array<float, 4> p{1.0f, 1.0f, 1.0f, 1.0f};  // param1..param4
};
// Each key a float ("%f"), "1.0" when missing; IR's param4 stays 1.0 and unused.
Params ReadParams(Kind kind, const std::string& iniPath = "Param.ini");

// The UV durations in use: in order, up to the first 0.
unsigned LoopsInUse(const std::array<unsigned, 3>& durations);

// IR: the three readings' mean, truncated. UV: the mean of the per-second
// values (reading + d/2) / d of the loops in use, truncated; nullopt with no loop.
std::optional<long> SetAverage(Kind kind, const std::array<long, 3>& readings,
                               const std::array<unsigned, 3>& durations = {});

struct RatioResult {
    bool pass = false;
    float ratio = 0;
    std::string line;  // the result line
};
// A dark average of 0 or less fails: there is no ratio to trust.
RatioResult RatioTest(Kind kind, float bright, float dark, float param1);

// The threshold for both IR fields (manbit, autobit); nullopt with `error`
// naming the key when it is not finite or below 0.
std::optional<float> IrThreshold(const Params& params, float dark, float qtemp, std::string* error);

struct UvThreshold {
    unsigned duration = 2;  // UV_BIT_Duration
    uint8_t threshold = 3;  // UVBIT_Thr
    std::string debugLine;  // the "Param" box text
};
std::optional<UvThreshold> UvThresholds(const Params& params, float dark, float bright, float qtemp,
                                        std::string* error);

// The UV window's three duration fields as typed. A field that is no whole
// number reads as 0; the first must be above 0 (refused with "?" in it), none
// above 20 (refused with the message). `refused` is the field to select, or -1.
struct DurationCheck {
    std::array<unsigned, 3> durations{};
    int refused = -1;
    std::string fieldText;  // the refused field's new text, or empty to keep it
    std::string message;    // a box to show, or empty
};
DurationCheck CheckDurations(const std::array<std::string, 3>& fields);


}  // namespace bitcal
