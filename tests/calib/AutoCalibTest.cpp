// The automatic calibration: its records, settings, labels, results text, and
// whole runs against simulated detectors on detector time moved by the waits.
#include <fstream>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "calib/AutoCalibration.h"
#include "calib/CalibrateTexts.h"
#include "calib/Shutter.h"
#include "protocol/Commands.h"
#include "protocol/records/ByteOrder.h"
#include "shell/FakePanel.h"
#include "sim/Clock.h"
#include "sim/Detector.h"
#include "support/TempFolder.h"
#include "util/Profile.h"
#include "wire/Crc16.h"

using namespace autocal;

namespace {
std::vector<uint8_t> Answer(size_t dataSize, uint8_t address = 247) {
    std::vector<uint8_t> a(17 + dataSize);
    a[0] = address;
    return a;
}
}  // namespace

TEST(AutoCalibRecords, ObjectAndScalesAtTheFamilysPlacesAndExactSizes) {
    for (const auto& [kind, serialAt, refAt, flagAt, quantities] :
         {std::tuple{ParamKind::Ir, 804u, 984u, 1072u, 10u}, std::tuple{ParamKind::Uvir, 148u, 224u, 256u, 3u}}) {
        auto frame = Answer(1080);
        le::put32(frame, 15 + serialAt, 4242);
        le::putF64(frame, 15 + refAt + 8 * (quantities - 1), 7.5);
        const auto o = CalibObject::FromAnswer(kind, frame);
        ASSERT_TRUE(o);
        EXPECT_EQ(o->serial(), 4242u);
        EXPECT_EQ(o->reference(quantities - 1), 7.5);
        EXPECT_FALSE(o->applyFlag());
        auto flagged = *o;
        flagged.setApplyFlag(true);
        EXPECT_EQ(*le::u32(flagged.bytes(), flagAt), 1u);
        EXPECT_EQ(std::count_if(flagged.bytes().begin(), flagged.bytes().end(), [](uint8_t b) { return b; }),
                  std::count_if(o->bytes().begin(), o->bytes().end(), [](uint8_t b) { return b; }) + 1);
        EXPECT_FALSE(CalibObject::FromAnswer(kind, Answer(1079)));
        EXPECT_FALSE(CalibObject::FromAnswer(kind, Answer(1081)));
        auto scales = Answer(8 * quantities);
        le::putF64(scales, 15, 1.25);
        ASSERT_TRUE(DecodeScaleAnswer(kind, scales));
        EXPECT_EQ(DecodeScaleAnswer(kind, scales)->size(), quantities);
        EXPECT_EQ(DecodeScaleAnswer(kind, scales)->front(), 1.25);
        EXPECT_FALSE(DecodeScaleAnswer(kind, Answer(8 * quantities + 1)));
    }
}

TEST(AutoCalibSettings, RulesAndWhatIsWrittenBack) {
    TempFolder folder;
    {
        std::ofstream("Param.ini") << "[Calibration]\nnum_iter=0\ntol1=N/A\ntol_1=1.5\ntol4=1.05\ntol_4=0.2\nsum_thresh=abc\n"
                                      "[Calibrate]\nWaitForShutterCloseSec=5\n";
    }
    const Family& ir = FamilyOf(ParamKind::Ir);
    Settings s = LoadSettings(ir);
    EXPECT_EQ(s.iterations, 20u);
    EXPECT_EQ(s.shutterWaitMs, 5000u);
    EXPECT_EQ(s.sumThresh, 10.0);
    EXPECT_EQ(s.bands[0].hi, 9.9);
    EXPECT_EQ(s.bands[0].lo, 0.0);
    EXPECT_EQ(s.bands[3].hi, 1.05);
    EXPECT_EQ(ProfileGetString("Param.ini", "Calibration", "tol1", ""), "9.9");
    EXPECT_EQ(ProfileGetString("Param.ini", "Calibration", "tol_1", ""), "0.0");
    EXPECT_EQ(ProfileGetString("Param.ini", "Calibration", "tol2", "none"), "none");  // no band, never touched
    BurnBands(ir, s.bands);
    EXPECT_EQ(s.bands[3].hi, 2.0);
    EXPECT_EQ(s.bands[3].lo, 0.2);
    EXPECT_EQ(s.bands[1].hi, 1e15);
    EXPECT_EQ(IterationsRule(5000), 1000u);
    EXPECT_EQ(ShutterWaitMs(5000), 5000u);
    EXPECT_EQ(ShutterWaitMs(60), 60000u);
}

