// The DCI and 4-20 mA calibration windows on a simulated detector, each to its burn.
#include <gtest/gtest.h>

#include <QListWidget>
#include <atomic>
#include <cstdio>
#include <fstream>

#include "MainWindowLine.h"
#include "app/calib/CCalib420.h"
#include "app/calib/CDCICalib.h"
#include "app/config/ParamView.h"
#include "calib/Calib420.h"
#include "calib/CDCICalibIds.h"
#include "config/ParamViewIds.h"

namespace {

class CalibWindows : public MainWindowLine {
protected:
    void open(wsim::DetectorConfig detector) {
        ASSERT_NO_FATAL_FAILURE(openOn({detector}));
        ASSERT_TRUE(pumpUntil([&] { return window->poll().connected(); }));
    }
    void picture(QWidget& w, const char* name) {
        QApplication::processEvents();
        w.grab().save(q((buildFolder / name).string()));
    }
    std::vector<std::string> shown() {
        std::vector<std::string> v;
        for (const auto& c : boxes.calls) v.push_back(c.caption + ": " + c.text);
        return v;
    }
    BoxRecorder boxes;
};

TEST_F(CalibWindows, DciAdvisesAndBurnsTheAmplificationThroughTheView) {
    auto d = testline::ir(1);
    d.dci = wsim::DetectorConfig::Dci::Factor;
    d.dciFactor = 1.25f;
    ASSERT_NO_FATAL_FAILURE(open(d));
    std::ofstream("Param.ini", std::ios::app) << "[Calibration]\nDCI_AveragingSec=1\n";
    CDCICalib dci(window.get());
    dci.show();
    ASSERT_TRUE(pumpUntil([&] { return dci.isEnabled(dciwin::kStart); }));
    EXPECT_EQ(dci.text(dciwin::kAddress), "1");
    EXPECT_EQ(dci.text(dciwin::kDuration), "1");
    dci.onCommand(dciwin::kStart);
    ASSERT_TRUE(pumpUntil([&] { return dci.isEnabled(dciwin::kBurn); }, 8000));
    EXPECT_EQ(dci.text(dciwin::kFactor), "1.250");
    EXPECT_EQ(shown().back(), "Accumulating sums done:: You can now BURN");
    picture(dci, "dci-calibration.png");

    std::string preset;
    whenOpen<ParamView>([&](ParamView& view) {
        ASSERT_TRUE(pumpUntil([&] { return view.filled(); }));
        const int cell = FindParamField(ParamKind::Ir, "amplify44")->cell;
        if (view.marked(cell)) preset = view.text(cell);
        picture(view, "dci-burn-view.png");
        view.onCommand(paramwin::kWrite);
    });
    dci.onCommand(dciwin::kBurn);
    EXPECT_EQ(preset, "120");
    EXPECT_EQ(dci.text(dciwin::kFieldsState), std::to_string(dci::kFieldsBurned));  // only after the verified write
    EXPECT_EQ(dci.text(dciwin::kBurn), "Done.");
    EXPECT_EQ(ParamRecord::FromBytes(params(1))->value("amplify44"), 120.0);
}

TEST_F(CalibWindows, Calib420AppliesBothPointsBurnsAndStopsTheFixedCurrent) {
    ASSERT_NO_FATAL_FAILURE(open(testline::ir(1)));
    CCalib420 calib(window.get());
    calib.show();
    ASSERT_TRUE(pumpUntil([&] { return calib.ready(); }));
    auto* list = calib.itemAs<QListWidget>(c420::kList);
    for (int radio : {c420::kRadio4, c420::kRadio20}) {
        calib.setChecked(radio, true);
        calib.onCommand(radio);
        calib.onCommand(c420::kSet);
        onLink([] {});
        ASSERT_TRUE(pumpUntil([&] { return calib.isEnabled(c420::kApply); }));
        // The meter's first reading, then the trimmed one, within the burn's tolerance.
        for (int pass = 0; pass < 2; ++pass) {
            std::string reading;
            line->withDetector(1, [&](wsim::Detector& det, int64_t now) {
                char b[32];
                std::snprintf(b, sizeof b, "%.3f", det.meter(now));
                reading = b;
            });
            const int count = list->count();
            calib.setText(c420::kReading, reading);
            calib.onCommand(c420::kApply);
            ASSERT_TRUE(pumpUntil([&] { return list->count() == count + 1; }));
        }
    }
    ASSERT_TRUE(pumpUntil([&] { return calib.isEnabled(c420::kBurn); }));
    picture(calib, "calib420.png");
    calib.onCommand(c420::kBurn);
    EXPECT_TRUE(pumpUntil([&] { return !calib.isVisible(); }, 8000)) << ::testing::PrintToString(shown());
    std::vector<std::string> lines;
    for (int i = 0; i < list->count(); ++i) lines.push_back(s(list->item(i)->text()));
    EXPECT_EQ(lines, (std::vector<std::string>{"Target 4 mA;    Reported 4.080", "Target 4 mA;    Reported 4.000",
                                               "Target 20 mA;    Reported 19.850", "Target 20 mA;    Reported 20.000",
                                               "Stopping 'Fixed Current' ...",
                                               "Stopping 'Fixed Current' ... succeeded."}));
    const auto boxesShown = shown();
    ASSERT_EQ(boxesShown.size(), 2u);
    EXPECT_EQ(boxesShown[0], "'Burn': 'Burn' succeeded!");
    EXPECT_EQ(boxesShown[1], std::string("Restart Detector?:: ") + c420::kRestartQuestion);  // answered No
    EXPECT_TRUE(pumpUntil([&] { return window->clock()->target() == 0; }));  // the status poll has the ticks again
}

// The idle time-out closes as Cancel does: the fixed current stopped, the restart asked.
TEST_F(CalibWindows, Calib420IdleTimeOutStopsTheFixedCurrent) {
    ASSERT_NO_FATAL_FAILURE(open(testline::ir(1)));
    std::atomic<unsigned long long> ms{1000};
    CCalib420 calib(window.get(), {}, [&] { return ms.load(); });
    calib.show();
    ASSERT_TRUE(pumpUntil([&] { return calib.ready(); }));
    calib.onCommand(c420::kSet);
    ASSERT_TRUE(pumpUntil([&] { return calib.isEnabled(c420::kApply); }));
    ms += 300 * 1000;
    ASSERT_TRUE(pumpUntil([&] { return !calib.isVisible(); }, 8000));
    auto* list = calib.itemAs<QListWidget>(c420::kList);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(s(list->item(0)->text()), "Timed-out: Auto-exiting ...");
    EXPECT_EQ(s(list->item(2)->text()), "Stopping 'Fixed Current' ... succeeded.");
    EXPECT_EQ(shown().back(), std::string("Restart Detector?:: ") + c420::kRestartQuestion);
}

}  // namespace
