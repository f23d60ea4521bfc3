// log info and log download against simulated detectors: the keys printed,
// the rows, and the exit status of each outcome.
#include <gtest/gtest.h>

#include "CliLine.h"
#include "support/TempFolder.h"

namespace {

class CliLog : public CliLine {
protected:
    void SetUp() override {
        auto ir = testline::ir(1), empty = testline::uvir(2);
        ir.logRecords = 102;
        ir.ringSectors = ir.ringSlots = 10;
        ir.maxRecs = 4;
        empty.ringSlots = 0;
        ASSERT_NO_FATAL_FAILURE(startLine({ir, empty}));
        openWire(1);
    }
    TempFolder folder;
};

TEST_F(CliLog, InfoAndDownload) {
    ASSERT_EQ(run(1, "log info"), kCliOk) << err.str();
    EXPECT_EQ(out.str(), "current 2\nsectors 10\nslots 10\ntotal 100\nrecord-size 43\nmax-records 4\ntime 90900\nflags 0x00\n");

    ASSERT_EQ(run(1, "log download --from 250 --count 3 --fahrenheit"), kCliOk) << err.str();
    EXPECT_EQ(out.str().substr(0, 44), "1\t50\t12:30:00\t 24.0\t  9.0\tN50\t-4\t   50\t  150");
    EXPECT_NE(err.str().find("irec 50, nrec 3, page 3\n'DetLog.txt' was written to disk...\n"), std::string::npos);
    EXPECT_NE(slurp("DetLog.txt").find("\n3\t52\t13:00:00\t"), std::string::npos);

    const struct {
        uint8_t address;
        const char* command;
        int status;
    } outcomes[] = {
        {1, "log", kCliUsage},
        {1, "log download --from 3 --all", kCliUsage},
        {1, "log download --count x", kCliUsage},
        {1, "log download --count 0", kCliUsage},
        {1, "log download --from", kCliUsage},
        {1, "log download a b", kCliUsage},
        {1, "log download no/such/dir.txt", kCliUsage},
        {2, "log download", kCliFailed},  // a ring of 0 slots reads no page
    };
    for (const auto& o : outcomes) EXPECT_EQ(run(o.address, o.command), o.status) << o.command;
    EXPECT_NE(err.str().find("Error: The detector reports an unusable log ring: 8 sectors x 0 slots"), std::string::npos);
}

}  // namespace
