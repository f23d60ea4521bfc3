// The wexcon-cli program as a shell sees it: exit statuses, and scripts from
// standard input against a simulated line in both link modes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TempFolder.h"
#include "support/TestLine.h"

namespace {

class CliProgram : public TestLine {
protected:
    void SetUp() override { startLine(testline::demo()); }
    // Runs the program with `args`, `script` on its standard input; its exit status.
    int runProgram(const std::string& args, const std::string& script = "") {
        std::ofstream("script") << script;
        const std::string cmd = std::string(WEXCON_CLI) + " " + args + " <script >out 2>err";
        const int status = std::system(cmd.c_str());
        out = slurp("out");
        err = slurp("err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string port() const { return "--port " + line->slavePath() + ":9600,n,8,1 "; }
    TempFolder folder;
    std::string out, err;
};

TEST_F(CliProgram, ExitStatusesBeforeAnyExchange) {
    struct Case {
        bool onLine;  // with --port of the simulated line first
        const char* args;
        int status;
    } const cases[] = {
        {false, "--help", 0},
        {false, "poll", 2},                                              // no port
        {false, "--port COM0:9600,n,8,1 poll", 2},                       // bad description
        {false, "--port /dev/wexcon-no-such-port:9600,n,8,1 poll", 2},   // cannot open
        {false, "--port /dev/null:9600,n,8,1 --bogus poll", 2},          // unknown option
        {false, "--port /dev/null:9600,n,8,1 --address 248 poll", 2},    // address out of range
        {false, "--port /dev/null:9600,n,8,1", 2},                       // no command
        // Every way out closes the raw link: the driver's threads must be gone
        // before the process ends, or it aborts.
        {true, "--raw run", 2},
        {true, "--raw run /nonexistent/script", 2},
        {true, "--raw read-input 30001 1", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(runProgram((c.onLine ? port() : "") + c.args), c.status) << err;
    }
}

TEST_F(CliProgram, ScriptsFromStandardInput) {
    const std::string irPoll = "address 1 serial 21030001 model 0x0590 mode N state 0\n";
    struct Case {
        const char* options;
        const char* script;
        int status;
        std::vector<std::string> lines;  // standard output, a prefix of each line
    };
    const Case cases[] = {
        {"", "poll --count 2 --period 10\n# the setup record\nget D_SETUP2HOST\n\nread-input 30001 1  # model\n", 0,
         {irPoll, irPoll, "01 C8 53 00 77 90 05 71 E4 40 01 ", "0590\n"}},
        // The raw link carries no standard functions; the other lines still run.
        {"--raw", "read-input 30001 1\npoll\nget D_SETUP2HOST\n", 2, {irPoll, "01 C8 53 00 77 90 05 "}},
        // Tags: the first status answer turns them on, the detector echoes them in byte 11.
        {"--tags --address 2", "poll\nget D_SETUP2HOST\nget D_SETUP2HOST\n", 0,
         {"address 2 serial 21030002 model 0x0592 mode N state 0\n", "02 C8 53 00 77 92 05 72 E4 40 01 01 ",
          "02 C8 53 00 77 92 05 72 E4 40 01 02 "}},
        // The first failing line decides: a usage error before a missing detector.
        {"--address 3", "frobnicate\npoll\n", 2, {"address 3 no answer (transport result -1)\n"}},
        {"--raw --address 3", "poll\nfrobnicate\n", 1, {"address 3 no answer (transport result -1)\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.options) + " | " + c.script);
        EXPECT_EQ(runProgram(port() + c.options + " run -", c.script), c.status) << err;
        std::istringstream lines(out);
        std::string got;
        size_t n = 0;
        for (; std::getline(lines, got); ++n) {
            ASSERT_LT(n, c.lines.size()) << out;
            EXPECT_EQ((got + "\n").rfind(c.lines[n], 0), 0u) << got;
        }
        EXPECT_EQ(n, c.lines.size()) << out;
        EXPECT_EQ(err.empty(), c.status == 0) << err;
    }
}

}  // namespace

namespace {

// A script's elevate lines take the lines of standard input in turn, a refused
// one included; no password reaches the output or the logs.
TEST_F(CliProgram, ScriptElevationsTakeOneInputLineEach) {
    std::ofstream("commands") << "elevate 1\nelevate 2\nread-holding 40001 1\nelevate 2\n";
    EXPECT_EQ(runProgram(port() + "--log --address 17 run commands", "Maint17\nadmin17\n"), 1) << err;
    EXPECT_EQ(out, "refused\ngranted\n0011\n");
    EXPECT_NE(err.find("elevate: cancelled"), std::string::npos) << "input ran out: " << err;
    for (const std::string& file : {out, err, slurp("logf1.txt"), slurp("logf2.txt")}) {
        for (const char* secret : {"admin17", "Maint17", "61 64 6D 69 6E 31 37", "4D 61 69 6E 74 31 37"})
            EXPECT_EQ(file.find(secret), std::string::npos) << secret << " in\n" << file;
    }
}

}  // namespace
