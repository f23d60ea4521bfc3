// Live data as the detector's own fire algorithm would judge it, driven by the
// control commands and detector time moved by hand.
#include <cmath>
#include <cstring>

#include "sim/ParamRecord.h"
#include "support/TestLine.h"

using namespace testline;
using namespace wsim::param;

namespace {
float f32(const wsim::Bytes& b, size_t at) {
    const uint32_t u = wsim::getU32(&b[at]);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

// Data offsets of the live record.
constexpr size_t kSum45 = 20, kSum5 = 24, kSum4 = 28, kSum44 = 32, kBitSums = 36, kRatios = 52, kCors = 76,
                 kMinus = 116, kTemp = 132, kVin = 140, kMa = 144, kUvSum = 108;
}  // namespace

class SimLive : public TestLine {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startLine({ir(1), uvir(2)}, {.clock = &clock})); }
    std::string control(const std::string& command) { return wsim::runControlCommand(*line, command); }
    wsim::Bytes record(uint8_t addr) {
        wsim::Bytes d;
        line->withDetector(addr, [&](wsim::Detector& det, int64_t now) { d = det.liveRecord(now); });
        return d;
    }
    // Every fire test of the detector's parameter record at its sensitivity:
    // above all of them (fire), or below each that lies above zero (weak).
    void expectThresholds(const wsim::Bytes& d, bool fire) {
        const wsim::Bytes p = params(1);
        unsigned idx = 0;
        line->withDetector(1, [&](wsim::Detector& det, int64_t) { idx = det.setup()[wsim::setup::Sensitivity]; });
        const float warn = f32(p, IrWarnFactor);
        // Record value against threshold array; the sums also against the warning level.
        const std::pair<size_t, size_t> tests[] = {
            {kSum45, IrSum45Benz},         {kSum45, IrSum45},               {kSum44, IrSum44Benz},
            {kSum44, IrSum44},             {kRatios, IrRatio45to4},         {kRatios + 4, IrRatio45to5},
            {kRatios + 4, IrRatio4to5Hyd}, {kRatios + 12, IrRatio44to4},    {kRatios + 16, IrRatio44to5},
            {kRatios + 20, IrRatio44to45}, {kRatios + 20, IrRatio44to45Hyd}, {kCors, IrCor45to4},
            {kCors + 4, IrCor45to5},       {kCors + 8, IrCor44to4},         {kCors + 12, IrCor44to5},
            {kCors + 16, IrCor44to45},     {kCors + 16, IrCor44to45Hyd},
        };
        for (auto [value, threshold] : tests) {
            const float factor = threshold == IrSum45 || threshold == IrSum44 ? warn : 1;
            const float v = f32(d, value), limit = f32(p, threshold + 4 * idx) * factor;
            if (fire || limit > 0) {
                EXPECT_EQ(v > limit, fire) << threshold << ": " << v << " against " << limit;
            }
        }
        EXPECT_TRUE(!fire || f32(d, kRatios + 4) < p[IrRat5Exhaust]) << "no exhaust";
    }
    // Ratios and differences are those of the sums the record carries.
    static void expectConsistent(const wsim::Bytes& d) {
        const float s45 = f32(d, kSum45), s5 = f32(d, kSum5), s4 = f32(d, kSum4), s44 = f32(d, kSum44);
        const float ratios[6] = {s45 / s4, s45 / s5, s4 / s5, s44 / s4, s44 / s5, s44 / s45};
        const float minus[4] = {s45 - s4, s45 - s5, s44 - s4, s44 - s5};
        for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(f32(d, kRatios + 4 * i) * 10, ratios[i]) << i;
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(f32(d, kMinus + 4 * i), minus[i]) << i;
        for (int i = 0; i < 6; ++i) EXPECT_TRUE(f32(d, kCors + 4 * i) > 0 && f32(d, kCors + 4 * i) < 1) << i;
    }
};

