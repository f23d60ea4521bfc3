// patch make/show/apply, hang and reset against simulated detectors: one case per exit status.
#include <gtest/gtest.h>

#include <thread>

#include "CliLine.h"
#include "config/ParamFiles.h"
#include "support/TempFolder.h"
#include "util/Log.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kIr = 1, kLocked = 17;  // the demo line; 17's passwords are maint17 / admin17

class CliPatch : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo(), {.clock = &clock}));
        openWire(kIr);
        // The host's waits are detector time; `jumpMs` more as the parameter record is sent.
        SetPumpWait([this](unsigned ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            clock.advance(ms);
        });
        const auto jump = [this](const std::string& l) {
            if (l == "ModbusSet(121):") clock.advance(jumpMs);
        };
        logs::attachLists(jump, jump);
    }
    void TearDown() override {
        logs::detachLists();
        SetPumpWait({});
        CliLine::TearDown();
    }
    TempFolder folder;
    int64_t jumpMs = 0;
};

TEST_F(CliPatch, ExitStatuses) {
    // Address, command, standard input, detector ms after the parameter read; status, printed, sumsize kept.
    using Case = std::tuple<uint8_t, std::string, std::string, int64_t, int, std::string, int>;
    const Case cases[] = {
        {kIr, "patch make --default ir --select sumsize=100 --select sum45_2=5", "", 0, kCliOk,
         "\"IR3.upm\" has been created.", 121},
        {kIr, "patch show IR3.upm", "", 0, kCliOk, "IR3 patch\nsum45_2=5\nsumsize=100\n", 121},
        {kIr, "patch make --edit IR3.upm --select tier --out keep.upm", "", 0, kCliOk,
         "\"keep.upm\" has been created.", 121},
        {kIr, "patch show keep.upm", "", 0, kCliOk, "IR3 patch\nsum45_2=5\ntier=1\nsumsize=100\n", 121},
        {kIr, "patch make --default ir --select sumsize=89", "", 0, kCliRefused, "Bad 'sumsize' 89.", 121},
        {kIr, "patch make --edit bad.upm --select tier", "", 0, kCliUsage,
         "File \"bad.upm\" has incorrect CRC16...", 121},
        {kIr, "patch make --from short.bin --select tier", "", 0, kCliUsage,
         "File \"short.bin\" is neither an IR3 nor a UVIR parameter bin-file...", 121},
        {kIr, "patch apply UVIR.upm", "", 0, kCliUsage, "File \"UVIR.upm\" has incorrect size...", 121},
        // Refused before the status request: a locked detector asks for no password.
        {kLocked, "patch apply bad.upm", "", 0, kCliUsage, "File \"bad.upm\" has incorrect CRC16...", 121},
        {kLocked, "patch apply IR3.upm", "", 0, kCliFailed, "Current MAINT/ADMIN Password not entered.", 121},
        // Held up past the detector's 120 s after its read: it ignores the write.
        {kIr, "patch apply IR3.upm", "", 121'000, kCliUnverified, "Updated parameters don't compare.", 121},
        {kLocked, "patch apply IR3.upm", "admin17\n", 0, kCliOk, "Parameter update success!", 100},
        {kIr, "hang", "", 0, kCliOk, "D_MISC_CONTROL(1) returned 1", 121},
        {kLocked, "reset", "", 0, kCliFailed, "Current MAINT/ADMIN Password not entered.", 100},
        {kLocked, "reset --admin", "admin17\n", 0, kCliOk, "D_MISC_CONTROL(2) returned 1", 100},
        {kIr, "hang --now", "", 0, kCliUsage, "hang [--admin]", 121},
    };
    Bytes bad(1972);
    ASSERT_TRUE(WriteWholeFile("bad.upm", bad));
    ASSERT_TRUE(WriteWholeFile("short.bin", Bytes(983)));
    ASSERT_TRUE(WriteWholeFile("UVIR.upm", EncodePatch({Bytes(224), ParamRecord::Defaults(ParamKind::Uvir)})));
    for (const auto& [address, command, input, jump, status, printed, sumsize] : cases) {
        SCOPED_TRACE(command);
        clock.advance(60'000);
        jumpMs = jump;
        EXPECT_EQ(run(address, command, input), status) << err.str();
        EXPECT_NE((out.str() + err.str()).find(printed), std::string::npos) << out.str() << err.str();
        EXPECT_EQ(params(address)[793], sumsize);
    }
}

}  // namespace
