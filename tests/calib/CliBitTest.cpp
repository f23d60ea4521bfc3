// calib ir-bit / uv-bit against the simulator, detector time ten times as fast:
// one case per exit status.
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/CliCommands.h"
#include "sim/Control.h"
#include "support/FastClock.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"

namespace {

// Standard input whose first read runs a control command: the technician
// uncovers the lens before answering "Bright BIT - GO".
class HookedInput : public std::stringbuf {
public:
    HookedInput(std::string text, std::function<void()> hook) : text_(std::move(text)), hook_(std::move(hook)) {}

protected:
    int_type underflow() override {
        if (hook_) {
            std::exchange(hook_, nullptr)();
            str(text_);
        }
        return std::stringbuf::underflow();
    }

private:
    std::string text_;
    std::function<void()> hook_;
};

}  // namespace

class CliBit : public TestLine {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startLine(testline::demo(), {.clock = &fast})); }
    int run(uint8_t address, const std::string& command, const std::string& input = "",
            const std::string& beforeInput = "") {
        openWire(address);
        HookedInput buffer(input, [&] {
            std::istringstream commands(beforeInput);
            for (std::string c; std::getline(commands, c, ';');) wsim::runControlCommand(*line, c);
        });
        std::istream in(&buffer);
        out.str("");
        err.str("");
        CliSession session(out, err, in);
        return session.run(splitWords(command));
    }
    bool uvMode() {
        bool on = false;
        line->withDetector(2, [&](wsim::Detector& d, int64_t) { on = d.uvBitCalibration(); });
        return on;
    }
    FastClock fast;
    TempFolder folder;  // Param.ini: none, every param 1.0
    std::ostringstream out, err;
};

TEST_F(CliBit, RunsToEachExitStatus) {
    wsim::runControlCommand(*line, "lens 1 covered");
    EXPECT_EQ(run(1, "calib ir-bit", "\n", "lens 1 open"), kCliOk) << err.str();
    EXPECT_TRUE(std::regex_match(out.str(), std::regex(
        R"(dark_1=1(49|50|51)\ndark_2=\d+\ndark_3=\d+\ndark_avg=1(49|50|51)\nbright_1=\d+\nbright_2=\d+\n)"
        R"(bright_3=\d+\nbright_avg=(59[4-9]|60[0-6])\n\(IR bright \d+\) / \(IR dark \d+\) = (3\.9[4-9]|4\.\d\d) >= \(param1 1\.00\) \? YES\n)"
        R"(qtemp=\d+\.\d\nmanbit=\d+\nautobit=\d+\n)"))) << out.str();
    EXPECT_NE(err.str().find("Uncover Lens\r\nBright BIT - GO\n"), std::string::npos);

    // UV: one loop of 1 s a set, 8 counts dark and 40 bright; the burn changes two fields only.
    wsim::runControlCommand(*line, "lens 2 covered");
    const std::vector<uint8_t> before = params(2);
    EXPECT_EQ(run(2, "calib uv-bit --durations 1,0,5 --burn", "\n", "lens 2 open"), kCliOk) << err.str();
    EXPECT_TRUE(std::regex_search(out.str(), std::regex(
        R"(^dark_1=8\ndark_avg=8\nbright_1=40\nbright_avg=40\n\(UV bright 40\) / \(UV dark 8\) = 5\.00 >= \(param1 1\.00\) \? YES\n)"
        R"(qtemp=\d+\.\d\nUV_BIT_Duration=2\nUVBIT_Thr=3\nParameters verified\n$)"))) << out.str();
    EXPECT_FALSE(uvMode());
    const std::vector<uint8_t> after = params(2);
    size_t changed = 0;
    for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
    EXPECT_LE(changed, 2u);

    // The read-back after the burn's own read differs: what the detector holds now.
    wsim::runControlCommand(*line, "lens 2 covered");
    EXPECT_EQ(run(2, "calib uv-bit --durations 1 --burn", "\n", "lens 2 open; corrupt-params 2 1"), kCliUnverified);
    EXPECT_TRUE(out.str().ends_with("\nnow UVBIT_Thr=3 UV_BIT_Duration=2\n")) << out.str();

    // End of input at "Bright BIT - GO" is Cancel; the mode is left.
    EXPECT_EQ(run(2, "calib uv-bit --durations 1"), kCliFailed);
    EXPECT_FALSE(uvMode());
    EXPECT_EQ(run(9, "calib ir-bit"), kCliFailed);  // nobody there

    // Host checks: durations before anything is sent, ir-bit on a UV/IR model, a dead lamp.
    EXPECT_EQ(run(2, "calib uv-bit --durations 5,21"), kCliUsage);
    EXPECT_NE(err.str().find("Duration may not exceed 20 sec..."), std::string::npos);
    for (const char* bad : {"calib uv-bit --durations 0,5", "calib uv-bit", "calib ir-bit --durations 5", "calib x"})
        EXPECT_EQ(run(2, bad), kCliUsage) << bad;
    EXPECT_EQ(run(2, "calib ir-bit"), kCliRefused);
    wsim::runControlCommand(*line, "lamp 2 dead");
    EXPECT_EQ(run(2, "calib uv-bit --durations 1", "\n"), kCliRefused);
    EXPECT_NE(out.str().find("(UV bright 0) / (UV dark 0) = 0.00 >= (param1 1.00) ? NO"), std::string::npos);
    EXPECT_NE(err.str().find("Cannot proceed\r\nBad Bright/Dark ratio(s)..."), std::string::npos);
    EXPECT_FALSE(uvMode());
}
