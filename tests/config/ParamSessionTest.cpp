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
    "Error: More than 2 minutes have elapsed.\r\nParameter update will be rejected...\r\n\r\nIn order not to lose "
    "your settings you may:\r\n  o  'Save Parameters to Ini'\r\n  o  Reload the dialog box\r\n  o  'Load Parameters "
    "from Ini' - and re-save";

ParamRecord with(ParamRecord r, const char* name, size_t i, double v) {
    EXPECT_TRUE(r.setValue(name, i, v)) << name;
    return r;
}

class ParamSessionLine : public TestLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(kIrAt), testline::lockedIr(kLockedAt), testline::uvir(kUvirAt)},
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
    long count(const std::string& text) const { return std::count(logged.begin(), logged.end(), text); }

    TempFolder folder;
    Lines logged;
};

}  // namespace

// The kind by the answering model (IR in every write below); three tries while nothing answers.
TEST_F(ParamSessionLine, Read) {
    ASSERT_TRUE(SelectSlave(kUvirAt));
    int result = 0;
    const auto r = ReadParams(&result);
    ASSERT_TRUE(r);
    EXPECT_EQ(std::tuple(r->kind(), result, Bytes(r->bytes().begin(), r->bytes().end())),
              std::tuple(ParamKind::Uvir, 241, params(kUvirAt)));
    line->setSilent(true);
    Shell().detector.uvirModel = true;  // without an answer, the model the poll last saw sets the size
    logged.clear();
    EXPECT_FALSE(ReadParams(&result));
    Shell().detector.uvirModel = false;
    EXPECT_EQ(std::tuple(result, count("ModbusGet(122):")), std::tuple(-1, 3L));
    EXPECT_EQ(count("ModbusGet(PARAM2HOST) returned -1 bytes instead of 241"), 1);
}

// Each rule in the window's order, with its message and the cell to select.
TEST(ParamChecks, RulesBeforeAWrite) {
    const ParamRecord ir = ParamRecord::Defaults(ParamKind::Ir);
    const ParamRecord uv = with(ParamRecord::Defaults(ParamKind::Uvir), "sum_array_size", 0, 251);
    const std::string warn = "'WarnFactor' must be in the range [30..90]", flag = "Allowed values are '0' and '1'";
    const std::string hw = "HW date / version not set", ok = "";
    // The record, the value set, whether a UV/IR model is selected; the message (empty: passes) and the cell.
    using Case = std::tuple<ParamRecord, const char*, size_t, double, bool, std::string, int>;
    const Case cases[] = {
        {ir, "sumsize", 0, 89, true,
         "Bad 'sumsize' 89.\r\nRecommended 'sumsize' 121.\r\n'sumsize' must be in the range [90,255]", 1402},
        {ir, "sumsize", 0, 90, true, ok, 0},
        {ir, "sumsize", 0, 255, true, ok, 0},
        {ir, "warnfactor", 0, 0.29, true, warn, 1405},
        {ir, "warnfactor", 0, 0.30, true, ok, 0},
        {ir, "warnfactor", 0, 0.90, true, ok, 0},
        {ir, "warnfactor", 0, 0.91, true, warn, 1405},
        {ir, "tier", 0, 2, true, flag, 1400},
        {ir, "is_no_grad", 0, 2, true, flag, 1429},
        {ir, "vHW", 0, 0x30, true, hw, paramwin::kHwCpu},
        {with(ir, "ratio45to4benz", 0, 5.8), "ratio45to4", 0, 8.6, true, "CompareSlaveToSlaveBenzine", 0},
        {uv, "sum_array_size", 0, 121, true, "Bad 'sum_array_size' 121.\r\n'sum_array_size' must be 251.", 1933},
        {uv, "sum_array_size", 0, 89, false,  // a record for the patch editor, another model selected
         "Bad 'sum_array_size' 89.\r\nRecommended 'sum_array_size' 121.\r\n'sum_array_size' must be in the range "
         "[90,255]", 1933},
        {uv, "warnfactor", 0, 29, true, warn, 1405},
        {uv, "warnfactor", 0, 91, true, warn, 1405},
        {uv, "sum_first_pass", 1, 700, true, "CheckSlave2SlaveUVIR", 0},
    };
    for (const auto& [base, field, i, value, uvirSelected, message, cell] : cases) {
        SCOPED_TRACE(std::string(field) + " " + std::to_string(value));
        const ParamCheck check = CheckParamsForWrite(with(base, field, i, value), uvirSelected);
        const bool benzene = message.find("Slave") != std::string::npos;
        const std::string caption = message.empty() ? "" : benzene ? "Sanity Check Failure" : "Error";
        EXPECT_EQ(std::tuple(check.ok, check.message, check.caption, check.cell, check.benzene.size()),
                  std::tuple(message.empty(), message, caption, cell, benzene ? 1u : 0u));
    }
}

