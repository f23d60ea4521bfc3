// The sanity checks of a parameter record against its master: each check's
// edge cases, the per-detector check's results and file, and DoSanityCheck
// against simulated detectors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "config/ParamSession.h"
#include "config/SanityCheck.h"
#include "shell/FakePanel.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"
#include "util/Profile.h"
#include "util/WholeFile.h"

namespace {

using Edit = std::function<void(ParamRecord&)>;

void set(ParamRecord& r, const char* name, size_t i, double v) { ASSERT_TRUE(r.setValue(name, i, v)) << name; }
// Every element of an array.
void setAll(ParamRecord& r, const char* name, double v) {
    for (size_t i = 0; i < FindParamField(r.kind(), name)->count; ++i) set(r, name, i, v);
}
int cell(ParamKind kind, const char* name, int element) { return FindParamField(kind, name)->cell + element; }

void writeRecord(const std::string& path, const ParamRecord& r) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_TRUE(WriteWholeFile(path, r.bytes()));
}

TEST(SanityChecks, EdgeCasesOfEachCheck) {
    struct Case {
        const char* what;
        ParamKind kind;
        Edit master, detector;
        std::string nonCalib, calib = "", benzine = "";  // the lists; "": not looked at
    } const cases[] = {
        {"defaults agree", ParamKind::Ir, {}, {}, "NonCalib: ", "CalibMasterToSlave: ", "CalibSlaveToSlave: "},
        {"sumsize differs", ParamKind::Ir, {}, [](ParamRecord& r) { set(r, "sumsize", 0, 91); }, "NonCalib:  1"},
        {"the last compared field", ParamKind::Ir, {},
         [](ParamRecord& r) { set(r, "FOV_Normal_Threshold", 0, 9); }, "NonCalib:  41"},
        {"sum45 at 2.1 times the master's", ParamKind::Ir, [](ParamRecord& r) { set(r, "sum45", 3, 10); },
         [](ParamRecord& r) { set(r, "sum45", 3, 21); }, "NonCalib: ", "CalibMasterToSlave:  3,0"},
        {"sum45 at 2.0 and 0.5 times pass", ParamKind::Ir,
         [](ParamRecord& r) { set(r, "sum45", 3, 10), set(r, "sum44", 0, 10); },
         [](ParamRecord& r) { set(r, "sum45", 3, 20), set(r, "sum44", 0, 5); }, "NonCalib: ",
         "CalibMasterToSlave: "},
        {"sum44 at 0.45 times", ParamKind::Ir, [](ParamRecord& r) { set(r, "sum44", 5, 20); },
         [](ParamRecord& r) { set(r, "sum44", 5, 9); }, "NonCalib: ", "CalibMasterToSlave:  5,10"},
        {"both zero agree, zero against a master fails", ParamKind::Ir,
         [](ParamRecord& r) { set(r, "ratio4to5Hydbenz", 1, 0), set(r, "ratio45to5", 2, 3); },
         [](ParamRecord& r) { set(r, "ratio4to5Hydbenz", 1, 0), set(r, "ratio45to5", 2, 0); }, "NonCalib: ",
         "CalibMasterToSlave:  2,2"},
        {"ratio45to4 8.6 over 5.8", ParamKind::Ir, {},
         [](ParamRecord& r) { setAll(r, "ratio45to4", 8.6), setAll(r, "ratio45to4benz", 5.8); }, "NonCalib: ", "",
         "CalibSlaveToSlave:  0,2 1,2"},
        {"fire and benzene both 0, or fire alone", ParamKind::Ir, {},
         [](ParamRecord& r) {
             setAll(r, "cor44to45Hyd", 0), setAll(r, "cor44to45Hydbenz", 0);
             set(r, "sum45benz", 0, 0);
         },
         "NonCalib: ", "", "CalibSlaveToSlave: "},
        {"fire 0 over benzene", ParamKind::Ir, {}, [](ParamRecord& r) { set(r, "cor44to45Hyd", 1, 0); }, "NonCalib: ",
         "", "CalibSlaveToSlave:  1,15"},
        {"UV/IR defaults agree", ParamKind::Uvir, {}, {}, "NonCalib: ", "CalibMasterToSlave: ", "CalibSlaveToSlave: "},
        {"UV/IR order", ParamKind::Uvir, {},
         [](ParamRecord& r) {
             set(r, "first_fltr_size", 0, 16), set(r, "sum_array_size", 0, 251);
             set(r, "FOV_Normal_Threshold", 0, 9);
         },
         "NonCalib:  0 14 29"},
        {"UV/IR band and benzene", ParamKind::Uvir, [](ParamRecord& r) { set(r, "ratio_lo", 2, 1); },
         [](ParamRecord& r) {
             set(r, "ratio_lo", 2, 3), set(r, "sum_first_pass", 1, 510), set(r, "sum_first_pass", 2, 86);
         },
         "NonCalib: ", "CalibMasterToSlave:  2,4", "CalibSlaveToSlave:  1,0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ParamRecord master = ParamRecord::Defaults(c.kind), detector = master;
        if (c.master) c.master(master), c.master(detector);  // the master's value is the detector's too
        if (c.detector) c.detector(detector);
        const SanityReport report = RunSanityChecks(master, detector);
        EXPECT_EQ(report.nonCalib.list, c.nonCalib);
        if (!c.calib.empty()) {
            EXPECT_EQ(report.calib.list, c.calib);
        }
        if (!c.benzine.empty()) {
            EXPECT_EQ(report.benzine.list, c.benzine);
        }
    }
}

TEST(SanityChecks, FailingBenzenePairsGiveTheirCells) {
    ParamRecord r = ParamRecord::Defaults(ParamKind::Ir);
    setAll(r, "ratio45to4", 8.6);
    setAll(r, "ratio45to4benz", 5.8);
    std::vector<CellPair> cells;
    EXPECT_EQ(CheckSlave2Slave(r, kBenzeneFactor, &cells), 2);
    const std::vector<CellPair> marked = {
        {cell(r.kind(), "ratio45to4", 0), cell(r.kind(), "ratio45to4benz", 0)},
        {cell(r.kind(), "ratio45to4", 1), cell(r.kind(), "ratio45to4benz", 1)}};
    EXPECT_EQ(cells, marked);
    EXPECT_EQ(CheckSlave2Slave(r, 1.4, nullptr), 0);
    EXPECT_EQ(CheckSlave2Slave(ParamRecord::Defaults(ParamKind::Uvir), kBenzeneFactor), 0);
}

TEST(SanityChecks, PerDetectorCheckByTypeByte) {
    TempFolder folder;
    const ParamRecord ir = ParamRecord::Defaults(ParamKind::Ir), uvir = ParamRecord::Defaults(ParamKind::Uvir);
    ParamRecord failing = ir;
    set(failing, "sumsize", 0, 91);
    setAll(failing, "ratio45to4benz", 100);  // elements 0 and 1 fail
    writeRecord("Masters/MasterParam_I.bin", ir);
    writeRecord("Masters/MasterParam_M.bin", uvir);  // a master of the other kind
    writeRecord("Masters/MasterParam_L4B.bin", uvir);
    std::vector<uint8_t> longer(ir.bytes().begin(), ir.bytes().end());
    longer.push_back(0);
    ASSERT_TRUE(WriteWholeFile("Masters/MasterParam_LB.bin", longer));

    struct Case {
        uint8_t type;
        const ParamRecord& detector;
        int result;
        std::string section;  // as written; "" for none
    } const cases[] = {
        {144, ir, 0,
         "[SanityCheck2]\nSerialNo = 0\nEquateNonCalibFailures = NonCalib: \nCompareCalibFailures = CalibMasterToSlave: \n"
         "CompareBenzineFailures = CalibSlaveToSlave: \nTotalFailures = 0\n"},
        {152, uvir, 0, "TotalFailures = 0\n"},
        {128, failing, -10,
         "[SanityCheck2]\nSerialNo = 0\nEquateNonCalibFailures = NonCalib:  1\n"
         "CompareCalibFailures = CalibMasterToSlave:  0,6 1,6 2,6 3,6 4,6 5,6\n"
         "CompareBenzineFailures = CalibSlaveToSlave:  0,2 1,2\nTotalFailures = 9\n"},
        {131, ir, -6, ""}, {133, ir, -8, ""}, {146, uvir, -9, ""}, {136, ir, -8, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.type));
        ProfileWriteString("ScreenshotOutput.ini", "SanityCheck2", "TotalFailures", "stale");
        EXPECT_EQ(CheckDetectorByType(2, c.type, c.detector), c.result);
        const std::string written = slurp("ScreenshotOutput.ini");
        if (c.section.empty()) {
            EXPECT_EQ(written.find("SanityCheck2"), std::string::npos) << written;
        } else {
            EXPECT_NE(written.find(c.section), std::string::npos) << written;
        }
    }
    std::filesystem::remove_all("Masters");
    EXPECT_EQ(CheckDetectorByType(0, 144, ir), -7);
}