TEST_F(SimLive, FireAndWeakFireInTimeAgainstTheDetectorsOwnThresholds) {
    // The detector's record, not the factory one, decides: raise a few of its thresholds.
    ASSERT_EQ(control("param 1 " + std::to_string(IrRatio44to45 + 8) + " 0000003F"), "ok");   // 0.5
    ASSERT_EQ(control("param 1 " + std::to_string(IrCor45to4 + 8) + " 6666663F"), "ok");      // 0.9
    ASSERT_EQ(control("param 1 " + std::to_string(IrSum45Benz + 8) + " 00409C45"), "ok");     // 5000
    const struct {
        const char* command;  // empty: only the clock moves
        int64_t advanceMs;
        char mode;
    } steps[] = {
        {"", 0, 'N'},           {"fire 1", 0, 'G'}, {"", 999, 'G'},   {"", 1, 'W'},   {"", 1'999, 'W'},
        {"", 1, 'A'},  // within 5 s
        {"", 9'999, 'A'},      {"", 1, 'Z'},       {"", 2'999, 'Z'}, {"", 1, 'N'},
        {"fire 1 weak", 0, 'G'}, {"", 3'999, 'G'}, {"", 1, 'N'},
    };
    bool weak = false;
    for (const auto& s : steps) {
        SCOPED_TRACE(std::string(s.command) + " +" + std::to_string(s.advanceMs));
        if (*s.command) {
            ASSERT_EQ(control(s.command), "ok");
            weak = std::strstr(s.command, "weak") != nullptr;
        }
        clock.advance(s.advanceMs);
        const wsim::Bytes d = record(1);
        EXPECT_EQ(d[1], s.mode);
        expectConsistent(d);
        if (s.mode == 'G' || s.mode == 'W' || s.mode == 'A') expectThresholds(d, !weak);
        if (s.mode == 'N') expectThresholds(d, false);
    }

    // UV/IR: the UV sum passes the first-pass threshold and its benzene variant.
    const wsim::Bytes p = params(2);
    double first = 0, benz = 0;
    std::memcpy(&first, &p[UvSumFirstPass + 16], 8);
    std::memcpy(&benz, &p[UvSumFirstPassBenz + 16], 8);
    ASSERT_EQ(control("fire 2"), "ok");
    clock.advance(3'000);
    const wsim::Bytes d = record(2);
    EXPECT_EQ(d[1], 'A');
    EXPECT_GT(f32(d, kUvSum), std::max(first, benz));
}

TEST_F(SimLive, HeldStatusValuesAndBackToMoving) {
    const struct {
        const char* command;
        bool ok;
        size_t at = 0;  // 0: nothing to read
        float value = 0;
    } cases[] = {
        {"set 1 vin 17.5", true, kVin, 17.5f}, {"set 1 temp -40", true, kTemp, -40}, {"set 1 ma 21", true, kMa, 210},
        {"set 1 ma 0", true, kMa, 0},          {"set 1 ma 25.6", false},             {"set 1 volts 3", false},
        {"set 1 vin", false},                  {"set 1 temp warm", false},           {"set 9 vin 24", false},
        {"fire 1 strong", false},              {"fire 9", false},                    {"bit-mode 1 sometimes", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(control(c.command) == "ok", c.ok);
        if (!c.at) continue;
        for (int i = 0; i < 3; ++i, clock.advance(20'000)) {
            const wsim::Bytes d = record(1);
            EXPECT_EQ(c.at == kMa ? d[kMa] : f32(d, c.at), c.value);
        }
    }
    EXPECT_EQ(f32(record(1), kTemp + 4), 0.0f) << "a held temperature has no gradient";
    ASSERT_EQ(control("set 1 auto"), "ok");
    const wsim::Bytes a = record(1);
    clock.advance(60'000);
    const wsim::Bytes b = record(1);
    for (const auto& d : {a, b}) {
        EXPECT_TRUE(f32(d, kVin) > 18 && f32(d, kVin) < 32);
        EXPECT_TRUE(f32(d, kTemp) > -30 && f32(d, kTemp) < 100);
        EXPECT_EQ(d[kMa], 40);
        expectConsistent(d);
    }
    for (size_t at : {kSum45, kSum5, kSum4, kSum44, kTemp, kVin}) EXPECT_NE(f32(a, at), f32(b, at)) << at;
    const float drift = (f32(b, kTemp) - f32(a, kTemp)), gradient = f32(a, kTemp + 4);
    EXPECT_TRUE(std::abs(drift - gradient) < 0.1f) << drift << " per minute against " << gradient;
}

TEST_F(SimLive, BitModesAndBitSumsRisingWhileTheLampFlashes) {
    const struct {
        const char* mode;
        char at2s, at5s, at10min;
    } cases[] = {{"normal", 'M', 'E', 'N'}, {"never", 'N', 'N', 'N'}, {"stuck", 'M', 'M', 'M'}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(control(std::string("bit-mode 1 ") + c.mode), "ok");
        ASSERT_EQ(control("bit 1"), "ok");
        float last[4] = {-1, -1, -1, -1};
        for (int step = 0; step < 20; ++step, clock.advance(100)) {
            const wsim::Bytes d = record(1);
            if (d[1] != 'M') break;
            for (int i = 0; i < 4; ++i) {
                EXPECT_GT(f32(d, kBitSums + 4 * i), last[i]) << "channel " << i << " at " << step;
                last[i] = f32(d, kBitSums + 4 * i);
            }
        }
        EXPECT_EQ(record(1)[1], c.at2s);
        clock.advance(3'000);
        EXPECT_EQ(record(1)[1], c.at5s);
        clock.advance(600'000);
        EXPECT_EQ(record(1)[1], c.at10min);
        ASSERT_EQ(control("restart 1"), "ok");
        clock.advance(10'000);
    }
}

TEST_F(SimLive, LampReadingsHeldAfterAManualBitAndTheUvCalibrationMode) {
    // IR: BIT sum 4 outright; UV/IR: the UV BIT sum, 5 s of BIT at the rate.
    const struct {
        uint8_t addr;
        const char *lamp, *lens;
        float expected;
    } cases[] = {
        {1, "normal", "covered", 150}, {1, "normal", "open", 600}, {1, "weak", "open", 180}, {1, "dead", "open", 0},
        {2, "normal", "covered", 40},  {2, "normal", "open", 200}, {2, "weak", "open", 48},  {2, "dead", "covered", 0},
    };
    clock.advance(10'000);
    for (const auto& c : cases) {
        const std::string a = std::to_string(c.addr);
        SCOPED_TRACE(a + " " + c.lamp + " " + c.lens);
        ASSERT_EQ(control("lamp " + a + " " + c.lamp), "ok");
        ASSERT_EQ(control("lens " + a + " " + c.lens), "ok");
        line->withDetector(c.addr, [](wsim::Detector& d, int64_t now) { d.startManualBit(now, 5); });
        const size_t at = c.addr == 1 ? kBitSums + 8 : kBitSums;
        for (char mode : {'E', 'N'}) {
            clock.advance(mode == 'E' ? 5'500 : 60'000);
            const wsim::Bytes d = record(c.addr);
            EXPECT_EQ(d[1], mode);
            EXPECT_NEAR(f32(d, at), c.expected, c.expected * 0.01f + 1e-3f);
        }
    }
    EXPECT_NE(control("lamp 1 bright"), "ok");
    // D_CALIBRATE_UV_BIT: an 18-byte answer with 1 on UV/IR, silence on IR; a restart ends the mode.
    const uint8_t enter = 1;
    for (uint8_t addr : {uint8_t(1), uint8_t(2)})
        line->withDetector(addr, [&](wsim::Detector& d, int64_t now) {
            const auto reply = d.handleRecord({addr, true, true, 115, 0, 0, false, &enter, 1}, now);
            EXPECT_EQ(reply.has_value(), addr == 2);
            if (reply) {
                EXPECT_EQ(reply->data, wsim::Bytes{1});
            }
            EXPECT_EQ(d.uvBitCalibration(), addr == 2);
        });
    ASSERT_EQ(control("restart 2"), "ok");
    line->withDetector(2, [](wsim::Detector& d, int64_t) { EXPECT_FALSE(d.uvBitCalibration()); });
}
