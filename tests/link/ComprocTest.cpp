#include "link/Comproc.h"

#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "link/CommDriver.h"
#include "link/CommLog.h"

namespace {

using linktest::RecordFrame;

class ComprocTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCommDriver();
        ResetComproc();
    }
    void TearDown() override {
        ResetCommDriver();
        ResetComproc();
    }
};

struct Outcome {
    int result = 0;
    size_t at = 0;  // index of the byte that gave the first non-zero result
};

Outcome Feed(const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
        if (const int r = comprocByte(bytes[i])) return {r, i};
    return {0, bytes.size()};
}

TEST(IndependentCrc, CheckValue) {
    const char* check = "123456789";
    EXPECT_EQ(linktest::RefCrc(reinterpret_cast<const uint8_t*>(check), 9), 0x4B37);
}

TEST_F(ComprocTest, FrameCases) {
    auto corrupt = [](std::vector<uint8_t> f, size_t at) {
        f[at] ^= 0x10;
        return f;
    };
    auto withLength = [](std::vector<uint8_t> f, unsigned length) {
        f[2] = static_cast<uint8_t>(length);
        f[3] = static_cast<uint8_t>(length >> 8);
        return f;
    };
    const auto status = RecordFrame(1, 160);  // length field 171, 177 bytes
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int result;
        size_t at;
        size_t dataCount;   // after a good frame
        const char* log;    // the one protocol line expected, or nullptr
    } cases[] = {
        {"status answer", status, 1, 176, 160, nullptr},
        {"CRC only", RecordFrame(9, 0), 1, 16, 0, nullptr},
        {"highest address", RecordFrame(247, 3), 1, 19, 3, nullptr},
        {"broadcast address", RecordFrame(0, 3), 1, 19, 3, nullptr},
        {"address 248", RecordFrame(0xF8, 3), -1, 0, 0, "comproc: bad address 248"},
        {"function 3", RecordFrame(1, 3, 0x03), -1, 1, 0, "comproc: cmd (3) not 0xC8..."},
        {"function 0xCA", RecordFrame(1, 3, 0xCA), -1, 1, 0, "comproc: cmd (202) not 0xC8..."},
        {"corrupted data byte", corrupt(status, 100), -1, 176, 0,
         "comproc: CRC16 error... (Data bytes read 162)"},
        {"corrupted header byte", corrupt(status, 9), -1, 176, 0,
         "comproc: CRC16 error... (Data bytes read 162)"},
        {"corrupted CRC byte", corrupt(status, 176), -1, 176, 0,
         "comproc: CRC16 error... (Data bytes read 162)"},
        {"length 10", withLength(RecordFrame(1, 0), 10), -1, 3, 0,
         "comproc: length field 10 below 11..."},
        {"length 0", withLength(RecordFrame(1, 0), 0), -1, 3, 0,
         "comproc: length field 0 below 11..."},
        {"truncated frame", std::vector<uint8_t>(status.begin(), status.end() - 1), 0, 176, 0,
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetComproc();
        linktest::LogCapture logs;
        const Outcome o = Feed(c.bytes);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.at, c.at);
        if (c.result == 1) {
            EXPECT_EQ(ComprocFrame().dataCount, c.dataCount);
        }
        const auto lines = logs.protocol();
        if (c.log) {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0], c.log);
        } else {
            EXPECT_TRUE(lines.empty()) << lines[0];
        }
    }
}

TEST_F(ComprocTest, CheckerStartsAfreshAfterAFrameError) {
    const auto good = RecordFrame(3, 20);
    EXPECT_EQ(Feed({0xF8}).result, -1);
    EXPECT_EQ(Feed(good).result, 1);
    ResetComproc();
    EXPECT_EQ(Feed({0x01, 0x10}).result, -1);
    Outcome o = Feed(good);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.at, good.size() - 1);
}

TEST_F(ComprocTest, CallerSeesHeaderDataAndCrc) {
    const auto frame = RecordFrame(1, 160);
    ASSERT_EQ(Feed(frame).result, 1);
    std::vector<uint8_t> out(200, 0xEE);
    ASSERT_EQ(ComprocCopyAnswer(out.data(), out.size()), 177);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), out.begin()));
    EXPECT_EQ(out[177], 0xEE);

    // Room for header and data but not the CRC: the size still says 177,
    // and nothing beyond the buffer is written.
    std::vector<uint8_t> tight(176, 0);
    EXPECT_EQ(ComprocCopyAnswer(tight.data(), 175), 177);
    EXPECT_EQ(tight[175], 0);
    EXPECT_EQ(ComprocCopyAnswer(tight.data(), 174), -1);
}

TEST_F(ComprocTest, LongestFrameCompletes) {
    // Length field 65535: the most the 16-bit field can announce.
    const auto frame = RecordFrame(1, 65535 - 11);
    ASSERT_EQ(frame.size(), 65535u + 6);
    const Outcome o = Feed(frame);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.at, frame.size() - 1);
    EXPECT_EQ(ComprocFrame().dataCount, 65524);
}

TEST_F(ComprocTest, TakesOneByteAtATimeFromTheCurrentPort) {
    EXPECT_EQ(comproc(), 0) << "no port";
    linktest::Pty pty;
    ASSERT_TRUE(pty.ok());
    SetCurrentCommPort(StartComm(pty.mode("921600,n,8,1").c_str()));
    ASSERT_EQ(CurrentCommPort(), 0);

    // Stale bytes before the exchange are thrown away by the reset.
    ASSERT_TRUE(pty.write({0x11, 0x22, 0x33}));
    ASSERT_TRUE(linktest::WaitFor([] { return CommBytesAvail() == 3; }));
    ResetComproc();
    EXPECT_EQ(CommBytesAvail(), 0u);

    const auto frame = RecordFrame(1, 160);
    ASSERT_TRUE(pty.write(frame));
    ASSERT_TRUE(linktest::WaitFor([&] { return CommBytesAvail() == frame.size(); }));
    int result = 0;
    size_t calls = 0;
    while (result == 0 && calls < 1000) {
        result = comproc();
        ++calls;
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(calls, frame.size()) << "one byte per call";
    EXPECT_EQ(CommBytesAvail(), 0u);
}

TEST_F(ComprocTest, FrameErrorEmptiesThePortRing) {
    linktest::Pty pty;
    ASSERT_TRUE(pty.ok());
    SetCurrentCommPort(StartComm(pty.mode().c_str()));
    ASSERT_EQ(CurrentCommPort(), 0);
    ASSERT_TRUE(pty.write({0xF9, 0x01, 0xC8, 0x00}));
    ASSERT_TRUE(linktest::WaitFor([] { return CommBytesAvail() == 4; }));
    EXPECT_EQ(comproc(), -1);
    EXPECT_EQ(CommBytesAvail(), 0u);
    EXPECT_EQ(comproc(), 0);
}

}  // namespace
