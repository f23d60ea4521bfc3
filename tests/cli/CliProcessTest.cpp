// The program as a shell sees it: exit statuses before any exchange.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/PtyPeer.h"

namespace {

int exitOf(const std::string& args) {
    const std::string cmd = std::string(WEXCON_CLI) + " " + args + " >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliProcess, ExitStatuses) {
    struct Case {
        const char* args;
        int status;
    } const cases[] = {
        {"--help", 0},
        {"poll", 2},                                              // no port
        {"--port COM0:9600,n,8,1 poll", 2},                       // bad description
        {"--port /dev/wexcon-no-such-port:9600,n,8,1 poll", 2},   // cannot open
        {"--port /dev/null:9600,n,8,1 --bogus poll", 2},          // unknown option
        {"--port /dev/null:9600,n,8,1 --address 248 poll", 2},    // address out of range
        {"--port /dev/null:9600,n,8,1", 2},                       // no command
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(exitOf(c.args), c.status);
    }
}

TEST(CliProcess, EveryWayOutClosesTheRawLink) {
    // The driver's threads must be gone before the process ends, or it aborts.
    PtyPeer peer;
    const std::string port = "--port " + peer.port() + " --raw ";
    EXPECT_EQ(exitOf(port + "run"), 2);
    EXPECT_EQ(exitOf(port + "run /nonexistent/script"), 2);
    EXPECT_EQ(exitOf(port + "read-input 30001 1"), 2);
}

}  // namespace
