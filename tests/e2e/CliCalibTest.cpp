// calib dci and calib 420 against simulated detectors: one case per exit status.
#include <gtest/gtest.h>

#include "CliLine.h"
#include "sim/Control.h"
#include "support/TempFolder.h"

namespace {

constexpr uint8_t kIr = 1;

class CliCalib : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo()));
        openWire(kIr);
    }
    std::string control(const std::string& c) { return wsim::runControlCommand(*line, c); }
    TempFolder folder;  // Param.ini, ir4_param.bin
};

TEST_F(CliCalib, DciVerdictsAndBurn) {
    ASSERT_EQ(control("dci 1 1.25"), "ok");
    EXPECT_EQ(run(kIr, "calib dci --seconds 1 --burn"), kCliOk) << err.str();
    EXPECT_NE(out.str().find("address=1\nreads="), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("factor=1.250\nverdict=advised\namplify44=120\nParameters verified\n"), std::string::npos)
        << out.str();
    EXPECT_EQ(params(kIr)[794], 120);

    ASSERT_EQ(control("dci 1 dead45"), "ok");
    EXPECT_EQ(run(kIr, "calib dci --seconds 1"), kCliRefused);
    EXPECT_NE(out.str().find("factor=-\nverdict=not-permitted\n"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("This detector is unsuitable for DCI."), std::string::npos);

    EXPECT_EQ(run(kIr, "calib dci --seconds 70000x"), kCliUsage);
}

TEST_F(CliCalib, FourTwentyBurnRefusedAndFailed) {
    EXPECT_EQ(run(kIr, "calib 420", "set 4\napply 4.08\napply 4\nset 20\napply 19.85\napply 20\nburn\n"), kCliOk)
        << err.str();
    EXPECT_EQ(out.str(),
              "Target 4 mA;    Reported 4.080\nTarget 4 mA;    Reported 4.000\n"
              "Target 20 mA;    Reported 19.850\nTarget 20 mA;    Reported 20.000\n"
              "Stopping 'Fixed Current' ...\nStopping 'Fixed Current' ... succeeded.\n");
    EXPECT_EQ(control("meter 1"), "4.000");  // burned: the level with its trimmed error

    EXPECT_EQ(run(kIr, "calib 420", "apply 4\nburn\nquit\n"), kCliRefused);
    EXPECT_NE(err.str().find("Calibration incomplete..."), std::string::npos) << err.str();

    ASSERT_EQ(control("refuse420 1 1"), "ok");
    EXPECT_EQ(run(kIr, "calib 420", "set 4\n"), kCliFailed);
    EXPECT_NE(err.str().find("'Set' failed..."), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("Calibration not burned ...\nStopping 'Fixed Current' ...\n"
                             "Stopping 'Fixed Current' ... succeeded.\n"),
              std::string::npos) << out.str();
}

}  // namespace
