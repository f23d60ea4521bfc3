// The script runner against a stand-in window table: the built-in script's
// dependencies, the slot checks of every verb, and the abort.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>

#include "FakePanel.h"
#include "shell/CTesselDlgIds.h"
#include "shell/ScriptRunner.h"
#include "shell/ShellState.h"
#include "support/WaitFor.h"
#include "util/Keyboard.h"

namespace {

using Lines = std::vector<std::string>;

// Opening the setup dialog from the console (slot 1, 3016) fills slot 4; a
// burn (4, 1) closes it unless an "Error" box is up.
class FakeWindows : public ScriptWindows {
public:
    bool present(int slot) override { return slots.count(slot) > 0; }
    bool findCaption(const std::string& caption) override {
        const bool there = captions.count(caption) > 0;
        if (there) slots.insert(0); else slots.erase(0);
        return there;
    }
    bool setText(int slot, int control, const std::string& text) override {
        calls.push_back("text " + std::to_string(slot) + " " + std::to_string(control) + " " + text);
        return true;
    }
    bool click(int slot, int control) override {
        calls.push_back("click " + std::to_string(slot) + " " + std::to_string(control));
        if (slot == 1 && control == 3016) slots.insert(4);
        if (slot == 4 && control == 1 && !captions.count("Error")) slots.erase(4);
        if (slot == 0 && control == 6) captions.clear();
        return true;
    }
    bool close(int slot) override {
        slots.erase(slot);
        return true;
    }
    uintptr_t handle(int slot) override { return 0xABC0u + static_cast<unsigned>(slot); }

    std::set<int> slots{1};
    std::set<std::string> captions;
    Lines calls;
};

class ScriptRun : public ::testing::Test {
protected:
    void SetUp() override { ResetShell(); }
    void TearDown() override {
        SetKeySource({});
        ResetShell();
    }
    ScriptRunner runner(std::vector<ScriptItem> items = BuiltInScript(), unsigned passes = 1) {
        ScriptOptions o;
        o.passes = passes;
        o.wait = [this](unsigned ms) { waited += ms; };
        return ScriptRunner(panel, windows, std::move(items), o);
    }
    Lines lines() const { return panel->lists[techdlg::kList]; }
    // The lines from the first that starts with `from`, `count` of them.
    Lines linesFrom(const std::string& from, size_t count) const {
        const Lines all = lines();
        auto at = std::find(all.begin(), all.end(), from);
        if (at == all.end()) return {};
        return Lines(at, at + static_cast<long>(std::min<size_t>(count, static_cast<size_t>(all.end() - at))));
    }

    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
    std::shared_ptr<FakeWindows> windows = std::make_shared<FakeWindows>();
    unsigned long long waited = 0;
};

TEST_F(ScriptRun, ItemsAfterAFailureAreSkippedUntilAnIndependentOne) {
    runner().run();
    EXPECT_EQ(linesFrom("Executing: 'Burn Failed?:Error'", 8),
              (Lines{"Executing: 'Burn Failed?:Error'", "wait for g_hdlg[0]", "script item # 4 failed...",
                     "Due to failure, 'Click Ok:Error' skipped...", "Due to failure, 'Click 'Burn'' skipped...",
                     "Executing: 'Waitfor !Setup Dialog'", "wait for !g_hdlg[4]", "post_wait '5000'"}));
    EXPECT_EQ(windows->calls, (Lines{"click 1 3016", "text 4 3302 1", "click 4 1", "click 1 1965", "click 1 3016",
                                     "text 4 3302 15", "click 4 1", "click 1 1965"}));
    EXPECT_EQ(lines().back(), "Script concluded.");
    EXPECT_EQ(panel->titles[Panel::kThisWindow].back(), "Script Concluded.");
    EXPECT_FALSE(Shell().scriptRunning);

    // With the box up, it is answered and the burn repeated.
    windows->calls.clear();
    windows->captions = {"Error"};
    runner(std::vector<ScriptItem>(BuiltInScript().begin(), BuiltInScript().begin() + 9)).run();
    EXPECT_EQ(windows->calls, (Lines{"click 1 3016", "text 4 3302 1", "click 4 1", "click 0 6", "click 4 1",
                                     "click 1 1965"}));
    const Lines l = lines();
    EXPECT_EQ(std::count(l.begin(), l.end(), std::string("post_wait '4000'")), 3);
}

TEST_F(ScriptRun, EveryVerbChecksItsSlot) {
    using V = ScriptItem;
    auto item = [](const char* name, unsigned slot, unsigned verb) { return ScriptItem{name, slot, verb, 3302, "1", 0, 0, false}; };
    const std::vector<ScriptItem> items = {item("wait", 15, V::Wait),   item("gone", 15, V::WaitGone),
                                           item("text", 15, V::SetText), item("click", 15, V::Click),
                                           item("close", 15, V::Close),  item("empty slot", 4, V::SetText),
                                           item("odd", 1, 7),            item("close console", 1, V::Close)};
    runner(items).run();
    const Lines l = lines();
    for (unsigned i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        auto at = std::find(l.begin(), l.end(), "Executing: '" + items[i].name + "'");
        ASSERT_LT(at + 3, l.end());
        EXPECT_EQ(at[i == 4 ? 1 : 2], "wndIdx 15 > MAX_DLGS 15");
        EXPECT_EQ(at[i == 4 ? 2 : 3], "script item # " + std::to_string(i) + " failed...");
    }
    EXPECT_EQ(linesFrom("Executing: 'empty slot'", 4)[2], "g_hdlg[4] == NULL");
    EXPECT_EQ(linesFrom("Executing: 'odd'", 3),
              (Lines{"Executing: 'odd'", "Unknown verb 7", "script item # 6 failed..."}));
    EXPECT_EQ(linesFrom("Executing: 'close console'", 2)[1], "close dlg 0x0000ABC1");
    EXPECT_FALSE(windows->present(1));
}

TEST_F(ScriptRun, CtrlShiftStopsAnEndlessRunAfterTheCurrentItem) {
    SetKeySource([] { return KeyState{true, false, false, true, false}; });
    ScriptRunner r = runner(BuiltInScript(), 0);
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(WaitFor([&] { return !r.running(); }));
    EXPECT_EQ(lines(), (Lines{"Executing: 'Open Setup Dialog'", "click button with ID 3016", "Script Aborted...",
                              "Script concluded."}));
    EXPECT_EQ(panel->questions, Lines{"Script:: Script Aborted..."});
    EXPECT_FALSE(Shell().busy);
    EXPECT_FALSE(Shell().scriptRunning);
}

}  // namespace
