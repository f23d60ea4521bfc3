// flash dump and version against simulated detectors: what each prints, the
// file it leaves, and the exit status of each outcome.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliLine.h"
#include "sim/Control.h"
#include "support/TempFolder.h"

namespace {

constexpr uint8_t kIr = 1;  // the demo line's IR detector, serial 21030001

class CliFlash : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo()));
        openWire(kIr);
    }
    void control(const std::string& command) { ASSERT_EQ(wsim::runControlCommand(*line, command, nullptr), "ok"); }
    TempFolder folder;
};

TEST_F(CliFlash, FlashDump) {
    const std::string head =
        "0x8007800 - HW Product Number\nWXIR-590\n57 58 49 52 2D 35 39 30 FF FF FF FF FF FF FF FF\n"
        "71 E4 40 01 FF FF FF FF FF FF FF FF FF FF FF FF\n0x8007810 - Serial Number\n21030001   0x0140E471\n"
        "0x8008000 - APP code\n00 00 01 20 51 82 00 08";
    ASSERT_EQ(run(kIr, "flash dump dump.txt"), kCliOk) << err.str();
    EXPECT_EQ(out.str().substr(0, head.size()), head);
    EXPECT_NE(out.str().find("\n0x807FFF0 - APP INFO\nFF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\n"),
              std::string::npos);
    EXPECT_EQ(out.str().find(" \n"), std::string::npos);
    EXPECT_EQ(slurp("dump.txt"), out.str());

    const struct {
        const char* command;
        int status;
    } refused[] = {{"flash", kCliUsage}, {"flash dump a b", kCliUsage}, {"flash dump no/such/dir/x.txt", kCliUsage}};
    for (const auto& r : refused) EXPECT_EQ(run(kIr, r.command), r.status) << r.command;

    control("flash-silent 1 8043FF0");
    EXPECT_EQ(run(kIr, "flash dump late.txt"), kCliFailed);
    EXPECT_NE(out.str().find("0x8008000 - APP code\n"), std::string::npos);
    EXPECT_EQ(out.str().find("APP INFO"), std::string::npos);
    EXPECT_EQ(err.str(), "Error: Failed reading APP Info from detector...\n");
    EXPECT_FALSE(std::filesystem::exists("late.txt"));
}

TEST_F(CliFlash, Version) {
    ASSERT_EQ(run(kIr, "version"), kCliOk);
    EXPECT_EQ(out.str().substr(0, 45), "IR4 detector firmware 4.17 (model 0x0590)\nApp");
    EXPECT_NE(out.str().find("Boot 1.05\n\nWexcon, v"), std::string::npos);
    EXPECT_EQ(run(kIr, "version now"), kCliUsage);
    control("silent 1");
    EXPECT_EQ(run(kIr, "version"), kCliFailed);
    EXPECT_EQ(out.str().substr(0, 16), "N / A\n\nWexcon, v");
}

}  // namespace
