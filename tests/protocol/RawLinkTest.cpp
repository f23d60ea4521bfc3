// Record exchanges while the serial driver owns the port.
#include "WireFixture.h"
#include "link/CommDriver.h"

namespace {

using Bytes = std::vector<uint8_t>;

class RawLink : public WireFixture {
protected:
    void SetUp() override {
        WireFixture::SetUp();
        // No poll clock here to acknowledge the switch; the waits are the procedure's own.
        SetPumpWait([](unsigned) {});
        ASSERT_EQ(SwitchComm(1), 1);
        ASSERT_EQ(LinkModeWord().load(), LINK_RAW);
        SetPumpWait({});
    }
    void TearDown() override {
        WireFixture::TearDown();
        ResetCommDriver();
    }
};

TEST_F(RawLink, RequestsAreWholeFramesAndAnswersAreCollected) {
    const Bytes answer = recordAnswer(1, Bytes(984, 0x42), 0x0BADF00D);
    peer.serve([&](const Bytes& req) { return req[4] == D_PARAM2HOST ? answer : Bytes{}; }, 921600);
    Bytes buffer(1001);
    EXPECT_EQ(ModbusGet(0, D_PARAM2HOST, Wire().ctx, buffer.data(), 1001, 0, 1000), 1001);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.end() - 2), Bytes(answer.begin(), answer.end() - 2));
    EXPECT_EQ(Wire().nonce, 0x0BADF00Du);
    peer.stop();
    ASSERT_EQ(peer.requests().size(), 1u);
    EXPECT_EQ(peer.requests()[0], onWire(1, {0xC8, 0x05, 0x00, 0x7A, 0x00, 0x00}));
}

TEST_F(RawLink, FailedExchanges) {
    Bytes corrupt = recordAnswer(1, Bytes(72, 1));
    corrupt[30] ^= 0x40;
    struct Case {
        const char* name;
        Bytes answer;
        unsigned bufferSize;
        int result;
    } const cases[] = {
        {"crc error", corrupt, 89, -1},
        {"bad address", recordAnswer(0xF8, Bytes(72, 1)), 89, -1},
        {"silence", {}, 89, -1},
        {"does not fit", recordAnswer(1, Bytes(72, 1)), 40, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        peer.serve([&](const Bytes&) { return c.answer; });
        Bytes buffer(c.bufferSize + 8, 0xEE);
        EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer.data(), c.bufferSize, 0, 300), c.result);
        peer.stop();
        EXPECT_EQ(Bytes(buffer.end() - 8, buffer.end()), Bytes(8, 0xEE));
    }
}

TEST_F(RawLink, ASetTheDriverRefusesIsNotReportedAsSent) {
    StopComm();
    SetCurrentCommPort(-1);
    EXPECT_EQ(ModbusSet(0, nullptr, Wire().ctx, D_MANUAL_BIT), -1);
}

TEST_F(RawLink, SwitchingAgainToTheSameModeChangesNothing) {
    EXPECT_EQ(SwitchComm(1), 0);
    EXPECT_EQ(LinkModeWord().load(), LINK_RAW);
    SetPumpWait([](unsigned) {});
    EXPECT_EQ(SwitchComm(0), 1);
    EXPECT_EQ(LinkModeWord().load(), LINK_MODBUS);
    EXPECT_EQ(SwitchComm(0), 0);
}

}  // namespace
