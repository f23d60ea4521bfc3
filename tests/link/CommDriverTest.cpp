#include "link/CommDriver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

#include "link/CommLog.h"
#include "support/PtyPeer.h"
#include "support/TempFolder.h"
#include "support/WaitFor.h"

namespace {

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
    void enableCommLog() { std::ofstream("Comm.ini") << "[default]\ncomm_log=1\n"; }
    std::string commLog() { return slurp("comm.log"); }

    // Opens the line in the first free slot and makes it current.
    static int startCurrent(const PtyPeer& pty, unsigned baud = 9600) {
        SetCurrentCommPort(StartComm(pty.port(baud).c_str()));
        return CurrentCommPort();
    }

    TempFolder folder_;  // Comm.ini, comm.log and mcommcode.dat live in the working folder
};

TEST(CommConfig, DescriptionRules) {
    const std::string longest = "COM3:9600,n,8,1 ;" + std::string(kCommConfigMax - 17, 'x');
    const std::pair<std::string, const char*> accepted[] = {
        {"COM0:9600,n,8,1 ; bench line", "COM0:9600,n,8,1"},
        {"COM1:9600,e,7,2;x", "COM1:9600,e,7,2"},
        {"\\\\.\\  COM3:921600,n,8,1", "COM3:921600,n,8,1"},
        {" \t COM3:921600,n,8,1 \t ", "COM3:921600,n,8,1"},
        {"/dev/ttyUSB0:9600,n,8,1", "/dev/ttyUSB0:9600,n,8,1"},
        {longest, "COM3:9600,n,8,1"},
    };
    for (const auto& [in, expect] : accepted) {
        std::string out;
        EXPECT_TRUE(NormalizeCommConfig(in.c_str(), &out)) << in;
        EXPECT_EQ(out, expect);
    }
    // No colon, shorter than 5, short once the comment is cut, only a comment,
    // empty, and one character over the limit.
    for (const std::string& in : {std::string("COM3 9600,n,8,1"), std::string("COM:"),
                                  std::string("CO:1 ; COM3:9600,n,8,1"),
                                  std::string("; COM3:9600,n,8,1"), std::string(), longest + "x"}) {
        std::string out = "untouched";
        EXPECT_FALSE(NormalizeCommConfig(in.c_str(), &out)) << in;
        EXPECT_EQ(out, "untouched");
    }
    std::string out;
    EXPECT_FALSE(NormalizeCommConfig(nullptr, &out));
}

TEST_F(CommDriverTest, SlotsAreTakenRefusedAndReused) {
    PtyPeer a, b, c;
    for (const std::string& d : {std::string("COM0:9600,n,8,1"),  // no such port
                                 a.path() + ":9600,e,8,1",        // a pseudo-terminal has no parity
                                 a.path() + ":9601,n,8,1",        // no such speed
                                 a.port() + " ;" + std::string(260, 'c')}) {  // too long
        EXPECT_EQ(StartComm(d.c_str()), -1) << d;
        EXPECT_FALSE(CommSlotOpen(0) || CommSlotOpen(1)) << d;
    }
    EXPECT_EQ(StartComm(("\\\\.\\" + a.port(921600)).c_str()), 0) << "a refused port is still free";
    EXPECT_EQ(StartComm(("  " + b.port() + " ; second line").c_str()), 1);
    EXPECT_EQ(StartComm(c.port().c_str()), -1);

    SetCurrentCommPort(0);
    StopComm();
    EXPECT_FALSE(CommSlotOpen(0));
    EXPECT_TRUE(CommSlotOpen(1));
    EXPECT_EQ(StartComm(c.port().c_str()), 0) << "the first free slot is taken";
}

TEST_F(CommDriverTest, NoCurrentPortMeansNothing) {
    PtyPeer pty;
    ASSERT_EQ(StartComm(pty.port().c_str()), 0);  // open, but not made current
    const uint8_t byte = 0x55;
    for (int current : {-1, 1, 5}) {
        SCOPED_TRACE(current);
        SetCurrentCommPort(current);
        EXPECT_EQ(CommWrite(&byte, 1), 0);
        uint64_t total = 99;
        EXPECT_EQ(GetCommStats(&total), 0u);
        EXPECT_EQ(total, 0u);
        EXPECT_EQ(PurgeCommQueue(1), -1);
    }
    SetCurrentCommPort(0);
    EXPECT_EQ(PurgeCommQueue(2), -1);
    EXPECT_EQ(PurgeCommQueue(0), 0);
}

TEST_F(CommDriverTest, WrittenBlocksArriveWholeAndInOrder) {
    PtyPeer pty;
    ASSERT_EQ(startCurrent(pty, 115200), 0);
    std::vector<uint8_t> first(3000), second = {0x01, 0xC8, 0x0B, 0x00};
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i * 7);
    auto expect = first;
    expect.insert(expect.end(), second.begin(), second.end());
    EXPECT_EQ(CommWrite(first.data(), first.size()), 1);
    EXPECT_EQ(CommWrite(second.data(), second.size()), 1);
    // The driver owns a copy: the caller may reuse its buffer at once.
    std::fill(first.begin(), first.end(), 0);
    EXPECT_EQ(pty.read(3000, expect.size()), expect);
}

