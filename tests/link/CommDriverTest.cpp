#include "link/CommDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <thread>

#include "LinkTestSupport.h"
#include "link/CommLog.h"

namespace {

using linktest::Pty;
using linktest::WaitFor;

class CommDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCommDriver();
        CommLogResetForTest();
    }
    void TearDown() override {
        ResetCommDriver();
        CommLogResetForTest();
    }
    void enableCommLog() { dir_.writeFile("Comm.ini", "[default]\ncomm_log=1\n"); }
    std::string commLog() { return dir_.readFile("comm.log"); }

    // Everything the ring hands out until n bytes came or time ran out.
    std::vector<uint8_t> drain(int slot, size_t n, int timeoutMs = 3000) {
        std::vector<uint8_t> out;
        WaitFor(
            [&] {
                uint8_t buf[4096];
                const size_t got = GetFromRXQueue(slot, buf, sizeof buf);
                out.insert(out.end(), buf, buf + got);
                return out.size() >= n;
            },
            timeoutMs);
        return out;
    }

    linktest::TempWorkDir dir_;
};

TEST(CommConfig, DescriptionRules) {
    const std::string longComment = "COM3:9600,n,8,1 ;" + std::string(259 - 17, 'x');
    struct Case {
        const char* name;
        std::string in;
        bool ok;
        const char* out;
    } cases[] = {
        {"comment after a blank", "COM0:9600,n,8,1 ; bench line", true, "COM0:9600,n,8,1"},
        {"comment without blank", "COM1:9600,e,7,2;x", true, "COM1:9600,e,7,2"},
        {"device prefix", "\\\\.\\COM3:921600,n,8,1", true, "COM3:921600,n,8,1"},
        {"prefix then blanks", "\\\\.\\  COM3:921600,n,8,1", true, "COM3:921600,n,8,1"},
        {"surrounding blanks and tabs", " \t COM3:921600,n,8,1 \t ", true, "COM3:921600,n,8,1"},
        {"device path", "/dev/ttyUSB0:9600,n,8,1", true, "/dev/ttyUSB0:9600,n,8,1"},
        {"no colon", "COM3", false, ""},
        {"no colon, long enough", "COM3 9600,n,8,1", false, ""},
        {"shorter than 5", "COM:", false, ""},
        {"short after cutting the comment", "CO:1 ; COM3:9600,n,8,1", false, ""},
        {"only a comment", "; COM3:9600,n,8,1", false, ""},
        {"empty", "", false, ""},
        {"259 characters", longComment, true, "COM3:9600,n,8,1"},
        {"260 characters", longComment + "x", false, ""},
    };
    ASSERT_EQ(longComment.size(), 259u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = "untouched";
        EXPECT_EQ(NormalizeCommConfig(c.in.c_str(), &out), c.ok);
        EXPECT_EQ(out, c.ok ? c.out : "untouched");
    }
    std::string out;
    EXPECT_FALSE(NormalizeCommConfig(nullptr, &out));
}

TEST_F(CommDriverTest, RefusedDescriptionsLeaveBothSlotsFree) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    const std::string cases[] = {
        "COM3",
        "COM:",
        "COM0:9600,n,8,1",                               // no such port
        pty.path() + ":9600,e,8,1",                      // a pseudo-terminal has no parity
        pty.path() + ":9601,n,8,1",                      // no such speed
        pty.path() + ":9600,n,8,1 ;" + std::string(260, 'c'),  // too long, though valid
        "/dev/null/nothing:9600,n,8,1",
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c);
        EXPECT_EQ(StartComm(c.c_str()), -1);
        EXPECT_FALSE(CommSlotOpen(0));
        EXPECT_FALSE(CommSlotOpen(1));
    }
    EXPECT_EQ(StartComm(pty.mode().c_str()), 0) << "the port must still be free to open";
}

TEST_F(CommDriverTest, RefusedLineSettingIsLoggedClearly) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    enableCommLog();
    linktest::LogCapture logs;
    EXPECT_EQ(StartComm((pty.path() + ":9600,o,8,1").c_str()), -1);
    const auto general = logs.general();
    ASSERT_EQ(general.size(), 1u);
    EXPECT_NE(general[0].find(pty.path()), std::string::npos) << general[0];
    EXPECT_NE(general[0].find("line settings"), std::string::npos) << general[0];
    EXPECT_NE(commLog().find("StartComm: "), std::string::npos);
}

