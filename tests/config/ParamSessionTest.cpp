// The parameter record against simulated detectors: the read, the checks
// before a write, and the write with its elevation, file and read-back.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "config/ParamSession.h"
#include "config/ParamViewIds.h"
#include "shell/FakePanel.h"
#include "shell/ShellState.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"
#include "util/Log.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
using enum ParamWriteResult;

constexpr uint8_t kIrAt = 4, kLockedAt = 5, kUvirAt = 6;
const std::string kAdminPrompt = "Please Enter the Admin Password:";
const std::string kTooLate =
    "Error: More than 2 minutes have elapsed.\r\nParameter update will be rejected...\r\n\r\nIn "
    "order not to lose "
    "your settings you may:\r\n  o  'Save Parameters to Ini'\r\n  o  Reload the dialog box\r\n  o  "
    "'Load Parameters "
    "from Ini' - and re-save";

ParamRecord with(ParamRecord r, const char* name, size_t i, double v) {
    EXPECT_TRUE(r.setValue(name, i, v)) << name;
    return r;
}

class ParamSessionLine : public TestLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(
            startLine({testline::ir(kIrAt), testline::lockedIr(kLockedAt), testline::uvir(kUvirAt)},
                      {.clock = &clock}));
        ASSERT_NO_FATAL_FAILURE(openWire(kIrAt));
        moveDetectorTimeWithWaits();
        const auto keep = [this](const std::string& l) { logged.push_back(l); };
        logs::attachLists(keep, keep);
    }
    void TearDown() override {
        logs::detachLists();
        SetPumpWait({});
        TestLine::TearDown();
    }
    // The waits of a write move detector time on, once the line has taken the frame;
    // `thenSilent`: the line hears nothing more after the first.
    void moveDetectorTimeWithWaits(bool thenSilent = false) {
        SetPumpWait([this, thenSilent](unsigned ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            clock.advance(ms);
            if (thenSilent) line->setSilent(true);
        });
    }
    Bytes stored(uint8_t address) {
        Bytes b;
        line->withDetector(address, [&](wsim::Detector& d, int64_t) { b = d.params(); });
        return b;
    }
    long count(const std::string& text) const {
        return std::count(logged.begin(), logged.end(), text);
    }

    TempFolder folder;
    Lines logged;
};

}  // namespace

// Either kind by the answering model; three tries while nothing answers.
TEST_F(ParamSessionLine, Read) {
    for (const auto& [address, kind] :
         {std::pair{kIrAt, ParamKind::Ir}, {kUvirAt, ParamKind::Uvir}}) {
        ASSERT_TRUE(SelectSlave(address));
        int result = 0;
        const auto r = ReadParams(&result);
        ASSERT_TRUE(r);
        EXPECT_EQ(std::tuple(r->kind(), result, r->ordnum()),
                  std::tuple(kind, int(ParamAnswerSize(kind)), 21'030'000u + address));
        const Bytes want = stored(address);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), r->bytes().begin(), r->bytes().end()));
    }
    line->setSilent(true);
    Shell().detector.uvirModel =
        true;  // without an answer, the model the poll last saw sets the size
    logged.clear();
    int result = 0;
    EXPECT_FALSE(ReadParams(&result));
    Shell().detector.uvirModel = false;
    EXPECT_EQ(std::tuple(result, count("ModbusGet(122):")), std::tuple(-1, 3L));
    EXPECT_EQ(count("ModbusGet(PARAM2HOST) returned -1 bytes instead of 241"), 1);
}

