// The Status page's gauges and the maintenance window on the demo line.
#include <gtest/gtest.h>

#include "MainWindowLine.h"
#include "app/monitor/CGauge.h"
#include "app/monitor/CMaint.h"
#include "app/monitor/CStatus.h"
#include "app/shell/CTesselDlg.h"
#include "monitor/CMaintIds.h"
#include "monitor/CStatusIds.h"
#include "shell/CTesselDlgIds.h"

namespace {

class StatusMaint : public MainWindowLine {
protected:
    void SetUp() override { openOn(testline::demo()); }
    void picture(QWidget& w, const char* name) { w.grab().save(q((buildFolder / name).string())); }
};

TEST_F(StatusMaint, GaugesFollowThePollAndALostDetector) {
    window->showEntry(1, 0);
    auto* status = static_cast<CStatus*>(window->pageById(page::Status));
    CGauge* volts = status->gaugeOf(gauge::Voltage);
    EXPECT_EQ(volts->value(), 11);  // the start value, below the scale
    ASSERT_TRUE(pumpUntil([&] { return volts->value() != 11; }));
    EXPECT_EQ(volts->reading().colour, gauge::Colour::Green) << volts->reading().text;
    EXPECT_EQ(status->gaugeOf(gauge::Temperature)->reading().colour, gauge::Colour::Green);
    EXPECT_EQ(status->gaugeOf(gauge::Analog)->reading().colour, gauge::Colour::Blue);
    EXPECT_EQ(status->text(statuspage::kMode), "N");
    picture(*window, "status-page.png");

    line->setDetectorSilent(1, true);
    ASSERT_TRUE(pumpUntil([&] { return volts->value() == 1001.0; }));
    for (int kind = 0; kind < 3; ++kind) {
        const auto r = status->gaugeOf(kind)->reading();
        EXPECT_EQ(r.text, "---");
        EXPECT_EQ(r.colour, gauge::Colour::Red);
    }
    picture(*window, "status-page-no-detector.png");
}

TEST_F(StatusMaint, MaintenanceShowsTheDetectorAndGivesTheTicksBackToTheConsole) {
    ASSERT_TRUE(pumpUntil([&] { return window->text(ctl::Address) == "1"; }));
    CTesselDlg console(window.get());
    PollClock& clock = *window->clock();
    ASSERT_TRUE(pumpUntil([&] { return clock.period() == 50u && clock.target() != PollClock::kMainWindow; }));
    const PollClock::Target consoleTarget = clock.target();

    bool sawOwnTicks = false;
    whenOpen<CMaint>([&](CMaint& m) {
        sawOwnTicks = pumpUntil([&] { return clock.target() != consoleTarget && clock.period() == 50u; });
        EXPECT_TRUE(pumpUntil([&] { return m.text(maintwin::kAddress) == "1"; }));
        EXPECT_EQ(m.text(maintwin::kModeState).substr(0, 1), "N");
        EXPECT_FALSE(m.text(maintwin::kValue0 + 4).empty());  // Qtemp
        picture(m, "maintenance.png");
        m.reject();
    });
    console.onCommand(techdlg::kMaint);
    EXPECT_TRUE(sawOwnTicks);
    EXPECT_TRUE(pumpUntil([&] { return clock.target() == consoleTarget; }));
    EXPECT_EQ(clock.period(), 50u);
}

}  // namespace
