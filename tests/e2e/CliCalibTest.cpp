// calib dci and calib 420 against simulated detectors: one case per exit status.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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

// A stop signal while the loop stands at a fixed current: the closing stops
// it before the command ends, so the panel does not read 20 mA as fire.
class CliCalibProcess : public TestLine {};

TEST_F(CliCalibProcess, FourTwentyStoppedBySignalStopsTheFixedCurrent) {
    ASSERT_NO_FATAL_FAILURE(startLine(testline::demo()));
    TempFolder folder;
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    std::string port = line->slavePath() + ":9600,n,8,1";
    std::vector<std::string> words{WEXCON_CLI, "--port", port, "--address", "1", "calib", "420"};
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, input[0], 0);
    posix_spawn_file_actions_addclose(&files, input[1]);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
    ::close(input[0]);
    ASSERT_EQ(::write(input[1], "set 20\n", 7), 7);
    const auto meter = [&] { return wsim::runControlCommand(*line, "meter 1"); };
    for (int i = 0; i < 300 && meter() != "19.850"; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(meter(), "19.850");  // fixed at 20 mA with its untrimmed error
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(input[1]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kCliFailed) << status;
    EXPECT_NE(meter(), "19.850");
}

}  // namespace
