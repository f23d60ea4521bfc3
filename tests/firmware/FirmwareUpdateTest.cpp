// Updates against simulated detectors: what ends each run, what the
// technician is told, and what the detector and the disk hold afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>

#include "config/ParamFiles.h"
#include "firmware/CUploadIds.h"
#include "firmware/FirmwareUpdate.h"
#include "protocol/records/ByteOrder.h"
#include "shell/BaudSwitch.h"
#include "shell/FakePanel.h"
#include "support/TestLineWire.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

constexpr uint8_t kIr = 4, kLocked = 6;

class UpdateLine : public TestLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(kIr), testline::lockedIr(kLocked)}));
        dir = std::filesystem::temp_directory_path() / ("fwupdate_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        SetPumpWait([this](unsigned) {
            if (abortAfter && std::ranges::count(lines(), *abortAfter)) panel.requestAbort();
            if (dropAfter && said(*dropAfter)) {
                dropAfter.reset();
                control("drop 1");
            }
        });
    }
    void TearDown() override {
        SetPumpWait({});
        std::filesystem::remove_all(dir);
        TestLine::TearDown();
    }
    // A file for the simulated IR family (4.17 on the detector), CRC right.
    std::string bin(uint8_t major, uint8_t sub, size_t payload = 4196) {
        std::vector<uint8_t> b = {'W', 'X', 'I', 'R', '-', '5', '9', '0', sub, major, 0, 0, 0, 0, 0, 0};
        std::mt19937 random(payload);
        for (size_t i = 0; i < payload; ++i) b.push_back(static_cast<uint8_t>(random()));
        le::put32(b, 12, fw::PayloadCrc(std::span(b).subspan(16)));
        const std::string path = (dir / "fw.bin").string();
        EXPECT_TRUE(WriteWholeFile(path, b));
        return path;
    }
    FwResult update(const std::string& path, int verify = 3, bool allowOlder = false,
                    const std::function<void(FwUpdateOptions&)>& tweak = {}) {
        FwUpdateOptions o;
        o.keys.verifyParams = verify;
        o.allowOlder = allowOlder;
        o.folder = dir.string();
        o.giveUpS = giveUpS;
        o.stamp = [] { return std::string("20261207-080000"); };
        if (tweak) tweak(o);
        FirmwareUpdate u(panel, o);
        const FwResult r = u.run(path);
        backup = u.backupPath(), upm = u.upmPath();
        outcome = u.params();
        after = u.versionAfter();
        return r;
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(panel.m);
        return panel.lists[upload::kMessages];
    }
    bool said(const std::string& text) { return std::ranges::count(lines(), text) > 0; }
    void control(const std::string& command) {
        bool ok = false;
        ASSERT_EQ(wsim::runControlCommand(*line, command, &ok), "ok") << command;
    }
    std::filesystem::path dir;
    FakePanel panel;
    std::optional<std::string> abortAfter, dropAfter;
    unsigned giveUpS = 60;
    std::string backup, upm;
    ParamsOutcome outcome = ParamsOutcome::NotAsked;
    std::optional<fw::Version> after;
};

struct UpdateCase {
    const char* name;
    std::vector<std::string> faults;
    FwResult result;
    ParamsOutcome params;
    const char* message;  // one the run must have shown
    const char* version;  // on the detector afterwards
};

