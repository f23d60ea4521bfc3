// Record exchanges while the serial driver owns the port.
#include "WireFixture.h"
#include "link/CommDriver.h"
#include "support/WaitFor.h"

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
    const Bytes answer = recordAnswer(1, Bytes(984, 0x42), 0x0BADF00D, D_PARAM2HOST);
    // A late answer already waiting must not pass for the answer to this request.
    peer.write(recordAnswer(1, Bytes(984, 0x24), 0x5AFE, D_PARAM2HOST));
    ASSERT_TRUE(WaitFor([&] { return CommBytesAvail() == answer.size(); }));
    peer.serve([&](const Bytes& req) { return req[4] == D_PARAM2HOST ? answer : Bytes{}; }, 921600);
    Bytes buffer(1001);
    EXPECT_EQ(ModbusGet(0, D_PARAM2HOST, Wire().ctx, buffer.data(), 1001, 0, 1000), 1001);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.end() - 2), Bytes(answer.begin(), answer.end() - 2));
    EXPECT_EQ(Wire().nonce, 0x0BADF00Du);
    peer.stop();
    ASSERT_EQ(peer.requests().size(), 1u);
    EXPECT_EQ(peer.requests()[0], onWire(1, {0xC8, 0x05, 0x00, 0x7A, 0x00, 0x00}));
}

TEST_F(RawLink, FramesGoToTheSelectedSlave) {
    // A reopen, as after a speed change, gives up the slot it held.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(OpenRawLink());
    ASSERT_TRUE(SelectSlave(42));
    EXPECT_EQ(setFrame(D_MANUAL_BIT), onWire(42, {0xC8, 0x03, 0x00, 0x75, 0xFF, 0xC5}));
}

TEST_F(RawLink, ASetTheDriverRefusesIsNotReportedAsSent) {
    StopComm();
    SetCurrentCommPort(-1);
    EXPECT_EQ(ModbusSet(0, nullptr, Wire().ctx, D_MANUAL_BIT), -1);
}

}  // namespace
