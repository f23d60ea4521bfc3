// The explosion monitor and the FM approval test: their text and timer rules,
// and both run against the simulated line.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "e2e/CliLine.h"
#include "monitor/CFMTest2Ids.h"
#include "monitor/CMonitorExplosionsIds.h"
#include "monitor/ExplosionMonitor.h"
#include "monitor/FmTest.h"
#include "protocol/records/MiscControl.h"
#include "shell/FakePanel.h"
#include "support/TempFolder.h"

using namespace explosion;
using namespace fmtest;

TEST(ExplosionScan, FailCodesAndTimes) {
    const struct {
        const char* text;
        int code;
        double time;  // -1: none
    } cases[] = {
        {"SN:00000001 ADR:001\nDetection Cond: IR\nDetection time: 12 ms\n", 0, 12},
        {"Detection time: 75 ms too long\n", 4, 75},
        {"nNegative: 1\nDetection time: 80 ms too long\n", 6, 80},
        {"nNegative: 1\nDetection time: 20 ms\n", 2, 20},
        {"nNegative: 1\n", 1, -1},                  // not reported, whatever was seen
        {"Detection time: 33 ms", 0, 33},           // no final line feed
        {"Detection time: none\nDetection time: 7 ms\n", 0, 7},  // no m: the scan goes on
        {"", 1, -1},
    };
    for (const auto& c : cases) {
        const Scan s = ScanMessage(c.text);
        EXPECT_EQ(s.failCode, c.code) << c.text;
        EXPECT_EQ(s.timeMs.value_or(-1), c.time) << c.text;
    }
    EXPECT_EQ(ScanMessage("x Detection Cond: UV\n").lines.front(), "    Detection Cond: UV");
    // No zero byte: the text ends with byte 1400, before the CRC.
    const std::vector<uint8_t> full(kMessageFrameSize, 'a');
    EXPECT_EQ(DecodeMessageText(full, false).size(), 1385u);
    EXPECT_EQ(ViewLine("a\tb\nc"), "a    b c");
    EXPECT_EQ(ViewLine(std::string(5000, 'x')).size(), 4096u);
}

