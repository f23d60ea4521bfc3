#include "monitor/Recorder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "monitor/LiveFrames.h"
#include "monitor/LivePoll.h"
#include "support/TestLineWire.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The mode letters of one address's records in a log, in order.
std::string Modes(const std::vector<std::string>& lines, const std::string& address) {
    std::string modes;
    for (const auto& line : lines)
        if (line.rfind(address + "\t", 0) == 0) modes += line.substr(line.find('\t', line.find('\t', line.find('\t') + 1) + 1) + 1, 1);
    return modes;
}

// A recording with a hand-moved wall clock that starts at 14:03:27 UTC on
// 5 December 2026, into a fresh folder.
class Recording : public TestLine {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        std::tm start = DecemberFifth();
        t0 = now = Clock::from_time_t(timegm(&start));
        dir = fs::temp_directory_path() / ("recording_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        TestLine::TearDown();
        fs::remove_all(dir);
    }
    std::shared_ptr<Recorder> recorder(LogOptions log = {}, std::string folder = "") {
        RecorderOptions o;
        o.folder = folder.empty() ? dir.string() : folder;
        o.log = log;
        o.clock = [this] { return now; };
        return std::make_shared<Recorder>(o);
    }
    // Polls `selection` until `end`, the clocks moved by `stepMs(elapsed)` after each tick.
    std::vector<LiveStep> run(LivePoll& poll, std::chrono::seconds end,
                              const std::function<int(Clock::duration)>& stepMs) {
        std::vector<LiveStep> steps;
        while (now - t0 < end) {
            steps.push_back(poll.tick());
            const int ms = stepMs(now - t0);
            now += std::chrono::milliseconds(ms);
            clock.advance(ms);
        }
        return steps;
    }
    fs::path dir;
    Clock::time_point t0, now;
};

TEST_F(Recording, TwoDetectorsEveryMinuteWithAFire) {
    testline::Options o;
    o.clock = &clock;
    startLine({testline::ir(1), testline::ir(2)}, o);
    openWire(1);
    auto rec = recorder();
    LivePoll poll({[] { return std::vector<uint8_t>{1, 2}; }, true, {}, [](unsigned) {}, {}});
    poll.attachRecorder(rec);
    ASSERT_TRUE(rec->start(recperiod::Minute, LogFamily::Ir));
    bool fired = false;
    run(poll, 195s, [&](Clock::duration at) {
        if (at >= 90s && !fired) fired = line->startFire(2, false);
        return at >= 90s && at < 107s ? 250 : 5000;
    });
    rec->stop();
    ASSERT_EQ(rec->files().size(), 1u);
    const auto lines = Lines(rec->files()[0]);
    EXPECT_EQ(rec->files()[0], (dir / "VovaVULog_Y26M12D05_h14m03s27_gmt.txt").string());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "<> Start recording every minute");
    EXPECT_EQ(lines[1].substr(0, 9), " Address\t");
    EXPECT_EQ(Modes(lines, "1"), "NNN");
    EXPECT_EQ(Modes(lines, "2"), "NGWAZNNN");  // a record per minute, and one per change of mode
    EXPECT_EQ(lines.back().substr(0, 9), "========\t");
    EXPECT_EQ(rec->title(), "Recording: OFF");
}

// Address 1 an IR detector, 2 silent, 3 a UV/IR detector.
int Answer(unsigned address, std::array<uint8_t, live::kSize>& frame) {
    if (address == 2) return 0;
    frame = LiveFrame(static_cast<uint8_t>(address), 'N', address == 3).frame();
    return static_cast<int>(live::kSize);
}

LivePoll::Options Crafted() { return {[] { return std::vector<uint8_t>{1, 2, 3}; }, true, Answer, [](unsigned) {}, {}}; }

