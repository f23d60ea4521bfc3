// Receiving whole frames at a real line speed: the timeout is the wait for the
// first byte, the frame's own length decides its end.
#include <atomic>
#include <cerrno>
#include <thread>

#include "WireFixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

class Receive9600 : public WireFixture {
protected:
    unsigned baud() const override { return 9600; }
};

// 64 bytes take 67 ms at 9600 baud, longer than the 50 ms inter-byte gap; the
// whole answer a little over a second, longer than the timeout.
TEST_F(Receive9600, ALongAnswerArrivesWholeThroughPausesWithAShortTimeout) {
    const Bytes answer = recordAnswer(1, Bytes(984, 0x5A), 0, D_PARAM2HOST);
    for (const size_t burst : {0, 64}) {
        SCOPED_TRACE(burst);
        peer.serve([&](const Bytes&) {
            peer.write(answer, 9600, burst);
            return Bytes{};
        });
        Bytes buffer(1001);
        EXPECT_EQ(ModbusGet(0, D_PARAM2HOST, Wire().ctx, buffer.data(), 1001, 100, 500), 1001);
        EXPECT_EQ(buffer, answer);
        peer.stop();
    }
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

// What each answer leaves behind: only a whole good frame teaches the nonce and
// the responder; a failed receive is noticed and forgets the responder.
TEST_F(Receive9600, WhatEachAnswerLeaves) {
    const Bytes good = recordAnswer(1, Bytes(72, 0x33), 0, D_SETUP2HOST);
    Bytes badCrc = good;
    badCrc[40] ^= 0xFF;
    struct Case {
        const char* name;
        Bytes answer;
        size_t bufferSize;
        int result;
        int err;
    } const cases[] = {
        {"silent", {}, 89, -1, ETIMEDOUT},
        {"truncated", Bytes(good.begin(), good.begin() + 60), 89, -1, EMBBADCRC},
        {"corrupted", badCrc, 89, -1, EMBBADCRC},
        {"longer than the buffer", good, 40, -1, EMBMDATA},
        {"garbage", Bytes{0x13, 0x37, 0x00, 0xFF, 0x42}, 89, -1, EMBBADCRC},
        {"wrong function", withCrc({1, 0xC9, 14, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0}), 89, -1, EMBBADDATA},
        // A CRC-valid record frame too short to hold a nonce.
        {"short frame", withCrc({1, 0xC8, 8, 0, D_SETUP2HOST, 0, 0, 0, 0, 0, 0, 0x11}), 89, 14, 0},
        // No detector answers from these; a late answer to another command is not this one's.
        {"from address 0", recordAnswer(0, Bytes(3, 0), 0x12345678, D_SETUP2HOST), 89, -1, EMBBADDATA},
        {"from address 250", recordAnswer(250, Bytes(3, 0), 0x12345678, D_SETUP2HOST), 89, -1, EMBBADDATA},
        {"another command", recordAnswer(9, Bytes(3, 0), 0x12345678, D_DATA2HOST), 89, kAnswerToOtherCommand,
         EMBBADDATA},
        {"good", recordAnswer(9, Bytes(3, 0), 0x12345678, D_SETUP2HOST), 89, 20, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Wire().nonce = 77;
        Wire().lastResponder = 5;
        Wire().responded = false;
        int noticed = 0;
        SetReceiveFailureNotice([&](int r) { noticed = r; });
        peer.serve([&](const Bytes&) { return c.answer; }, 9600);
        // A canary behind the buffer shows any write past its end.
        Bytes buffer(c.bufferSize + 16, 0xEE);
        const int r = ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer.data(), static_cast<unsigned>(c.bufferSize), 0, 300);
        const int err = errno;
        peer.stop();
        EXPECT_EQ(r, c.result);
        if (r < 0) {
            EXPECT_EQ(err, c.err);
        }
        EXPECT_EQ(Bytes(buffer.end() - 16, buffer.end()), Bytes(16, 0xEE));
        const bool taught = r == 20;
        EXPECT_EQ(Wire().nonce, taught ? 0x12345678u : 77u);
        EXPECT_EQ(Wire().responded, taught);
        EXPECT_EQ(Wire().lastResponder, taught ? 9u : r < 0 ? 255u : 5u);
        // The main window shows an answer from no detector's address as one from a wrong address (0).
        const bool foreign = !c.answer.empty() && (c.answer[0] == 0 || c.answer[0] > 247);
        EXPECT_EQ(noticed, r < 0 && !foreign ? -1 : 0);
    }
}

}  // namespace
