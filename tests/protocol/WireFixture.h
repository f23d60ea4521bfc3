#pragma once
#include <gtest/gtest.h>

#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "support/PtyPeer.h"
#include "support/RefCrc.h"
#include "util/PumpWait.h"

// A transport whose library context is open on a pseudo-terminal, with the
// test playing the detector on the other side.
class WireFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWire();
        ASSERT_TRUE(ParseDCB(peer.port(baud()), &Wire().port));
        ASSERT_NE(OpenModbusContext(), nullptr);
    }
    void TearDown() override {
        peer.stop();
        SetPumpWait({});
        ResetWire();
    }
    virtual unsigned baud() const { return 115200; }

    // Sends a Get that nobody answers and returns the frame that went out.
    std::vector<uint8_t> getFrame(unsigned command, std::vector<uint8_t> payload = {}) {
        std::vector<uint8_t> buffer(std::max<size_t>(payload.size(), 32));
        std::copy(payload.begin(), payload.end(), buffer.begin());
        EXPECT_LE(ModbusGet(static_cast<unsigned>(payload.size()), command, Wire().ctx, buffer.data(), 32, 0, 30), 0);
        return peer.read(200);
    }
    std::vector<uint8_t> setFrame(unsigned command, const std::vector<uint8_t>& payload = {}) {
        EXPECT_EQ(ModbusSet(static_cast<unsigned>(payload.size()), payload.data(), Wire().ctx, command), 0);
        return peer.read(500, payload.size() + 9);
    }

    PtyPeer peer;
};

// The request as the detector must see it: address, block, CRC.
inline std::vector<uint8_t> onWire(uint8_t address, std::vector<uint8_t> block) {
    block.insert(block.begin(), address);
    return withCrc(block);
}
