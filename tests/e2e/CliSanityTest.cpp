// params check and params check-by-type against simulated detectors of each
// master's type, with the project's own master files: what each prints,
// returns and leaves in its output file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "CliLine.h"
#include "protocol/records/ParamRecord.h"
#include "sim/Control.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

wsim::DetectorConfig ofModel(uint8_t address, uint16_t model) {
    auto c = testline::ir(address);
    c.model = model;
    return c;
}

// A file without its blank lines.
std::string written(const std::string& path) {
    std::string text = slurp(path);
    for (size_t at; (at = text.find("\n\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

// Types 144 (I) at 1, 146 (LB) at 2, 128, 133, 130, 136 at 3..6, 131 at 7; nothing at 9.
class CliSanity : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(1), testline::uvir(2), ofModel(3, 0x0580), ofModel(4, 0x0585),
                                           ofModel(5, 0x0582), ofModel(6, 0x0588), ofModel(7, 0x0583)}));
        openWire(1);
        fs::copy(WEXCON_MASTERS, "Masters");
        // The IR master with another sumsize.
        std::string bytes = slurp("Masters/MasterParam_I.bin");
        bytes.at(FindParamField(ParamKind::Ir, "sumsize")->offset) += 1;
        std::ofstream("changed.bin") << bytes;
    }

    TempFolder folder;
};

TEST_F(CliSanity, Check) {
    const std::string before = "[General]\nS/N=7\n[CompareBenzine]\nFailureIndices=x\n[Keep]\nk=1\n";
    struct Case {
        uint8_t address;
        std::string command;
        const char* named;  // by SanityCheckInput.ini; nullptr: no such file
        int status;
        std::string printed, error, output;  // standard output, a part of standard error, the output file
        const char* control = "";            // a simulator control command first
    } const cases[] = {
        {1, "params check Masters/MasterParam_I.bin", nullptr, kCliOk, "S/N=21030001\nParameters OK!\n",
         "DoSanityCheck: Parameters OK!", "[Keep]\nk = 1\n[General]\nS/N = 21030001\n"},
        {1, "params check changed.bin", nullptr, kCliRefused,
         "S/N=21030001\nEquateNonCalib=NonCalib:  1\nSanity Check failure.\n",
         "DoSanityCheck() Error: Sanity Check failure. See \"SanityCheckOutput.ini\" for details.",
         "[Keep]\nk = 1\n[General]\nS/N = 21030001\n[EquateNonCalib]\nFailureIndices = NonCalib:  1\n"},
        {9, "params check changed.bin", nullptr, kCliFailed, "S/N=-1\n", "Error: Detector failed to respond...",
         "[Keep]\nk = 1\n[General]\nS/N = -1\n"},
        {1, "params check Masters/MasterParam_I.bin", nullptr, kCliFailed, "S/N=-1\n", "failed to respond", "",
         "short 3 500"},
        {1, "params check", "Masters/MasterParam_L4B.bin", kCliUsage, "S/N=21030001\n",
         "DoSanityCheck() Error: Master BIN-file type doesn't match the detector",
         "[Keep]\nk = 1\n[General]\nS/N = 21030001\n"},
        {1, "params check", nullptr, kCliUsage, "",
         "Section [SanityCheck] flag 'szMasterParamBinFile' empty or not found in \".\\SanityCheckInput.ini\"",
         "[Keep]\nk = 1\n"},
        {1, "params check none.bin", nullptr, kCliUsage, "", "Failed opening \"none.bin\" for reading", ""},
        {1, "params check long.bin", nullptr, kCliUsage, "", "Master BIN-file size (985) not IR3 nor UVIR", ""},
    };
    std::ofstream("long.bin") << std::string(990, 'x');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " at " + std::to_string(c.address));
        std::ofstream("SanityCheckOutput.ini") << before;
        fs::remove("SanityCheckInput.ini");
        if (c.named) std::ofstream("SanityCheckInput.ini") << "[SanityCheck]\nszMasterParamBinFile=" << c.named << "\n";
        ASSERT_TRUE(!*c.control || wsim::runControlCommand(*line, c.control) == "ok") << c.control;
        EXPECT_EQ(run(c.address, c.command), c.status) << err.str();
        EXPECT_EQ(out.str(), c.printed);
        EXPECT_NE(err.str().find(c.error), std::string::npos) << err.str();
        EXPECT_EQ(err.str().find("Parameters OK!") != std::string::npos, c.status == kCliOk);
        if (!c.output.empty()) {
            EXPECT_EQ(written("SanityCheckOutput.ini"), c.output);
        }
    }
}

TEST_F(CliSanity, CheckByType) {
    const auto section = [](const char* lists, int total) {
        return std::string("[SanityCheck0]\nSerialNo = 21030001\n") + lists + "TotalFailures = " +
               std::to_string(total) + "\n";
    };
    struct Case {
        uint8_t address;
        std::string command;
        int status;
        std::string printed, output = "-";  // standard output; section 0 of ScreenshotOutput.ini ("-": not looked at)
        std::function<void()> before = {};
    } const cases[] = {
        {1, "params check-by-type", kCliOk, "result=0\n",
         section("EquateNonCalibFailures = NonCalib: \nCompareCalibFailures = CalibMasterToSlave: \n"
                 "CompareBenzineFailures = CalibSlaveToSlave: \n",
                 0)},
        {2, "params check-by-type 1", kCliOk, "result=0\n"},
        {3, "params check-by-type 2", kCliOk, "result=0\n"},
        {4, "params check-by-type 3", kCliOk, "result=0\n"},
        {5, "params check-by-type 4", kCliOk, "result=0\n"},
        {6, "params check-by-type 5", kCliOk, "result=0\n"},
        {7, "params check-by-type", kCliUsage, "result=-6\n", ""},  // and the earlier section is gone
        {4, "params check-by-type 0", kCliUsage, "result=-7\n", "", [] { fs::remove("Masters/MasterParam_M.bin"); }},
        {3, "params check-by-type 0", kCliUsage, "result=-8\n", "",
         [] { fs::copy_file("Masters/MasterParam_LB.bin", "Masters/MasterParam_I.bin", fs::copy_options::overwrite_existing); }},
        {6, "params check-by-type 0", kCliUsage, "result=-9\n", "",
         [] { std::ofstream("Masters/MasterParam_L4B.bin") << std::string(985, 'x'); }},
        {1, "params check-by-type", kCliRefused, "result=-10\n",
         section("EquateNonCalibFailures = NonCalib:  1\nCompareCalibFailures = CalibMasterToSlave: \n"
                 "CompareBenzineFailures = CalibSlaveToSlave: \n",
                 1),
         [] { fs::copy_file("changed.bin", "Masters/MasterParam_I.bin", fs::copy_options::overwrite_existing); }},
        {9, "params check-by-type", kCliFailed, ""},
        {1, "params check-by-type x", kCliUsage, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " at " + std::to_string(c.address));
        if (c.before) c.before();
        EXPECT_EQ(run(c.address, c.command), c.status) << err.str();
        EXPECT_EQ(out.str(), c.printed);
        // Only the latest run's section 0 is there.
        const std::string text = written("ScreenshotOutput.ini");
        const size_t at = std::min(text.find("[SanityCheck0]"), text.size()), end = text.find("\n[", at);
        if (c.output != "-") {
            EXPECT_EQ(text.substr(at, end == std::string::npos ? end : end + 1 - at), c.output);
        }
    }
}

}  // namespace
