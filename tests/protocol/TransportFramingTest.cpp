// What the transport puts on the wire, read back from the far end of a line.
#include <string>

#include "WireFixture.h"
#include "wire/Crc16.h"

namespace {

using Bytes = std::vector<uint8_t>;
using TransportFraming = WireFixture;

// The one check of the reference CRC itself; the product's CRC is compared
// with it in every request frame read off the wire here.
TEST(Crc16, CheckValueOfTheReferenceAndTheSwappedLibraryValue) {
    const std::string check = "123456789";
    const auto* b = reinterpret_cast<const uint8_t*>(check.data());
    EXPECT_EQ(refCrc(b, check.size()), 0x4B37);
    // The library value has its bytes swapped: >> 8 is the byte sent first.
    EXPECT_EQ(crc16(b, check.size()), 0x374B);
}

TEST_F(TransportFraming, GetBlocksForEachGroup) {
    struct Case {
        const char* name;
        unsigned command;
        bool tagsActive;
        uint8_t tagCounter;
        uint32_t nonce;
        Bytes payload;
        Bytes block;
    };
    const Bytes setup(72, 0xA5);
    Bytes setupBlock{0xC8, 0x4D, 0x00, 0x76, 0xFF, 0xC5};
    setupBlock.insert(setupBlock.end(), setup.begin(), setup.end());
    Bytes setupBlockNonce = setupBlock;
    setupBlockNonce[4] = 0x82;
    setupBlockNonce[5] = 0xAB;
    const Case cases[] = {
        {"setup read, tags off", D_SETUP2HOST, false, 0, 0, {}, {0xC8, 0x05, 0x00, 0x77, 0x00, 0x00}},
        {"setup read, tag 41 -> 42", D_SETUP2HOST, true, 41, 0, {}, {0xCA, 0x05, 0x00, 0x77, 0x2A, 0x00}},
        {"tag counter wraps", D_PARAM2HOST, true, 255, 0, {}, {0xCA, 0x05, 0x00, 0x7A, 0x00, 0x00}},
        {"elevate with payload", D_ELEVATE, false, 0, 0, {2, 'a', 'b'}, {0xC8, 0x08, 0x00, 0x94, 0, 0, 2, 'a', 'b'}},
        {"authorised, nonce 0", D_SETUP2DET, false, 0, 0, setup, setupBlock},
        {"authorised ignores tags", D_SETUP2DET, true, 7, 0x12345678, setup, setupBlockNonce},
        // Status requests carry the counter, from 7 here, and the access extension.
        {"status", D_DATA2HOST, false, 0, 0, {}, {0xC8, 0x0E, 0x00, 0x78, 0, 0, 7, 0, 0, 0, 3, 0x7B, 0xE1, 0xC3, 0x5A}},
        {"status with payload", D_DATA2HOST, false, 0, 0, {0, 0, 0, 0},
         {0xC8, 0x12, 0x00, 0x78, 0, 0, 8, 0, 0, 0, 3, 0x7B, 0xE1, 0xC3, 0x5A, 0, 0, 0, 0}},
        // The short status request carries the counter without counting it.
        {"short status", D_DATA2HOST_SHORT, false, 0, 0, {}, {0xC8, 0x05, 0x00, 0x74, 0, 0, 9, 0, 0, 0}},
    };
    Wire().dataRequestCounter = 7;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Wire().tagsActive = c.tagsActive;
        Wire().tagCounter = c.tagCounter;
        Wire().nonce = c.nonce;
        EXPECT_EQ(getFrame(c.command, c.payload), onWire(1, c.block));
    }
    EXPECT_EQ(Wire().dataRequestCounter, 10u);
}

