// Procedures on the link worker: questions, aborts, and the poll clock held off.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "CountingProcedure.h"
#include "FakePanel.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"

namespace {

class Procedures : public ::testing::Test {
protected:
    void SetUp() override { ResetShell(); }
    void TearDown() override { ResetShell(); }
    // Waits for the worker to finish what it was given.
    static bool settle() {
        for (int i = 0; i < 500; ++i) {
            if (Shell().link().idle()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
};

TEST_F(Procedures, AnsweredNoItDoesNothingAndLetsThePollClockGoOn) {
    panel->answers = {IDNO};
    RunProcedure(panel, counting::Run);
    ASSERT_TRUE(settle());
    EXPECT_EQ(panel->text(counting::kText), "Not started");
    EXPECT_EQ(panel->questions, std::vector<std::string>{"Note: Start counting?"});
    EXPECT_FALSE(Shell().busy);
}

TEST_F(Procedures, AnAbortIsSeenAtTheNextWait) {
    panel->answers = {IDYES};
    RunProcedure(panel, counting::Run);
    // Held off from the moment it is queued, not only once it runs.
    EXPECT_TRUE(Shell().busy);
    while (panel->progressOf(counting::kProgress) < 3) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    panel->requestAbort();
    ASSERT_TRUE(settle());
    EXPECT_EQ(panel->text(counting::kText).rfind("Aborted after ", 0), 0u) << panel->text(counting::kText);
    EXPECT_LT(panel->progressOf(counting::kProgress), counting::kSteps);
    EXPECT_FALSE(Shell().busy);
}

TEST_F(Procedures, AProcedureOfAClosedWindowDoesNotRun) {
    // The first one keeps the worker while the window of the second closes.
    panel->answers = {IDYES};
    RunProcedure(panel, counting::Run);
    auto closed = std::make_shared<FakePanel>();
    RunProcedure(closed, [](Panel& p) { p.setText(counting::kText, "ran"); });
    closed->requestAbort();
    panel->requestAbort();
    ASSERT_TRUE(settle());
    EXPECT_EQ(closed->text(counting::kText), "");
}

}  // namespace