TEST_F(Recording, SilentDetectorAndOneLogPerFamily) {
    auto rec = recorder();
    LivePoll poll(Crafted());
    poll.attachRecorder(rec);
    ASSERT_TRUE(rec->start(recperiod::Minute, LogFamily::Ir));
    const auto steps = run(poll, 195s, [](Clock::duration) { return 5000; });
    EXPECT_FALSE(steps[1].record);
    rec->stop();
    ASSERT_EQ(rec->files().size(), 2u);
    const auto ir = Lines(rec->files()[0]), uvir = Lines(rec->files()[1]);
    EXPECT_EQ(rec->files()[1], (dir / "UVIRLog_Y26M12D05_h14m03s27_gmt.txt").string());
    EXPECT_EQ(Modes(ir, "1") + "|" + Modes(uvir, "3"), "NNN|NNN");
    EXPECT_EQ(ir.size(), 2u + 3 + 1);
    EXPECT_EQ(uvir[1].substr(0, 8), "Address\t");
    EXPECT_EQ(ir.back() + "\n", SeparatorLine(LogFamily::Ir, {}));
    EXPECT_EQ(uvir.back() + "\n", SeparatorLine(LogFamily::Uvir, {}));
}

TEST_F(Recording, AFileThatFailsStopsTheRecording) {
    // A folder that cannot be made: nothing starts.
    auto blocked = recorder({}, "/dev/null/Recordings");
    EXPECT_FALSE(blocked->start(recperiod::OnePointFive, LogFamily::Ir));
    EXPECT_EQ(blocked->errorFile(), "/dev/null/Recordings/VovaVULog_Y26M12D05_h14m03s27_gmt.txt");
    EXPECT_FALSE(blocked->on());

    // The UV/IR log on a full disk: the first UV/IR line stops the run, the IR log is closed properly.
    fs::create_symlink("/dev/full", dir / "UVIRLog.txt");
    auto rec = recorder({true, false});
    LivePoll poll(Crafted());
    poll.attachRecorder(rec);
    ASSERT_TRUE(rec->start(recperiod::OnePointFive, LogFamily::Ir));
    const auto steps = run(poll, 5s, [](Clock::duration) { return 500; });
    std::string failed;
    for (const auto& s : steps) failed += s.errorFile;
    EXPECT_EQ(failed, (dir / "UVIRLog.txt").string());
    EXPECT_EQ(rec->title(), "Recording: OFF");
    const auto ir = Lines((dir / "VovaVULog.txt").string());
    EXPECT_EQ(ir.back() + "\n", SeparatorLine(LogFamily::Ir, {true, false}));
}

TEST_F(Recording, CommentsAndTheHistoryRing) {
    auto rec = recorder();
    LivePoll poll(Crafted());
    poll.attachRecorder(rec);
    EXPECT_TRUE(rec->insertComment("roof", LogFamily::Ir));  // kept for the start line
    ASSERT_TRUE(rec->start(recperiod::Fast, LogFamily::Ir));
    EXPECT_TRUE(rec->insertComment("east side", LogFamily::Uvir));  // opens the UV/IR log
    EXPECT_TRUE(rec->insertComment("-", LogFamily::Ir));            // a start line in each log
    rec->stop();
    const auto ir = Lines(rec->files()[0]), uvir = Lines(rec->files()[1]);
    EXPECT_EQ(ir[0] + "|" + ir[2], "<roof> Start 'fast' recording|<-> Start 'fast' recording");
    EXPECT_EQ(uvir[0] + "|" + uvir[2], "<east side> Start 'fast' recording|<-> Start 'fast' recording");

    // 100 good answers of 150 polls: the ring holds the last 50, replay plays them oldest first.
    run(poll, 75s, [](Clock::duration) { return 500; });
    EXPECT_TRUE(poll.historyFilled());
    EXPECT_EQ(poll.historyEntry(0)->address(), 3u);
    EXPECT_EQ(poll.historyEntry(49)->address(), 1u);
    EXPECT_EQ(poll.historyEntry(48)->address(), 3u);
    poll.setReplay(LivePoll::Replay::Playing);
    std::string order;
    for (int i = 0; i < 52; ++i)
        if (const auto s = poll.tick(); s.record) order += std::to_string(s.address);
    EXPECT_EQ(order.size(), 50u);
    EXPECT_EQ(order.substr(0, 3) + order.substr(47), "131313");
    EXPECT_EQ(poll.replay(), LivePoll::Replay::Stopped);
}

}  // namespace
