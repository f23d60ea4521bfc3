// wexcon-cli record stream|pull against the simulator, whose samples are a
// counter, so every recorded byte is checked.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CliLine.h"
#include "link/CommDriver.h"
#include "support/TempFolder.h"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kSync[12] = {0x7F, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xA8};

bool SampleRun(const uint8_t* p, uint64_t first, size_t count) {
    for (size_t k = 0; k < count; ++k) {
        const uint32_t v = static_cast<uint32_t>((first + k) % 0x7FFFFF);
        if (p[3 * k] != (v & 0xFF) || p[3 * k + 1] != ((v >> 8) & 0xFF) || p[3 * k + 2] != (v >> 16)) return false;
    }
    return true;
}

// The stream file's blocks and chunks, each checked; the block count, or -1
// at the first byte that is not where it belongs.
long CheckStream(const std::string& file, unsigned rate) {
    const std::string d = slurp(file);
    const auto* p = reinterpret_cast<const uint8_t*>(d.data());
    const size_t chunk = rate * 3;
    size_t at = 0;
    long blocks = 0;
    while (at < d.size()) {
        if (d.size() - at < 180 || std::memcmp(p + at, kSync, 12) != 0) return -1;
        uint32_t number;
        std::memcpy(&number, p + at + 12, 4);
        at += 180;
        ++blocks;
        if (at == d.size()) break;
        if (d.size() - at < chunk || !SampleRun(p + at, uint64_t{number} * rate, rate)) return -1;
        at += chunk;
    }
    return blocks;
}

std::string Value(const std::string& out, const std::string& key) {
    const size_t at = out.find(key + " ");
    return at == std::string::npos ? "" : out.substr(at + key.size() + 1, out.find('\n', at) - at - key.size() - 1);
}

class CliRecord : public CliLine {
protected:
    void SetUp() override {
        startLine({testline::ir(1)});
        openWire(1);
    }
    void TearDown() override {
        ResetCommDriver();
        CliLine::TearDown();
    }
    unsigned detectorBaud() {
        unsigned baud = 0;
        line->withDetector(1, [&](wsim::Detector& d, int64_t) { baud = d.baud(); });
        return baud;
    }
    TempFolder folder;
};

TEST_F(CliRecord, StreamsByteExactAtBothRates) {
    for (const auto& [rate, hz] : {std::pair{2300u, 2300u}, std::pair{100u, 100u}}) {
        SCOPED_TRACE(rate);
        const std::string name = "r" + std::to_string(rate);
        ASSERT_EQ(run(1, "record stream " + name + " --seconds 2 --rate " + std::to_string(rate)), 0) << err.str();
        const long blocks = CheckStream("Recordings/" + name + ".bin", hz);
        EXPECT_GE(blocks, 2);
        EXPECT_EQ(Value(out.str(), "blocks"), std::to_string(blocks));
        EXPECT_EQ(Value(out.str(), "bytes"), std::to_string(std::filesystem::file_size("Recordings/" + name + ".bin")));
        EXPECT_EQ(Value(out.str(), "lost"), "0");
        EXPECT_EQ(Value(out.str(), "stop"), "ok");
        EXPECT_NE(err.str().find("Stopping IR Recording suceeded at try # 1"), std::string::npos);
        EXPECT_EQ(detectorBaud(), 9600u);
        bool streaming = true;
        line->withDetector(1, [&](wsim::Detector& d, int64_t) { streaming = d.streaming(); });
        EXPECT_FALSE(streaming);
    }
    // The converter: the first block's number, then its first sample.
    const std::string bin = "Recordings/r100.bin";
    ASSERT_EQ(std::system((std::string(WEXCON_RAWCONV) + " " + bin).c_str()), 0);
    uint32_t first;
    std::memcpy(&first, slurp(bin).data() + 12, 4);
    EXPECT_EQ(slurp(bin + ".txt").rfind("# block " + std::to_string(first) + "\n" + std::to_string(first * 100) + "\n", 0),
              0u);
    EXPECT_EQ(WEXITSTATUS(std::system((std::string(WEXCON_RAWCONV) + " Recordings/r100.log 2>/dev/null").c_str())), 2);
    // A piece cut short at the end is left out; a folder's ".100" does not make a file pulled.
    std::filesystem::create_directory("v.100");
    std::ofstream("v.100/cut.bin", std::ios::binary) << slurp(bin) << slurp(bin).substr(0, 100);
    EXPECT_EQ(std::system((std::string(WEXCON_RAWCONV) + " v.100/cut.bin 2>/dev/null").c_str()), 0);
    EXPECT_EQ(slurp("v.100/cut.bin.txt"), slurp(bin + ".txt"));
#ifdef WEXCON_GRAPH
    // The plot program draws the converter's text, and refuses a file without samples.
    const std::string graph = std::string("QT_QPA_PLATFORM=offscreen ") + WEXCON_GRAPH + " ";
    EXPECT_EQ(std::system((graph + bin + ".txt --png r100.png").c_str()), 0);
    EXPECT_GT(std::filesystem::file_size("r100.png"), 0u);
    EXPECT_EQ(WEXITSTATUS(std::system((graph + "Recordings/r100.log --png x.png 2>/dev/null").c_str())), 2);
#endif
}

