// setup read and setup burn against simulated detectors: the text as the
// dialog shows the record, the record file, and what each burn outcome prints,
// returns and leaves on the detector.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CliLine.h"
#include "config/SetupSession.h"
#include "support/TempFolder.h"

namespace {

constexpr uint8_t kIr = 1, kUvir = 2, kLocked = 17;  // the demo line; 17's ADMIN password is admin17

class CliSetup : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo()));
        openWire(kIr);
        ResetSetupState();
    }
    wsim::SetupRecord stored(uint8_t address) {
        wsim::SetupRecord r{};
        line->withDetector(address, [&](wsim::Detector& d, int64_t) { r = d.setup(); });
        return r;
    }

    TempFolder folder;  // Param.ini, the files given, current_ir4_setup.bin
};

TEST_F(CliSetup, ReadAndBurn) {
    struct Read {
        uint8_t address;
        const char* ini;
        std::vector<std::string> shown, absent;
    } const reads[] = {
        {kUvir, "[VantorD]\nfUsUnits=1\n",
         {"Sensitivity=93\n", "HeaterOnTemp=41\n", "IROnly=0\n", "UVIR=1\n", "Param420[UVBITFault]=2.5\n",
          "Param420[AlarmUV]=6.0\n", "Param420[Warning]=16.0\n"},
         {}},
        {kLocked, "", {"LockState=Locked\n", "AdminPassword=***\n"}, {"admin17", "maint17"}},
        {kIr, "",
         {"address=1\n", "Sensitivity=30\n", "Delay=3\n", "HeaterMode=AUTO\n", "HeaterOnTemp=5\n", "HeaterPower=HIGH\n",
          "EnableAutoBIT=1\n", "BitPeriod=15\n", "Param420[Fault]=0.0\n", "Param420[BITFault]=2.0\n",
          "LockState=Not Set\n", "post_manbit_duration=3\n", "MaintPassword=***\n", "AdminPassword=***\n"},
         {"IROnly", "UVIR"}},
    };
    for (const auto& c : reads) {
        SCOPED_TRACE(int(c.address));
        std::ofstream("Param.ini") << c.ini;
        ASSERT_EQ(run(c.address, "setup read --out rec.bin"), kCliOk) << err.str();
        for (const auto& s : c.shown) EXPECT_NE(out.str().find(s), std::string::npos) << s << " in\n" << out.str();
        for (const auto& s : c.absent) EXPECT_EQ(out.str().find(s), std::string::npos) << s;
        const auto record = stored(c.address);
        EXPECT_EQ(slurp("rec.bin"), std::string(record.begin(), record.end()));
    }

    // A record file of another lock state and other passwords: the detector's are kept.
    std::string locking = slurp("rec.bin");
    locking[32] = 1;
    locking.replace(53, 5, "other");
    std::ofstream("locking.bin") << locking;
    std::string unshown = slurp("rec.bin");
    unshown[1] = 9;  // past the sensitivity list: the dialog would show, and burn, "3"
    std::ofstream("unshown.bin") << unshown;
    struct Case {
        const char* what;
        uint8_t address;
        std::string text;  // empty: the file named in `file`
        int status;
        const char* printed;   // on standard output, or a part of standard error
        bool burned;
        const char* control = "";  // a simulator control command first
        std::string input = "";
        const char* file = "set.txt";
    } const cases[] = {
        {"dialog check", kIr, "BitPeriod=61\n", kCliUsage, "BIT interval may not be < 1 nor > 60", false},
        {"unknown", kIr, "# comment\n\nColour=red\n", kCliUsage, "set.txt:3: unknown field 'Colour'", false},
        {"not a number", kIr, "BitPeriod=ab\n", kCliUsage, "set.txt:1: BitPeriod: 'ab' is not a number", false},
        {"not in the list", kIr, "Sensitivity=31\n", kCliUsage, "is not one of 3, 15, 30, 45, 65, 90", false},
        {"not a level", kIr, "Param420[Fault]=26\n", kCliUsage, "set.txt:1: Param420[Fault]", false},
        {"4-20 check", kIr, "Param420[Fault]=1.5\n", kCliUsage, "Fault 4-20 current may not be negative", false},
        {"lock state kept", kIr, "LockState=Locked\n", kCliUsage, "keeps the detector's lock state", false},
        {"password kept", kLocked, "AdminPassword=new\n", kCliUsage, "keeps the detector's passwords", false},
        {"UV/IR only", kIr, "UVIR=1\n", kCliUsage, "UVIR applies to UV/IR models only", false},
        {"one mode", kUvir, "IROnly=1\n", kCliUsage, "exactly one of IROnly, UVOnly and UVIR", false},
        {"same values", kIr, "Sensitivity=30\nAdminPassword=***\nLockState=Not Set\n", kCliOk, "No changes made\n", false},
        {"record file, lock and passwords kept", kIr, "", kCliOk, "No changes made\n", false, "", "", "locking.bin"},
        {"record the dialog cannot show", kIr, "", kCliUsage, "unshown.bin: Sensitivity holds a value the setup dialog",
         false, "", "", "unshown.bin"},
        {"one field", kIr, "BitPeriod=20\n", kCliOk, "verified\n", true},
        {"locked, end of input", kLocked, "BitPeriod=25\n", kCliFailed, "Current ADMIN Password not entered", false},
        {"locked with ADMIN", kLocked, "BitPeriod=25\n", kCliOk, "verified\n", true, "", "admin17\n"},
        {"refused", kIr, "BitPeriod=30\n", kCliFailed, "Elevation problem: Burn failed...", false, "refuse-setup 1"},
        // The opening read and the read-back both come back changed.
        {"stored otherwise", kIr, "Delay=5\n", kCliFailed, "stored another BitPeriod", true, "corrupt-setup 1 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(!*c.control || wsim::runControlCommand(*line, c.control) == "ok") << c.control;
        if (!c.text.empty()) std::ofstream(c.file) << c.text;
        const auto before = stored(c.address);
        EXPECT_EQ(run(c.address, std::string("setup burn ") + c.file, c.input), c.status) << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.printed), std::string::npos) << out.str() << err.str();
        EXPECT_EQ(stored(c.address) != before, c.burned);
    }
    // BitPeriod 20 burned, then 21 as read once changed; Delay 5 s.
    EXPECT_EQ(std::tuple(stored(kIr)[11], stored(kIr)[2], stored(kLocked)[11]), std::tuple(21, 3, 25));
}

}  // namespace
