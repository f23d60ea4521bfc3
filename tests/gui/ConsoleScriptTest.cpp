// The technician console on a simulated line: it has the poll clock's ticks
// while it is open, and its script soaks the setup burn through the real
// setup dialog and message boxes.
#include <gtest/gtest.h>

#include <QListWidget>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "MainWindowLine.h"
#include "app/shell/CTesselDlg.h"
#include "shell/CTesselDlgIds.h"
#include "sim/Control.h"
#include "util/PumpWait.h"

namespace {

using Lines = std::vector<std::string>;

class ConsoleOnLine : public MainWindowLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openOn({testline::ir(1)}));
        std::ofstream("Param.ini", std::ios::app) << "[general]\nszSaveFolder=shots\n";
        console = std::make_unique<CTesselDlg>(window.get());
        console->show();
    }
    void TearDown() override {
        console.reset();
        MainWindowLine::TearDown();
    }
    // Passes of the built-in script; the console's lines. Every wait, the
    // burn's included, runs at a tenth; a window still has its time to fill.
    Lines runScript(unsigned passes) {
        SetProcedureWait([](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms / 10)); });
        ScriptOptions o;
        o.passes = passes;
        o.wait = [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms / 10, 25u))); };
        console->setScriptOptions(o);
        console->onCommand(techdlg::cmd::RunScript);
        // The runner's last line and title reach the window after it has stopped.
        const auto* list = console->itemAs<QListWidget>(techdlg::kList);
        EXPECT_TRUE(pumpUntil(
            [&] {
                return !console->script()->running() && list->count() > 0 &&
                       list->item(list->count() - 1)->text() == "Script concluded." &&
                       s(console->windowTitle()) == "Script Concluded.";
            },
            300000));
        SetProcedureWait({});
        Lines lines;
        for (int i = 0; i < list->count(); ++i) lines.push_back(s(list->item(i)->text()));
        return lines;
    }
    static long count(const Lines& lines, const std::string& line) { return std::count(lines.begin(), lines.end(), line); }

    std::unique_ptr<CTesselDlg> console;
};

TEST_F(ConsoleOnLine, HasTheTicksAndSoaksTheSetupBurn) {
    ASSERT_TRUE(pumpUntil([&] { return console->text(ctl::Address) == "1"; }));
    EXPECT_EQ(window->clock()->period(), 50u);
    EXPECT_TRUE(console->isEnabled(techdlg::kFireThresholds));

    // Every burn is verified: only the look for an "Error" box fails, and its
    // two followers are skipped.
    const long passes = 10;
    Lines lines = runScript(passes);
    long failed = 0;
    for (const std::string& l : lines) failed += l.find(" failed...") != std::string::npos;
    EXPECT_EQ(failed, 2 * passes);
    EXPECT_EQ(count(lines, "script item # 4 failed..."), passes);
    EXPECT_EQ(count(lines, "script item # 13 failed..."), passes);
    EXPECT_EQ(count(lines, "Due to failure, 'Click 'Burn'' skipped..."), 2 * passes);
    EXPECT_EQ(count(lines, "click button with ID 1965"), 2 * passes);
    EXPECT_EQ(lines.back(), "Script concluded.");
    EXPECT_EQ(s(console->windowTitle()), "Script Concluded.");
    EXPECT_TRUE(std::filesystem::exists("shots/21030001/setup.png"));

    // A refused burn shows the box, which is answered, and the burn repeated.
    wsim::runControlCommand(*line, "refuse-setup 1 1");
    lines = runScript(1);
    EXPECT_EQ(count(lines, "script item # 4 failed..."), 0);
    EXPECT_EQ(count(lines, "click button with ID 6"), 1);
    EXPECT_EQ(count(lines, "Due to failure, 'Click 'Burn'' skipped..."), 1);  // the second half's
    EXPECT_EQ(count(lines, "script item # 7 failed..."), 0);

    console.reset();
    EXPECT_TRUE(pumpUntil([&] { return window->clock()->period() == 100u; }));
}

}  // namespace
