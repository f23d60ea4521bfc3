// The Miscellaneous page's operations against simulated detectors: hang and
// reset behind the elevation step, Parameters Update, and the summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "config/MiscOps.h"
#include "config/ParamFiles.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "shell/FakePanel.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"
#include "util/Log.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

constexpr uint8_t kIrAt = 4, kLockedAt = 5, kUvirAt = 6;
const std::string kCancelled = "Error: Current MAINT/ADMIN Password not entered.\r\nWrite canceled...";

class MiscOpsLine : public TestLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(kIrAt), testline::lockedIr(kLockedAt), testline::uvir(kUvirAt)},
                                          {.clock = &clock}));
        ASSERT_NO_FATAL_FAILURE(openWire(kIrAt));
        SetPumpWait([this](unsigned ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            clock.advance(ms);
        });
        const auto keep = [this](const std::string& l) {
            logged.push_back(l);
            if (l == silentFrom) line->setSilent(true);
        };
        logs::attachLists(keep, keep);
    }
    void TearDown() override {
        logs::detachLists();
        SetPumpWait({});
        TestLine::TearDown();
    }
    long count(const std::string& text) const { return std::count(logged.begin(), logged.end(), text); }
    // A patch of the IR defaults marking sumsize only.
    Bytes sumsizePatch(uint8_t sumsize) {
        Patch p{PatchMask(ParamKind::Ir, std::vector{*FindElement(ParamKind::Ir, "sumsize")}),
                ParamRecord::Defaults(ParamKind::Ir)};
        EXPECT_TRUE(p.values.setValue("sumsize", 0, sumsize));
        return EncodePatch(p);
    }

    TempFolder folder;
    Lines logged;
    std::string silentFrom;  // the line goes silent once this is logged
};

}  // namespace

