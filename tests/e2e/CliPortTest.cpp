// What wexcon-cli says when the port cannot be had, run as a shell runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/TempFolder.h"
#include "support/TestLine.h"
#include "wire/SerialPort.h"

namespace {

class CliPort : public TestLine {
protected:
    void SetUp() override { startLine(testline::demo()); }
    // The program's exit status; its standard error in `err`.
    int runCli(const std::string& description, const std::string& asUser = "") {
        const std::string cmd =
            asUser + std::string(WEXCON_CLI) + " --port " + description + " poll >out 2>err </dev/null";
        const int status = std::system(cmd.c_str());
        err = slurp("err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string at9600(const std::string& options = "") const { return line->slavePath() + ":9600,n,8,1" + options; }
    TempFolder folder;
    std::string err;
};

TEST_F(CliPort, EachReasonAPortWillNotOpenIsNamed) {
    SerialPort holder;
    LineSettings held;
    held.device = line->slavePath();
    ASSERT_TRUE(holder.open(held)) << holder.lastError();
    EXPECT_EQ(runCli(at9600()), 2);
    EXPECT_NE(err.find(line->slavePath() + " is in use by another program (e2e_tests pid " +
                       std::to_string(::getpid()) + ")"),
              std::string::npos)
        << err;
    holder.close();

    EXPECT_EQ(runCli("/dev/wexcon-no-such-port:9600,n,8,1"), 2);
    EXPECT_NE(err.find("/dev/wexcon-no-such-port does not exist"), std::string::npos) << err;

    // The kernel's RS-485 mode on a pseudo-terminal: refused before a byte leaves.
    EXPECT_EQ(runCli(at9600(",rs485")), 2);
    EXPECT_NE(err.find("the driver of " + line->slavePath() + " does not support RS-485 direction control"),
              std::string::npos)
        << err;
    const wsim::LineStats heard = line->stats();
    EXPECT_EQ(heard.frames + heard.garbageBytes, 0u) << "nothing may be sent";
    EXPECT_EQ(runCli(at9600()), 0) << err << "the port is left usable";
}

TEST_F(CliPort, PermissionDeniedNamesTheGroupAndTheFix) {
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "opening a port as another user needs root and setpriv";
    const std::string device = line->slavePath();
    const std::string asNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    struct Case {
        const char* group;
        mode_t mode;
        std::string says;
    } const cases[] = {
        {"dialout", 0660,
         "permission denied for " + device +
             ": it belongs to the group 'dialout'; add your user to the 'dialout' group and log in again"},
        {"root", 0600, "permission denied for " + device + ": only its owner 'root' may open it, not the group 'root'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group);
        ASSERT_EQ(std::system(("chown root:" + std::string(c.group) + " " + device).c_str()), 0);
        ASSERT_EQ(::chmod(device.c_str(), c.mode), 0);
        EXPECT_EQ(runCli(at9600(), asNobody), 2);
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
}

}  // namespace
