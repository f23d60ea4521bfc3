// BIT calibration: the averages, the ratio test and the thresholds.
#include <cmath>

#include <gtest/gtest.h>

#include "calib/BitCalibration.h"

using namespace bitcal;

TEST(BitFormulas, Averages) {
    const struct {
        Kind kind;
        std::array<long, 3> readings;
        std::array<unsigned, 3> durations;
        std::optional<long> avg;
    } cases[] = {
        {Kind::Ir, {100, 101, 103}, {}, 101},          // truncating
        {Kind::Uv, {52, 0, 0}, {5, 0, 0}, 10},         // 10.4 per second
        {Kind::Uv, {53, 0, 0}, {5, 0, 0}, 11},         // 10.6: halves upward
        {Kind::Uv, {77, 73, 0}, {7, 7, 0}, 10},        // 11 and 10, truncated
        {Kind::Uv, {52, 999, 77}, {5, 0, 7}, 10},      // 5, 0, 7: the 0 ends the list
        {Kind::Uv, {52, 0, 0}, {0, 5, 5}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(SetAverage(c.kind, c.readings, c.durations), c.avg) << c.readings[0];
}

TEST(BitFormulas, RatioAndThresholds) {
    const struct {
        float bright, dark, param1;
        bool pass;
        const char* line;
    } ratios[] = {
        {150, 100, 1.5f, true, "(UV bright 150) / (UV dark 100) = 1.50 >= (param1 1.50) ? YES"},
        {149, 100, 1.5f, false, "(UV bright 149) / (UV dark 100) = 1.49 >= (param1 1.50) ? NO"},
        {600, 0, 1.5f, false, "(UV bright 600) / (UV dark 0) = 0.00 >= (param1 1.50) ? NO"},
        {600, -2, 1.5f, false, "(UV bright 600) / (UV dark -2) = 0.00 >= (param1 1.50) ? NO"},
    };
    for (const auto& c : ratios) {
        const RatioResult r = RatioTest(Kind::Uv, c.bright, c.dark, c.param1);
        EXPECT_EQ(r.pass, c.pass);
        EXPECT_EQ(r.line, c.line);
    }
    EXPECT_EQ(RatioTest(Kind::Ir, 300, 100, 1).line.substr(0, 15), "(IR bright 300)");

    std::string error;
    EXPECT_NEAR(*IrThreshold({{1.5f, 100, 0.01f, 1}}, 125, 20, &error), 10416.667, 0.01);
    EXPECT_FALSE(IrThreshold({{1.5f, 100, -0.05f, 1}}, 125, 20, &error));  // 1 + param3 x qtemp = 0
    EXPECT_NE(error.find("manbit"), std::string::npos);
    EXPECT_FALSE(IrThreshold({{1.5f, -1, 0, 1}}, 125, 20, &error));

    // param2, param3 = 0 (denominator 1), param4; dark, bright.
    const struct {
        float p2, p4, dark, bright;
        unsigned duration, thr;
    } uv[] = {
        {1, 200, 10, 100, 2, 20},     // v 2.0
        {1, 400, 10, 100, 4, 40},     // v 4.0
        {1, 250, 10, 100, 3, 30},     // v 2.5 rounds up
        {2, 100, 0.25f, 100, 2, 3},   // computed 1: the least is 3
        {1, 1000, 100, 400, 3, 255},  // 300 fits no byte: 255
        {2, 200, 100, 100, 2, 200},   // t above param4: param4
    };
    for (const auto& c : uv) {
        const auto t = UvThresholds({{1.5f, c.p2, 0, c.p4}}, c.dark, c.bright, 20, &error);
        ASSERT_TRUE(t) << c.p4;
        EXPECT_EQ(t->duration, c.duration) << c.p4;
        EXPECT_EQ(t->threshold, c.thr) << c.p4;
    }
    EXPECT_FALSE(UvThresholds({{1.5f, 1, -0.05f, 200}}, 10, 100, 20, &error));
    EXPECT_NE(error.find("UVBIT_Thr"), std::string::npos);
    EXPECT_FALSE(UvThresholds({{1.5f, 1, 0, NAN}}, 10, 100, 20, &error));

    // The UV window's duration fields: refused field, its new text, the box.
    const struct {
        std::array<std::string, 3> fields;
        int refused;
        const char* text;
        const char* box;
    } durations[] = {
        {{"5", "0", "7"}, -1, "", ""},  {{"", "5", "5"}, 0, "?", ""},  {{"x", "5", "5"}, 0, "?", ""},
        {{"5", "21", "0"}, 1, "", "Duration may not exceed 20 sec..."},
        {{"99999999999", "0", "0"}, 0, "", "Duration may not exceed 20 sec..."},
    };
    for (const auto& d : durations) {
        const DurationCheck c = CheckDurations(d.fields);
        EXPECT_EQ(c.refused, d.refused) << d.fields[0] << d.fields[1];
        EXPECT_EQ(c.fieldText, d.text);
        EXPECT_EQ(c.message, d.box);
    }
    EXPECT_EQ(CheckDurations({"5", "0", "7"}).durations, (std::array<unsigned, 3>{5, 0, 7}));
}