TEST(LineErrors, RisenCountsAreLoggedByName) {
    using Counts = SerialPort::ErrorCounts;
    const Counts base{5, 6, 7, 8};
    struct Case {
        const char* name;
        Counts now;
        unsigned long bits;
        const char* text;
    } const cases[] = {
        {"frame only", {6, 6, 7, 8}, CE_FRAME, "CE_FRAME"},
        {"overrun and parity", {5, 9, 8, 8}, CE_OVERRUN | CE_RXPARITY, "CE_OVERRUN and CE_RXPARITY"},
        {"all four", {6, 7, 8, 9}, 0xF, "CE_FRAME and CE_OVERRUN and CE_RXPARITY and EV_ERR Unknown EvtMask"},
        {"none changed", base, 0, "NULL Error"},
        {"counts reset by the driver", {0, 1, 0, 2}, 0, "NULL Error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LineErrorBits(base, c.now), c.bits);
        EXPECT_EQ(LineErrorText(c.bits), c.text);
    }
}

TEST_F(CommDriverTest, ReceivedBytesReachTheRingTheTotalAndTheDump) {
    enableCommLog();
    PtyPeer pty;
    ASSERT_EQ(startCurrent(pty), 0);
    std::vector<uint8_t> sent(10000), got;
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<uint8_t>(i ^ (i >> 8));
    pty.write(sent);
    WaitFor([&] {
        uint8_t buf[4096];
        const size_t n = GetFromRXQueue(0, buf, sizeof buf);
        got.insert(got.end(), buf, buf + n);
        return got.size() >= sent.size();
    });
    EXPECT_EQ(got, sent);
    uint64_t total = 0;
    EXPECT_EQ(GetCommStats(&total), 0u);
    EXPECT_EQ(total, sent.size());
    EXPECT_EQ(slurp("mcommcode.dat"), std::string(sent.begin(), sent.end()));

    StopComm();
    // A pseudo-terminal keeps no error counts: the thread carries on without them.
    const std::string log = commLog();
    for (const char* line : {"Read Thread: before SetCommMask\n", "Read Thread: before SetupReadEvent\n",
                             "Waiting for data from comm connection.\n", "Read Thread: end WaitForMultipleObjects...\n",
                             "Data waiting for ReadFile.\n", "Read Thread: WAIT_OBJECT_0\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("Comm Event"), std::string::npos);
    ASSERT_EQ(StartComm(pty.port().c_str()), 0);
    EXPECT_EQ(slurp("mcommcode.dat"), "") << "a new start must begin a new dump";
}

// A stop must not hang on a read that waits without a timeout, nor on a write
// stuck on a line that never drains. The bound only tells a hang from a stop.
TEST_F(CommDriverTest, StopReturnsWhileAReadIsPendingOrAWriteIsStuck) {
    for (const bool stuckWrite : {false, true}) {
        SCOPED_TRACE(stuckWrite ? "write stuck" : "read pending");
        PtyPeer pty;
        ASSERT_EQ(startCurrent(pty), 0);
        ASSERT_TRUE(WaitFor([] { return CommReadThreadRunning(0); }));
        // Nobody reads the far side, so these blocks can never leave completely.
        std::vector<uint8_t> big(1 << 20, 0x33);
        for (int i = 0; stuckWrite && i < 2; ++i) ASSERT_EQ(CommWrite(big.data(), big.size()), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the threads block
        const auto t0 = std::chrono::steady_clock::now();
        StopComm();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
        EXPECT_FALSE(CommSlotOpen(0));
    }
}

TEST_F(CommDriverTest, LostLineEndsBothThreadsAndRefusesWrites) {
    auto pty = std::make_unique<PtyPeer>();
    ASSERT_EQ(startCurrent(*pty), 0);
    pty.reset();  // the far end hangs up
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
}

TEST_F(CommDriverTest, CommIniDecidesOnceWhetherCommLogIsWritten) {
    struct Case {
        const char* ini;  // nullptr: no Comm.ini at all
        bool written;
    } const cases[] = {
        {nullptr, false},
        {"[default]\ncomm_log=0\n", false},
        {"[other]\ncomm_log=1\n", false},
        {"[Default]\nCOMM_LOG=2\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini ? c.ini : "no Comm.ini");
        CommLogResetForTest();
        std::filesystem::remove("comm.log");
        std::filesystem::remove("Comm.ini");
        if (c.ini) std::ofstream("Comm.ini") << c.ini;
        CommLog("Stopping the Comm\n");
        // Turning it on later changes nothing for this process.
        enableCommLog();
        CommLog("second line\n");
        EXPECT_EQ(std::filesystem::exists("comm.log"), c.written);
        if (c.written) {
            EXPECT_THAT(commLog(), ::testing::MatchesRegex("[0-9]+:[0-9][0-9]:[0-9][0-9][0-9]  Stopping the Comm\n"
                                                           "[0-9]+:[0-9][0-9]:[0-9][0-9][0-9]  second line\n"));
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
    const auto shape =
        ::testing::MatchesRegex("[0-9]+:[0-9][0-9]:[0-9][0-9][0-9]  thread [0-9] line [0-9]+ of a longer text");
    while (std::getline(in, line)) {
        ++count;
        EXPECT_THAT(line, shape);
    }
    EXPECT_EQ(count, threads * lines) << "a second initialisation truncates the log";
}

}  // namespace
