// The explosion monitor and the FM approval test windows on a simulated line.
#include <gtest/gtest.h>

#include "MainWindowLine.h"
#include "app/monitor/CFMTest2.h"
#include "app/monitor/CMonitorExplosions.h"
#include "monitor/CFMTest2Ids.h"
#include "monitor/CMonitorExplosionsIds.h"
#include "shell/CTesselMainIds.h"

namespace {

class FieldTestWindows : public MainWindowLine {
protected:
    void SetUp() override { openOn({testline::ir(1), testline::ir(2)}); }
    void picture(QWidget& w, const char* name) { w.grab().save(q((buildFolder / name).string())); }
    void control(const std::string& command) { EXPECT_EQ(wsim::runControlCommand(*line, command), "ok"); }
};

TEST_F(FieldTestWindows, ExplosionStepsColourTheRows) {
    using namespace explosionwin;
    BoxRecorder boxes;
    explosion::ExplosionMonitor::Options o;
    o.addresses = [] { return std::vector<uint8_t>{1, 2}; };
    CMonitorExplosions w(window.get(), o);
    w.show();
    EXPECT_FALSE(w.isEnabled(kGenerate));
    w.onCommand(kErase);
    ASSERT_TRUE(pumpUntil([&] { return w.isEnabled(kGenerate); }, 10000));
    control("explode 1 30");
    control("explode 2 80 false");
    w.onCommand(kGenerate);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].caption, "Generate Explosion");
    ASSERT_TRUE(pumpUntil([&] { return w.isEnabled(kRetrieve); }));
    w.onCommand(kRetrieve);
    ASSERT_TRUE(pumpUntil([&] { return w.isEnabled(kSummary); }, 10000));
    EXPECT_EQ(w.text(Cell(0, Time)), "30.0");
    EXPECT_EQ(w.text(Cell(1, Fail)), "6");
    EXPECT_NE(w.item(Cell(0, Serial))->styleSheet().indexOf("0,255,0"), -1);
    EXPECT_NE(w.item(Cell(1, Serial))->styleSheet().indexOf("240,220,10"), -1);
    EXPECT_TRUE(w.item(Cell(2, Serial))->styleSheet().isEmpty());
    picture(w, "monitor-explosions.png");
}

TEST_F(FieldTestWindows, FmTestTakesTheTicksAndAsksBeforeClosing) {
    using namespace fmwin;
    BoxRecorder boxes(IDCANCEL);
    ASSERT_TRUE(pumpUntil([&] { return window->text(ctl::Address) == "1"; }));  // the main window settled
    control("fm-fire 1 300");
    PollClock& clock = *window->clock();
    const auto before = std::pair(clock.target(), clock.period());
    fmtest::FmTest::Options o;
    o.addresses = [] { return std::vector<uint8_t>{1, 2}; };
    auto* w = new CFMTest2(window.get(), o);
    w->show();
    ASSERT_TRUE(pumpUntil([&] { return clock.target() != before.first && w->text(Cell(0, Label)) == "DET-1"; }))
        << clock.target() << " " << before.first << " " << w->text(Cell(0, Label));
    w->onCommand(kStartClear);
    ASSERT_TRUE(pumpUntil([&] { return w->test().shownState(0) == fmtest::Frozen; }));
    EXPECT_TRUE(pumpUntil([&] { return w->item(Cell(0, Timer))->styleSheet().contains("255,0,0"); }));
    EXPECT_EQ(w->text(kStartClear), "Clear &Timer");
    picture(*w, "fm-test.png");
    QPointer<CFMTest2> alive(w);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->reject();
    ASSERT_TRUE(pumpUntil([&] { return !alive; }));
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].caption, "Warning: Test not saved!");
    EXPECT_TRUE(pumpUntil([&] { return std::pair(clock.target(), clock.period()) == before; }))
        << clock.target() << " " << clock.period() << " before " << before.first << " " << before.second;
    EXPECT_FALSE(std::filesystem::exists("FMResults.txt"));
}

}  // namespace
