#include "monitor/TrendHistory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "monitor/CGraphIds.h"
#include "shell/FakePanel.h"
#include "util/Profile.h"

using namespace trend;

namespace {

struct TrendTest : ::testing::Test {
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    std::time_t now = 1796479407;  // Sat Dec  5 14:03:27 2026 UTC
    TrendHistory history{[this] { return now; }};
    // Samples 1, 2, 3... one period apart.
    void fill(uint64_t count) {
        for (uint64_t i = 1; i <= count; ++i) {
            ASSERT_TRUE(history.add(static_cast<float>(i), 25.f, 4.f + static_cast<float>(i) / 10));
            if (i < count) now += static_cast<std::time_t>(history.period());
        }
    }
};

TEST(TrendSettings, SamplesAndTheDialogsRules) {
    struct Row {
        Settings s;
        uint64_t n;
        const char* refusal;
    } rows[] = {
        {{1, 1, 1, 1}, 60, nullptr},  // the defaults
        {{2, 0, 10, 0}, 12, nullptr},
        {{1, 0, 10, 0}, 6, "Duration must be larger than 10 x the sampling rate..."},
        {{0, 1, 1, 1}, 0, "Enter non-zero duration"},
        {{1, 1, 0, 1}, 0, "Enter non-zero frequency"},
        {{31, 2, 1, 0}, kMaxSamples, nullptr},
        {{32, 2, 1, 0}, 2764800, "Duration must be at most 2678400 x the sampling rate..."},
        {{2147483647, 2, 1, 0}, 2147483647ull * 86400, "Duration must be at most 2678400 x the sampling rate..."},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.s.samples(), r.n) << r.s.duration;
        const auto refusal = CheckSettings(r.s);
        EXPECT_EQ(refusal ? refusal->text : "", r.refusal ? r.refusal : "") << r.s.duration;
    }
    EXPECT_EQ(CheckSettings({0, 1, 1, 1})->field, graphwin::kDuration);
}

TEST(TrendSettings, TheTimeFramesResetAsksBeforeTheHistoryIsLost) {
    const Settings current{1, 1, 1, 1};
    struct Row {
        Settings proposed;
        std::vector<int> answers;
        TimeFrameStep step;
        std::vector<std::string> asked;  // captions
        int focus;
    } rows[] = {
        {{0, 1, 1, 1}, {}, TimeFrameStep::Stay, {"Error"}, graphwin::kDuration},
        {{1, 0, 10, 0}, {}, TimeFrameStep::Stay, {"Error"}, 0},
        {{1, 1, 1, 1}, {IDCANCEL}, TimeFrameStep::Keep, {"Warning"}, -1},
        {{1, 1, 1, 1}, {IDOK, IDOK}, TimeFrameStep::Apply, {"Warning", "Resetting"}, -1},
        {{2, 1, 1, 1}, {IDCANCEL}, TimeFrameStep::Keep, {"Resetting"}, -1},
        {{2, 1, 1, 1}, {IDOK}, TimeFrameStep::Apply, {"Resetting"}, -1},
    };
    for (const auto& r : rows) {
        FakePanel panel;
        panel.answers.assign(r.answers.begin(), r.answers.end());
        int focus = -1;
        EXPECT_EQ(ResetTimeFrame(panel, current, r.proposed, &focus), r.step);
        EXPECT_EQ(focus, r.focus);
        ASSERT_EQ(panel.questions.size(), r.asked.size());
        for (size_t i = 0; i < r.asked.size(); ++i) EXPECT_EQ(panel.questions[i].rfind(r.asked[i] + ": ", 0), 0u);
    }
}

TEST(TrendSettings, ParamIniIsCheckedAndWrittenBack) {
    const std::string ini = ::testing::TempDir() + "/TrendParam.ini";
    struct Row {
        const char* file;
        Settings used;
    } rows[] = {
        {"", {1, 1, 1, 1}},
        {"[Trend]\nDuration=2\nDurationUnits=0\nFreq=10\nFreqUnits=0\n", {2, 0, 10, 0}},
        {"[Trend]\nDuration=0\nDurationUnits=9\nFreq=0\nFreqUnits=7\n", {1, 2, 1, 1}},  // clamped
        {"[Trend]\nDuration=1\nDurationUnits=0\nFreq=10\nFreqUnits=0\n", {1, 1, 1, 1}},  // too short
        {"[Trend]\nDuration=40\nDurationUnits=2\nFreq=1\nFreqUnits=0\n", {1, 1, 1, 1}},  // too many
        {"[Trend]\nDuration=abc\nDurationUnits=-1\nFreq=\nFreqUnits=1\n", {1, 1, 1, 1}},
    };
    for (const auto& r : rows) {
        std::ofstream(ini, std::ios::trunc) << r.file;
        bool wrote = false;
        EXPECT_EQ(LoadSettings(ini, &wrote), r.used) << r.file;
        EXPECT_TRUE(wrote);
        EXPECT_EQ(ProfileGetInt(ini, "Trend", "DurationUnits", -5), r.used.durationUnits) << r.file;
        EXPECT_EQ(ProfileGetInt(ini, "Trend", "Freq", -5), r.used.freq) << r.file;
    }
}

