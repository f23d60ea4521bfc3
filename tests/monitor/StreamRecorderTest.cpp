#include "monitor/StreamRecorder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <deque>
#include <filesystem>

#include "sim/Control.h"
#include "support/TempFolder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Block(uint32_t number, bool goodTrailer = true) {
    Bytes b(adc::kSync, adc::kSync + adc::kSyncSize);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(number >> (8 * i)));
    b.resize(adc::kStatusBlockSize, 0);
    b[adc::kRecordAt] = 3;     // state code
    b[adc::kRecordAt + 1] = 'n';  // mode
    if (!goodTrailer) b[adc::kTrailerAt + 5] = 1;
    return b;
}
Bytes Chunk(uint8_t seed) {
    Bytes c(adc::ChunkSize(2));
    for (size_t i = 0; i < c.size(); ++i) c[i] = static_cast<uint8_t>(seed + i);
    return c;
}
Bytes Junk(size_t n) { return Bytes(n, 0x55); }
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes Tail(const Bytes& b, size_t n) { return Bytes(b.end() - static_cast<long>(n), b.end()); }
Bytes Head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); }

// One turn's bytes and the overwritten count the ring reports with them.
struct Piece {
    Bytes bytes;
    uint64_t overwritten = 0;
};

class Script : public ByteSource {
public:
    explicit Script(std::deque<Piece> turn) : pieces_(std::move(turn)) {}
    size_t read(uint8_t* buf, size_t max, uint64_t* overwritten) override {
        *overwritten = last_;
        if (pieces_.empty()) return 0;
        Piece& p = pieces_.front();
        *overwritten = last_ = p.overwritten;
        const size_t n = std::min(max, p.bytes.size());
        std::memcpy(buf, p.bytes.data(), n);
        p.bytes.erase(p.bytes.begin(), p.bytes.begin() + static_cast<long>(n));
        if (p.bytes.empty()) pieces_.pop_front();
        return n;
    }
    uint32_t waiting() override { return 0; }

private:
    std::deque<Piece> pieces_;
    uint64_t last_ = 0;
};

struct Case {
    const char* name;
    std::vector<std::deque<Piece>> turns;  // the clock moves 3 s after each
    StreamRecorder::Turn end;
    Bytes file, retrain;
    uint64_t blocks, skipped, lost, retrainTotal;
};

