// The FOV thresholds window, and the unattended screenshot run.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSlider>
#include <filesystem>
#include <fstream>

#include "GuiSupport.h"
#include "app/config/CFOV.h"
#include "app/config/ParamViewShooter.h"
#include "support/TempFolder.h"
#include "support/TestLine.h"
#include "util/Profile.h"

namespace {

using namespace fovwin;

TEST(FovWindow, SlidersOkCancelAndInitialState) {
    // EMA 0 and Normal 9 lie outside their sliders: shown, and returned, clamped.
    const FovThresholds record{0, 16, 9};
    CFOV d(record, FovInitialState{224, 255, 7});
    EXPECT_EQ(std::tuple(d.templateId(), d.windowTitle()), std::tuple(kTemplate, "FOV Parameters"));
    for (const auto& [slider, value, min, max, shown] :
         {std::tuple(kEmaSlider, kEmaValue, 1, 180, "1"), std::tuple(kFaultSlider, kFaultValue, 10, 20, "16"),
          std::tuple(kNormalSlider, kNormalValue, 2, 8, "8")}) {
        const auto* s = d.itemAs<QSlider>(slider);
        EXPECT_EQ(std::tuple(s->minimum(), s->maximum(), d.text(value)), std::tuple(min, max, shown));
    }
    d.itemAs<QSlider>(kEmaSlider)->setValue(106);
    EXPECT_EQ(d.text(kEmaValue), "106");  // the field follows the slider

    d.show();
    const int narrow = d.width();
    EXPECT_TRUE(d.item(kInitialState)->isHidden());
    d.itemAs<QAbstractButton>(kMore)->click();
    EXPECT_TRUE(pumpUntil([&] { return d.width() > narrow; }));
    EXPECT_EQ(d.text(kX) + "," + d.text(kY) + "," + d.text(kZ), "224,255,7");

    d.itemAs<QAbstractButton>(kOk)->click();
    EXPECT_EQ(d.result(), (FovThresholds{106, 16, 8}));

    CFOV cancelled(record, std::nullopt);  // (a UV/IR record's, without initial state: ParamViewTest)
    cancelled.itemAs<QSlider>(kFaultSlider)->setValue(12);
    cancelled.itemAs<QAbstractButton>(kCancel)->click();
    EXPECT_FALSE(cancelled.result());
}

namespace fs = std::filesystem;

struct RunCase {
    const char* name;
    std::vector<wsim::DetectorConfig> detectors;
    const char* network;  // the address book's selection in Param.ini
    const char* control;  // a change to a detector's record first, or ""
    int exitCode;
    std::string lines;
    std::vector<const char*> files;  // under out/, of more than 0 bytes
    std::vector<int> totals;         // TotalFailures of SanityCheck0, 1...
    bool blockFirst = false;         // a file where the first detector's folder goes
};

class ScreenshotRun : public TestLine, public ::testing::WithParamInterface<RunCase> {
protected:
    void TearDown() override {
        resetShell();
        TestLine::TearDown();
    }
    TempFolder folder;
};

TEST_P(ScreenshotRun, SavesEveryDetectorAndChecksIt) {
    const RunCase& c = GetParam();
    resetShell();
    ASSERT_NO_FATAL_FAILURE(startLine(c.detectors));
    bool changed = true;
    if (*c.control) wsim::runControlCommand(*line, c.control, &changed);
    ASSERT_TRUE(changed);
    std::ofstream("Param.ini") << "[DCB]\nszCom=" << line->slavePath() << ":9600,n,8,1\n" << c.network;
    fs::copy(WEXCON_MASTERS, "Masters");
    if (c.blockFirst) {
        fs::create_directory("out");
        std::ofstream("out/21030001") << "x";
    }

    testing::internal::CaptureStdout();
    EXPECT_EQ(RunScreenshotRun("out"), c.exitCode);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.lines);
    std::vector<std::string> files;
    for (const auto& f : fs::recursive_directory_iterator("out"))
        if (f.is_regular_file() && f.file_size() > 0) files.push_back(f.path().lexically_relative("out").string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, std::vector<std::string>(c.files.begin(), c.files.end()));
    for (size_t i = 0; i < c.totals.size(); ++i)
        EXPECT_EQ(ProfileGetInt("ScreenshotOutput.ini", "SanityCheck" + std::to_string(i), "TotalFailures", -1),
                  c.totals[i]);
}

const char* const kIr1[] = {"21030001/param.bin", "21030001/param.ini", "21030001/param.png"};
const std::string kSaved1 = "address 1 S/N 21030001: files saved, check 0\n";
const char* const kBoth = "[Network]\ndetector0=1\ndetector1=2\n";

INSTANTIATE_TEST_SUITE_P(
    Line, ScreenshotRun,
    ::testing::Values(
        RunCase{"IrAndUvirPass", {testline::ir(1), testline::uvir(2)}, kBoth, "", 0,
                kSaved1 + "address 2 S/N 21030002: files saved, check 0\n",
                {kIr1[0], kIr1[1], kIr1[2], "21030002/param.bin", "21030002/param.ini", "21030002/uv_param.png"},
                {0, 0}},
        // sumsize 90 instead of the master's 121: the equality check fails for the second detector.
        RunCase{"SecondFailsItsCheck", {testline::ir(1), testline::ir(2)}, kBoth, "param 2 793 5A", 1,
                kSaved1 + "address 2 S/N 21030002: files saved, check -10\n",
                {kIr1[0], kIr1[1], kIr1[2], "21030002/param.bin", "21030002/param.ini", "21030002/param.png"},
                {0, 1}},
        // Nothing selected: the current address alone.
        RunCase{"CurrentAddressAlone", {testline::ir(1), testline::ir(2)}, "", "", 0, kSaved1,
                {kIr1[0], kIr1[1], kIr1[2]}, {0}},
        // Each outcome of the line tells its own fault.
        RunCase{"SilentAddressAndUnwritableFolder", {testline::ir(1)}, "[Network]\ndetector0=3\ndetector1=1\n", "", 1,
                "address 3: no parameter record\n"
                "address 1 S/N 21030001: missing param.png param.ini param.bin, check 0\n",
                {"21030001"}, {-1, 0}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