TEST_F(TrendTest, OneSampleOnceThePeriodHasPassed) {
    history.apply({2, 0, 10, 0});
    struct Step {
        int advance;
        bool stored;
    } steps[] = {{0, true}, {0, false}, {9, false}, {1, true}, {10, true}, {25, true}, {-100, true}};
    for (const auto& s : steps) {
        now += s.advance;
        EXPECT_EQ(history.add(1, 2, 3), s.stored) << s.advance;
    }
    history.apply(history.settings());  // a fresh history takes the next answer at once
    EXPECT_TRUE(history.add(1, 2, 3));
}

TEST_F(TrendTest, PanAndZoomKeepToTheHistory) {
    history.apply({2, 0, 10, 0});  // N 12, positions 0..119
    EXPECT_EQ(history.zoomTo(-5, 200), Move::Refused);  // both ends clipped
    EXPECT_EQ(history.zoomTo(50, 54), Move::Refused);  // 4 units
    EXPECT_EQ(history.zoomOut(), Move::Refused);  // LIVE
    struct Step {
        Move (TrendHistory::*move)();
        Move result;
        uint64_t first, last;
    } steps[] = {
        {&TrendHistory::panRight, Move::Done, 60, 80},    {&TrendHistory::panRight, Move::Done, 70, 90},
        {&TrendHistory::panRight, Move::Done, 80, 100},   {&TrendHistory::panRight, Move::Done, 90, 110},
        {&TrendHistory::panRight, Move::Clamped, 99, 119}, {&TrendHistory::zoomOut, Move::Refused, 99, 119},
        {&TrendHistory::panLeft, Move::Done, 89, 109},    {&TrendHistory::zoomOut, Move::Done, 79, 119},
        {&TrendHistory::panLeft, Move::Done, 59, 99},     {&TrendHistory::panLeft, Move::Done, 39, 79},
        {&TrendHistory::panLeft, Move::Done, 19, 59},     {&TrendHistory::panLeft, Move::Clamped, 0, 40},
    };
    ASSERT_EQ(history.zoomTo(70, 50), Move::Done);
    for (const auto& s : steps) {
        EXPECT_EQ((history.*s.move)(), s.result) << s.first;
        EXPECT_EQ(history.first(), s.first);
        EXPECT_EQ(history.last(), s.last);
    }
    EXPECT_EQ(history.rightTime(), now - 79);
    history.backToLive();
    EXPECT_EQ(history.last(), 119u);
}

TEST_F(TrendTest, ZoomAboutATimeChecksItsEnds) {
    history.apply({2, 0, 10, 0});  // 120 s of history
    struct Row {
        std::time_t centreBack;
        uint64_t range;
        const char* error;
    } rows[] = {
        {-1, 10, "Center time specified hasn't been recorded yet..."},
        {121, 10, "Center time specified has already been overwritten..."},
        {4, 10, "Range time specified includes times not yet recorded..."},
        {116, 10, "Range time specified includes times that have already been overwritten..."},
        {60, 20, nullptr},
    };
    for (const auto& r : rows) {
        const auto error = history.zoomAbout(now - r.centreBack, r.range);
        EXPECT_EQ(error.value_or(""), r.error ? r.error : "") << r.centreBack;
    }
    EXPECT_EQ(history.first(), 49u);
    EXPECT_EQ(history.last(), 69u);
}

TEST_F(TrendTest, ExportsTheShownSamples) {
    history.apply({2, 0, 10, 0});
    fill(12);
    const std::string head =
        "#\tDate\tVin [V]\tTemperature [\u00B0C]\t4-20 [mA]\n"
        "0\tSat Dec  5 14:03:27\t1.0\t25.0\t4.1\n"
        "1\tSat Dec  5 14:03:37\t2.0\t25.0\t4.2\n";
    const std::string live = history.exportText(false);
    EXPECT_EQ(live.substr(0, head.size()), head);
    EXPECT_TRUE(live.ends_with("11\tSat Dec  5 14:05:17\t12.0\t25.0\t5.2\n"));
    history.zoomTo(95, 119);  // samples 9..11
    now += 10;
    history.add(13, 0, 0);  // sampling goes on under the zoom
    EXPECT_EQ(history.exportText(true, true),
              "#,Date,Vin [V],Temperature [\u00B0F],4-20 [mA]\n"
              "0,2026-12-05 14:04:57,10.0,77.0,5.0\n"
              "1,2026-12-05 14:05:07,11.0,77.0,5.1\n"
              "2,2026-12-05 14:05:17,12.0,77.0,5.2\n");
    const auto columns = history.decimate(Axis::Vin, 2);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_FLOAT_EQ(columns[1].high, 12.f);
    EXPECT_EQ(WriteExport("/nonexistent/TrendLog.txt", "x").value_or(""),
              "Failed opening \"/nonexistent/TrendLog.txt\" for writing...");
}

TEST_F(TrendTest, DecimatesAFullMonthToThePlotsColumns) {
    history.apply({31, 2, 1, 0});
    ASSERT_EQ(history.size(), kMaxSamples);
    history.add(7, 0, 0);
    const auto columns = history.decimate(Axis::Vin, 503);
    ASSERT_EQ(columns.size(), 503u);
    EXPECT_FLOAT_EQ(columns.back().high, 7.f);
    EXPECT_FLOAT_EQ(columns.back().low, 0.f);
}

}  // namespace
