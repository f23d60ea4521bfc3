// The hand-framed standard functions: low byte first in both directions.
#include <cerrno>

#include "WireFixture.h"
#include "protocol/Registers.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Registers = WireFixture;

TEST_F(Registers, RequestsOnTheWire) {
    peer.serve([](const Bytes& req) {
        if (req[1] == 3 || req[1] == 4) return withCrc({1, req[1], 4, 0x34, 0x12, 0x78, 0x56});
        if (req[1] == 16) return withCrc({1, 16, req[2], req[3], 0, req[5]});
        return Bytes(req.begin(), req.begin() + 8);
    });
    uint16_t words[2] = {};
    const uint16_t values[2] = {0x1234, 0xABCD};
    EXPECT_EQ(WriteSingleRegister(0x1234, 1), 1);
    EXPECT_EQ(ReadInputRegisters(2, 0, words), 2);
    EXPECT_EQ(words[0], 0x1234);
    EXPECT_EQ(words[1], 0x5678);
    EXPECT_EQ(ReadHoldingRegisters(2, 256, words), 2);
    EXPECT_EQ(WriteMultipleRegisters(2, 10002, values), 2);
    peer.stop();
    const auto r = peer.requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0], withCrc({1, 6, 0x00, 0x01, 0x34, 0x12}));
    EXPECT_EQ(r[1], withCrc({1, 4, 0, 0, 0, 2}));
    EXPECT_EQ(r[2], withCrc({1, 3, 0x01, 0x00, 0, 2}));
    EXPECT_EQ(r[3], withCrc({1, 16, 0x27, 0x12, 0, 2, 4, 0x34, 0x12, 0xCD, 0xAB}));
}

// A reply is data only when it is a normal reply of the function asked; a
// shorter one counts its words, and the words asked stay untouched.
TEST_F(Registers, OnlyAMatchingNormalReplyIsData) {
    struct Case {
        const char* name;
        Bytes reply;
        int result;
        int err;
    } const cases[] = {
        {"exception", withCrc({1, 0x84, 2}), -1, MODBUS_ENOBASE + 2},
        {"fewer words", withCrc({1, 4, 2, 0x34, 0x12}), 1, 0},
        {"other function", withCrc({1, 3, 4, 1, 2, 3, 4}), -1, 0},
        {"another slave", withCrc({6, 4, 4, 1, 2, 3, 4}), -1, EMBBADDATA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        peer.serve([&](const Bytes&) { return c.reply; });
        uint16_t words[2] = {0xEEEE, 0xEEEE};
        EXPECT_EQ(ReadInputRegisters(2, 0, words), c.result);
        if (c.err) {
            EXPECT_EQ(errno, c.err);
        }
        peer.stop();
        EXPECT_EQ(words[1], 0xEEEE);
    }
}

// A write is acknowledged only by its own echo.
TEST_F(Registers, AWriteNotEchoedFails) {
    const uint16_t values[2] = {0x1234, 0xABCD};
    struct Case {
        const char* name;
        Bytes reply;
        int (*write)(const uint16_t*);
    } const cases[] = {
        {"other value", withCrc({1, 6, 0, 1, 0x35, 0x12}), [](const uint16_t* v) { return WriteSingleRegister(v[0], 1); }},
        {"other register", withCrc({1, 6, 0, 2, 0x34, 0x12}), [](const uint16_t* v) { return WriteSingleRegister(v[0], 1); }},
        {"other count", withCrc({1, 16, 0x27, 0x12, 0, 1}), [](const uint16_t* v) { return WriteMultipleRegisters(2, 10002, v); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        peer.serve([&](const Bytes&) { return c.reply; });
        EXPECT_EQ(c.write(values), -1);
        EXPECT_EQ(errno, EMBBADDATA);
        peer.stop();
    }
}

}  // namespace
