// No password reaches a frame dump.
#include <gtest/gtest.h>

#include <algorithm>
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

// Positions of the '*' bytes MaskSecrets left.
std::vector<size_t> starsIn(Bytes bytes, DumpFrom from, Side side, unsigned answerTo = 0) {
    const Bytes before = bytes;
    MaskSecrets(bytes, from, side, answerTo);
    EXPECT_EQ(bytes.size(), before.size());
    std::vector<size_t> at;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != before[i]) at.push_back(i);
    return at;
}

std::vector<size_t> run(size_t from, size_t n) {
    std::vector<size_t> v(n);
    std::iota(v.begin(), v.end(), from);
    return v;
}

std::vector<size_t> join(std::vector<size_t> a, const std::vector<size_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes noZeros(Bytes b) {
    for (auto& x : b) x = x ? x : 0x55;  // every masked byte must show as changed
    return b;
}

TEST(SecretMask, WhichBytes) {
    const Bytes elevate = noZeros(hostframes::recordGet(3, D_ELEVATE, Bytes(18, 0x41)));
    const Bytes block(elevate.begin() + 1, elevate.end() - 2);  // as the transport dumps it
    const Bytes setupOut =
        noZeros(hostframes::recordGet(3, D_SETUP2DET, Bytes(kSetupRecordSize, 0x41)));
    const Bytes setupIn = noZeros(recordAnswer(3, Bytes(kSetupRecordSize, 0x41)));
    const Bytes regs = noZeros(hostframes::writeRegisters(3, 10002, Bytes(18, 0x41)));
    const Bytes regsBefore = noZeros(hostframes::writeRegisters(3, 10001, Bytes(20, 0x41)));
    struct Case {
        const char* name;
        Bytes bytes;
        DumpFrom from;
        Side side;
        unsigned answerTo;
        std::vector<size_t> stars;
    } cases[] = {
        {"elevation frame", elevate, DumpFrom::Address, Side::Request, 0, run(8, 17)},
        {"elevation block, first 20", Bytes(block.begin(), block.begin() + 20), DumpFrom::Function,
         Side::Request, 0, run(7, 13)},
        {"setup sent", setupOut, DumpFrom::Address, Side::Request, 0,
         join(run(43, 17), run(60, 17))},
        {"setup read", setupIn, DumpFrom::Address, Side::Answer, D_SETUP2HOST,
         join(run(51, 17), run(68, 17))},
        {"setup echoed", setupIn, DumpFrom::Address, Side::Answer, D_SETUP2DET,
         join(run(51, 17), run(68, 17))},
        {"status answer", setupIn, DumpFrom::Address, Side::Answer, D_DATA2HOST, {}},
        {"registers at 50,003", regs, DumpFrom::Address, Side::Request, 0, run(8, 17)},
        {"registers from 50,002", regsBefore, DumpFrom::Address, Side::Request, 0, run(10, 17)},
        {"registers at 40,002",
         noZeros(hostframes::writeRegisters(3, 1, Bytes(18, 0x41))),
         DumpFrom::Address,
         Side::Request,
         0,
         {}},
        {"status request",
         noZeros(hostframes::dataRequest(3)),
         DumpFrom::Address,
         Side::Request,
         0,
         {}},
        {"cut before the password",
         Bytes(elevate.begin(), elevate.begin() + 6),
         DumpFrom::Address,
         Side::Request,
         0,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(starsIn(c.bytes, c.from, c.side, c.answerTo), c.stars);
    }
}

// Both logs while a locked detector is read, elevated through the record and
// through the registers, with the library's own trace on.
class SecretsInLogs : public TestLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine({testline::lockedIr(5)}));
        ASSERT_NO_FATAL_FAILURE(openWire(5));
        logs::attachLists(
            [this](const std::string& l) {
                std::lock_guard lock(m);
                text += l + "\n";
            },
            [this](const std::string& l) {
                std::lock_guard lock(m);
                text += l + "\n";
            });
        modbus_set_debug(Wire().ctx, 1);
    }
    void TearDown() override {
        logs::detachLists();
        TestLine::TearDown();
    }
    std::mutex m;
    std::string text;
};

std::string hexOf(const std::string& s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02X ", c);
        out += b;
    }
    return out.substr(0, out.size() - 1);
}

TEST_F(SecretsInLogs, NoPasswordBytes) {
    FakePanel panel;
    panel.typed = {"apass"};
    ASSERT_EQ(RequestElevation(2, "Burn", panel), kElevationGranted);
    const auto record = EncodeElevation(1, "mpass");
    uint16_t words[9];
    for (size_t i = 0; i < 9; ++i)
        words[i] = static_cast<uint16_t>(record[2 * i] | record[2 * i + 1] << 8);
    EXPECT_EQ(WriteMultipleRegisters(9, 10002, words), 9);
    std::lock_guard lock(m);
    EXPECT_NE(text.find("2A 2A 2A 2A 2A"), std::string::npos) << text;
    EXPECT_EQ(text.find(hexOf("pass")), std::string::npos) << text;
}

}  // namespace
