// A procedure in a real window: its question is a real message box, its
// progress reaches the window while the interface stays free, and closing
// the window's work aborts it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>

#include "GuiSupport.h"
#include "app/kit/Dialog.h"
#include "app/kit/QtPanel.h"
#include "shell/CountingProcedure.h"
#include "shell/Procedure.h"

namespace {

TEST(ProcedureWindow, QuestionProgressAndAbort) {
    resetShell();
    Dialog window;
    window.add(counting::kText, new QLabel(&window));
    auto* bar = window.add(counting::kProgress, new QProgressBar(&window));
    bar->setRange(0, counting::kSteps);
    window.show();
    BoxRecorder boxes(IDYES);

    int timerTicks = 0;
    QTimer alive;
    QObject::connect(&alive, &QTimer::timeout, [&] { ++timerTicks; });
    alive.start(10);

    RunProcedure(window.panel(), counting::Run);
    ASSERT_TRUE(pumpUntil([&] { return bar->value() >= 10; }));
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].caption, "Note");
    EXPECT_GT(timerTicks, 5);  // the interface went on while the procedure worked

    window.panel()->requestAbort();
    ASSERT_TRUE(pumpUntil([&] { return window.text(counting::kText).rfind("Aborted after ", 0) == 0; }));
    EXPECT_LT(bar->value(), counting::kSteps);
    EXPECT_FALSE(Shell().busy);
    resetShell();
}

}  // namespace