// Open IR at 1, UV/IR at 2; nothing at 3.
class SanityLine : public TestLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(1), testline::uvir(2)}));
        ASSERT_NO_FATAL_FAILURE(openWire(1));
    }
    ParamRecord recordAt(uint8_t address) {
        SelectSlave(address);
        return ReadParams().value();
    }
    // A run at `address` with `master` as the master file; its boxes, and the output file.
    std::string check(uint8_t address, const std::string& master = "master.bin") {
        SelectSlave(address);
        FakePanel panel;
        run = DoSanityCheck(panel, "SanityCheckInput.ini", "SanityCheckOutput.ini", master);
        std::string boxes;
        for (const auto& q : panel.questions) boxes += q + "\n";
        std::string written = slurp("SanityCheckOutput.ini");
        for (size_t at; (at = written.find("\n\n")) != std::string::npos;) written.erase(at, 1);
        return boxes + "--\n" + written;
    }

    TempFolder folder;
    SanityRun run;
};

TEST_F(SanityLine, DoSanityCheck) {
    const ParamRecord ir = recordAt(1);
    ParamRecord other = ir;
    set(other, "sumsize", 0, 200);
    set(other, "sum45", 4, ir.value("sum45", 4).value() * 3);
    const std::string serial = std::to_string(ir.ordnum());
    const std::string stale = "[General]\nS/N = 7\n[EquateNonCalib]\nFailureIndices = NonCalib:  3\n[Keep]\nx = 1\n";
    struct Case {
        const char* what;
        std::function<void()> prepare;
        uint8_t address;
        SanityOutcome outcome;
        std::string shown;
    } const cases[] = {
        {"passes", [&] { writeRecord("./master.bin", ir); }, 1, SanityOutcome::Passed,
         "DoSanityCheck:: Parameters OK!\n--\n[Keep]\nx = 1\n[General]\nS/N = " + serial + "\n"},
        {"fails", [&] { writeRecord("./master.bin", other); }, 1, SanityOutcome::Failed,
         "DoSanityCheck() Error: Sanity Check failure.\r\nSee \"SanityCheckOutput.ini\" for details.\n--\n[Keep]\nx = 1\n"
         "[General]\nS/N = " + serial + "\n[EquateNonCalib]\nFailureIndices = NonCalib:  1\n"
         "[CompareCalib]\nFailureIndices = CalibMasterToSlave:  4,0\n"},
        {"no answer", [&] { writeRecord("./master.bin", ir); }, 3, SanityOutcome::NoAnswer,
         "Error: Detector failed to respond...\n--\n[Keep]\nx = 1\n[General]\nS/N = -1\n"},
        {"the other kind", [&] { writeRecord("./master.bin", ir); }, 2, SanityOutcome::TypeMismatch,
         "DoSanityCheck() Error: Master BIN-file type doesn't match the detector\n--\n[Keep]\nx = 1\n[General]\nS/N = " +
             std::to_string(recordAt(2).ordnum()) + "\n"},
        {"neither size", [] { std::ofstream("master.bin") << std::string(985, 'x'); }, 1,
         SanityOutcome::InputProblem,
         "DoSanityCheck() Error: Master BIN-file size (985) not IR3 nor UVIR\n--\n[Keep]\nx = 1\n"},
        {"missing", [] { std::filesystem::remove("master.bin"); }, 1, SanityOutcome::InputProblem,
         "DoSanityCheck() Error: Failed opening \"master.bin\" for reading\n--\n[Keep]\nx = 1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream("SanityCheckOutput.ini") << stale;
        c.prepare();
        EXPECT_EQ(check(c.address), c.shown);
        EXPECT_EQ(run.outcome, c.outcome);
    }
}

TEST_F(SanityLine, MasterNamedByTheInputFileAndShortAnswers) {
    writeRecord("./m/ir.bin", recordAt(1));
    EXPECT_EQ(check(1, ""),
              "DoSanityCheck() Error: Section [SanityCheck] flag 'szMasterParamBinFile' empty or not found in "
              "\".\\SanityCheckInput.ini\"\n--\n");
    EXPECT_EQ(run.outcome, SanityOutcome::InputProblem);
    ProfileWriteString("SanityCheckInput.ini", "SanityCheck", "szMasterParamBinFile", "m/ir.bin");
    check(1, "");
    EXPECT_EQ(run.outcome, SanityOutcome::Passed);
    // Cut answers are no answer, however many bytes came.
    line->shortAnswers(3, 500);
    EXPECT_EQ(check(1, ""), "Error: Detector failed to respond...\n--\n[General]\nS/N = -1\n");
}

}  // namespace
