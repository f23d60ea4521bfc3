#include "link/Comproc.h"

#include <gtest/gtest.h>

#include "link/CommDriver.h"
#include "support/PtyPeer.h"
#include "support/RefCrc.h"
#include "support/WaitFor.h"
#include "util/Log.h"

namespace {

using Bytes = std::vector<uint8_t>;

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

Outcome Feed(const Bytes& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
        if (const int r = comprocByte(bytes[i])) return {r, i};
    return {0, bytes.size()};
}

// The protocol log lines written while it lives. Only the test thread runs the
// checker here, so no lock is needed.
struct ProtocolLines {
    std::vector<std::string> lines;
    ProtocolLines() { logs::attachLists({}, [this](const std::string& l) { lines.push_back(l); }); }
    ~ProtocolLines() { logs::detachLists(); }
};

Bytes Changed(Bytes f, size_t at, uint8_t value) {
    f[at] = value;
    return f;
}

TEST_F(ComprocTest, FrameCases) {
    const auto status = recordAnswer(1, Bytes(160, 0x5A));  // length field 171, 177 bytes
    const auto small = recordAnswer(1, Bytes(3, 7));
    const char* crcError = "comproc: CRC16 error... (Data bytes read 162)";
    struct Case {
        const char* name;
        Bytes bytes;
        int result;
        size_t at;
        size_t dataCount;  // after a good frame
        const char* log;   // the one protocol line expected, or nullptr
    } const cases[] = {
        {"status answer", status, 1, 176, 160, nullptr},
        {"CRC only", recordAnswer(9, {}), 1, 16, 0, nullptr},
        {"highest address", recordAnswer(247, Bytes(3, 7)), 1, 19, 3, nullptr},
        {"broadcast address", recordAnswer(0, Bytes(3, 7)), 1, 19, 3, nullptr},
        // Length field 65535, the most it can announce.
        {"longest frame", recordAnswer(1, Bytes(65524, 1)), 1, 65540, 65524, nullptr},
        {"address 248", recordAnswer(0xF8, Bytes(3, 7)), -1, 0, 0, "comproc: bad address 248"},
        {"function 3", Changed(small, 1, 3), -1, 1, 0, "comproc: cmd (3) not 0xC8..."},
        {"function 0xCA", Changed(small, 1, 0xCA), -1, 1, 0, "comproc: cmd (202) not 0xC8..."},
        {"corrupted data byte", Changed(status, 100, 0x00), -1, 176, 0, crcError},
        {"corrupted CRC byte", Changed(status, 176, status[176] ^ 0x10), -1, 176, 0, crcError},
        {"length 10", Changed(small, 2, 10), -1, 3, 0, "comproc: length field 10 below 11..."},
        {"truncated frame", Bytes(status.begin(), status.end() - 1), 0, 176, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetComproc();
        ProtocolLines logs;
        const Outcome o = Feed(c.bytes);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.at, c.at);
        if (c.result == 1) {
            EXPECT_EQ(ComprocFrame().dataCount, c.dataCount);
        }
        EXPECT_EQ(logs.lines, c.log ? std::vector<std::string>{c.log} : std::vector<std::string>{});
        // After a frame, good or bad, the checker starts afresh without a reset.
        if (c.result != 0) {
            const Outcome next = Feed(small);
            EXPECT_EQ(next.result, 1);
            EXPECT_EQ(next.at, small.size() - 1);
        }
    }
}

TEST_F(ComprocTest, CallerSeesHeaderDataAndCrc) {
    auto frame = recordAnswer(1, Bytes(160, 0x5A));
    ASSERT_EQ(Feed(frame).result, 1);
    Bytes out(200, 0xEE);
    ASSERT_EQ(ComprocCopyAnswer(out.data(), out.size()), 177);
    frame.push_back(0xEE);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 178), frame);
    // No room for the CRC: it does not fit, and nothing is written.
    Bytes tight(176, 0);
    EXPECT_EQ(ComprocCopyAnswer(tight.data(), 175), -1);
    EXPECT_EQ(tight, Bytes(176, 0));
    EXPECT_EQ(ComprocCopyAnswer(tight.data(), 176), -1);
}

TEST_F(ComprocTest, TakesOneByteAtATimeFromTheCurrentPort) {
    EXPECT_EQ(comproc(), 0) << "no port";
    PtyPeer pty;
    SetCurrentCommPort(StartComm(pty.port(921600).c_str()));
    ASSERT_EQ(CurrentCommPort(), 0);
    // Stale bytes before the exchange are thrown away by the reset.
    pty.write({0x11, 0x22, 0x33});
    ASSERT_TRUE(WaitFor([] { return CommBytesAvail() == 3; }));
    ResetComproc();
    EXPECT_EQ(CommBytesAvail(), 0u);

    const auto frame = recordAnswer(1, Bytes(160, 0x5A));
    pty.write(frame);
    ASSERT_TRUE(WaitFor([&] { return CommBytesAvail() == frame.size(); }));
    int result = 0;
    size_t calls = 0;
    while (result == 0 && calls < 1000) {
        result = comproc();
        ++calls;
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(calls, frame.size()) << "one byte per call";

    // A frame error empties the ring: the rest of a bad frame is not checked.
    ResetComproc();
    pty.write({0xF9, 0x01, 0xC8, 0x00});
    ASSERT_TRUE(WaitFor([] { return CommBytesAvail() == 4; }));
    EXPECT_EQ(comproc(), -1);
    EXPECT_EQ(CommBytesAvail(), 0u);
}

}  // namespace
