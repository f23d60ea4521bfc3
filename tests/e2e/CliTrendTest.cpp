// trend against the simulator: the history from status polls, Param.ini's
// keys checked and written back, the exports, and one case per exit status.
#include <gtest/gtest.h>

#include <algorithm>

#include "CliLine.h"
#include "support/TempFolder.h"
#include "util/Profile.h"

namespace {

class CliTrend : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo()));
        openWire(1);
    }
    TempFolder folder;
};

TEST_F(CliTrend, ExitStatuses) {
    struct Row {
        uint8_t address;
        const char* command;
        const char* ini;
        int status;
        const char* err;  // part of standard error
    } const rows[] = {
        {1, "trend --seconds 1 --csv trend.csv", "[Trend]\nDuration=40\nDurationUnits=2\n", kCliOk, ""},
        {99, "trend --seconds 1", "", kCliFailed, "no status answer"},
        {1, "trend", "", kCliUsage, "trend --seconds S"},
        {1, "trend --seconds 1 --export", "", kCliUsage, "trend --seconds S"},
        {1, "trend --seconds 1 --export /nonexistent/TrendLog.txt", "", 3,
         "Failed opening \"/nonexistent/TrendLog.txt\" for writing..."},
    };
    for (const auto& r : rows) {
        std::ofstream("Param.ini", std::ios::trunc) << r.ini;
        EXPECT_EQ(run(r.address, r.command), r.status) << r.command << err.str();
        EXPECT_NE(err.str().find(r.err), std::string::npos) << err.str();
    }
    // The first row: a month at one a second is too long, so the default hour at one a minute.
    EXPECT_EQ(ProfileGetInt("Param.ini", "Trend", "Duration", 0), 1);
    const std::string log = slurp("TrendLog.txt"), csv = slurp("trend.csv");
    EXPECT_EQ(log.rfind("#\tDate\tVin [V]\tTemperature [\u00B0C]\t4-20 [mA]\n", 0), 0u);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 61);
    EXPECT_EQ(csv.rfind("#,Date,Vin [V],Temperature [\u00B0C],4-20 [mA]\n0,", 0), 0u);
    EXPECT_EQ(csv.find(",0.0,0.0,0.0\n", csv.size() - 14), std::string::npos);  // the newest sample is a real one
}

}  // namespace
