// How the transport judges what comes back.
#include <cerrno>
#include <thread>

#include "WireFixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using TransportResponse = WireFixture;

TEST_F(TransportResponse, TagWindow) {
    struct Case {
        int offset;
        bool accepted;
    } const cases[] = {{0, true}, {-1, false}, {128, true}, {129, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        Wire().tagsActive = true;
        Wire().tagCounter = 99;  // the request goes out with tag 100
        const uint8_t tag = static_cast<uint8_t>(100 + c.offset);
        // The tag comes back in frame byte 11, the nonce's low byte.
        peer.serve([&](const Bytes&) { return recordAnswer(1, Bytes(72, 0), 0xAABBCC00u | tag); });
        uint8_t buffer[89];
        const int r = ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, sizeof buffer, 0, 300);
        peer.stop();
        EXPECT_EQ(r, c.accepted ? 89 : -1);
    }
}

TEST_F(TransportResponse, OnlyWholeGoodFramesTeachTheNonce) {
    Wire().nonce = 77;
    struct Case {
        const char* name;
        Bytes answer;
        int result;
    } const cases[] = {
        // A CRC-valid record frame too short to hold a nonce.
        {"short frame", withCrc({1, 0xC8, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0x11}), 14},
        {"bad crc", [] { auto a = recordAnswer(1, Bytes(3, 0), 0x55555555); a.back() ^= 1; return a; }(), -1},
        {"wrong function", withCrc({1, 0xC9, 14, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0}), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        peer.serve([&](const Bytes&) { return c.answer; });
        uint8_t buffer[32];
        EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 32, 0, 300), c.result);
        peer.stop();
        EXPECT_EQ(Wire().nonce, 77u);
        EXPECT_FALSE(Wire().responded);
    }
    peer.serve([](const Bytes&) { return recordAnswer(9, Bytes(3, 0), 0x12345678); });
    uint8_t buffer[32];
    EXPECT_EQ(ModbusGet(0, D_ELEVATE, Wire().ctx, buffer, 32, 0, 300), 20);
    EXPECT_EQ(Wire().nonce, 0x12345678u);
    EXPECT_EQ(Wire().lastResponder, 9u);
    EXPECT_TRUE(Wire().responded);
}

TEST_F(TransportResponse, FailureIsNoticedAndForgetsTheResponder) {
    int noticed = 0;
    SetReceiveFailureNotice([&](int r) { noticed = r; });
    Wire().lastResponder = 1;
    uint8_t buffer[89];
    EXPECT_LT(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 89, 0, 50), 0);
    EXPECT_EQ(Wire().lastResponder, 255u);
    EXPECT_EQ(noticed, -1);
}

TEST_F(TransportResponse, ALinkSwitchDuringTheWaitFailsTheExchange) {
    peer.serve([](const Bytes&) { return recordAnswer(1, Bytes(72, 0)); });
    std::thread switcher([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        LinkModeWord() = LINK_SWITCHING;
    });
    uint8_t buffer[89];
    EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 89, 200, 300), -1);
    switcher.join();
    LinkModeWord() = LINK_MODBUS;
}

TEST_F(TransportResponse, NestedExchangesAreRefused) {
    int nested = 0;
    SetPumpWait([&](unsigned) {
        uint8_t b[32];
        nested = ModbusGet(0, D_SETUP2HOST, Wire().ctx, b, 32, 0, 10);
    });
    EXPECT_EQ(ModbusSet(0, nullptr, Wire().ctx, D_MANUAL_BIT), 0);
    EXPECT_EQ(nested, -1);
    SetPumpWait({});
    // Only the Set reached the wire.
    EXPECT_EQ(peer.read(200).size(), 9u);
}

TEST_F(TransportResponse, AFreedContextIsNeverUsed) {
    modbus_t* ctx = Wire().ctx;
    modbus_close(ctx);
    modbus_free(ctx);
    Wire().ctx = nullptr;
    modbus_close(ctx);  // twice is harmless
    modbus_free(ctx);
    const uint8_t f[] = {0xC8, 5, 0, 0x77, 0, 0};
    EXPECT_EQ(modbus_write_data(ctx, sizeof f, f), -1);
    EXPECT_EQ(errno, EMBBADCTX);
    uint8_t buffer[89];
    EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, ctx, buffer, 89, 0, 30), -1);
    EXPECT_EQ(ModbusSet(0, nullptr, ctx, D_MANUAL_BIT), -1);
}

}  // namespace