TEST_F(TransportFraming, SetBlocks) {
    Wire().nonce = 0x12345678;
    EXPECT_EQ(setFrame(D_MANUAL_BIT), onWire(1, {0xC8, 0x03, 0x00, 0x75, 0x82, 0xAB}));
    Wire().tagsActive = true;
    Wire().tagCounter = 9;
    // The tagged set group puts the tag where the code's low byte would be.
    EXPECT_EQ(setFrame(D_SWITCH_BAUD, {0x00, 0x10, 0x0E, 0x00}),
              onWire(1, {0xCA, 0x07, 0x00, 0x8C, 0x0A, 0xAB, 0x00, 0x10, 0x0E, 0x00}));
    const Bytes params(984, 0x11);
    Bytes block{0xC8, 0xDB, 0x03, 0x79, 0x82, 0xAB};
    block.insert(block.end(), params.begin(), params.end());
    EXPECT_EQ(setFrame(D_PARAM2DET, params), onWire(1, block));
}

TEST_F(TransportFraming, RefusedRequestsSendNothing) {
    uint8_t buffer[32] = {};
    EXPECT_EQ(ModbusGet(0, 200, Wire().ctx, buffer, 32, 0, 30), -1);
    EXPECT_EQ(ModbusGet(0, D_MANUAL_BIT, Wire().ctx, buffer, 32, 0, 30), -1);  // a Set-only command
    EXPECT_EQ(ModbusSet(0, buffer, Wire().ctx, D_SETUP2HOST), -1);             // a Get-only command
    EXPECT_EQ(ChangeDetectorAddress(0), 0);
    EXPECT_EQ(ChangeDetectorAddress(248), 0);
    LinkModeWord() = LINK_SWITCHING;
    EXPECT_EQ(ModbusSet(0, buffer, Wire().ctx, D_MANUAL_BIT), -1);
    EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 32, 0, 30), -1);
    EXPECT_TRUE(peer.read(200).empty());
}

// The one place that selects the detector: the address stays selected across
// a closed link and goes into every frame once it is open again.
TEST_F(TransportFraming, SelectSlaveAddressesTheNextFrames) {
    const Bytes setup{0xC8, 0x05, 0x00, 0x77, 0x00, 0x00};
    EXPECT_TRUE(SelectSlave(7));
    EXPECT_EQ(getFrame(D_SETUP2HOST), onWire(7, setup));
    EXPECT_FALSE(SelectSlave(256));
    EXPECT_EQ(Wire().slave, 7u);

    CloseModbusContext();
    EXPECT_TRUE(SelectSlave(9));
    uint8_t buffer[32] = {};
    EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 32, 0, 30), -1) << "no link, nothing sent";
    ASSERT_NE(OpenModbusContext(), nullptr);
    EXPECT_EQ(getFrame(D_SETUP2HOST), onWire(9, setup));
}

TEST_F(TransportFraming, SimulatedErrors) {
    Wire().simulatedErrors1 = 1;
    EXPECT_EQ(getFrame(D_SETUP2HOST), onWire(1, {0xC8, 0x05}));
    EXPECT_EQ(Wire().simulatedErrors1, 0);

    Wire().simulatedErrors2 = 1;
    const auto garbled = getFrame(D_SETUP2HOST);
    ASSERT_EQ(garbled.size(), 9u);
    EXPECT_NE(Bytes(garbled.begin() + 1, garbled.end() - 2), (Bytes{0xC8, 0x05, 0x00, 0x77, 0x00, 0x00}));
    EXPECT_EQ(Wire().simulatedErrors2, 0);
    EXPECT_EQ(getFrame(D_SETUP2HOST), onWire(1, {0xC8, 0x05, 0x00, 0x77, 0x00, 0x00}));
}

// At a slow speed the silence after a Set must outlast the frame itself,
// or the next request would run into it on the wire.
class SlowLineFraming : public WireFixture {
    unsigned baud() const override { return 2400; }
};

TEST_F(SlowLineFraming, SetWaitCoversTheFrameOnTheWire) {
    const auto start = std::chrono::steady_clock::now();
    const Bytes payload(20, 0);
    ASSERT_EQ(ModbusSet(20, payload.data(), Wire().ctx, D_MANUAL_BIT), 0);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    // 29 bytes + 3.5 characters of 10 bits at 2400 baud.
    EXPECT_GE(ms.count(), 135);
}

}  // namespace
