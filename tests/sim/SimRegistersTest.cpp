// Standard functions 3, 4, 6 and 16 over the register map.
#include "tests/sim/HostOnLine.h"

class SimRegisters : public HostOnLine {};

namespace {
Bytes body(const Bytes& answer) {  // without CRC
    return answer.size() < 2 ? Bytes{} : Bytes(answer.begin(), answer.end() - 2);
}
}  // namespace

TEST_F(SimRegisters, ReadsWritesAndExceptions) {
    auto d1 = ir(1);
    d1.serial = 0x01020304;
    startWithHost({d1, lockedIr(17)});
    struct Case {
        const char* what;
        Bytes request;
        Bytes reply;  // without CRC; empty: no reply
    };
    const Case cases[] = {
        {"model and serial, low byte first", stdRequest(1, 4, 0, 3), {1, 4, 6, 0x90, 0x05, 0x04, 0x03, 0x02, 0x01}},
        {"4-20 and mode/state", stdRequest(1, 4, 3, 2), {1, 4, 4, 40, 0, 0, 'N'}},
        {"relays: fault energised, heater off", stdRequest(1, 4, 28, 4), {1, 4, 8, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"version text starts in the low byte", stdRequest(1, 4, 256, 2), {1, 4, 4, 'I', 'R', '4', ' '}},
        {"address and sensitivity", stdRequest(1, 3, 0, 1), {1, 3, 2, 1, 0}},
        {"40,008 sensitivity", stdRequest(1, 3, 7, 2), {1, 3, 4, 2, 0, 2, 0}},
        {"manual BIT trigger reads 0", stdRequest(1, 3, 32, 1), {1, 3, 2, 0, 0}},
        {"write 40,002 low byte first", writeRegister(1, 1, 0x0001), {1, 6, 0, 1, 1, 0}},
        {"and read it back", stdRequest(1, 3, 1, 1), {1, 3, 2, 1, 0}},
        {"write multiple 40,008..40,009", writeRegisters(1, 7, {1, 0, 3, 0}), {1, 16, 0, 7, 0, 2}},
        {"read them back", stdRequest(1, 3, 7, 2), {1, 3, 4, 1, 0, 3, 0}},
        {"log position", writeRegister(1, 10000, 0xFFFF), {1, 6, 0x27, 0x10, 0xFF, 0xFF}},
        {"input beyond the map", stdRequest(1, 4, 32, 1), {1, 0x84, 2}},
        {"input range crossing the end", stdRequest(1, 4, 30, 4), {1, 0x84, 2}},
        {"count 0", stdRequest(1, 4, 0, 0), {1, 0x84, 3}},
        {"count 126", stdRequest(1, 3, 0, 126), {1, 0x83, 3}},
        {"ordnum is write-only", stdRequest(1, 3, 256, 2), {1, 0x83, 2}},
        {"elevation block is write-only", stdRequest(1, 3, 10002, 9), {1, 0x83, 2}},
        {"log read needs 108 registers", stdRequest(1, 3, 10001, 5), {1, 0x83, 3}},
        {"sensitivity 6 is invalid", writeRegister(1, 7, 6), {1, 0x86, 3}},
        {"value above a byte", writeRegister(1, 1, 0x0100), {1, 0x86, 3}},
        {"trigger accepts only 1", writeRegister(1, 32, 2), {1, 0x86, 3}},
        {"unmapped holding write", writeRegister(1, 40, 1), {1, 0x86, 2}},
        {"byte count mismatch", withCrc({1, 16, 0, 1, 0, 2, 3, 1, 0, 0}), {1, 0x90, 3}},
        {"unsupported function", withCrc({1, 1, 0, 0, 0, 1}), {1, 0x81, 1}},
        {"locked: write needs ADMIN", writeRegister(17, 1, 1), {17, 0x86, 4}},
        {"locked: bad elevation", writeRegisters(17, 10002, elevation(2, "nope")), {17, 0x90, 4}},
        {"locked: elevate by registers", writeRegisters(17, 10002, elevation(2, "apass")), {17, 16, 0x27, 0x12, 0, 9}},
        {"locked: now writable", writeRegister(17, 1, 1), {17, 6, 0, 1, 1, 0}},
        {"broadcast read is ignored", stdRequest(0, 3, 0, 1), {}},
        {"broadcast write is not answered", writeRegister(0, 2, 0), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.reply.empty()) {
            EXPECT_TRUE(host.silentAfter(c.request));
            continue;
        }
        const Bytes r = host.exchange(c.request, c.reply.size() + 2);
        EXPECT_TRUE(crcGood(r));
        EXPECT_EQ(body(r), c.reply);
    }
    EXPECT_EQ(host.exchange(recordGet(1, 119), 89).at(15 + 2), 3) << "40,009 is setup byte 2";
    // The broadcast write reached both detectors.
    EXPECT_EQ(body(host.exchange(stdRequest(17, 3, 2, 1), 7)), (Bytes{17, 3, 2, 0, 0}));
    // The whole version text block, as the probe of a new address reads it.
    const Bytes version = host.exchange(stdRequest(1, 4, 256, 32), 69);
    ASSERT_EQ(version.size(), 69u);
    std::string text;
    line->withDetector(1, [&](wsim::Detector& d, int64_t) { text = d.versionText(); });
    text.resize(64, '\0');
    EXPECT_EQ(std::string(version.begin() + 3, version.end() - 2), text) << "zeros after the text";
    const Bytes log = host.exchange(stdRequest(1, 3, 10001, 108), 221);
    ASSERT_EQ(log.size(), 221u);
    EXPECT_EQ(log[2], 216);
    EXPECT_EQ(log[3], 0xFF) << "an empty ring position reads as erased flash";
    EXPECT_EQ(log[218], 0);
}

TEST_F(SimRegisters, AddressRegisterTakesEitherByteOrder) {
    startWithHost({ir(1)});
    struct Case {
        uint8_t from;
        Bytes valueBytes;  // as on the wire
        uint8_t to;        // 0: refused with exception 3
    };
    const Case cases[] = {
        {1, {5, 0}, 5},      // register window: low byte first
        {5, {0, 9}, 9},      // standard big-endian function 6
        {9, {0, 0}, 0},
        {9, {248, 0}, 0},
        {9, {1, 1}, 0},      // both bytes set: ambiguous
        {9, {0, 247}, 247},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.to));
        const Bytes req = withCrc({c.from, 6, 0, 0, c.valueBytes[0], c.valueBytes[1]});
        const Bytes r = host.exchange(req, c.to ? 8 : 5);
        ASSERT_TRUE(crcGood(r));
        EXPECT_EQ(r[0], c.from) << "the reply leaves from the old address";
        if (!c.to) {
            EXPECT_EQ(r[1], 0x86);
            EXPECT_EQ(r[2], 3);
            continue;
        }
        EXPECT_TRUE(host.silentAfter(recordGet(c.from, 119)));
        const Bytes s = host.exchange(recordGet(c.to, 119), 89);
        ASSERT_EQ(s.size(), 89u);
        EXPECT_EQ(s[15], c.to) << "setup byte 0 follows the address";
    }
}