TEST(StreamRecorder, Table) {
    const Bytes b5 = Block(5), c5 = Chunk(1), b6 = Block(6), c6 = Chunk(2), b8 = Block(8), c8 = Chunk(3);
    const auto whole = b5 + c5 + b6 + c6;
    const std::vector<Case> cases = {
        {"mid-block start, two searches: the file holds the last",
         {{{Tail(c8, 40) + b5 + c5 + Junk(30) + b6 + c6}}}, StreamRecorder::Turn::Going, whole, Junk(30), 2, 0, 0, 70},
        {"numbers 5, 6, 8", {{{b5 + c5 + b6 + c6 + b8 + c8}}}, StreamRecorder::Turn::Going, whole + b8 + c8, {}, 3, 1, 0, 0},
        {"bad trailer dropped, the search goes on after its first byte",
         {{{b5 + c5 + Block(6, false) + c6 + b8 + c8}}}, StreamRecorder::Turn::Going, b5 + c5 + b8 + c8,
         Block(6, false) + c6, 2, 1, 0, 480},
        {"a 3 s stall mid-block", {{{Head(whole, 100)}}, {{Tail(whole, whole.size() - 100)}}},
         StreamRecorder::Turn::Going, whole, {}, 2, 0, 0, 0},
        {"69,000 skipped bytes are still a search", {{{Junk(69000) + b5 + c5}}}, StreamRecorder::Turn::Going, b5 + c5,
         Junk(69000), 1, 0, 0, 69000},
        {"69,001 are not", {{{Junk(69001) + b5 + c5}}}, StreamRecorder::Turn::RetrainFailed, {}, Junk(69001), 0, 0, 0, 69001},
        {"ring overrun ends the piece", {{{b5 + Head(c5, 100)}, {Tail(c5, 190) + b6 + c6, 10}}},
         StreamRecorder::Turn::Going, b5 + b6 + c6, Head(c5, 100) + Tail(c5, 190), 2, 0, 10, 290},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        auto now = std::chrono::system_clock::from_time_t(1'765'000'000);
        RecordingFiles files({"Recordings/test.bin", "run", {7, 0x1414, 99887766, false}, [&] { return now; }, {}});
        ASSERT_TRUE(files.openSample() && files.openLog());
        StreamRecorder rec(files, {2, "retrain.bin", {}, {}});
        StreamRecorder::Turn end = StreamRecorder::Turn::Going;
        for (const auto& turn : c.turns) {
            Script source(turn);
            end = rec.turn(source);
            now += std::chrono::seconds(3);
        }
        EXPECT_EQ(end, c.end);
        files.finish();
        const std::string file = slurp("Recordings/test.bin"), retrain = slurp("retrain.bin");
        EXPECT_EQ(Bytes(file.begin(), file.end()), c.file);
        EXPECT_EQ(Bytes(retrain.begin(), retrain.end()), c.retrain);
        EXPECT_EQ(files.counters().blocks, c.blocks);
        EXPECT_EQ(files.counters().skipped, c.skipped);
        EXPECT_EQ(files.counters().bytes, c.file.size());
        EXPECT_EQ(rec.counts().lost, c.lost);
        EXPECT_EQ(rec.counts().retrain, c.retrainTotal);
    }
}

// The simulator's stream at 100 Hz, its control command given 1.5 s in,
// read every 100 ms of detector time.
TEST(StreamRecorder, SimulatedStreamFaults) {
    const struct {
        const char* control;
        int64_t runMs;
        uint64_t blocks, skipped, retrain;
    } cases[] = {
        {"status", 3050, 4, 0, 0},
        {"stream 1 skip 2", 3050, 4, 1, 0},
        {"stream 1 junk 50", 3050, 4, 0, 50},
        {"stream 1 trailer", 3050, 3, 1, 480},
        {"stream 1 stall 3000", 5050, 3, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        TempFolder folder;
        wsim::Line line;  // not started: the test is its clock and its host
        line.addDetector({});
        struct SimSource : ByteSource {
            wsim::Line& line;
            int64_t now = 0;
            explicit SimSource(wsim::Line& l) : line(l) {}
            size_t read(uint8_t* buf, size_t max, uint64_t* overwritten) override {
                *overwritten = 0;
                Bytes b;
                line.withDetector(1, [&](wsim::Detector& d, int64_t) { b = d.streamDue(now); });
                EXPECT_LE(b.size(), max);
                std::copy(b.begin(), b.end(), buf);
                return b.size();
            }
            uint32_t waiting() override { return 0; }
        } source(line);
        const uint8_t rate = 2;
        line.withDetector(1, [&](wsim::Detector& d, int64_t) { d.handleRecord({1, false, false, 126, 0, 0, false, &rate, 1}, 0); });
        RecordingFiles files({"s.bin", "", {}, {}, {}});
        ASSERT_TRUE(files.openSample());
        StreamRecorder rec(files, {2, "retrain.bin", {}, {}});
        for (source.now = 100; source.now <= c.runMs; source.now += 100) {
            if (source.now == 1500) wsim::runControlCommand(line, c.control);
            ASSERT_EQ(rec.turn(source), StreamRecorder::Turn::Going);
        }
        EXPECT_EQ(files.counters().blocks, c.blocks);
        EXPECT_EQ(files.counters().skipped, c.skipped);
        EXPECT_EQ(rec.counts().retrain, c.retrain);
        EXPECT_EQ(files.counters().bytes, c.blocks * 180 + (c.blocks - 1) * 300);
    }
}

TEST(StreamRecorder, LogLineFromTheFrameImage) {
    TempFolder folder;
    RecordingFiles files({RecordingPath("test", ".bin"), "c", {7, 0x1414, 99887766, false}, {}, {}});
    EXPECT_EQ(files.samplePath(), "Recordings/test.bin");
    EXPECT_EQ(RecordingPath("test.bin", ".bin"), "Recordings/test.bin");
    EXPECT_EQ(RecordingPath("run1.100x", ".100", true), "Recordings/run1.100x");
    EXPECT_EQ(files.logPath(), "Recordings/test.log");
    ASSERT_TRUE(files.openSample() && files.openLog());
    files.statusBlock(Block(5), false);
    EXPECT_EQ(files.lastState().substr(0, 4), "N 3 ");
    EXPECT_FALSE(files.statusBlock(Block(4), true));  // the pulled recording's lower number: not logged
    files.finish();
    const std::string log = slurp("Recordings/test.log");
    EXPECT_EQ(log.rfind("<c> Start 'fast' recording\n", 0), 0u);
    EXPECT_NE(log.find("\n7\t"), std::string::npos) << log;
    EXPECT_NE(log.find("\t99887766\t"), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4);
}

TEST(RecordingFiles, AShortWriteIsCutBackToTheCountedBytes) {
    TempFolder folder;
    RecordingFiles files({"s.bin", "", {}, {}, {}});
    ASSERT_TRUE(files.openSample());
    // The size limit plays the full disk: the second piece fits only in part.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1000;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool first = files.writePiece(Junk(700)), second = files.writePiece(Junk(700));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_EQ(files.errorFile(), "s.bin");
    EXPECT_EQ(files.counters().bytes, 700u);
    EXPECT_EQ(std::filesystem::file_size("s.bin"), 700u);
}

}  // namespace
