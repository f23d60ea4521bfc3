// params check and params check-by-type against simulated detectors of each
// master's type, with the project's own master files: what each prints and
// returns.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CliLine.h"
#include "protocol/records/ParamRecord.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

wsim::DetectorConfig ofModel(uint8_t address, uint16_t model) {
    auto c = testline::ir(address);
    c.model = model;
    return c;
}

// Types 144 (I) at 1, 146 (LB) at 2, 128, 133, 130, 136 at 3..6, 131 at 7; nothing at 9.
class CliSanity : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(1), testline::uvir(2), ofModel(3, 0x0580), ofModel(4, 0x0585),
                                           ofModel(5, 0x0582), ofModel(6, 0x0588), ofModel(7, 0x0583)}));
        openWire(1);
        fs::copy(WEXCON_MASTERS, "Masters");
        fs::remove("Masters/README.md");
    }
    // A copy of a master with one byte changed: `sumsize` of the IR record.
    static void changedMaster(const std::string& from, const std::string& to) {
        std::string bytes = slurp(from);
        bytes.at(FindParamField(ParamKind::Ir, "sumsize")->offset) += 1;
        std::ofstream(to, std::ios::binary) << bytes;
    }

    TempFolder folder;
};

TEST_F(CliSanity, Check) {
    changedMaster("Masters/MasterParam_I.bin", "changed.bin");
    std::ofstream("SanityCheckInput.ini") << "[SanityCheck]\nszMasterParamBinFile=Masters/MasterParam_LB.bin\n";
    struct Case {
        uint8_t address;
        std::string command;
        int status;
        std::string printed, error;  // the whole standard output; a part of standard error
    } const cases[] = {
        {1, "params check Masters/MasterParam_I.bin", kCliOk, "S/N=21030001\nParameters OK!\n", ""},
        {2, "params check", kCliOk, "S/N=21030002\nParameters OK!\n", ""},
        {1, "params check changed.bin", kCliRefused,
         "S/N=21030001\nEquateNonCalib=NonCalib:  1\nSanity Check failure.\n",
         "DoSanityCheck() Error: Sanity Check failure. See \"SanityCheckOutput.ini\" for details."},
        {9, "params check Masters/MasterParam_I.bin", kCliFailed, "S/N=-1\n", "Error: Detector failed to respond..."},
        {1, "params check", kCliUsage, "S/N=21030001\n", "Master BIN-file type doesn't match the detector"},
        {1, "params check none.bin", kCliUsage, "", "Failed opening \"none.bin\" for reading"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(run(c.address, c.command), c.status) << err.str();
        EXPECT_EQ(out.str(), c.printed);
        EXPECT_NE(err.str().find(c.error), std::string::npos) << err.str();
    }
}

TEST_F(CliSanity, CheckByType) {
    struct Case {
        uint8_t address;
        std::string command;
        int status;
        std::string printed;
    } const cases[] = {
        {1, "params check-by-type", kCliOk, "result=0\n"},     {2, "params check-by-type 1", kCliOk, "result=0\n"},
        {3, "params check-by-type 2", kCliOk, "result=0\n"},   {4, "params check-by-type 3", kCliOk, "result=0\n"},
        {5, "params check-by-type 4", kCliOk, "result=0\n"},   {6, "params check-by-type 5", kCliOk, "result=0\n"},
        {7, "params check-by-type", kCliUsage, "result=-6\n"}, {9, "params check-by-type", kCliFailed, ""},
        {1, "params check-by-type x", kCliUsage, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " at " + std::to_string(c.address));
        EXPECT_EQ(run(c.address, c.command), c.status) << err.str();
        EXPECT_EQ(out.str(), c.printed);
    }
    EXPECT_NE(slurp("ScreenshotOutput.ini").find("[SanityCheck5]"), std::string::npos);
    changedMaster("Masters/MasterParam_I.bin", "Masters/MasterParam_I.bin");
    EXPECT_EQ(run(1, "params check-by-type"), kCliRefused);
    EXPECT_EQ(out.str(), "result=-10\n");
}

}  // namespace
