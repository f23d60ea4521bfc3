// The command interface people script against: outputs and exit statuses.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliCommands.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "support/PtyPeer.h"
#include "support/RefCrc.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWire();
        ASSERT_TRUE(ParseDCB(peer.port(115200), &Wire().port));
        ASSERT_NE(OpenModbusContext(), nullptr);
    }
    void TearDown() override {
        peer.stop();
        ResetWire();
    }
    int run(const std::string& line) {
        out.str("");
        err.str("");
        return session.run(splitWords(line));
    }
    PtyPeer peer;
    std::ostringstream out, err;
    CliSession session{out, err};
};

Bytes statusAnswer(uint8_t address) {
    Bytes data(160, 0);
    data[0] = 3;
    data[1] = 'W';
    return recordAnswer(address, data, 0x11223344, 0x0590, 1000001);
}

TEST_F(Cli, GetPrintsTheFrameAndJudgesItsSize) {
    const Bytes answer = recordAnswer(1, Bytes(2, 0xAB));
    peer.serve([&](const Bytes&) { return answer; });
    EXPECT_EQ(run("get D_ELEVATE --payload 01,00 --size 19"), kCliOk);
    char crc[8];
    std::snprintf(crc, sizeof crc, "%02X %02X", answer[17], answer[18]);
    EXPECT_EQ(out.str(), std::string("01 C8 0D 00 00 90 05 40 E2 01 00 04 03 02 01 AB AB ") + crc + "\n");
    // The table's size for the command (18) is not what came back.
    EXPECT_EQ(run("get 148"), kCliFailed);
    EXPECT_NE(err.str().find("expected 18 bytes"), std::string::npos);
    peer.stop();
    EXPECT_EQ(peer.requests()[0], withCrc({1, 0xC8, 7, 0, 0x94, 0, 0, 1, 0}));
}

TEST_F(Cli, UsageErrors) {
    const char* lines[] = {
        "frobnicate",  "get D_NOTHING", "get D_SETUP2HOST --payload 0G", "get D_SETUP2HOST --payload 123",
        "get D_MANUAL_BIT",  // a Set-only command has no answer size
        "get D_SETUP2HOST --colour red", "set D_MANUAL_BIT --payload xyz", "read-input 29999 2",
        "read-holding 40001 0", "write-register 40001 12345", "write-registers 40001", "poll --count x",
    };
    for (const char* l : lines) {
        SCOPED_TRACE(l);
        EXPECT_EQ(run(l), kCliUsage);
        EXPECT_FALSE(err.str().empty());
    }
    EXPECT_TRUE(peer.read(100).empty());
}

TEST_F(Cli, ScriptsRunEveryLineAndReportTheFirstFailure) {
    int asked = 0;
    peer.serve([&](const Bytes&) { return ++asked == 2 ? Bytes{} : statusAnswer(1); });
    std::istringstream script(
        "# status twice, the second goes unanswered\n"
        "poll\n"
        "poll   # silent\n"
        "\n"
        "bogus\n"
        "poll\n");
    EXPECT_EQ(session.runScript(script), kCliFailed);
    EXPECT_EQ(asked, 3);
    // The status counter carried from line to line.
    EXPECT_EQ(Wire().dataRequestCounter, 3u);
}

}  // namespace
