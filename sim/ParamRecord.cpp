#include "sim/ParamRecord.h"

#include <cstdio>
#include <initializer_list>

namespace wsim {

namespace {

class Writer {
public:
    explicit Writer(Bytes& b) : b_(b) {}
    void f32(size_t at, std::initializer_list<float> v) {
        for (float x : v) putF32(&b_[at], x), at += 4;
    }
    void f64(size_t at, std::initializer_list<double> v) {
        for (double x : v) {
            uint64_t u;
            std::memcpy(&u, &x, 8);
            putU32(&b_[at], static_cast<uint32_t>(u));
            putU32(&b_[at + 4], static_cast<uint32_t>(u >> 32));
            at += 8;
        }
    }
    // Consecutive bytes from `at`.
    void u8(size_t at, std::initializer_list<uint8_t> v) {
        for (uint8_t x : v) b_[at++] = x;
    }

private:
    Bytes& b_;
};

float getF32(const uint8_t* p) {
    const uint32_t u = getU32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

// Per-range thresholds: every fire value at least twice its benzene
// counterpart in the two nearest ranges, as a detector leaves the factory.
void irDefaults(Writer& w) {
    w.f32(0, {1e9f, 14'250'000, 855, 214, 43, 7});     // sum45
    w.f32(24, {356'240, 12'112, 1069, 214, 43, 7});    // sum45benz
    w.f32(48, {1e9f, 13'865'000, 1040, 277, 49, 8});   // sum44
    w.f32(72, {346'000, 11'800, 1300, 277, 49, 8});    // sum44benz
    w.f32(96, {8.6f, 6.7f, 1.9f, 0.8f, 0.8f, 0.8f});   // ratio45to4
    w.f32(120, {4.0f, 3.2f, 1.9f, 0.8f, 0.8f, 0.8f});  // ratio45to4benz
    w.f32(144, {7.4f, 5.8f, 1.7f, 0.7f, 0.7f, 0.7f});  // ratio44to4
    w.f32(168, {3.6f, 2.8f, 1.7f, 0.7f, 0.7f, 0.7f});  // ratio44to4benz
    w.f32(192, {9.1f, 7.0f, 2.1f, 0.9f, 0.9f, 0.9f});  // ratio45to5
    w.f32(216, {4.4f, 3.4f, 2.1f, 0.9f, 0.9f, 0.9f});  // ratio45to5benz
    w.f32(240, {7.9f, 6.2f, 1.8f, 0.8f, 0.8f, 0.8f});  // ratio44to5
    w.f32(264, {3.8f, 3.0f, 1.8f, 0.8f, 0.8f, 0.8f});  // ratio44to5benz
    // 288..479: the 4.4/4.5 and 4/5 ratios with their hydrogen variants stay 0.
    for (size_t at = 480; at < 768; at += 48) {  // cor* fire, then benzene
        w.f32(at, {0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f});
        w.f32(at + 24, {0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f});
    }
    w.u8(768, {106, 16, 8, 1});                           // FOV bytes, tier
    w.f32(772, {300, 300, 3, 0.9f, 0});                   // autobit .. gradthresh
    w.u8(792, {50, 121, 0, 0, 5, 0, 3, 7, 10});           // prnoisef .. LockPulseTime
    w.f32(808, {2.36f, 3.47f, 1.73f, 1.51f, 0, 0, 514});  // fast thresholds
    w.u8(836, {255, 0x01, 0, 0x33, 20, 2});               // HtrOff_35_50 .. dateHW_month
    w.f32(904, {180});                                    // IRFastAbsThr44
    w.u8(908, {0xE0, 0xFF});
    w.u8(924, {255, 0, 255, 5, 10, 200, 160, 0});  // Rat5Per_EGZOZ .. Hydrogen
    w.f32(932, {0.3f, 0.3f});                      // HiCorrNoise, LoCorrNoise
    w.u8(940, {0, 10, 0, 0xFF, 0, 200});           // .. RatFac
    w.f32(956, {0.15f, 0.1f, 0.001f, 0.8f, 3});    // BB45_RatFact .. BBSumFactor
}

void uvirDefaults(Writer& w) {
    w.f64(0, {80'000, 1000, 170});                // sum_first_pass
    w.f64(24, {40'000, 500, 85});                 // sum_first_pass_benz
    w.f32(96, {15, 0});                           // first_fltr_size, saved_uv_bit_val
    w.f64(104, {600, 600});                       // autobit, manbit
    w.f32(120, {80, 0, 0.85f});                   // warnfactor (%), gradthresh, FirstAvgFact
    w.u8(132, {9, 0, 11, 0, 60, 0, 20, 2});       // filter sizes, UVTubeVol, HW date
    w.f32(140, {9, 7});                           // lo_fltr_size1, lo_fltr_size2
    w.u8(152, {255, 251, 3, 0x32, 30, 0, 0, 0});  // .. hardware version, powerupdur 30 s
    w.u8(167, {1});                               // tier
    w.u8(200, {0, 255, 5, 10, 160, 0, 0, 3, 0, 5, 80, 0});  // is_no_grad .. IRFastAbsThr
    w.u8(212, {20, 6, 50, 200, 32, 3, 6, 3, 10, 106, 16, 8});
}

std::string text(const char* format, double v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

}  // namespace

Bytes factoryParams(bool uvir, uint32_t serial) {
    Bytes b(paramSize(uvir), 0);
    Writer w(b);
    if (uvir)
        uvirDefaults(w);
    else
        irDefaults(w);
    putU32(&b[ordnumOffset(uvir)], serial);
    return b;
}

std::string paramProblem(const Bytes& r, bool uvir) {
    using namespace param;
    const uint8_t month = r[uvir ? UvMonth : IrMonth];
    if (month < 1 || month > 12) return text("dateHW_month %.0f not 1..12", month);
    if (uvir) {
        if (r[UvSumArraySize] != 251) return text("sum_array_size %.0f not 251", r[UvSumArraySize]);
        const float w = getF32(&r[UvWarnFactor]);
        if (!(w >= 30.0f && w <= 90.0f)) return text("warnfactor %g not 30..90", w);
        return {};
    }
    if (r[IrSumSize] < 90) return text("sumsize %.0f not 90..255", r[IrSumSize]);
    if (r[IrTier] > 1) return text("tier %.0f not 0 or 1", r[IrTier]);
    if (r[IrNoGrad] > 1) return text("is_no_grad %.0f not 0 or 1", r[IrNoGrad]);
    const float w = getF32(&r[IrWarnFactor]);
    if (!(w >= 0.30f && w <= 0.90f)) return text("warnfactor %g not 0.30..0.90", w);
    return {};
}

}  // namespace wsim
