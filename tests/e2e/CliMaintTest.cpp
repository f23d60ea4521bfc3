// maint and gauges against simulated detectors: one case per exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "CliLine.h"
#include "sim/Control.h"
#include "support/TempFolder.h"

namespace {

constexpr uint8_t kIr = 1, kLocked = 17, kSilent = 9;  // the demo line; 17 refuses a BIT without MAINT

class CliMaint : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo()));
        openWire(kIr);
    }
    TempFolder folder;  // bitout.txt
};

TEST_F(CliMaint, ChannelsAndGauges) {
    EXPECT_EQ(run(kIr, "maint --count 2 --units us --channels 12,32,0,34,4"), kCliOk) << err.str();
    const std::regex line(
        R"(address=1 serial=\d+ status=N\d+ vratio45to4=-?\d+\.\d\d Qtemp=\d+\.\d\d smp45=-?\d+\.\d\d Vin=\d+\.\d\d vsum45=-?\d+\.\d\d\n)");
    EXPECT_TRUE(std::regex_match(out.str(), std::regex("(" + std::string(R"(address=1 [^\n]*\n)") + "){2}")))
        << out.str();
    EXPECT_TRUE(std::regex_search(out.str(), line)) << out.str();

    EXPECT_EQ(run(kIr, "gauges --count 2"), kCliOk) << err.str();
    EXPECT_TRUE(std::regex_match(out.str(), std::regex(R"((vin=\d+\.\d/green temp=\d+\.\d/green ma=\d+\.\d/blue\n){2})")))
        << out.str();
    EXPECT_EQ(run(kSilent, "gauges"), kCliFailed);
    EXPECT_EQ(out.str(), "vin=---/red temp=---/red ma=---/red\n");

    for (const char* bad : {"maint --channels 1,2", "maint --channels 1,2,3,4,35", "maint --count 0", "gauges --bit",
                            "gauges --units metric"})
        EXPECT_EQ(run(kIr, bad), kCliUsage) << bad;
}

TEST_F(CliMaint, BitToItsEndNotStartedCutAndNoFile) {
    EXPECT_EQ(run(kIr, "maint --bit"), kCliOk) << err.str();
    EXPECT_NE(out.str().find("Embedded BIT results:\n---------------------------\nbit_vsum45 "), std::string::npos)
        << out.str();
    std::ifstream file("bitout.txt");
    std::vector<std::string> lines;
    for (std::string l; std::getline(file, l);) lines.push_back(l);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 4), "1\tM\t");
    EXPECT_NE(lines.back().find("\tN\t"), std::string::npos);  // the record back in 'N' is logged too

    std::filesystem::remove("bitout.txt");
    EXPECT_EQ(run(kLocked, "maint --bit"), kCliFailed);
    EXPECT_NE(err.str().find("did not start within 1000 ms"), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists("bitout.txt"));

    // A BIT that never ends: the log stops at 100 records.
    ASSERT_EQ(wsim::runControlCommand(*line, "bit-mode 1 stuck"), "ok");
    EXPECT_EQ(run(kIr, "maint --bit"), kCliFailed);
    EXPECT_NE(err.str().find("cut at 100 records"), std::string::npos) << err.str();
    std::ifstream cut("bitout.txt");
    int count = 0;
    for (std::string l; std::getline(cut, l);) ++count;
    EXPECT_EQ(count, 101);
    ASSERT_EQ(wsim::runControlCommand(*line, "bit-mode 1 normal"), "ok");

    std::filesystem::remove("bitout.txt");
    std::filesystem::create_directory("bitout.txt");
    EXPECT_EQ(run(kIr, "maint --bit"), kCliRefused);
    EXPECT_NE(err.str().find("bitout.txt"), std::string::npos);
}

}  // namespace