TEST(FmTimer, ShownTimes) {
    EXPECT_EQ(TimerText(83456), "1:23.45");
    const struct {
        uint32_t counter;
        int correction;
        bool frozen;
        size_t network;
        uint32_t shown;
    } cases[] = {
        {1000, 200, true, 5, 800},  {1000, 200, true, 4, 1000}, {1000, 200, false, 5, 1000},
        {100, 200, true, 5, 0},     // clamped, not wrapped
        {0xFFFFFFF0u, -100, true, 8, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) EXPECT_EQ(ShownTime(c.counter, c.correction, c.frozen, c.network), c.shown);
    std::tm t{};
    t.tm_mday = 5, t.tm_mon = 11, t.tm_year = 126, t.tm_hour = 7, t.tm_min = 3, t.tm_sec = 9;
    EXPECT_EQ(DateText(t), "05/12/2026");
    EXPECT_EQ(TimeText(t), "07:03:09");
}

class FieldTests : public CliLine {
protected:
    void control(const std::string& command) {
        bool ok = false;
        EXPECT_EQ(wsim::runControlCommand(*line, command, &ok), "ok") << command;
    }
    TempFolder folder;
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
};

TEST_F(FieldTests, ExplosionStepsRetriesAndLog) {
    startLine({testline::ir(1), testline::ir(2), testline::ir(3)});
    openWire(1);
    ExplosionMonitor::Options o;
    o.addresses = [] { return std::vector<uint8_t>{1, 2, 3}; };
    ExplosionMonitor m(panel, o);
    // Row 1 misses four times (given up), row 2 three times (answers on the fourth).
    m.startErase();
    control("silent 1");
    for (int i = 0; i < 4; ++i) m.eraseTick();
    control("talk 1");
    control("silent 2");
    for (int i = 0; i < 3; ++i) m.eraseTick();
    control("talk 2");
    while (m.eraseTick()) {}
    EXPECT_EQ(m.handled(), 3u);
    EXPECT_FALSE(m.rows()[0].serial);
    control("explode 1 30");
    control("explode 2 70 false");
    control("explode 3 none");
    ASSERT_TRUE(m.startRetrieve());
    while (m.retrieveTick()) {}
    const std::vector<std::pair<std::string, std::string>> cells = {{"30.0", "0"}, {"70.0", "6"}, {"", "1"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(panel->text(explosionwin::Cell(i, explosionwin::Time)), cells[i].first);
        EXPECT_EQ(panel->text(explosionwin::Cell(i, explosionwin::Fail)), cells[i].second);
    }
    const auto& view = panel->lists[explosionwin::kView];
    EXPECT_NE(std::find(view.begin(), view.end(), "Retries exhausted..."), view.end());
    EXPECT_NE(std::find(view.begin(), view.end(), "MISC_ERASEMSG suceeded on Address 2, S/N 21030002 with 3 retries"),
              view.end());
    EXPECT_EQ(view.back(), "Retrieve: done.");
    const std::string log = slurp("logX.txt");
    EXPECT_EQ(log.rfind("-----------------------------------------------------\n", 0), 0u);
    EXPECT_NE(log.find("\nAddr 1, S/N 21030001, Detection time: 30.0 ms\nAddr 2, S/N 21030002, Detection time: 70.0 "
                       "ms\nAddr 3, S/N 21030003, Explosion not reported...\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(m.retriesRanOut());

    std::filesystem::remove("logX.txt");
    std::filesystem::create_directory("logX.txt");
    EXPECT_FALSE(m.startRetrieve());
    EXPECT_EQ(panel->questions.back(), "Error: Failed opening \"logX.txt\"...\r\nRetrieval aborted.\r\n");
}

TEST_F(FieldTests, FmFreezesOnTheFirstAlarmAnswer) {
    startLine({testline::ir(1), testline::ir(2), testline::ir(3), testline::ir(4), testline::ir(5)},
              {.fast = true, .clock = &clock});
    openWire(1);
    std::ofstream("Param.ini") << "[FMTest]\nTimerCorrection_ms=100\n";
    FmTest::Options o;
    o.addresses = [] { return std::vector<uint8_t>{1, 2, 3, 4, 5, 9}; };  // 9 never answers, never freezes
    FmTest t(panel, o);
    control("fm-fire 1 300");
    control("fm-fire 2 300 x norelay");
    for (int a = 3; a <= 5; ++a) control("fm-fire " + std::to_string(a) + " 900");
    t.open();
    EXPECT_EQ(panel->text(fmwin::Cell(0, fmwin::Label)), "DET-1");
    t.start();
    t.tick(clock.nowMs());  // the start broadcast
    ASSERT_EQ(t.expected(), 6);
    clock.advance(299);
    t.tick(clock.nowMs());  // 1 not yet
    clock.advance(1);
    for (int i = 0; i < 6; ++i) t.tick(clock.nowMs());
    EXPECT_EQ(t.row(0).cells[fmwin::Timer], "0:00.20");  // 300 less the correction
    EXPECT_EQ(t.row(1).cells[fmwin::Timer], "0:00.20");  // 'X' counts
    EXPECT_EQ(t.row(1).cells[fmwin::Relay], "Off");
    EXPECT_EQ(t.row(0).state, Frozen);
    EXPECT_EQ(t.row(2).state, Seen);
    clock.advance(5000);
    for (int i = 0; i < 8; ++i) t.tick(clock.nowMs());
    EXPECT_EQ(t.row(0).cells[fmwin::Timer], "0:00.20");
    EXPECT_EQ(t.row(2).cells[fmwin::Timer], "0:05.20");  // frozen at the first alarm answer it gave
    EXPECT_EQ(t.expected(), 1);                          // 9 keeps the test polling

    panel->answers = {IDCANCEL};
    EXPECT_TRUE(t.clear());
    EXPECT_FALSE(std::filesystem::exists("FMResults.txt"));
    EXPECT_EQ(t.row(0).cells[fmwin::PcTimer], "Timer");
    t.start();
    t.tick(clock.nowMs());
    panel->answers = {IDOK};
    EXPECT_TRUE(t.clear());
    EXPECT_TRUE(t.save());
    const std::string saved = slurp("FMResults.txt");
    EXPECT_EQ(saved.find("Date\t Time"), 0u);
    EXPECT_NE(saved.find("Date\t Time", 10), std::string::npos);

    t.manualBit();  // broadcast, so every detector runs it
    line->withDetector(5, [&](wsim::Detector& d, int64_t now) { EXPECT_EQ(d.mode(now), 'M'); });

    std::filesystem::remove("FMResults.txt");
    std::filesystem::create_directory("FMResults.txt");
    EXPECT_FALSE(t.save());
    EXPECT_EQ(panel->questions.back().rfind("Error: Failed writing \"FMResults.txt\"", 0), 0u);
    // Refused at Clear or at closing: the results stay for another try.
    t.start();
    for (int i = 0; i < 4; ++i) t.tick(clock.nowMs());
    panel->answers = {IDOK, IDOK};
    EXPECT_FALSE(t.clear());
    EXPECT_FALSE(t.close());
    EXPECT_TRUE(t.running());
    EXPECT_EQ(t.row(0).cells[fmwin::Address], "1");
}

TEST_F(FieldTests, CliExitStatuses) {
    startLine({testline::ir(1), testline::ir(2)});
    openWire(1);
    for (const char* bad : {"fm-fire 1 none", "fm-fire 1 300 y", "explode 1 30 x", "explode 0 30", "explode 9 30"}) {
        bool ok = true;
        wsim::runControlCommand(*line, bad, &ok);
        EXPECT_FALSE(ok) << bad;
    }
    EXPECT_EQ(run(1, "explosion --addresses 1,2", "\n"), 4);
    EXPECT_EQ(out.str(), "1\t21030001\t-\t1\n2\t21030002\t-\t1\n");
    control("fm-fire 1 200");
    EXPECT_EQ(run(1, "fmtest --seconds 5 --save --fuel Diesel --pc-timer"), 0) << err.str();
    EXPECT_EQ(out.str().rfind("1\t21030001\t", 0), 0u) << out.str();
    const std::string row = out.str().substr(0, out.str().find('\n'));
    EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 5) << row;  // the PC timer after the relay
    EXPECT_NE(slurp("FMResults.txt").find("\tDiesel\tStraight\t0\t90\n"), std::string::npos);
    EXPECT_EQ(run(1, "fmtest --fuel Petrol"), 2);
    EXPECT_EQ(run(1, "fmtest --addresses 2 --seconds 1"), 1);
}