TEST(AutoCalibSettings, LabelsAndSerialNumbers) {
    const struct { const char* field; std::optional<uint32_t> serial; } cases[] = {
        {"PN=77-1;VENDOR=Acme;COO=DE;SN=12345;", 12345},
        {"PN=77-1;VENDOR=Acme;COO=DE;SN=A12-3;", 123},
        {"PN=77-1;COO=DE;SN=12345;", std::nullopt},         // VENDOR missing: left as typed
        {"PN=77-1;VENDOR=Acme;COO=DE;SN=12345", std::nullopt},  // SN not closed
        {"0", std::nullopt},
        {"0000000001", 1},
        {"00000000001", std::nullopt},  // 11 digits
        {"4294967294", 4294967294u},
        {"4294967295", std::nullopt},
        {"12a", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(SerialNumber(ScannedLabel(c.field)), c.serial) << c.field;
}

TEST(AutoCalibShutter, WordsWithoutAShellAndAFailedStart) {
    EXPECT_EQ(SplitCommandLine(R"(sh  -c "echo flame off > /tmp/x" last)"),
              (std::vector<std::string>{"sh", "-c", "echo flame off > /tmp/x", "last"}));
    EXPECT_EQ(SplitCommandLine(R"(a "" b)"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(StartCommand("/nonexistent/shutter open"),
              "WinExec(/nonexistent/shutter open) error:\r\n\r\nThe specified file was not found.");
    EXPECT_EQ(StartCommand("true"), std::nullopt);
}

TEST(AutoCalibTexts, ManualModeBoxes) {
    const std::string proceed = ".\r\n\r\n Click 'Ok' to proceed anyway.\r\n Click 'Cancel' to abort.";
    EXPECT_EQ(NotRespondedText({5}), "The following address has not responded:\r\n5" + proceed);
    EXPECT_EQ(NotRespondedText({3, 5}), "The following addresses have not responded:\r\n3, 5" + proceed);
    std::string caption;
    EXPECT_EQ(MismatchText(ParamKind::Ir, "A", "B", 0, 1, &caption),
              "Model:   Master \"A\", Slave \"B\"\r\nVariant: Master \"0\", Slave \"1\"\r\n");
    EXPECT_EQ(caption, "Master / Slave Model or I / M mismatch");
    EXPECT_EQ(MismatchText(ParamKind::Uvir, "A", "B", 0, 0, &caption), "Slave model 'B' is different from Master model 'A'...");
    EXPECT_EQ(caption, "Error");
    EXPECT_EQ(IncompleteText(1, 2), "The calibration of 1 of 2 slave detector(s) is incomplete...\r\n\r\nClick 'OK' to exit "
                                    "anyway\r\nClick 'Cancel' to complete the calibration\r\n");
}

TEST(AutoCalibResults, GoldenRowsOfBothFamilies) {
    std::vector<Band> irBands(10, Band{0, 9.9});
    irBands[0] = {0.5, 1.5};
    irBands[1] = irBands[2] = Band{};
    ResultsText ir(FamilyOf(ParamKind::Ir), false, 10.0);
    ir.beginPass(0);
    const std::string t = "\t0.00\t 1.00\t9.90";  // a band of 0..9.9 passed at 1.00
    const std::string avgs = "\t\t1.00\t2.00\t3.00\t4.00\t5.00\t6.00\t7.00\t8.00\t9.00\t10.00\n";
    const struct { int code; double scale1; double bg4; int written; std::string row; } irRows[] = {
        {0, 1.0, 4, 0, "1\t0\t 10.00\t 2.00\t 3.00\t 4.00\t0.50\t 1.00\t1.50" + t + t + t + t + t + t + t + avgs},
        {0, 0.5, 4, 0, "1\t0\t 10.00\t 2.00\t 3.00\t 4.00\t0.50\t 0.50\t1.50" + t + t + t + t + t + t + t + avgs},
        {0, 1.5, 4, 0, "1\t0\t 10.00\t 2.00\t 3.00\t 4.00\t0.50\t 1.50\t1.50" + t + t + t + t + t + t + t + avgs},
        {0, 1.51, 4, -11, "1\t-11\t 10.00\t 2.00\t 3.00\t 4.00\t0.50\tx1.51\t1.50" + t + t + t + t + t + t + t + avgs},
        {0, 0.49, 4, -11, "1\t-11\t 10.00\t 2.00\t 3.00\t 4.00\t0.50\tx0.49\t1.50" + t + t + t + t + t + t + t + avgs},
        {-3, 1.0, 10.01, -3, "1\t-3\t 10.00\t 2.00\t 3.00\tx10.01\n"},
        {-2, 1.0, 4, -2, "1\t-2\t 10.00\t 2.00\t 3.00\t 4.00\t0.50\t 1.00\t1.50" + t + t + t + t + t + t + t + avgs},
        {-1, 1.0, 4, -1, "1\t-1\t 10.00\t 2.00\t 3.00\t 4.00\t0.50\t 1.00\t1.50" + t + t + t + t + t + t + t + avgs},
        {-4, 1.0, 4, -4, "1\t-4\n"},
    };
    for (const auto& c : irRows) {
        const size_t before = ir.text().size();
        ResultRow row{1, c.code, {10, 2, 3, c.bg4}, std::vector<double>(10, 1.0), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}};
        row.scales[0] = c.scale1;
        ir.addRow(row, irBands);
        EXPECT_EQ(row.code, c.written);
        EXPECT_EQ(ir.text().substr(before), c.row);
    }
    EXPECT_EQ(ir.text().substr(0, 39), "Background sum threshold: 10.0\n\n S / N\t");
    EXPECT_NE(ir.text().find("rat4to5\n --------\t --------"), std::string::npos);
    EXPECT_NE(ir.text().find(" --------\t\t --------"), std::string::npos);

    ResultsText uv(FamilyOf(ParamKind::Uvir), false, 12.5);
    uv.beginPass(0);
    uv.beginPass(1);
    ResultRow ok{9, 0, {1, 2, 12.5}, {1.0, 0.9, 1.1}, {150.4, 20.6, 30}, 97, 1.25};
    ResultRow dipped{10, -12, {}, {1, 1, 1}, {1, 1, 1}, 3, 1};
    const size_t before = uv.text().size();
    uv.addRow(ok, std::vector<Band>(3, Band{0.8, 1.2}));
    uv.addRow(dipped, std::vector<Band>(3, Band{0.8, 1.2}));
    EXPECT_EQ(uv.text().substr(before), "9\t0\t 1.00\t 2.00\t 12.50\t0.80\t 1.00\t1.20\t0.80\t 0.90\t1.20\t0.80\t 1.10\t1.20"
                                        "\t\t150\t21\t30\t97\t1.2\n10\t-12\n");
    EXPECT_NE(uv.text().find("ADJ_uvbit_val\n --------"), std::string::npos);
    EXPECT_NE(uv.text().find(" --------\n\n\n\nRetry # 1 S / N\t Failure Code\t BGfirst_pass"), std::string::npos);
}

namespace {

// Simulated detectors behind single exchanges, on detector time that the
// procedure's own waits move: a whole run takes milliseconds.
class SimLink : public CalibLink {
public:
    explicit SimLink(const std::vector<wsim::DetectorConfig>& configs) {
        for (const auto& c : configs) dets.push_back(std::make_unique<wsim::Detector>(c, clock.nowMs()));
    }
    wsim::Detector* at(unsigned address) {
        for (auto& d : dets)
            if (d->address() == address && !silent.count(address)) return d.get();
        return nullptr;
    }
    std::vector<uint8_t> get(unsigned address, unsigned command, size_t) override {
        if (hook) hook(address, command, {});
        clock.advance(120);
        wsim::Detector* d = at(address);
        wsim::RecordRequest req{static_cast<uint8_t>(address), false, true, static_cast<uint8_t>(command), 0, 0, true};
        const auto reply = d ? d->handleRecord(req, clock.nowMs()) : std::nullopt;
        if (!reply) return {};
        std::vector<uint8_t> a(17 + reply->data.size());
        a[0] = d->address();
        a[1] = 0xC8;
        le::put16(a, 2, static_cast<uint16_t>(reply->data.size() + 11));
        a[4] = static_cast<uint8_t>(command);
        le::put16(a, 5, d->model());
        le::put32(a, 7, d->serial());
        std::copy(reply->data.begin(), reply->data.end(), a.begin() + 15);
        appendCrc16(a.data(), a.size() - 2);
        return a;
    }
    bool set(unsigned address, unsigned command, std::span<const uint8_t> p) override {
        if (hook) hook(address, command, p);
        if (refuse && refuse(command, p)) return false;
        clock.advance(20);
        for (auto& d : dets)
            if ((address == 0 || d->address() == address) && !silent.count(d->address())) {
                wsim::RecordRequest req{static_cast<uint8_t>(address), false, false, static_cast<uint8_t>(command), 0, 0,
                                        true, p.data(), p.size()};
                d->handleRecord(req, clock.nowMs());
            }
        return true;
    }
    std::optional<std::string> startCommand(const std::string& line) override {
        for (auto& d : dets) d->setFlame(line == "flame on");
        return std::nullopt;
    }
    unsigned long long nowMs() override { return static_cast<unsigned long long>(clock.nowMs()); }
    void sleep(unsigned ms) override { clock.advance(ms); }

    wsim::ManualClock clock;
    std::vector<std::unique_ptr<wsim::Detector>> dets;
    std::set<unsigned> silent;
    std::function<void(unsigned address, unsigned command, std::span<const uint8_t>)> hook;
    std::function<bool(unsigned command, std::span<const uint8_t>)> refuse;
};

wsim::DetectorConfig Det(uint8_t address, bool uvir, std::vector<float> gains = {}, float bg = -1) {
    wsim::DetectorConfig c;
    c.address = address;
    c.uvir = uvir;
    c.gains = std::move(gains);
    c.bg = bg;
    return c;
}

const char* const kIni =
    "[Calibration]\nnum_iter=20\nLearnBGsec=2\ntol1=1.5\ntol_1=0.5\n"
    "[UVIR_Calibration]\nnum_iter=100\nLearnBGsec=2\nmin_UV_Sum_Iter0=50\nUV_Sum_Thr=25\n"
    "[Calibrate]\nWaitForSensorStabilization=1\nfAutoShutter=1\nszShutterOpen=flame on\nszShutterClose=flame off\n"
    "WaitForShutterCloseSec=0\n";

}  // namespace

TEST(AutoCalibRun, EveryEndWithItsStates) {
    using S = State;
    using Setup = std::function<void(SimLink&, Panel&)>;
    // Restarts a detector once its counter reaches 5 in the first accumulation.
    auto restartAt = [](unsigned address) {
        return [address](SimLink& l, Panel&) {
            auto done = std::make_shared<bool>(false);
            l.hook = [&l, done, address](unsigned a, unsigned c, std::span<const uint8_t>) {
                wsim::Detector* d = l.at(address);
                if (!*done && a == address && c == D_DATA2HOST && d && d->iterationCounter(l.clock.nowMs()) >= 5)
                    *done = true, d->restart(l.clock.nowMs());
            };
        };
    };
    const Setup restart2 = restartAt(2);
    auto abortAt = [](unsigned command) {
        return [command](SimLink& l, Panel& p) {
            l.hook = [&p, command](unsigned, unsigned c, std::span<const uint8_t>) {
                if (c == command) p.requestAbort();
            };
        };
    };
    const struct {
        const char* name;
        bool uvir;
        std::vector<wsim::DetectorConfig> extra;  // slave 2 and others
        Setup setup;
        unsigned retries;
        std::vector<int> codes;
        std::vector<S> states;
    } cases[] = {
        {"gain 3 out of tolerance", false, {Det(2, false, {3})}, {}, 0, {0, 0, -11},
         {S::Reference, S::Calibrated, S::OutOfTolerance}},
        {"UV dip before the first counted iteration", true, {Det(2, true)},
         [](SimLink& l, Panel&) { l.at(2)->setUvSumDip(10, 10, 40); }, 0, {0, 0, 0},
         {S::Reference, S::Calibrated, S::Calibrated}},
        {"UV dip after it", true, {Det(2, true)}, [](SimLink& l, Panel&) { l.at(2)->setUvSumDip(10, 60, 70); }, 0,
         {0, 0, -12}, {S::Reference, S::Calibrated, S::OutOfTolerance}},
        {"abort in accumulation", false, {Det(2, false)}, abortAt(D_CALIBRATION), 0, {0, -4, -4},
         {S::Reference, S::Unchanged, S::Unchanged}},
        {"abort after the object broadcast", false, {Det(2, false)}, abortAt(D_CALIB_OBJECT), 0, {0, -4, -4},
         {S::Reference, S::CalibrationApplied, S::CalibrationApplied}},
        {"silent slave", false, {Det(2, false)}, [](SimLink& l, Panel&) { l.silent = {2}; }, 0, {0, 0, -2},
         {S::Reference, S::Calibrated, S::CalibrationApplied}},
        {"restart in accumulation", false, {Det(2, false)}, restart2, 0, {0, 0, -4},
         {S::Reference, S::Calibrated, S::CalibrationApplied}},
        {"master restart in accumulation", false, {Det(2, false)}, restartAt(247), 0, {-7, -7, -7},
         {S::Reference, S::Unchanged, S::Unchanged}},
        {"master background too high", false, {Det(2, false)},
         [](SimLink& l, Panel&) { l.at(247)->setBackground(20); }, 0, {-3, -4, -4},
         {S::Reference, S::Unchanged, S::Unchanged}},
        {"retry pass", false, {Det(2, false)}, restart2, 1, {0, 10, 0},
         {S::Reference, S::Calibrated, S::Calibrated}},
        {"end broadcast refused", false, {Det(2, false)},
         [](SimLink& l, Panel&) {
             l.refuse = [](unsigned c, std::span<const uint8_t> p) { return c == D_CALIBRATION && p[0] == 0; };
         },
         0, {0, 0, 0}, {S::Reference, S::CalibrationMode, S::CalibrationMode}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        std::ofstream("Param.ini") << kIni;
        std::vector<wsim::DetectorConfig> configs = {Det(247, c.uvir), Det(1, c.uvir)};
        configs.insert(configs.end(), c.extra.begin(), c.extra.end());
        SimLink link(configs);
        FakePanel panel;
        if (c.setup) c.setup(link, panel);
        RunOptions o{c.uvir ? ParamKind::Uvir : ParamKind::Ir, {247, 1, 2}, {5001, 5002}, c.retries, "Param.ini",
                     "results.txt"};
        const RunResult r = RunAutoCalibration(panel, link, o);
        ASSERT_EQ(r.rows.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(r.rows[i].code, c.codes[i]) << "row " << i;
            EXPECT_EQ(r.rows[i].state, c.states[i]) << "row " << i;
        }
        EXPECT_TRUE(r.resultsWritten);
        const bool retried = slurp("results.txt").find("Retry # 1 S / N") != std::string::npos;
        EXPECT_EQ(retried, c.retries > 0);
        for (unsigned i = 1; i < 3; ++i) {  // a calibrated slave carries its own serial, read back
            if (r.rows[i].state == S::Calibrated || r.rows[i].state == S::OutOfTolerance) {
                EXPECT_EQ(*le::u32(link.at(i)->params(), c.uvir ? 148 : 804), 5000 + i);
            }
        }
        const bool warned = !panel.questions.empty() && panel.questions.back().rfind("Warning: ", 0) == 0;
        EXPECT_EQ(warned, c.states[2] == S::CalibrationApplied || c.states[2] == S::CalibrationMode);
    }
    TempFolder folder;  // a results file that cannot be written fails the run as a bad file, whatever the rows
    std::ofstream("Param.ini") << kIni;
    SimLink link({Det(247, false), Det(1, false)});
    FakePanel panel;
    const RunResult r = RunAutoCalibration(panel, link, {ParamKind::Ir, {247, 1}, {5001}, 0, "Param.ini", "no/results.txt"});
    EXPECT_EQ(r.rows[1].state, State::Calibrated);
    EXPECT_EQ(RunExitCode(r), kExitUsage);
}

// Manual mode, one step at a time: boxes instead of codes, learning cut short
// by its Abort, a refused begin broadcast leaves Start to be pressed again,
// and the serials are left to the user's verification.
TEST(AutoCalibRun, ManualStepsAskAndLeaveTheSerialsToTheUser) {
    using E = Calibration::End;
    TempFolder folder;
    std::ofstream("Param.ini") << kIni;
    SimLink link({Det(247, false), Det(1, false), Det(2, false)});
    FakePanel panel;
    RunOptions o{ParamKind::Ir, {247, 1, 2}, {}, 0, "Param.ini", ""};
    o.manual = true;
    Calibration cal(panel, link, o);
    auto last = [&] { return panel.questions.back().substr(0, panel.questions.back().find(':')); };
    // The poll goes on, showing the rows, once learning may start and until it is started.
    panel.enable(calwin::kLearnStart, false);
    int readsAfter = 0;
    link.hook = [&](unsigned, unsigned c, std::span<const uint8_t>) {
        if (c != D_DATA2HOST || panel.disabled.count(calwin::kLearnStart)) return;
        if (++readsAfter == 1) panel.setText(calwin::kIterStat0 + 2, "");
        if (readsAfter == 4) cal.stopStep();
    };
    ASSERT_EQ(cal.background(), E::Done);
    EXPECT_EQ(readsAfter, 4);  // the round in which Start came is cut short
    EXPECT_EQ(panel.text(calwin::kIterStat0 + 2), "N0");
    link.hook = [&](unsigned, unsigned c, std::span<const uint8_t>) { if (c == D_DATA2HOST) cal.stopStep(); };
    ASSERT_EQ(cal.learn(), E::Done);
    EXPECT_EQ(panel.questions.back().find("Learning Background - done.: You can now start accumulating"), 0u);
    link.hook = {};
    link.refuse = [](unsigned c, std::span<const uint8_t> p) { return c == D_CALIBRATION && p[0] != 0; };
    EXPECT_EQ(cal.accumulate(), E::Stopped);
    EXPECT_EQ(panel.questions.back(), "Error: ModbusGet(mdbs, D_CALIBRATION...) failed...");
    link.refuse = {};
    ASSERT_EQ(cal.accumulate(), E::Done);
    EXPECT_EQ(last(), "Accumulating sums done");
    int paramWrites = 0;
    link.hook = [&](unsigned, unsigned c, std::span<const uint8_t>) { paramWrites += c == D_PARAM2DET; };
    ASSERT_EQ(cal.burn(), E::Done);
    EXPECT_EQ(last(), "Burn complete");
    EXPECT_EQ(paramWrites, 0);
    EXPECT_EQ(panel.indicators[calwin::kRadio0 + 2], 2);  // yellow until verified
    EXPECT_EQ(cal.unverifiedSlaves(), 2u);
    cal.verified(1);
    EXPECT_EQ(cal.unverifiedSlaves(), 1u);
    EXPECT_TRUE(cal.close());
}
