// How the transport judges what comes back.
#include <cerrno>
#include <functional>
#include <thread>

#include "WireFixture.h"
#include "protocol/Registers.h"
#include "support/WaitFor.h"

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
        peer.serve([&](const Bytes&) { return recordAnswer(1, Bytes(72, 0), 0xAABBCC00u | tag, D_SETUP2HOST); });
        uint8_t buffer[89];
        const int r = ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, sizeof buffer, 0, 300);
        peer.stop();
        EXPECT_EQ(r, c.accepted ? 89 : -1);
    }
}

TEST_F(TransportResponse, ALinkSwitchDuringTheWaitFailsTheExchange) {
    peer.serve([](const Bytes&) { return recordAnswer(1, Bytes(72, 0), 0, D_SETUP2HOST); });
    std::thread switcher([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        LinkModeWord() = LINK_SWITCHING;
    });
    uint8_t buffer[89];
    EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 89, 200, 300), -1);
    switcher.join();
}

// Every exchange refuses one nested through a message pump during its wait,
// and the outer exchange goes on undisturbed.
TEST_F(TransportResponse, NestedExchangesAreRefused) {
    uint8_t b[32];
    uint16_t words[2];
    const std::function<int()> get = [&] { return ModbusGet(0, D_SETUP2HOST, Wire().ctx, b, 32, 0, 10); };
    const std::function<int()> set = [] { return ModbusSet(0, nullptr, Wire().ctx, D_MANUAL_BIT); };
    const std::function<int()> read = [&] { return ReadInputRegisters(2, 0, words); };
    const std::function<int()> address = [] { return ChangeDetectorAddress(5); };
    struct Case {
        const char* name;
        std::function<int()> outer, nested;
        int outerResult, nestedResult;
        size_t requestBytes;  // of the outer exchange, the only one on the wire
    } const cases[] = {
        {"get in a set", set, get, 0, -1, 9},
        {"register read in a set", set, read, 0, -1, 9},
        {"address change in a set", set, address, 0, 0, 9},
        {"get in a register read", read, get, 2, -1, 8},
        {"set in a register read", read, set, 2, -1, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = peer.requests().size();  // the peer keeps them all
        peer.serve([](const Bytes& req) { return req[1] == 4 ? withCrc({1, 4, 4, 1, 2, 3, 4}) : Bytes{}; });
        int nested = 99;
        bool entered = false;
        SetPumpWait([&](unsigned) {
            if (!entered) {
                entered = true;
                nested = c.nested();
            }
        });
        EXPECT_EQ(c.outer(), c.outerResult);
        SetPumpWait({});
        WaitFor([&] { return peer.requests().size() > before; }, 1000);
        peer.stop();
        EXPECT_EQ(nested, c.nestedResult);
        const auto requests = peer.requests();
        ASSERT_EQ(requests.size(), before + 1);
        EXPECT_EQ(requests.back().size(), c.requestBytes);
    }
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

TEST_F(TransportResponse, LinkBaudIsTheSpeedOfTheLastOpen) {
    EXPECT_EQ(LinkBaud(), 115200u);
    Wire().port.baud = 9600;  // a setting, not yet the link's
    EXPECT_EQ(LinkBaud(), 115200u);
    ASSERT_TRUE(ReopenLink());
    EXPECT_EQ(LinkBaud(), 9600u);
    ResetWire();
    EXPECT_EQ(LinkBaud(), 0u);
}

TEST(TransportResult, TextsForPeople) {
    struct Case {
        int result, err;
        const char* text;
    } const cases[] = {
        {-1, ETIMEDOUT, "no answer (timeout)"},
        {-1, EMBBADCRC, "CRC error"},
        {-1, EMBBADDATA, "answer not understood"},
        {-1, EMBMDATA, "answer longer than the buffer"},
        {-1, MODBUS_ENOBASE + 2, "exception 2"},
        {-1, EMBBADCTX, "link not open"},
        {-1, 0, "failed"},
        {0, 0, "nothing received"},
        {-1, EIO, "failed: Input/output error"},
        {89, ETIMEDOUT, "received 89"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TransportResultText(c.result, c.err), c.text) << c.result << " " << c.err;
        EXPECT_EQ(TransportExceptionCode(c.result, c.err), c.err == MODBUS_ENOBASE + 2 ? 2 : -1);
    }
}

}  // namespace