// Each rule in the window's order, with its message and the cell to select.
TEST(ParamChecks, RulesBeforeAWrite) {
    using K = ParamKind;
    const ParamRecord ir = ParamRecord::Defaults(K::Ir),
                      uv = with(ParamRecord::Defaults(K::Uvir), "sum_array_size", 0, 251);
    const std::string sumsize =
        "Bad 'sumsize' 89.\r\nRecommended 'sumsize' 121.\r\n'sumsize' must be in the range "
        "[90,255]";
    const std::string warn = "'WarnFactor' must be in the range [30..90]",
                      flag = "Allowed values are '0' and '1'";
    const std::string hw = "HW date / version not set";
    struct Case {
        ParamRecord base;
        const char* field;
        size_t i;
        double value;
        std::string message;  // empty: passes
        int cell = 0;
        bool uvirSelected = true;
    };
    const Case cases[] = {
        {ir, "sumsize", 0, 89, sumsize, paramwin::kSumsize},
        {ir, "sumsize", 0, 90, ""},
        {ir, "sumsize", 0, 255, ""},
        {ir, "warnfactor", 0, 0.29, warn, 1405},
        {ir, "warnfactor", 0, 0.30, ""},
        {ir, "warnfactor", 0, 0.90, ""},
        {ir, "warnfactor", 0, 0.91, warn, 1405},
        {ir, "tier", 0, 2, flag, 1400},
        {ir, "is_no_grad", 0, 2, flag, 1429},
        {ir, "dateHW_month", 0, 0, hw, paramwin::kHwMonth},
        {ir, "dateHW_year", 0, 101, hw, paramwin::kHwYear},
        {ir, "vHW", 0, 0x30, hw, paramwin::kHwCpu},
        {ir, "vHW", 0, 0x03, hw, paramwin::kHwIo},
        {with(ir, "ratio45to4benz", 0, 5.8), "ratio45to4", 0, 8.6, "CompareSlaveToSlaveBenzine"},
        {with(ir, "ratio45to4benz", 2, 5.8), "ratio45to4", 2, 8.6, ""},
        {uv, "sum_array_size", 0, 121, "Bad 'sum_array_size' 121.\r\n'sum_array_size' must be 251.",
         1933},
        {uv, "sum_array_size", 0, 121, "", 0, false},
        {uv, "sum_array_size", 0, 89,
         "Bad 'sum_array_size' 89.\r\nRecommended 'sum_array_size' 121.\r\n'sum_array_size' must "
         "be in the range [90,255]",
         1933, false},
        {uv, "warnfactor", 0, 29, warn, 1405},
        {uv, "warnfactor", 0, 30, ""},
        {uv, "warnfactor", 0, 90, ""},
        {uv, "warnfactor", 0, 91, warn, 1405},
        {uv, "sum_first_pass", 1, 700, "CheckSlave2SlaveUVIR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + std::to_string(c.value));
        const ParamCheck check =
            CheckParamsForWrite(with(c.base, c.field, c.i, c.value), c.uvirSelected);
        EXPECT_EQ(std::tuple(check.ok, check.message), std::tuple(c.message.empty(), c.message));
        const bool benzene = c.message.find("Slave") != std::string::npos;
        EXPECT_EQ(check.caption, c.message.empty() ? ""
                                 : benzene         ? "Sanity Check Failure"
                                                   : "Error");
        EXPECT_EQ(check.cell, c.cell);
        EXPECT_EQ(check.benzene.size(), benzene ? 1u : 0u);
    }
}

// What reaches the detector and what it keeps, by host time since the read,
// detector time since its last read, and the passwords given.
TEST_F(ParamSessionLine, Write) {
    struct Case {
        const char* what;
        uint8_t address;
        Lines typed;
        unsigned long long hostMs;  // since the read, on the host's clock
        int64_t detectorMs;         // since the read, on the detector's
        double sumsize;
        ParamWriteResult result;
        Lines questions;
        bool script = false;
        bool silentAfterSend = false;
    };
    const Case cases[] = {
        {"unlocked", kIrAt, {}, 0, 0, 100, Verified, {}},
        {"locked, a wrong password first",
         kLockedAt,
         {"wrong", "apass"},
         0,
         0,
         101,
         Verified,
         {kAdminPrompt, kAdminPrompt}},
        {"locked, no password", kLockedAt, {}, 0, 0, 102, NotElevated, {kAdminPrompt}},
        {"115 000 ms after the read", kIrAt, {}, 115'000, 0, 103, Verified, {}},
        {"115 001 ms after the read", kIrAt, {}, 115'001, 0, 104, TooLate, {kTooLate}},
        {"115 001 ms, in a script", kIrAt, {}, 115'001, 0, 105, Verified, {}, true},
        {"refused by a host check",
         kIrAt,
         {},
         0,
         0,
         89,
         CheckFailed,
         {"Error: Bad 'sumsize' 89.\r\nRecommended 'sumsize' 121.\r\n'sumsize' must be in the "
          "range [90,255]"}},
        {"ignored 121 s after the detector's read",
         kIrAt,
         {},
         1'000,
         121'000,
         106,
         VerifyFailed,
         {"Error: Verification failed..."}},
        {"no read-back",
         kIrAt,
         {},
         0,
         0,
         107,
         VerifyFailed,
         {"Error: Verification failed..."},
         false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        line->setSilent(false);
        clock.advance(10'000);  // past the last write's quiet time
        ASSERT_TRUE(SelectSlave(c.address));
        const auto read = ReadParams();
        ASSERT_TRUE(read);
        std::filesystem::remove("ir4_param.bin");
        const ParamRecord working = with(*read, "sumsize", 0, c.sumsize);
        clock.advance(c.detectorMs);
        FakePanel panel;
        panel.typed = {c.typed.begin(), c.typed.end()};
        logged.clear();
        moveDetectorTimeWithWaits(c.silentAfterSend);
        ParamWriteOptions options;
        options.script = c.script;
        options.nowMs = [&] { return 5'000'000 + c.hostMs; };
        const WriteOutcome out = WriteParams(panel, working, 5'000'000, options);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.verified(), c.result == Verified);
        EXPECT_EQ(panel.questions, c.questions);
        const auto kept =
            c.result == Verified || c.silentAfterSend ? working.bytes() : read->bytes();
        EXPECT_EQ(stored(c.address), Bytes(kept.begin(), kept.end()));
        const bool sent = c.result == Verified || c.result == VerifyFailed;
        const Bytes file = sent ? Bytes(working.bytes().begin(), working.bytes().end()) : Bytes{};
        EXPECT_EQ(ReadWholeFile("ir4_param.bin", 2000).value_or(Bytes{}), file);
        EXPECT_EQ(
            std::tuple(count("ModbusSet(121):"), count("'ir4_param.bin' has been created...")),
            std::tuple(long(sent), long(sent)));
        // The read-back: the changed byte, or three tries of nothing.
        EXPECT_EQ(out.firstDifference, c.result == VerifyFailed && !c.silentAfterSend ? 793 : -1);
        EXPECT_EQ(count("ModbusGet(122):"), c.silentAfterSend ? 3 : sent ? 1 : 0);
    }
}
