#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "support/TempFolder.h"
#include "util/Log.h"
#include "util/LogList.h"

namespace {

class Logs : public ::testing::Test {
protected:
    void SetUp() override {
        logs::attachLists([this](const std::string& l) { general.push_back(l); },
                          [this](const std::string& l) { protocol.push_back(l); });
    }
    void TearDown() override {
        logs::detachLists();
        logs::closeFiles();
    }
    std::vector<std::string> general, protocol;
};

TEST_F(Logs, ListLinesAndFileLines) {
    TempFolder folder;
    ASSERT_TRUE(logs::openFiles("."));
    DebugLog("a\tb %d\n", 7);
    ProtocolLog("ModbusGet(%u):", 119u);
    logs::closeFiles();
    ASSERT_EQ(general, std::vector<std::string>{"a    b 7 "});
    ASSERT_EQ(protocol, std::vector<std::string>{"ModbusGet(119):"});
    // The file gets the same text and exactly one line feed of its own.
    EXPECT_EQ(slurp("logf1.txt"), "a    b 7 \n");
    EXPECT_EQ(slurp("logf2.txt"), "ModbusGet(119):\n");
    // Long lines are cut to their buffer.
    const std::string big(5000, 'x');
    DebugLog("%s", big.c_str());
    ProtocolLog("%s", big.c_str());
    EXPECT_EQ(general.at(1).size(), 4095u);
    EXPECT_EQ(protocol.at(1).size(), 1023u);
}

TEST_F(Logs, HexDumpIn32ByteLines) {
    std::vector<uint8_t> bytes(70);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i + 0xA0);
    HexDumpLog(bytes.data(), bytes.size());
    ASSERT_EQ(protocol.size(), 3u);
    EXPECT_EQ(protocol[0].size(), 96u);
    EXPECT_EQ(protocol[0].substr(0, 9), "A0 A1 A2 ");
    EXPECT_EQ(protocol[2], "E0 E1 E2 E3 E4 E5 ");
}

TEST(LogsDetached, NothingIsWrittenAnywhere) {
    TempFolder folder;
    EXPECT_FALSE(logs::debugActive());
    EXPECT_FALSE(logs::protocolActive());
    DebugLog("nobody %s", "listens");
    EXPECT_FALSE(std::ifstream("logf1.txt").good());
}

TEST(LogListLimit, TheLineAfterTheLimitDropsTheOldestThousand) {
    LogList list;
    for (int i = 0; i < 4000; ++i) EXPECT_FALSE(list.append(std::to_string(i)));
    EXPECT_TRUE(list.append("4000"));
    EXPECT_EQ(list.size(), 3001u);
    EXPECT_EQ(list[0], "1000");
    EXPECT_EQ(list[3000], "4000");
    LogList two;
    two.append("a");
    two.append("b");
    EXPECT_EQ(two.joined(), "a\r\nb\r\n");
}

}  // namespace