TEST_F(CommDriverTest, TwoSlotsThenRefusalAndReuse) {
    Pty a, b, c;
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    EXPECT_EQ(StartComm(("\\\\.\\" + a.mode("921600,n,8,1")).c_str()), 0);
    EXPECT_EQ(StartComm(("  " + b.mode() + " ; second line").c_str()), 1);
    EXPECT_EQ(StartComm(c.mode().c_str()), -1);
    EXPECT_TRUE(CommSlotOpen(0) && CommSlotOpen(1));

    SetCurrentCommPort(0);
    StopComm();
    EXPECT_FALSE(CommSlotOpen(0));
    EXPECT_TRUE(CommSlotOpen(1));
    EXPECT_EQ(StartComm(c.mode().c_str()), 0) << "the first free slot is taken";
}

TEST_F(CommDriverTest, NoCurrentPortMeansNothing) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(StartComm(pty.mode().c_str()), 0);  // open, but not made current
    const uint8_t byte = 0x55;
    for (int current : {-1, 1, 5}) {
        SCOPED_TRACE(current);
        SetCurrentCommPort(current);
        EXPECT_EQ(CommWrite(&byte, 1), 0);
        uint64_t total = 99;
        EXPECT_EQ(GetCommStats(&total), 0u);
        EXPECT_EQ(total, 0u);
        EXPECT_EQ(CommBytesAvail(), 0u);
        EXPECT_EQ(PurgeCommQueue(1), -1);
    }
    SetCurrentCommPort(0);
    EXPECT_EQ(PurgeCommQueue(2), -1);
    EXPECT_EQ(PurgeCommQueue(0), 0);
}

TEST_F(CommDriverTest, WrittenBlocksArriveWholeAndInOrder) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    const int slot = StartComm(pty.mode("115200,n,8,1").c_str());
    ASSERT_EQ(slot, 0);
    SetCurrentCommPort(slot);
    std::vector<uint8_t> first(3000), second = {0x01, 0xC8, 0x0B, 0x00};
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(CommWrite(first.data(), first.size()), 1);
    EXPECT_EQ(CommWrite(second.data(), second.size()), 1);
    // The driver owns a copy: the caller may reuse its buffer at once.
    std::fill(first.begin(), first.end(), 0);

    std::vector<uint8_t> expect(3000);
    for (size_t i = 0; i < expect.size(); ++i) expect[i] = static_cast<uint8_t>(i * 7);
    expect.insert(expect.end(), second.begin(), second.end());
    EXPECT_EQ(pty.read(expect.size()), expect);
}

TEST_F(CommDriverTest, ReceivedBytesReachTheRingAndTheDump) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    const int slot = StartComm(pty.mode().c_str());
    ASSERT_EQ(slot, 0);
    SetCurrentCommPort(slot);
    std::vector<uint8_t> sent(10000);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<uint8_t>(i ^ (i >> 8));
    ASSERT_TRUE(pty.write(sent));
    EXPECT_EQ(drain(slot, sent.size()), sent);

    uint64_t total = 0;
    EXPECT_EQ(GetCommStats(&total), 0u);
    EXPECT_EQ(total, sent.size());
    const std::string dump = dir_.readFile("mcommcode.dat");
    EXPECT_EQ(dump, std::string(sent.begin(), sent.end()));

    // A new start begins a new dump.
    StopComm();
    ASSERT_EQ(StartComm(pty.mode().c_str()), 0);
    EXPECT_EQ(dir_.readFile("mcommcode.dat"), "");
}

TEST_F(CommDriverTest, PurgeEmptiesTheRingButKeepsTheTotal) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SetCurrentCommPort(StartComm(pty.mode().c_str()));
    ASSERT_EQ(CurrentCommPort(), 0);
    ASSERT_TRUE(pty.write(std::vector<uint8_t>(100, 0xA5)));
    ASSERT_TRUE(WaitFor([] { return CommBytesAvail() == 100; }));
    EXPECT_EQ(PurgeCommQueue(1), 0);
    uint64_t total = 0;
    EXPECT_EQ(GetCommStats(&total), 0u);
    EXPECT_EQ(total, 100u);
    uint8_t b = 0;
    EXPECT_EQ(GetFromRXQueue(0, &b, 1), 0u);
}

