// wexcon-cli calib run / scale / off against the simulator: one case per exit status.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "cli/CliCommands.h"
#include "protocol/records/ByteOrder.h"
#include "support/FastClock.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"

class CliAutoCalib : public TestLine {
protected:
    int run(uint8_t address, const std::string& command) {
        openWire(address);
        out.str("");
        err.str("");
        std::istringstream in;
        CliSession session(out, err, in);
        return session.run(splitWords(command));
    }
    // Param.ini: quick settings for a run of `iterations`, then `more`.
    static void writeIni(int iterations, const std::string& more = "") {
        std::ofstream("Param.ini") << "[Calibration]\nnum_iter=" << iterations
                                   << "\nLearnBGsec=1\ntol1=1.5\ntol_1=0.5\n[Calibrate]\n"
                                   << "WaitForSensorStabilization=0\nWaitForShutterCloseSec=0\n" << more;
    }
#ifdef WEXCON_APP
    // Wexcon unattended in this folder, offscreen, its output in out and err; with `stop` a
    // SIGTERM once the slave at 1 counts. Its exit status; -1 killed at the time limit.
    int runApp(const std::string& args, bool stop) {
        std::vector<std::string> words = splitWords(args), env{"QT_QPA_PLATFORM=offscreen"};
        words.insert(words.begin(), WEXCON_APP);
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0) env.push_back(*e);
        std::vector<char*> argv, envp;
        for (auto& w : words) argv.push_back(w.data());
        for (auto& e : env) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, "out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, "err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&files);
        if (spawned) return -1;
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (bool killed = false; ::waitpid(pid, &status, WNOHANG) != pid;) {
            if (stop && counter(1) > 0) stop = ::kill(pid, SIGTERM) != 0;
            if (!killed && std::chrono::steady_clock::now() > end) killed = ::kill(pid, SIGKILL) == 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        out.str(slurp("out.txt"));
        err.str(slurp("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    uint32_t counter(uint8_t address) {
        uint32_t n = 0;
        line->withDetector(address, [&](wsim::Detector& d, int64_t now) { n = d.iterationCounter(now); });
        return n;
    }
#endif
    FastClock fast;
    TempFolder folder;
    std::ostringstream out, err;
};

TEST_F(CliAutoCalib, RunsToEachExitStatus) {
    auto master = testline::ir(247), slave1 = testline::ir(1), slave2 = testline::ir(2);
    master.bg = slave1.bg = 2;
    slave2.bg = 6;  // three times the master's background: Sum45 scale 3
    ASSERT_NO_FATAL_FAILURE(startLine({master, slave1, slave2}, {.clock = &fast}));
    writeIni(20);

    EXPECT_EQ(run(1, "calib scale"), kCliOk);
    EXPECT_EQ(out.str(), "1\t1\t1\t1\t1\t1\t1\t1\t1\t1\n");
    EXPECT_EQ(run(1, "calib off"), kCliOk);
    EXPECT_EQ(run(9, "calib scale"), kCliFailed);
    line->wrongAddressAnswers(3);  // another detector's scale record is none of this one's
    EXPECT_EQ(run(1, "calib scale"), kCliFailed);
    EXPECT_EQ(run(247, "calib run ir --serials 5001 --addresses 1,2"), kCliRefused);
    EXPECT_NE(err.str().find("expecting a master (ID 247)"), std::string::npos);
    EXPECT_EQ(run(247, "calib run ir --serials 5001,5002 --addresses 247,1,1"), kCliRefused);
    EXPECT_EQ(err.str(), "Error: address 1 is listed twice\n");
    EXPECT_EQ(run(247, "calib run ir --serials 5001,5002 --addresses 247,1,247"), kCliRefused);
    EXPECT_EQ(run(247, "calib run ir --serials 5001 --addresses 247,1,2"), kCliUsage);
    EXPECT_EQ(run(247, "calib run ir --serials 0,5002 --addresses 247,1,2"), kCliUsage);
    EXPECT_NE(err.str().find("Serial Number should be > 0"), std::string::npos);
    EXPECT_EQ(run(247, "calib run uvir --serials 5001 --addresses 247,1"), kCliRefused);  // an IR master

    EXPECT_EQ(run(247, "calib run ir --serials PN=1;VENDOR=V;COO=IL;SN=5001;,5002 --addresses 247,1,2"), kCliUnverified)
        << err.str();
    EXPECT_TRUE(std::regex_match(out.str(), std::regex("247\t21030247\t0\treference\n1\t5001\t0\tcalibrated\n"
                                                       "2\t5002\t-11\tout-of-tolerance\n"
                                                       "results Results/AutoCalib_Y\\d+M\\d\\dD\\d\\d_h\\d\\dm\\d\\ds\\d\\d_gmt.txt\n")))
        << out.str();
    EXPECT_EQ(run(2, "calib scale"), kCliOk);  // the slave keeps its own scale
    EXPECT_NEAR(std::stod(out.str()), 3.0, 0.15);
}

#ifdef WEXCON_APP
// The window's unattended run: rows from the book of Param.ini, checked before its port opens.
TEST_F(CliAutoCalib, WindowRunsUnattended) {
    ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(247), testline::ir(1)}, {.clock = &fast}));
    const std::string port = "[DCB]\nszCom=" + line->slavePath() + ":9600,n,8,1\n",
                      none = "[DCB]\nszCom=/dev/none:9600,n,8,1\n",
                      book = "[Network]\ndetector0=247\ndetector1=1\n",
                      run = "--auto-calibration ir --serials 5001";
    const struct { std::string ini, args; int iterations; bool stop; int code; const char* line; } cases[] = {
        {port + book, "--retries 1", 20, false, 2, "Usage: Wexcon"},
        {none + "[Network]\ndetector0=1\ndetector1=247\n", run, 20, false, 3, "expecting a master (ID 247)"},
        {none + book, run, 20, false, 2, "the port of Param.ini did not open"},
        {port + book, run + ",5002", 20, false, 2, "2 serial number(s) for"},
        {port + book, run, 20, false, 0, "1\t5001\t0\tcalibrated\nresults Results/"},
        {port + book, run, 5000, true, 1, "1\t5001\t-4\tunchanged\n"},  // stopped while it counts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        writeIni(c.iterations, c.ini);
        EXPECT_EQ(runApp(c.args, c.stop), c.code);
        EXPECT_NE((out.str() + err.str()).find(c.line), std::string::npos) << out.str() << err.str();
    }
    EXPECT_EQ(le::u32(params(1), 804), 5001u);  // burned by the whole run
    EXPECT_EQ(counter(1), 0u);                  // the stopped run still ended the mode
}
#endif