const UpdateCase kUpdateCases[] = {
    {"clean", {}, FwResult::Updated, ParamsOutcome::Verified, "Uploaded block 2 of 2 with 0 retransmits", "4.18"},
    {"lost answer", {"fw 4 lose 0"}, FwResult::Updated, ParamsOutcome::Verified,
     "ModbusGet(D_UPLOAD_FW) block 1 of 2: status -6 \"FW_WRONG_PKT_NUM\"", "4.18"},
    {"rewind", {"fw 4 ask 1 0"}, FwResult::Updated, ParamsOutcome::Verified,
     "Uploaded block 1 of 2 with 0 retransmits", "4.18"},
    {"burn status", {"fw 4 status 1 -8"}, FwResult::Updated, ParamsOutcome::Verified,
     "ModbusGet(D_UPLOAD_FW) block 2 of 2: status -8 \"FW_BURN_ERROR\"", "4.18"},
    {"restart mid-upload", {"fw 4 restart 0"}, FwResult::Failed, ParamsOutcome::NotAsked,
     "The detector lost the upload session.", "4.17"},
    {"end status", {"fw 4 end -7"}, FwResult::Failed, ParamsOutcome::NotAsked,
     "ModbusGet(D_UPLOAD_FW) - End of Upload Error(-7) \"FW_WRONG_CRC32\"", "4.17"},
    {"end answer lost", {"fw 4 end lose"}, FwResult::Updated, ParamsOutcome::Verified,
     "The end of the upload was not confirmed: the version after the restart tells whether it took.", "4.18"},
    {"changed at install", {"fw 4 params-change"}, FwResult::Updated, ParamsOutcome::Repaired,
     "Repairing parameters...", "4.18"},
    {"failed repair", {"fw 4 params-change", "fw 4 params-ignore 5"}, FwResult::ParamsNotRestored,
     ParamsOutcome::Differ, "Repairing parameters failed with two retries...", "4.18"},
};

void PrintTo(const UpdateCase& c, std::ostream* os) { *os << c.name; }

