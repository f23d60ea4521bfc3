// The three checks of a parameter record against its master: each one's edge
// cases (the defaults pass all three). DoSanityCheck and the
// per-detector check run end to end in tests/e2e/CliSanityTest.cpp.
#include <gtest/gtest.h>

#include <functional>

#include "config/SanityCheck.h"

namespace {

using Edit = std::function<void(ParamRecord&)>;

void set(ParamRecord& r, const char* name, size_t i, double v) { ASSERT_TRUE(r.setValue(name, i, v)) << name; }
// Every element of an array.
void setAll(ParamRecord& r, const char* name, double v) {
    for (size_t i = 0; i < FindParamField(r.kind(), name)->count; ++i) set(r, name, i, v);
}

TEST(SanityChecks, EdgeCasesOfEachCheck) {
    struct Case {
        const char* what;
        ParamKind kind;
        Edit master, detector;
        std::string nonCalib, calib = "", benzine = "";  // the lists; "": not looked at
    } const cases[] = {
        {"defaults agree", ParamKind::Ir, {}, {}, "NonCalib: ", "CalibMasterToSlave: ", "CalibSlaveToSlave: "},
        {"sumsize and the last field differ", ParamKind::Ir, {},
         [](ParamRecord& r) { set(r, "sumsize", 0, 91), set(r, "FOV_Normal_Threshold", 0, 9); }, "NonCalib:  1 41"},
        // 2.1 and 0.45 times fail, 2.0 and 0.5 times pass; 0 fails against a number, not against 0.
        {"band", ParamKind::Ir,
         [](ParamRecord& r) {
             set(r, "sum45", 3, 10), set(r, "sum45", 4, 10), set(r, "sum44", 0, 10), set(r, "sum44", 5, 20);
             set(r, "ratio45to5", 2, 3), set(r, "ratio4to5Hydbenz", 1, 0);
         },
         [](ParamRecord& r) {
             set(r, "sum45", 3, 21), set(r, "sum45", 4, 20), set(r, "sum44", 0, 5), set(r, "sum44", 5, 9);
             set(r, "ratio45to5", 2, 0);
         },
         "NonCalib: ", "CalibMasterToSlave:  2,2 3,0 5,10"},
        // 8.6 over 5.8 fails in elements 0 and 1 only; 1.5 times passes, 1.475 fails; fire and benzene
        // both 0 pass, fire 0 alone fails. (The cells of failing pairs: ParamViewTest.)
        {"benzene", ParamKind::Ir, {},
         [](ParamRecord& r) {
             setAll(r, "ratio45to4", 8.6), setAll(r, "ratio45to4benz", 5.8);
             set(r, "ratio45to5", 0, 6), set(r, "ratio45to5benz", 0, 4);
             set(r, "ratio45to5", 1, 5.9), set(r, "ratio45to5benz", 1, 4);
             set(r, "cor44to45Hyd", 0, 0), set(r, "cor44to45Hydbenz", 0, 0), set(r, "cor44to45Hyd", 1, 0);
             set(r, "sum45benz", 0, 0);
         },
         "NonCalib: ", "", "CalibSlaveToSlave:  0,2 1,2 1,3 1,15"},
        {"UV/IR defaults agree", ParamKind::Uvir, {}, {}, "NonCalib: ", "CalibMasterToSlave: ", "CalibSlaveToSlave: "},
        {"UV/IR", ParamKind::Uvir, [](ParamRecord& r) { set(r, "ratio_lo", 2, 1); },
         [](ParamRecord& r) {
             set(r, "first_fltr_size", 0, 16), set(r, "sum_array_size", 0, 251);
             set(r, "FOV_Normal_Threshold", 0, 9), set(r, "ratio_lo", 2, 3);
             set(r, "sum_first_pass", 1, 510), set(r, "sum_first_pass", 2, 86);
         },
         "NonCalib:  0 14 29", "CalibMasterToSlave:  2,4", "CalibSlaveToSlave:  1,0"},
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

}  // namespace
