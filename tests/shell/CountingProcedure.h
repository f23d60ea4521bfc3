#pragma once
// A procedure of the usual shape, for the tests of the procedure machinery:
// a question first, then steps with a wait each, until done or aborted.
#include <string>

#include "util/Panel.h"
#include "util/PumpWait.h"

namespace counting {

constexpr int kText = 1, kProgress = 2;
constexpr int kSteps = 100;

inline void Run(Panel& p) {
    if (p.ask("Start counting?", "Note", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        p.setText(kText, "Not started");
        return;
    }
    for (int step = 1; step <= kSteps; ++step) {
        PumpWait(20);
        if (p.aborted()) {
            p.setText(kText, "Aborted after " + std::to_string(step - 1));
            return;
        }
        p.setProgress(kProgress, step);
    }
    p.setText(kText, "Done");
}

}  // namespace counting
