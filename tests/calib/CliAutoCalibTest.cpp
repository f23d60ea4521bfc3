// wexcon-cli calib run / scale / off against the simulator: one case per exit status.
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/CliCommands.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"

namespace {
// Detector time ten times as fast: twenty iterations take 200 ms.
class FastClock : public wsim::Clock {
public:
    int64_t nowMs() const override {
        using namespace std::chrono;
        return 1'000'000 + 10 * duration_cast<milliseconds>(steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};
}  // namespace

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
    FastClock fast;
    TempFolder folder;
    std::ostringstream out, err;
};

TEST_F(CliAutoCalib, RunsToEachExitStatus) {
    auto master = testline::ir(247), slave1 = testline::ir(1), slave2 = testline::ir(2);
    master.bg = slave1.bg = 2;
    slave2.bg = 6;  // three times the master's background: Sum45 scale 3
    ASSERT_NO_FATAL_FAILURE(startLine({master, slave1, slave2}, {.clock = &fast}));
    std::ofstream("Param.ini") << "[Calibration]\nnum_iter=20\nLearnBGsec=1\ntol1=1.5\ntol_1=0.5\n"
                                  "[Calibrate]\nWaitForSensorStabilization=0\nWaitForShutterCloseSec=0\n";

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