TEST_F(CommDriverTest, StopReturnsPromptlyWhileAReadIsPending) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SetCurrentCommPort(StartComm(pty.mode().c_str()));
    ASSERT_EQ(CurrentCommPort(), 0);
    ASSERT_TRUE(WaitFor([] { return CommReadThreadRunning(0); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it block in its read
    const auto t0 = std::chrono::steady_clock::now();
    StopComm();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - t0)
                        .count();
    EXPECT_LT(ms, 300);
    EXPECT_FALSE(CommSlotOpen(0));
}

TEST_F(CommDriverTest, StopReturnsWhileAWriteIsStuckOnAFullLine) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SetCurrentCommPort(StartComm(pty.mode().c_str()));
    ASSERT_EQ(CurrentCommPort(), 0);
    // Nobody reads the far side, so this block can never leave completely.
    std::vector<uint8_t> big(1 << 20, 0x33);
    ASSERT_EQ(CommWrite(big.data(), big.size()), 1);
    ASSERT_EQ(CommWrite(big.data(), big.size()), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto t0 = std::chrono::steady_clock::now();
    StopComm();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - t0)
                        .count();
    EXPECT_LT(ms, 3000);
    EXPECT_FALSE(CommSlotOpen(0));
}

TEST_F(CommDriverTest, LostLineEndsBothThreadsAndRefusesWrites) {
    enableCommLog();
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SetCurrentCommPort(StartComm(pty.mode().c_str()));
    ASSERT_EQ(CurrentCommPort(), 0);
    pty.closeMaster();
    ASSERT_TRUE(WaitFor([] { return !CommReadThreadRunning(0); }));
    const uint8_t byte = 0x42;
    // The write thread learns of the loss from its own failed write.
    ASSERT_TRUE(WaitFor([&] {
        CommWrite(&byte, 1);
        return !CommWriteThreadRunning(0);
    }));
    EXPECT_EQ(CommWrite(&byte, 1), 0);
    EXPECT_TRUE(CommSlotOpen(0)) << "a degraded slot stays until it is stopped";
    StopComm();
    EXPECT_FALSE(CommSlotOpen(0));

    const std::string log = commLog();
    for (const char* text :
         {"ERROR_INVALID_HANDLE, Likely that the Service Provider has closed the port.\n",
          "Read thread shutting down\n", "Error to writing to CommFile", "Closing TAPI\n",
          "Write thread shutting down\n", "Write thread not created\n", "Stopping the Comm\n",
          "Closing Read Thread\n", "Closing Write Thread\n"})
        EXPECT_NE(log.find(text), std::string::npos) << text;
}

TEST_F(CommDriverTest, CommIniDecidesOnceWhetherCommLogIsWritten) {
    struct Case {
        const char* name;
        const char* ini;  // nullptr: no Comm.ini at all
        bool written;
    } cases[] = {
        {"no Comm.ini", nullptr, false},
        {"comm_log 0", "[default]\ncomm_log=0\n", false},
        {"other section", "[other]\ncomm_log=1\n", false},
        {"comm_log 1", "[default]\ncomm_log=1\n", true},
        {"comm_log 2, key case differs", "[Default]\nCOMM_LOG=2\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CommLogResetForTest();
        std::filesystem::remove(dir_.file("comm.log"));
        std::filesystem::remove(dir_.file("Comm.ini"));
        if (c.ini) dir_.writeFile("Comm.ini", c.ini);
        CommLog("Stopping the Comm\n");
        // Turning it on later changes nothing for this process.
        enableCommLog();
        CommLog("second line\n");
        EXPECT_EQ(std::filesystem::exists(dir_.file("comm.log")), c.written);
        if (c.written) {
            const std::regex line(R"(\d+:\d\d:\d\d\d  Stopping the Comm\n\d+:\d\d:\d\d\d  second line\n)");
            EXPECT_TRUE(std::regex_match(commLog(), line)) << commLog();
        }
    }
}

TEST_F(CommDriverTest, ConcurrentFirstLinesInitialiseOnceAndStayWhole) {
    enableCommLog();
    const int threads = 8, lines = 200;
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([t] {
            for (int i = 0; i < lines; ++i) CommLogf("thread %d line %d of a longer text\n", t, i);
        });
    for (auto& th : pool) th.join();

    std::istringstream in(commLog());
    std::string line;
    int count = 0;
    const std::regex shape(R"(\d+:\d\d:\d\d\d  thread \d line \d+ of a longer text)");
    while (std::getline(in, line)) {
        ++count;
        EXPECT_TRUE(std::regex_match(line, shape)) << line;
    }
    EXPECT_EQ(count, threads * lines) << "a second initialisation truncates the log";
}

TEST_F(CommDriverTest, ErrorLineFormat) {
    enableCommLog();
    CommLogError(0, "StartSetupCommEvent: \n");
    CommLogError(5, "Unexpected ReadFile error: ");
    const std::regex expect(
        R"(\d+:\d\d:\d\d\d  Last error was 0: StartSetupCommEvent: \n)"
        R"(\d+:\d\d:\d\d\d  Last error was 5: Unexpected ReadFile error: Input/output error\n)");
    EXPECT_TRUE(std::regex_match(commLog(), expect)) << commLog();
}

}  // namespace
