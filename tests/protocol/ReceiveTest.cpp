// Receiving whole frames at a real line speed: the timeout is the wait for the
// first byte, the frame's own length decides its end.
#include <atomic>
#include <cerrno>
#include <thread>

#include "WireFixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// Writes `bytes` as a USB adapter delivers them: `burst` bytes at once, each
// burst when its last byte would have arrived at `baud`.
void writeInBursts(PtyPeer& peer, const Bytes& bytes, size_t burst, unsigned baud) {
    const auto start = Clock::now();
    for (size_t at = 0; at < bytes.size(); at += burst) {
        const size_t n = std::min(burst, bytes.size() - at);
        std::this_thread::sleep_until(start + std::chrono::microseconds((at + n) * 10'000'000ull / baud));
        peer.write(Bytes(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n)));
    }
}

class Receive9600 : public WireFixture {
protected:
    unsigned baud() const override { return 9600; }
};

TEST_F(Receive9600, ALongAnswerArrivesWholeWithAShortTimeout) {
    const Bytes data(984, 0x5A);
    const Bytes answer = recordAnswer(1, data);
    ASSERT_EQ(answer.size(), 1001u);
    peer.serve([&](const Bytes&) { return answer; }, 9600);  // a little over a second on the wire
    Bytes buffer(1001);
    EXPECT_EQ(ModbusGet(0, D_PARAM2HOST, Wire().ctx, buffer.data(), 1001, 100, 500), 1001);
    EXPECT_EQ(buffer, answer);
}

TEST_F(Receive9600, PausesBetweenBurstsDoNotEndAFrameOfKnownLength) {
    const Bytes answer = recordAnswer(1, Bytes(984, 0xA5));
    // 64 bytes take 67 ms at 9600 baud, longer than the 50 ms inter-byte gap.
    peer.serve([&](const Bytes&) {
        writeInBursts(peer, answer, 64, 9600);
        return Bytes{};
    });
    Bytes buffer(1001);
    EXPECT_EQ(ModbusGet(0, D_PARAM2HOST, Wire().ctx, buffer.data(), 1001, 100, 500), 1001);
    EXPECT_EQ(buffer, answer);
}

// A line that never falls silent ends the receive at its bound: the first-byte
// timeout (300), the wire time of the buffer (or of the frame being drained,
// when the header gave its length) and one gap (50).
TEST_F(Receive9600, ALineThatNeverStopsSendingEndsTheReceive) {
    struct Case {
        const char* name;
        Bytes head;  // sent once, then noise follows without end
        int boundMs;
    } const cases[] = {
        {"noise", {}, 300 + 93 + 50},
        {"a record longer than the buffer", {1, 0xC8, 200, 0}, 300 + 215 + 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> streaming{true};
        peer.serve([&](const Bytes&) {
            peer.write(c.head);
            // Bounded only so that a receive that never ends fails instead of hanging.
            for (int i = 0; streaming && i < 100; ++i) peer.write(Bytes(96, 0x37), 9600);
            return Bytes{};
        });
        Bytes buffer(89);
        const auto start = Clock::now();
        const int r = ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer.data(), 89, 0, 300);
        const int err = errno;
        const auto took = Clock::now() - start;
        streaming = false;
        peer.stop();
        EXPECT_EQ(r, -1);
        EXPECT_EQ(err, EMBMDATA);
        EXPECT_LT(took, std::chrono::milliseconds(c.boundMs + 1000));
    }
}

TEST_F(Receive9600, FailuresOfTheFrame) {
    const Bytes good = recordAnswer(1, Bytes(72, 0x33));
    Bytes badCrc = good;
    badCrc[40] ^= 0xFF;
    struct Case {
        const char* name;
        Bytes answer;
        size_t bufferSize;
        int err;
    } const cases[] = {
        {"silent", {}, 89, ETIMEDOUT},
        {"truncated", Bytes(good.begin(), good.begin() + 60), 89, EMBBADCRC},
        {"corrupted", badCrc, 89, EMBBADCRC},
        {"longer than the buffer", good, 40, EMBMDATA},
        {"garbage", Bytes{0x13, 0x37, 0x00, 0xFF, 0x42}, 89, EMBBADCRC},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        peer.serve([&](const Bytes&) { return c.answer; }, 9600);
        // A canary behind the buffer shows any write past its end.
        Bytes buffer(c.bufferSize + 16, 0xEE);
        const int r = ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer.data(), static_cast<unsigned>(c.bufferSize), 0, 300);
        const int err = errno;
        peer.stop();
        EXPECT_EQ(r, -1);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(Bytes(buffer.end() - 16, buffer.end()), Bytes(16, 0xEE));
    }
}

}  // namespace
