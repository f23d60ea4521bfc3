// No password reaches a frame dump.
#include <gtest/gtest.h>

#include <mutex>
#include <numeric>

#include "protocol/Elevation.h"
#include "protocol/Registers.h"
#include "protocol/SecretMask.h"
#include "protocol/records/ElevationRecord.h"
#include "protocol/records/SetupRecord.h"
#include "shell/FakePanel.h"
#include "support/HostFrames.h"
#include "support/TestLineWire.h"
#include "util/Log.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Positions = std::vector<size_t>;

// `n` positions from `from`, then `m` from `then`.
Positions stars(size_t from, size_t n, size_t then = 0, size_t m = 0) {
    Positions v(n + m);
    std::iota(v.begin(), v.begin() + long(n), from);
    std::iota(v.begin() + long(n), v.end(), then);
    return v;
}

Bytes noZeros(Bytes b) {
    for (auto& x : b) x = x ? x : 0x55;  // every masked byte must show as changed
    return b;
}

TEST(SecretMask, WhichBytes) {
    const Bytes pw(18, 0x41), setup(kSetupRecordSize, 0x41);
    const Bytes elevate = noZeros(hostframes::recordGet(3, D_ELEVATE, pw));
    const Bytes block(elevate.begin() + 1, elevate.begin() + 21);  // as the transport dumps it
    const Bytes setupIn = noZeros(recordAnswer(3, setup));
    struct Case {
        const char* name;
        Bytes bytes;
        DumpFrom from;
        Side side;
        unsigned answerTo;
        Positions masked;
    } const cases[] = {
        {"elevation frame", elevate, DumpFrom::Address, Side::Request, 0, stars(8, 17)},
        {"elevation block, first 20", block, DumpFrom::Function, Side::Request, 0, stars(7, 13)},
        {"setup sent", noZeros(hostframes::recordGet(3, D_SETUP2DET, setup)), DumpFrom::Address,
         Side::Request, 0, stars(43, 17, 60, 17)},
        {"setup read", setupIn, DumpFrom::Address, Side::Answer, D_SETUP2HOST, stars(51, 17, 68, 17)},
        {"setup echoed", setupIn, DumpFrom::Address, Side::Answer, D_SETUP2DET, stars(51, 17, 68, 17)},
        {"status answer", setupIn, DumpFrom::Address, Side::Answer, D_DATA2HOST, {}},
        {"registers at 50,003", noZeros(hostframes::writeRegisters(3, 10002, pw)), DumpFrom::Address,
         Side::Request, 0, stars(8, 17)},
        {"registers from 50,002", noZeros(hostframes::writeRegisters(3, 10001, Bytes(20, 0x41))),
         DumpFrom::Address, Side::Request, 0, stars(10, 17)},
        {"registers at 40,002", noZeros(hostframes::writeRegisters(3, 1, pw)), DumpFrom::Address,
         Side::Request, 0, {}},
        {"status request", noZeros(hostframes::dataRequest(3)), DumpFrom::Address, Side::Request, 0, {}},
        {"cut before the password", Bytes(elevate.begin(), elevate.begin() + 6), DumpFrom::Address,
         Side::Request, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes masked = c.bytes;
        MaskSecrets(masked, c.from, c.side, c.answerTo);
        ASSERT_EQ(masked.size(), c.bytes.size());
        Positions changed;
        for (size_t i = 0; i < masked.size(); ++i)
            if (masked[i] != c.bytes[i]) changed.push_back(i);
        EXPECT_EQ(changed, c.masked);
    }
}

// Both logs while a locked detector is read, elevated through the record and
// through the registers, with the library's own trace on.
using SecretsInLogs = TestLine;

TEST_F(SecretsInLogs, NoPasswordBytes) {
    ASSERT_NO_FATAL_FAILURE(startLine({testline::lockedIr(5)}));
    ASSERT_NO_FATAL_FAILURE(openWire(5));
    std::mutex m;
    std::string text;
    const auto keep = [&](const std::string& l) {
        std::lock_guard lock(m);
        text += l + "\n";
    };
    logs::attachLists(keep, keep);
    modbus_set_debug(Wire().ctx, 1);
    FakePanel panel;
    panel.typed = {"apass"};
    EXPECT_EQ(RequestElevation(2, "Burn", panel), kElevationGranted);
    const auto record = EncodeElevation(1, "mpass");
    uint16_t words[9];
    for (size_t i = 0; i < 9; ++i)
        words[i] = static_cast<uint16_t>(record[2 * i] | record[2 * i + 1] << 8);
    EXPECT_EQ(WriteMultipleRegisters(9, 10002, words), 9);
    logs::detachLists();
    EXPECT_NE(text.find("2A 2A 2A 2A 2A"), std::string::npos) << text;
    EXPECT_EQ(text.find("70 61 73 73"), std::string::npos) << text;  // "pass"
}

}  // namespace