class Updates : public UpdateLine, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(Updates, FaultsAndOutcomes) {
    const UpdateCase& c = GetParam();
    // A fresh detector at 4.17 for each case.
    line.reset();
    ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(kIr)}));
    ASSERT_NO_FATAL_FAILURE(openWire(kIr));
    panel.lists.clear();
    for (const auto& f : c.faults) control(f);
    const auto before = params(kIr);
    EXPECT_EQ(update(bin(4, 18)), c.result);
    EXPECT_EQ(outcome, c.params);
    EXPECT_TRUE(said(c.message));
    uint8_t major = 0, sub = 0;
    line->withDetector(kIr, [&](wsim::Detector& d, int64_t) { major = d.fwMajor(), sub = d.fwSub(); });
    EXPECT_EQ(fw::Version({major, sub}).text(), c.version);
    // The backup is on disk before the first block, whole, every field marked.
    const auto patch = DecodePatch(*ReadWholeFile(backup, 4096));
    ASSERT_TRUE(patch);
    EXPECT_EQ(backup, (dir / "param_addr4_sn21030004_20261207-080000.upm").string());
    EXPECT_TRUE(std::ranges::equal(patch->values.bytes(), before));
    EXPECT_EQ(MarkedElements(patch->kind(), patch->mask).size(), ParamElements(patch->kind()).size());
    if (c.params == ParamsOutcome::Differ) {
        EXPECT_EQ(upm, (dir / "param_addr4_sn21030004.upm").string());
        EXPECT_TRUE(ReadPatchForUpdate(upm).value);
    }
    std::filesystem::remove(backup);
    if (c.result == FwResult::Failed) {
        // Told what to do, and doing it works.
        EXPECT_TRUE(said("The detector keeps its old firmware until an upload is confirmed: upload the file again."));
        EXPECT_EQ(update(bin(4, 18)), FwResult::Updated);
        std::filesystem::remove(backup);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, Updates, ::testing::ValuesIn(kUpdateCases), [](const auto& info) {
    std::string name = info.param.name;
    std::ranges::replace_if(name, [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
    return name;
});

TEST_F(UpdateLine, RefusalsAndAbort) {
    ASSERT_NO_FATAL_FAILURE(openWire(kIr));
    EXPECT_EQ(update(bin(4, 17)), FwResult::Refused);
    EXPECT_TRUE(said("FW version is older or same as that of unit..."));
    EXPECT_TRUE(backup.empty());
    EXPECT_EQ(update(bin(4, 17), 0, true), FwResult::Updated);  // allowed: same version, no backup
    EXPECT_TRUE(backup.empty());
    EXPECT_EQ(outcome, ParamsOutcome::NotAsked);

    abortAfter = "Uploaded block 1 of 2 with 0 retransmits";
    EXPECT_EQ(update(bin(4, 30), 0), FwResult::Aborted);
    EXPECT_TRUE(said("Update Aborted..."));
    abortAfter.reset();

    // Answers that only carry errors end the upload too.
    giveUpS = 0;
    control("fw 4 status 0 -8");
    EXPECT_EQ(update(bin(4, 30), 0), FwResult::Failed);
    EXPECT_TRUE(said("No block accepted for 0 seconds: upload given up..."));
    giveUpS = 60;

    // Locked: the ADMIN password is asked until granted; Cancel refuses before any block.
    ASSERT_NO_FATAL_FAILURE(openWire(kLocked));
    EXPECT_EQ(update(bin(4, 18), 0), FwResult::Refused);
    EXPECT_EQ(panel.questions.back(), "Error: ADMIN Password not entered.\r\nBurn canceled...");
    panel.typed = {"wrong", "apass"};
    EXPECT_EQ(update(bin(4, 18), 0), FwResult::Updated);
    EXPECT_EQ(after->text(), "4.18");
}

// A pulled cable: the host keeps sending the block, says after each 10 failed
// tries that it waits, and goes on at the block the detector asks for.
TEST_F(UpdateLine, PulledCable) {
    ASSERT_NO_FATAL_FAILURE(openWire(kIr));
    control("fw 4 deaf 0 41000");
    EXPECT_EQ(update(bin(4, 18, 100), 0), FwResult::Updated);
    EXPECT_TRUE(said("No answer to block 1 after 10 tries; waiting for the detector..."));
    EXPECT_TRUE(said("ModbusGet(D_UPLOAD_FW) block 1 of 1: status -6 \"FW_WRONG_PKT_NUM\""));
}

// Where the link ends: a raised one back at 9600 after a failure too; at 9600
// only the return is skipped, the verification still runs.
TEST_F(UpdateLine, GiveUpRestartWarningAndTheWayBack) {
    const struct {
        const char* name;
        unsigned baud;
        const char* fault;
        const char* dropAfter;  // the next answer is lost
        FwResult result;
        const char* message;
        int returns;  // calls of the way back to 9600
    } cases[] = {
        {"give up", 9600, "fw 4 deaf 0 60000", nullptr, FwResult::Failed,
         "No block accepted for 1 seconds: upload given up...", 0},
        {"session lost, raised", 115200, "fw 4 restart 0", nullptr, FwResult::Failed,
         "Please wait: baudrate being restored to 9600...", 1},
        {"restart unanswered", 9600, nullptr, "The detector will be restarted for the update to take effect...",
         FwResult::Updated, "Warning: Detector Restart failed; Manual restart required...", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        line.reset();
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(kIr)}));
        ASSERT_NO_FATAL_FAILURE(openWire(kIr));
        ASSERT_TRUE(SwitchBaudNow(c.baud));
        panel.lists.clear();
        if (c.fault) control(c.fault);
        if (c.dropAfter) dropAfter = c.dropAfter;
        int returns = 0;
        const FwResult r = update(bin(4, 18, 100), c.result == FwResult::Updated ? 3 : 0, false, [&](FwUpdateOptions& o) {
            o.giveUpS = 1;
            o.restore9600 = [&] {
                ++returns;
                ReturnTo9600();
            };
        });
        EXPECT_EQ(r, c.result);
        EXPECT_TRUE(said(c.message));
        EXPECT_EQ(returns, c.returns);
        EXPECT_EQ(LinkBaud(), 9600u);
        EXPECT_EQ(outcome, r == FwResult::Updated ? ParamsOutcome::Verified : ParamsOutcome::NotAsked);
        std::filesystem::remove(backup);
    }
}

}  // namespace
