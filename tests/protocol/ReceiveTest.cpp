// Receiving whole frames at a real line speed: the timeout is the wait for the
// first byte, the frame's own length decides its end.
#include <cerrno>

#include "WireFixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

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
