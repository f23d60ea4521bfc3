// The BIT calibration windows from the console, against the simulator at ten
// times detector time: both sets, Calculate, and Burn's parameter view with
// the thresholds preset, written and read back. Pictures in the build folder.
#include <gtest/gtest.h>

#include <QApplication>

#include "MainWindowLine.h"
#include "app/calib/CCalibrateBIT.h"
#include "app/config/ParamView.h"
#include "app/shell/CTesselDlg.h"
#include "calib/CCalibrateBITIds.h"
#include "config/ParamViewIds.h"
#include "shell/CTesselDlgIds.h"
#include "shell/CTesselMainIds.h"
#include "sim/Control.h"
#include "support/FastClock.h"

namespace {

class BitWindows : public MainWindowLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openOn({testline::ir(1), testline::uvir(2)}, {.clock = &fast}));
        // Both windows: qtemp held at 25 makes each denominator 2.
        std::ofstream("Param.ini", std::ios::app) << "[IR3BitParam]\nparam1=2\nparam2=3\nparam3=0.04\n"
                                                     "[UVBitParam]\nparam1=2\nparam2=1\nparam3=0.04\nparam4=100\n";
    }
    void control(const std::string& command) {
        bool ok = false;
        const std::string answer = wsim::runControlCommand(*line, command, &ok);
        ASSERT_TRUE(ok) << command << ": " << answer;
    }
    void picture(QWidget& w, const std::string& name) {
        QApplication::processEvents();
        w.grab().save(q((buildFolder / name).string()));
    }
    FastClock fast;
};

TEST_F(BitWindows, EachWindowToItsBurnWithThePresetValues) {
    using namespace bitwin;
    const struct {
        uint8_t address;
        int command;
        const char* name;
        ParamKind kind;
        const char* cells[2];
        const char* fixed[2];  // the cells' values; IR: 1.5 times the dark average, rounded
    } cases[] = {
        {1, techdlg::cmd::IrBitCalibration, "CCalibrateBIT", ParamKind::Ir, {"manbit", "autobit"}, {}},
        // 8 and 40 a second: v = 100 / 20 gives 4 s, 4 x 4 x 1 = 16.
        {2, techdlg::cmd::UvBitCalibration, "CCalibrateBIT_UV", ParamKind::Uvir, {"UVBIT_Thr", "UV_BIT_Duration"},
         {"16", "4"}},
    };
    BoxRecorder boxes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string a = std::to_string(c.address);
        control("set " + a + " temp 25");
        control("lens " + a + " covered");
        onLink([&] { window->poll().switchTo(c.address); });
        ASSERT_TRUE(pumpUntil([&] { return Shell().detector.uvirModel == (c.kind == ParamKind::Uvir); }));
        CTesselDlg console(window.get());
        const std::vector<uint8_t> before = params(c.address);
        bool reachedBurn = false, burned = false;
        whenOpen<CCalibrateBIT>([&](CCalibrateBIT& w) {
            const auto runSet = [&](int button, int average) {
                w.onCommand(button);
                return pumpUntil([&] { return !w.text(average).empty(); }, 20000);
            };
            if (c.kind == ParamKind::Uvir) {
                ASSERT_TRUE(pumpUntil([&] { return w.isEnabled(kMode); }));
                w.setText(kDuration0, "1");
                w.setChecked(kMode, true);
                w.onCommand(kMode);
                ASSERT_TRUE(pumpUntil([&] { return w.modeEntered(); }));
            }
            ASSERT_TRUE(runSet(kDark, kDarkAvg));
            EXPECT_EQ(w.text(kDark), "Cover Lens\r\nDark BIT - (*) GO");
            EXPECT_EQ(w.text(kAddress), a);
            control("lens " + a + " open");
            ASSERT_TRUE(runSet(kBright, kBrightAvg));
            w.onCommand(kCalculate);
            EXPECT_TRUE(w.text(kResult).ends_with(">= (param1 2.00) ? YES")) << w.text(kResult);
            ASSERT_TRUE(w.isEnabled(kBurn));
            picture(w, std::string(c.name) + ".png");
            const std::string irValue = std::to_string((3 * std::stol(w.text(kDarkAvg)) + 1) / 2);
            whenOpen<ParamViewBase>([&](ParamViewBase& view) {
                ASSERT_TRUE(pumpUntil([&] { return view.filled(); }));
                for (int i = 0; i < 2; ++i) {
                    const int cell = FindParamField(c.kind, c.cells[i])->cell;
                    EXPECT_EQ(view.text(cell), c.fixed[i] ? c.fixed[i] : irValue) << c.cells[i];
                    EXPECT_TRUE(view.marked(cell));
                }
                picture(view, std::string(c.name) + "-burn.png");
                reachedBurn = true;
                view.onCommand(paramwin::kWrite);
            });
            w.onCommand(kBurn);
            burned = w.burned();
            EXPECT_EQ(w.text(kProgress), burned ? "Parameters verified" : "");
            boxes.next = {IDOK};  // the UV window's closing: leave the mode
            w.reject();
        });
        console.onCommand(c.command);
        EXPECT_TRUE(reachedBurn);
        EXPECT_TRUE(burned);
        // Two fields at most changed, and the detector holds the preset value.
        const std::vector<uint8_t> after = params(c.address);
        size_t changed = 0;
        for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
        EXPECT_GT(changed, 0u);
        EXPECT_LE(changed, c.kind == ParamKind::Ir ? 16u : 3u);  // IR: two doubles
        bool uvMode = true;
        line->withDetector(c.address, [&](wsim::Detector& d, int64_t) { uvMode = d.uvBitCalibration(); });
        EXPECT_FALSE(uvMode);
    }
    for (const auto& b : boxes.calls) EXPECT_EQ(b.caption, "Error") << b.text;
    EXPECT_EQ(boxes.calls.size(), 1u);  // the UV closing question alone
}

}  // namespace