TEST_F(MiscOpsLine, HangAndResetAskOnlyALockedDetector) {
    const std::string prompt = "Please Enter the current MAINT or ADMIN Password:";
    // Address, command, passwords; acknowledged, the questions.
    using Case = std::tuple<uint8_t, MiscCommand, Lines, bool, Lines>;
    const Case cases[] = {
        {kIrAt, MiscCommand::Hang, {}, true, {}},
        {kIrAt, MiscCommand::Reset, {}, true, {}},
        {kLockedAt, MiscCommand::Hang, {"wrong", "mpass"}, true, {prompt, prompt}},
        {kLockedAt, MiscCommand::Reset, {}, false, {prompt, kCancelled}},
    };
    for (const auto& [address, command, typed, acknowledged, questions] : cases) {
        SCOPED_TRACE(std::to_string(address) + (command == MiscCommand::Hang ? " hang" : " reset"));
        clock.advance(60'000);  // past the last hang or restart
        ASSERT_TRUE(SelectSlave(address));
        FakePanel panel;
        panel.typed = {typed.begin(), typed.end()};
        logged.clear();
        const MiscOutcome o = RunMiscCommand(panel, address == kLockedAt, command, MiscStep(command, true));
        EXPECT_EQ(std::tuple(o.acknowledged(), panel.questions), std::tuple(acknowledged, questions));
        const std::string sub = command == MiscCommand::Hang ? "1" : "2";
        EXPECT_EQ(count("D_MISC_CONTROL(" + sub + ") returned 1"), acknowledged ? 1 : 0);
        EXPECT_EQ(count("ModbusGet(156):"), questions.empty() || acknowledged ? 1 : 0);
        if (!typed.empty()) {
            EXPECT_EQ(panel.captions.front(), command == MiscCommand::Hang
                                                  ? "Making the detector hang requires elevation:"
                                                  : "Reseting the detector requires elevation:");
        }
    }
}

TEST_F(MiscOpsLine, UpdateChangesOnlyTheMarkedFields) {
    const std::string prompt = "Please Enter the current ADMIN Password:";
    const std::string success = "Parameters Update: Updated parameters compare.\r\nParameter update success!";
    ASSERT_TRUE(WriteWholeFile("IR3.upm", sumsizePatch(100)));
    Bytes damaged = sumsizePatch(100);
    damaged[1000] ^= 4;
    ASSERT_TRUE(WriteWholeFile("damaged.upm", damaged));
    ASSERT_TRUE(WriteWholeFile("late.upm", sumsizePatch(101)));
    ASSERT_TRUE(WriteWholeFile("UVIR.upm", EncodePatch({Bytes(kUvirParamSize), ParamRecord::Defaults(ParamKind::Uvir)})));
    // Address, passwords, file, detector ms passing while the file is chosen; result, questions.
    using Case = std::tuple<uint8_t, Lines, std::string, int64_t, UpdateResult, Lines>;
    const Case cases[] = {
        {kIrAt, {}, "IR3.upm", 0, UpdateResult::Updated, {success}},
        {kLockedAt, {"mpass", "apass"}, "IR3.upm", 0, UpdateResult::Updated, {prompt, prompt, success}},
        {kLockedAt, {}, "IR3.upm", 0, UpdateResult::NotElevated, {prompt, kCancelled}},
        {kIrAt, {}, "damaged.upm", 0, UpdateResult::FileRefused, {"Error: File \"damaged.upm\" has incorrect CRC16..."}},
        {kIrAt, {}, "UVIR.upm", 0, UpdateResult::FileRefused, {"Error: File \"UVIR.upm\" has incorrect size..."}},
        {kIrAt, {}, "", 0, UpdateResult::NoFile, {}},
        // The detector ignores a write this long after its read: the read-back differs.
        {kIrAt, {}, "late.upm", 121'000, UpdateResult::Differs,
         {"Error: Updated parameters don't compare.\r\nParameter update failed..."}},
    };
    for (const auto& [address, typed, file, late, result, questions] : cases) {
        SCOPED_TRACE(std::to_string(address) + " " + file);
        clock.advance(10'000);
        const Bytes before = params(address);
        ASSERT_TRUE(SelectSlave(address));
        FakePanel panel;
        panel.typed = {typed.begin(), typed.end()};
        const UpdateResult r = UpdateParameters(panel, address == kLockedAt, [&, late = late, file = file] {
            clock.advance(late);
            return file;
        });
        EXPECT_EQ(std::tuple(r, panel.questions), std::tuple(result, questions));
        Bytes want = before;
        if (result == UpdateResult::Updated) want[793] = 100;
        EXPECT_EQ(params(address), want);
    }
}

TEST_F(MiscOpsLine, SummaryIsWholeOrNotWritten) {
    namespace fs = std::filesystem;
    ASSERT_TRUE(SelectSlave(kUvirAt));
    Bytes devInfo(125);
    silentFrom = "";
    const int got = ModbusGet(0, D_DEVINFO2HOST, Wire().ctx, devInfo.data(), 125, 100, 500);
    // The folder of the detector's serial, holding an older summary.
    const Bytes record = params(kUvirAt);
    const std::string folderName = "Summary/" + std::to_string(ParamRecord::FromBytes(record)->ordnum());
    for (const char* name : {"param.bin", "setup.bin", "DevInfo.bin"}) {
        fs::create_directories(folderName);
        ASSERT_TRUE(WriteWholeFile(folderName + "/" + name, Bytes{1, 2, 3}));
    }
    for (const bool timeout : {true, false}) {
        SCOPED_TRACE(timeout);
        if (!timeout && got != 125) GTEST_SKIP() << "the simulator keeps no device information";
        silentFrom = timeout ? "ModbusGet(162):" : "";
        line->setSilent(false);
        FakePanel panel;
        const std::string folder = DownloadSummary(panel, ".");
        EXPECT_EQ(folder.empty(), timeout);
        EXPECT_EQ(panel.questions,
                  timeout ? Lines{"Error: Failed downloading DevInfo...\r\nCollation of summary aborted"} : Lines{});
        const Bytes param = ReadWholeFile(folderName + "/param.bin", 2000).value_or(Bytes{});
        const Bytes setup = ReadWholeFile(folderName + "/setup.bin", 2000).value_or(Bytes{});
        const Bytes info = ReadWholeFile(folderName + "/DevInfo.bin", 2000).value_or(Bytes{});
        if (timeout) {
            EXPECT_EQ(std::tuple(param, setup, info), std::tuple(Bytes{1, 2, 3}, Bytes{1, 2, 3}, Bytes{1, 2, 3}));
        } else {
            EXPECT_EQ(fs::path(folder), fs::path(".") / folderName);
            EXPECT_EQ(std::tuple(param, setup.size(), info),
                      std::tuple(record, size_t{72}, Bytes(devInfo.begin() + 15, devInfo.begin() + 123)));
        }
    }
}