TEST_F(CliRecord, FailuresStillStopTheDetector) {
    // A full disk: the first piece does not fit.
    std::filesystem::create_directory("Recordings");
    std::filesystem::create_symlink("/dev/full", "Recordings/full.bin");
    EXPECT_EQ(run(1, "record stream full --seconds 5"), kCliUsage);
    EXPECT_NE(err.str().find("Recordings/full.bin"), std::string::npos) << err.str();
    EXPECT_EQ(Value(out.str(), "stop"), "ok");
    // A file that cannot be made: nothing is sent.
    std::filesystem::create_directory("Recordings/dir.bin");
    const uint64_t frames = line->stats().frames;
    EXPECT_EQ(run(1, "record stream dir"), kCliUsage);
    EXPECT_EQ(line->stats().frames, frames);
    // Never starting: the stop goes out all the same, and the line is back at 9600.
    EXPECT_EQ(wsim::runControlCommand(*line, "stream 1 never"), "ok");
    EXPECT_EQ(run(1, "record stream never --seconds 1"), kCliFailed);
    EXPECT_NE(err.str().find("Starting IR Recording failed..."), std::string::npos);
    EXPECT_EQ(Value(out.str(), "stop"), "ok");
    EXPECT_EQ(detectorBaud(), 9600u);
    // A late starter, after the host gave up looking, is stopped before it streams.
    bool streaming = true;
    EXPECT_EQ(wsim::runControlCommand(*line, "stream 1 normal"), "ok");
    EXPECT_EQ(wsim::runControlCommand(*line, "stream 1 late 11000"), "ok");
    EXPECT_EQ(run(1, "record stream late --seconds 1"), kCliFailed);
    line->withDetector(1, [&](wsim::Detector& d, int64_t) { streaming = d.streaming(); });
    EXPECT_FALSE(streaming);
    EXPECT_EQ(detectorBaud(), 9600u);
    // A detector deaf to the stop: every try goes out, then the failure is told.
    EXPECT_EQ(wsim::runControlCommand(*line, "stream 1 deaf"), "ok");
    EXPECT_EQ(run(1, "record stream deaf --seconds 1"), kCliFailed);
    EXPECT_NE(err.str().find("Stopping IR Recording, try # 8"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("Stopping IR Recording failed..."), std::string::npos);
    EXPECT_EQ(Value(out.str(), "stop"), "failed");
}

// `record stream NAME` in a process of its own, on the line's port.
pid_t SpawnRecord(wsim::Line& line, const std::string& name) {
    const std::string port = line.slavePath() + ":9600,n,8,1";
    ResetWire();  // the port is the child's
    std::vector<std::string> words{WEXCON_CLI, "--port", port, "--address", "1", "record", "stream", name};
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    return pid;
}

TEST_F(CliRecord, SignalDuringTheStartEndsItWithTheStop) {
    EXPECT_EQ(wsim::runControlCommand(*line, "stream 1 never"), "ok");
    const pid_t pid = SpawnRecord(*line, "s");
    for (int i = 0; i < 200 && detectorBaud() != 921600; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::seconds(2));  // into the start's looks
    ::kill(pid, SIGTERM);
    const auto signalled = std::chrono::steady_clock::now();
    int status = -1;
    ::waitpid(pid, &status, 0);
    // The looks alone had 8 s to go; the stop and the switch back take about 3.
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(6));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(detectorBaud(), 9600u);
}

TEST_F(CliRecord, KilledMidStreamKeepsWholePieces) {
    const pid_t pid = SpawnRecord(*line, "k");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline &&
           (!std::filesystem::exists("Recordings/k.bin") || std::filesystem::file_size("Recordings/k.bin") < 20000))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_GE(CheckStream("Recordings/k.bin", 2300), 3);
}

TEST_F(CliRecord, PullsStatusAndSampleBlocks) {
    EXPECT_EQ(wsim::runControlCommand(*line, "drop 2"), "ok");  // the first pull times out
    ASSERT_EQ(run(1, "record pull p --seconds 6 --comment c"), 0) << err.str();
    const std::string d = slurp("Recordings/p.100");
    ASSERT_EQ(d.size(), 1380u);  // the sample block at 4.56 s
    EXPECT_EQ(std::memcmp(d.data(), kSync, 12), 0);
    EXPECT_TRUE(SampleRun(reinterpret_cast<const uint8_t*>(d.data()) + 12, 0, 456));
    // A status block a second, 0 from the start, every one pulled and logged.
    const long blocks = std::stol(Value(out.str(), "blocks"));
    EXPECT_TRUE(blocks == 6 || blocks == 7) << blocks;
    EXPECT_EQ(Value(out.str(), "skipped"), "0");
    const std::string log = slurp("Recordings/p.log");
    EXPECT_EQ(log.rfind("<c> Start 'fast' recording\n", 0), 0u);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2 + blocks + 1);
}

}  // namespace