// What reaches the detector and what it keeps, by host time since the read,
// detector time since its last read, and the passwords given. (A broken rule
// sends nothing: ParamViewTest, CliParamsTest.)
TEST_F(ParamSessionLine, Write) {
    const Lines verifyFailed{"Error: Verification failed..."};
    // Detector, passwords, host ms and detector ms since the read, sumsize, in a script, silent after the send;
    // the outcome and the questions.
    using Case = std::tuple<uint8_t, Lines, unsigned long long, int64_t, int, bool, bool, ParamWriteResult, Lines>;
    const Case cases[] = {
        {kIrAt, {}, 0, 0, 100, false, false, Verified, {}},
        {kLockedAt, {"wrong", "apass"}, 0, 0, 101, false, false, Verified, {kAdminPrompt, kAdminPrompt}},
        {kLockedAt, {}, 0, 0, 102, false, false, NotElevated, {kAdminPrompt}},
        {kIrAt, {}, 115'000, 0, 103, false, false, Verified, {}},
        {kIrAt, {}, 115'001, 0, 104, false, false, TooLate, {kTooLate}},
        {kIrAt, {}, 115'001, 0, 105, true, false, Verified, {}},
        // The detector ignores a write 121 s after its read, whatever the host's clock says.
        {kIrAt, {}, 1'000, 121'000, 106, false, false, VerifyFailed, verifyFailed},
        {kIrAt, {}, 0, 0, 107, false, true, VerifyFailed, verifyFailed},
    };
    for (const auto& [address, typed, hostMs, detectorMs, sumsize, script, silent, result, questions] : cases) {
        SCOPED_TRACE(sumsize);
        line->setSilent(false);
        clock.advance(10'000);  // past the last write's quiet time
        ASSERT_TRUE(SelectSlave(address));
        const auto read = ReadParams();
        ASSERT_TRUE(read);
        std::filesystem::remove("ir4_param.bin");
        const ParamRecord working = with(*read, "sumsize", 0, sumsize);
        clock.advance(detectorMs);
        FakePanel panel;
        panel.typed = {typed.begin(), typed.end()};
        logged.clear();
        moveDetectorTimeWithWaits(silent);
        const unsigned long long readAt = 5'000'000, now = readAt + hostMs;
        const WriteOutcome out =
            WriteParams(panel, working, readAt, {script, "Parameters Update", [now] { return now; }});
        EXPECT_EQ(std::tuple(out.result, out.verified(), panel.questions),
                  std::tuple(result, result == Verified, questions));
        const auto kept = result == Verified || silent ? working.bytes() : read->bytes();
        EXPECT_EQ(params(address), Bytes(kept.begin(), kept.end()));
        const bool sent = result == Verified || result == VerifyFailed;
        const Bytes file = sent ? Bytes(working.bytes().begin(), working.bytes().end()) : Bytes{};
        EXPECT_EQ(ReadWholeFile("ir4_param.bin", 2000).value_or(Bytes{}), file);
        EXPECT_EQ(std::tuple(count("ModbusSet(121):"), count("'ir4_param.bin' has been created...")),
                  std::tuple(long(sent), long(sent)));
        // The read-back: the changed byte, or three tries of nothing.
        EXPECT_EQ(out.firstDifference, result == VerifyFailed && !silent ? 793 : -1);
        EXPECT_EQ(count("ModbusGet(122):"), silent ? 3 : sent ? 1 : 0);
    }
}
