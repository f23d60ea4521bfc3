// The IR and UV/IR calibration windows in manual mode: each box that stops or
// questions a step, on a simulated group.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>

#include "MainWindowLine.h"
#include "app/calib/CCalibrate.h"
#include "app/kit/OpenDocument.h"
#include "calib/CalibrateTexts.h"
#include "network/AddressBook.h"

namespace {

enum class Until { Open, Learn, Burn, Close };

struct BoxCase {
    const char* name;
    bool uvir;
    std::vector<wsim::DetectorConfig> line;
    Until until;           // the step whose box is looked for
    std::string caption, text;
    int answer;            // to that box
    bool closes;           // the window is gone after the answer
};

class CalibrateWindow : public MainWindowLine {};

TEST_F(CalibrateWindow, EachStoppingBoxWithItsAnswer) {
    auto uv = [](uint8_t a) { return testline::uvir(a); };
    const BoxCase cases[] = {
        {"not responded", false, {testline::ir(247), testline::ir(1)}, Until::Learn, "Warning",
         autocal::NotRespondedText({2}), IDCANCEL, true},
        {"mismatch", false, {testline::ir(247), testline::ir(1), uv(2)}, Until::Open,
         "Master / Slave Model or I / M mismatch", "", IDOK, true},
        {"uv burn", true, {uv(247), uv(1)}, Until::Burn, "Warning", autocal::kUvBurnQuestion, IDCANCEL, true},
        {"incomplete", false, {testline::ir(247), testline::ir(1)}, Until::Close, "Calibration Incomplete",
         autocal::IncompleteText(1, 1), IDCANCEL, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(openOn(c.line));
        // UV sums are 0 without flame: below the threshold from the first iteration.
        std::ofstream("Param.ini", std::ios::app)
            << "[Calibration]\nLearnBGsec=1\nnum_iter=1\n[UVIR_Calibration]\nLearnBGsec=1\nnum_iter=2\n"
               "min_UV_Sum_Iter0=0\n[Calibrate]\nWaitForSensorStabilization=0\n";
        for (unsigned a : {247u, 1u, 2u}) Book().setState(a, AddressBook::Selected);
        Book().rebuildList();
        BoxRecorder boxes;
        std::unique_ptr<CCalibrate> w = c.uvir ? std::make_unique<CUVIRCalibration>(window.get())
                                               : std::make_unique<CCalibrate>(window.get());
        boxes.next = {c.answer};
        auto asked = [&] {
            for (const auto& b : boxes.calls)
                if (b.caption == c.caption && (c.text.empty() || b.text == c.text)) return true;
            return false;
        };
        w->show();
        if (c.until != Until::Open) {
            if (c.until != Until::Learn) boxes.next.clear();
            ASSERT_TRUE(pumpUntil([&] { return w->isEnabled(calwin::kLearnStart); }, 10000));
            w->onCommand(calwin::kLearnStart);  // ends the background poll, which went on until now
        }
        if (c.until > Until::Learn) {
            ASSERT_TRUE(pumpUntil([&] { return w->isEnabled(calwin::kAccumStart); }, 10000));
            w->onCommand(calwin::kAccumStart);
            ASSERT_TRUE(pumpUntil([&] { return w->isEnabled(calwin::kBurn); }, 10000));
            if (c.until == Until::Burn) boxes.next = {c.answer};
            w->onCommand(calwin::kBurn);
            if (c.until == Until::Close) {
                ASSERT_TRUE(pumpUntil([&] { return w->text(calwin::kBurn) == "Done." && w->idle(); }, 15000));
                EXPECT_EQ(boxes.calls.back().caption, "Burn complete");
                EXPECT_TRUE(w->item(calwin::kRadio0 + 1)->styleSheet().contains("240, 220, 10"));
                // A focus on a row's field shows its scale record, as a click on its radio button.
                w->setText(calwin::kScale0, "");
                QFocusEvent focus(QEvent::FocusIn);
                QApplication::sendEvent(w->item(calwin::kIterStat0 + 1), &focus);
                EXPECT_TRUE(pumpUntil([&] { return !w->text(calwin::kScale0).empty(); }, 5000));
                boxes.next = {c.answer};
                w->done(IDCANCEL);
            }
        }
        EXPECT_TRUE(pumpUntil(asked, 15000));
        EXPECT_EQ(pumpUntil([&] { return !w->isVisible(); }, 2000), c.closes);
        if (!c.closes) {  // OK now: the end broadcast, and the window goes
            boxes.next = {IDOK};
            w->done(IDOK);
            EXPECT_FALSE(w->isVisible());
        }
        w.reset();
        window.reset();
        TearDown();
    }
}

// Automatic mode: the whole run with its boxes answered, the serial burned,
// and the window gone by itself.
TEST_F(CalibrateWindow, AutomaticRunClosesByItselfWithTheRows) {
    ASSERT_NO_FATAL_FAILURE(openOn({testline::ir(247), testline::ir(1)}));
    std::ofstream("Param.ini", std::ios::app)
        << "[Calibration]\nLearnBGsec=1\nnum_iter=1\n[Calibrate]\nWaitForSensorStabilization=0\n"
           "WaitForShutterCloseSec=0\n";
    BoxRecorder boxes;
    autocal::RunOptions options;
    options.addresses = {247, 1};
    std::string error;
    ASSERT_EQ(autocal::PrepareRun(options, "4711", &error), autocal::kExitOk) << error;
    CCalibrate w(window.get(), &options);
    w.show();
    std::string opened;
    SetDocumentOpener([&](const std::string& path) { return opened = path, true; });
    w.onCommand(calwin::kHelp);  // the read-me is the project's, written where it is opened
    SetDocumentOpener({});
    EXPECT_EQ(opened, "CalibrationReadMe.txt");
    EXPECT_TRUE(std::filesystem::exists(opened));
    ASSERT_TRUE(pumpUntil([&] { return !w.isVisible(); }, 20000));
    const auto result = w.result();
    ASSERT_TRUE(result);
    ASSERT_EQ(result->rows.size(), 2u);
    EXPECT_EQ(result->rows[1].state, autocal::State::Calibrated);
    EXPECT_EQ(autocal::RunExitCode(*result), autocal::kExitOk);
    EXPECT_EQ(ParamRecord::FromBytes(params(1))->value("ordnum"), 4711.0);
}

}  // namespace
